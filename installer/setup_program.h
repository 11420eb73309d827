// The setup program's run: the super-user check, the program directory read
// from the application server's configuration file, the checks on the
// virtual-machine library and the directory, then the installation of the
// archive beside the program (CDataExtractor), with its messages on
// standard error.
//
// Threads: single-threaded; the run owns the process while it lasts.
#ifndef KQ230_INSTALLER_SETUP_PROGRAM_H_
#define KQ230_INSTALLER_SETUP_PROGRAM_H_

#include <string>

class CTString;

// The configuration file, section, key and library name that the run reads.
inline constexpr char kSetupConfigurationFile[] = "/etc/Varnholt/QUILAN/23.0/QUILAN.conf";
inline constexpr char kSetupSection[] = "DEFAULT";
inline constexpr char kSetupKey[] = "BINPATH";
inline constexpr char kSetupLibraryName[] = "kq230vm.so";
inline constexpr wchar_t kSetupArchiveBaseName[] = L"mariadb_install";
// The configuration's value is read into this many characters; a value that
// fills them may have been cut and is refused.
inline constexpr unsigned int kBinPathCapacity = 1044;

// The program directory that a BINPATH value gives: absolute, not cut, with
// an end slash. False for an empty, relative or cut value.
bool bTargetFromBinPath(const char* pszValue, unsigned int nLength, std::string* pstrDirectory);

// Finds the target and installs into it; true when every entry was
// installed. pclDirectory receives the target (with end slash) once read.
bool bDoInstall(CTString& clDirectory);

// The whole run, from the message module to its teardown: 0 on success,
// -1 on failure.
int nSetupMain(int argc, char** argv);

#endif  // KQ230_INSTALLER_SETUP_PROGRAM_H_
