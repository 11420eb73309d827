# Toolchain for 32-bit x86 Linux: the application server is a 32-bit process and
# can only load a 32-bit driver, so every target of this project is built -m32.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")

# Some kernels (sandboxes among them) cannot execute i386 binaries. There the tests
# run under qemu's user-mode emulator; CTest and gtest_discover_tests prepend it.
if(NOT DEFINED KQ_I386_RUNNER)
  set(_probe_dir "${CMAKE_BINARY_DIR}/i386-probe")
  file(MAKE_DIRECTORY "${_probe_dir}")
  file(WRITE "${_probe_dir}/probe.c" "int main(void) { return 0; }\n")
  execute_process(COMMAND cc -m32 -static "${_probe_dir}/probe.c" -o "${_probe_dir}/probe"
                  RESULT_VARIABLE _cc_rc OUTPUT_QUIET ERROR_QUIET)
  set(_run_rc 1)
  if(_cc_rc EQUAL 0)
    execute_process(COMMAND "${_probe_dir}/probe" RESULT_VARIABLE _run_rc OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(_run_rc EQUAL 0)
    set(KQ_I386_RUNNER "" CACHE STRING "Command that runs i386 binaries (empty: natively)")
  else()
    find_program(_qemu qemu-i386 REQUIRED)
    set(KQ_I386_RUNNER "${_qemu}" CACHE STRING "Command that runs i386 binaries (empty: natively)")
  endif()
endif()
if(KQ_I386_RUNNER)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${KQ_I386_RUNNER}")
endif()
