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

# How the i386 programs we build are run here (natively or under qemu-i386) is
# decided by KqRunner.cmake. It needs the configured C compiler, which is known
# only once project() has enabled the languages, so project() includes it last.
set(CMAKE_PROJECT_kq230maria_INCLUDE "${CMAKE_CURRENT_LIST_DIR}/KqRunner.cmake")
