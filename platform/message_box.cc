#include "platform/message_box.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "core/unicode.h"
#include "platform/environment.h"

namespace {

std::string ToUTF8(const wchar_t* psz) {
  if (psz == nullptr) return std::string();
  std::string out(static_cast<size_t>(UTF8ByteLen(psz)), '\0');
  WideToUTF8(out.data(), psz);
  return out;
}

// The object library when the process has it loaded, else null.
void* FindLoadedObjectLibrary() {
  constexpr int kNoLoad = RTLD_NOW | RTLD_NOLOAD;
  wchar_t szProgram[PATH_MAX + 1];
  if (GetModuleFileNameW(nullptr, szProgram, PATH_MAX + 1)) {
    std::string path = ToUTF8(szProgram);
    const size_t nSlash = path.rfind('/');
    path.erase(nSlash == std::string::npos ? 0 : nSlash + 1);
    path += kObjectLibraryFileName;
    if (void* h = dlopen(path.c_str(), kNoLoad)) return h;
  }
  char szDir[PATH_MAX + 1];
  if (getcwd(szDir, sizeof szDir) != nullptr) {
    std::string path = szDir;
    if (path.empty() || path.back() != '/') path += '/';
    path += kObjectLibraryFileName;
    if (void* h = dlopen(path.c_str(), kNoLoad)) return h;
  }
  return nullptr;
}

// The first byte of the next white-space delimited word of standard input,
// the rest of the word consumed; EOF when the input ends first.
int ReadAnswer() {
  int c;
  do {
    c = std::fgetc(stdin);
  } while (c != EOF && std::isspace(c));
  if (c == EOF) return EOF;
  const int nFirst = c;
  do {
    c = std::fgetc(stdin);
  } while (c != EOF && !std::isspace(c));
  return nFirst;
}

}  // namespace

const char* _pszMessageBoxPrompt(unsigned int nType) {
  switch (nType & 0xF) {
    case MB_OK:
      return "Appuyez sur ENTREE pour continuer : \n";
    case MB_OKCANCEL:
      return "Entrez votre choix (o = OK, c = CANCEL) pour continuer (exemple : o + ENTREE) : \n";
    case MB_YESNOCANCEL:
      return "Entrez votre choix (y = YES, n = NO, c = CANCEL) pour continuer (exemple : y + ENTREE) : \n";
    case MB_YESNO:
      return "Entrez votre choix (y = YES, n = NO) pour continuer (exemple : y + ENTREE) : \n";
    case MB_RETRYCANCEL:
      return "Entrez votre choix (r = RETRY, c = CANCEL) pour continuer (exemple : r + ENTREE) : \n";
    default:  // 2 and every type above 5
      return "Entrez votre choix (r = RETRY, a = ABORT, i = IGNORE) pour continuer (exemple : r + "
             "ENTREE) : \n";
  }
}

int _MessageBox_NO_GUI(const wchar_t* pszText, const wchar_t* pszCaption, unsigned int nType, int bWide) {
  std::fprintf(stderr, "%s\n", ToUTF8(pszCaption).c_str());
  if (bWide == 1) {
    std::fprintf(stderr, "%s\n", ToUTF8(pszText).c_str());
  } else {
    const char* psz = reinterpret_cast<const char*>(pszText);
    std::fprintf(stderr, "%s\n", psz != nullptr ? psz : "");
  }
  std::fputs(_pszMessageBoxPrompt(nType), stderr);
  std::fflush(stderr);
  switch (ReadAnswer()) {
    case 'a':
      return IDABORT;
    case 'c':
      return IDCANCEL;
    case 'i':
      return IDIGNORE;
    case 'n':
      return IDNO;
    case 'r':
      std::fprintf(stderr, "Retry: process %d may now be attached to a debugger.\n",
                   static_cast<int>(getpid()));
      return IDRETRY;
    case 'y':
      return IDYES;
    default:
      return IDOK;
  }
}

int MessageBox(HWND__* hWnd, const wchar_t* pszText, const wchar_t* pszCaption, unsigned int nType) {
  if (void* hLibrary = FindLoadedObjectLibrary()) {
    auto pfn = reinterpret_cast<PFNMESSAGEBOXQTW>(dlsym(hLibrary, kMessageBoxEntryName));
    const int nResult = pfn != nullptr ? pfn(hWnd, pszText, pszCaption, nType) : -1;
    dlclose(hLibrary);  // the process's own reference keeps it loaded
    if (nResult != -1) return nResult;
  }
  return _MessageBox_NO_GUI(pszText, pszCaption, nType, 1);
}

int MessageBoxW(HWND__*, const unsigned short* pszText, const wchar_t* pszCaption, unsigned int nType) {
  // UTF-16 units are not wide characters: convert before anything reads them.
  std::wstring text;
  if (pszText != nullptr) {
    const int nUnits = XALIGN_utf16len(pszText);
    text.resize(static_cast<size_t>(nUnits) + 1);
    const int n = UTF16ToWideChar(pszText, nUnits, text.data(), nUnits + 1);
    text.resize(static_cast<size_t>(n));
  }
  return _MessageBox_NO_GUI(text.c_str(), pszCaption, nType, 1);
}

void OutputDebugString(const wchar_t* pszText) {
  std::fprintf(stderr, "%ls", pszText != nullptr ? pszText : L"");
}
