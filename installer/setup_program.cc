#include "installer/setup_program.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/numbered_messages.h"
#include "core/unicode.h"
#include "core/wide_string.h"
#include "installer/data_extractor.h"
#include "installer/program_location.h"
#include "installer/setup_messages.h"
#include "installer/string_allocator.h"
#include "platform/process_locale.h"
#include "platform/processes.h"
#include "platform/profile_files.h"

namespace {

// Children are never started; the handler only keeps SIGCHLD harmless.
void ChildHandler(int) {}

std::wstring strWide(const std::string& str) {
  std::wstring strOut(str.size() + 1, L'\0');
  strOut.resize(UTF8ToWide(strOut.data(), static_cast<unsigned int>(strOut.size()), str.c_str()));
  return strOut;
}

void ShowMessage(unsigned int nNumber, const wchar_t* pszInsert1 = nullptr,
                 const wchar_t* pszInsert2 = nullptr, const wchar_t* pszEnd = nullptr) {
  CTString clText;
  if (!DLLRES_bFormatMessage(&gstMyModuleInfoSetup, nNumber, &clText, pszInsert1, pszInsert2)) return;
  if (pszEnd != nullptr) clText = CTString(clText.pszGet(), pszEnd, nullptr);
  WriteToStandardError(clText.pszGet());
}

// Message 4977 for a file status that could not be taken.
void ShowCannotExamine(const std::string& strName, int nErrno) {
  CTString clSystem;
  SystemErrorText(nErrno, &clSystem);
  ShowMessage(kMsgCannotExamine, strWide(strName).c_str(), clSystem.pszGet());
}

}  // namespace

bool bTargetFromBinPath(const char* pszValue, unsigned int nLength, std::string* pstrDirectory) {
  // The reader cuts a value to the buffer's size less one: a value that long
  // may have lost its end, and a cut path names another directory.
  if (pszValue == nullptr || nLength == 0 || nLength + 1 >= kBinPathCapacity) return false;
  if (pszValue[0] != '/') return false;
  std::string str(pszValue, nLength);
  if (str.find('\0') != std::string::npos) return false;
  if (str.back() != '/') str += '/';
  *pstrDirectory = str;
  return true;
}

bool bDoInstall(CTString& clDirectory) {
  // The 8-bit reader passes the file's bytes through: the path reaches the
  // system calls exactly as the administrator wrote it.
  char szValue[kBinPathCapacity];
  const unsigned int nLength = GetPrivateProfileStringA(kSetupSection, kSetupKey, "", szValue,
                                                        kBinPathCapacity, kSetupConfigurationFile);
  std::string strDirectory;
  if (!bTargetFromBinPath(szValue, nLength, &strDirectory)) {
    ShowMessage(kMsgNoBinaryDirectory);
    return false;
  }
  clDirectory = strWide(strDirectory).c_str();

  struct stat64 stLibrary;
  if (stat64((strDirectory + kSetupLibraryName).c_str(), &stLibrary) != 0) {
    ShowCannotExamine(kSetupLibraryName, errno);
    return false;
  }
  struct stat64 stDirectory;
  if (stat64(strDirectory.c_str(), &stDirectory) != 0) {
    ShowCannotExamine(strDirectory, errno);
    return false;
  }
  CDataExtractor clExtractor;
  if (!clExtractor.bInit(kSetupArchiveBaseName)) return false;
  return clExtractor.bInstall(clDirectory.pszGet(), stDirectory.st_mode, stDirectory.st_uid,
                              stDirectory.st_gid, stLibrary.st_mode, stLibrary.st_uid,
                              stLibrary.st_gid);
}

int nSetupMain(int argc, char** argv) {
  SetProgramArgument(argc > 0 ? argv[0] : nullptr);
  DLLRES_bInit(nullptr, 0);
  CStrMemAlloc::s_Install(CStrMemAlloc::s_pclInit());
  InitAlarmHandler(nullptr);
  signal(SIGCHLD, ChildHandler);
  SetLocaleUTF8();

  bool bOk = false;
  if (getuid() != 0) {
    ShowMessage(kMsgNotSuperUser, nullptr, nullptr, L"\n\n");
  } else {
    CTString clDirectory;
    bOk = bDoInstall(clDirectory);
    ShowMessage(bOk ? kMsgInstalled : kMsgNotInstalled, L"MariaDB", nullptr, L"\n\n");
  }

  CStrMemAlloc::s_Install(nullptr);
  CStrMemAlloc::s_Term();
  DLLRES_Term();
  return bOk ? 0 : -1;
}
