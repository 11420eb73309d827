// Where the running setup program lies, for the archive that travels beside
// it.
//
// The kernel's link /proc/self/exe names the program. Under a user-mode
// emulator (qemu-i386 running the 32-bit program on a 64-bit machine) that
// link may name the emulator instead; the program then falls back to its
// first argument made absolute, which is what the emulator was given. A path
// that does not fit is refused, never cut to another name.
//
// Threads: the first argument is recorded once at start.
#ifndef KQ230_INSTALLER_PROGRAM_LOCATION_H_
#define KQ230_INSTALLER_PROGRAM_LOCATION_H_

#include <string>

// Records argv[0] (may be null) for the fallback.
void SetProgramArgument(const char* pszArgv0);

// The program's directory (absolute, UTF-8, with an end slash). False when
// it cannot be found.
bool bGetProgramDirectory(std::string* pstrDirectory);

#endif  // KQ230_INSTALLER_PROGRAM_LOCATION_H_
