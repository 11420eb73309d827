# How this build runs the i386 programs it makes: its build-time tools (the
# message packer, the sort table generator) and its test programs.
#
# A kernel with IA-32 emulation runs them natively; elsewhere (some sandboxes,
# non-x86 hosts) they run under qemu's user-mode emulator. KQ_I386_RUNNER holds
# that command, empty when they run natively. A probe decides it once per build
# tree; -DKQ_I386_RUNNER=... chooses by hand (the build guard forces both ways).
#
# CMake puts the runner in front of test programs (CROSSCOMPILING_EMULATOR), but
# in a custom command only in front of a bare target name, which the shell cannot
# find when there is no runner. Build-time tools therefore run by full path
# through kq_tool_command(), which adds the runner itself.
#
# Included at the end of project() by cmake/i386-linux.cmake; including it again
# (e.g. to make the dependency visible) does nothing.
include_guard(GLOBAL)

# The two messages below open with a space so that CMake prints each as one
# line instead of wrapping it.

if(NOT DEFINED KQ_I386_RUNNER)
  set(_kq_probe "${CMAKE_BINARY_DIR}/i386-probe")
  file(WRITE "${_kq_probe}/probe.c" "int main(void) { return 0; }\n")
  # Dynamically linked, as everything we build: a static probe would also need
  # the static i386 libc, which the build itself does not.
  execute_process(COMMAND "${CMAKE_C_COMPILER}" -m32 probe.c -o probe
                  WORKING_DIRECTORY "${_kq_probe}" RESULT_VARIABLE _kq_rc
                  OUTPUT_FILE compile.log ERROR_FILE compile.log)
  if(NOT _kq_rc EQUAL 0)
    message(FATAL_ERROR " ${CMAKE_C_COMPILER} -m32 cannot build i386 programs "
            "(${_kq_probe}/compile.log): install g++-multilib (apt-get install g++-multilib)")
  endif()
  execute_process(COMMAND "${_kq_probe}/probe" RESULT_VARIABLE _kq_rc OUTPUT_QUIET ERROR_QUIET)
  set(_kq_runner "")
  if(NOT _kq_rc EQUAL 0)
    find_program(_kq_qemu qemu-i386 NO_CACHE)
    if(_kq_qemu)
      execute_process(COMMAND "${_kq_qemu}" "${_kq_probe}/probe"
                      RESULT_VARIABLE _kq_rc OUTPUT_QUIET ERROR_QUIET)
    endif()
    if(NOT _kq_qemu OR NOT _kq_rc EQUAL 0)
      message(FATAL_ERROR " i386 programs cannot run here: install qemu-user "
              "(apt-get install qemu-user) or enable the kernel's IA-32 emulation")
    endif()
    set(_kq_runner "${_kq_qemu}")
  endif()
  set(KQ_I386_RUNNER "${_kq_runner}" CACHE STRING
      "Command that runs i386 programs (empty: they run natively)")
endif()

if(KQ_I386_RUNNER)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${KQ_I386_RUNNER}")
  # qemu gives an i386 guest the whole 4 GiB, and once the space below the
  # program is used up it maps from the top; AddressSanitizer, told by the
  # emulated uname that this is a 32-bit kernel, describes only the 3 GiB
  # below 0xC0000000 and aborts on a large block above (or ending at) that
  # line. Reserving a little less than 3 GiB keeps every mapping inside.
  # QEMU_RESERVED_VA, set by .ci/run, does the same for the probe scripts.
  get_filename_component(_kq_runner_name "${KQ_I386_RUNNER}" NAME)
  if(_kq_runner_name MATCHES "^qemu")
    set(CMAKE_CROSSCOMPILING_EMULATOR "${KQ_I386_RUNNER};-R;0xbf000000")
  endif()
endif()

# kq_tool_command(<var> <tool>)
#
# Sets <var> to the command that runs the executable target <tool> at build
# time: its full path, behind KQ_I386_RUNNER where there is one. Use it unquoted
# as the start of a COMMAND:
#   kq_tool_command(pack message_packer)
#   add_custom_command(OUTPUT out.cc COMMAND ${pack} in.txt out.cc
#                      DEPENDS message_packer in.txt VERBATIM)
function(kq_tool_command var tool)
  set(${var} ${KQ_I386_RUNNER} "$<TARGET_FILE:${tool}>" PARENT_SCOPE)
endfunction()
