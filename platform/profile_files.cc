#include "platform/profile_files.h"

#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>
#include <string>
#include <vector>

#include "core/codepage_conversion.h"
#include "core/integer_text.h"
#include "core/string_templates.h"
#include "core/unicode.h"
#include "core/zstring.h"

// The profile code works in the file's own form: T = char for 8-bit files,
// T = wchar_t holding one UTF-16 unit per element for UTF-16 files (as the
// UTF-16 line reader delivers them). The callers' texts are converted into
// that form first and the results back.

namespace {

template <class T>
using Text = std::basic_string<T>;

// ---------------------------------------------------------------------------
// Character rules

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool IsSpace(wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; }

// Case folding of the comparisons: ASCII for 8-bit text, towlower for units.
char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
wchar_t Fold(wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))); }

template <class T>
bool EqualNoCase(const T* a, const T* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

// The line's text up to its first zero unit, leading white space skipped.
template <class T>
Text<T> Stripped(const T* pLine) {
  while (*pLine != 0 && IsSpace(*pLine)) ++pLine;
  return Text<T>(pLine);
}

template <class T>
bool IsAnyHeader(const Text<T>& line) {
  return !line.empty() && line[0] == T('[') && line.find(T(']')) != Text<T>::npos;
}

template <class T>
bool IsHeaderOf(const Text<T>& line, const Text<T>& section) {
  const size_t n = section.size();
  return line.size() >= n + 2 && line[0] == T('[') && EqualNoCase(line.data() + 1, section.data(), n) &&
         line[n + 1] == T(']');
}

// Where the value of a key line starts (after the "=" and the blanks and tabs
// that follow it), or npos when the line is not a line of the key.
template <class T>
size_t ValueStart(const Text<T>& line, const Text<T>& key) {
  const size_t n = key.size();
  if (line.size() <= n || line[0] == T(':') || !EqualNoCase(line.data(), key.data(), n)) return Text<T>::npos;
  const T cAfter = line[n];
  if (cAfter != T(' ') && cAfter != T('\t') && cAfter != T('=')) return Text<T>::npos;
  size_t i = line.find(T('='), n);
  if (i == Text<T>::npos) return Text<T>::npos;
  ++i;
  while (i < line.size() && (line[i] == T(' ') || line[i] == T('\t'))) ++i;
  return i;
}

// ---------------------------------------------------------------------------
// Lines of the file

template <class T>
class LineReader {
 public:
  LineReader(FILE* pFile, bool bUTF16) : m_pFile(pFile), m_bUTF16(bUTF16) {}
  ~LineReader() { std::free(m_pBuffer); }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The bytes the line took from the file, -1 at the end,
  // STRG_GETLINE_NO_MEMORY when memory was refused.
  int nNext();
  const T* pszLine() const { return m_pBuffer; }

 private:
  FILE* m_pFile;
  bool m_bUTF16;
  T* m_pBuffer = nullptr;
  int m_nSize = 0;
};

template <>
int LineReader<char>::nNext() {
  return __STRG_nGetLine<char, char>(m_pBuffer, m_nSize, m_pFile);
}

template <>
int LineReader<wchar_t>::nNext() {
  return __STRG_nGetLine<wchar_t, unsigned short>(m_pBuffer, m_nSize, m_pFile);
}

// Tests for the byte order mark at the start of a freshly opened stream:
// true, the stream after the mark, for a UTF-16 file; otherwise false and
// the stream back at the start.
bool bTestByteOrderMark(FILE* pFile) {
  const long nAt = std::ftell(pFile);
  unsigned char ab[2];
  if (std::fseek(pFile, 0, SEEK_SET) == 0 && std::fread(ab, 1, 2, pFile) == 2 && ab[0] == 0xFF &&
      ab[1] == 0xFE && nAt == 0) {
    return true;
  }
  std::clearerr(pFile);
  std::fseek(pFile, nAt < 0 ? 0 : nAt, SEEK_SET);
  return false;
}

// ---------------------------------------------------------------------------
// Conversions between the callers' texts and the file's form

Text<char> EightFromWide(const wchar_t* psz) {
  const int n = static_cast<int>(std::wcslen(psz));
  if (n == 0) return Text<char>();
  Text<char> out(static_cast<size_t>(n) * 4 + 4, '\0');
  const int nBytes = WideCharToMultiByte(0, 0, psz, n, out.data(), static_cast<int>(out.size()), nullptr,
                                         nullptr);
  out.resize(static_cast<size_t>(nBytes > 0 ? nBytes : 0));
  return out;
}

Text<wchar_t> WideFromEight(const Text<char>& s) {
  if (s.empty()) return Text<wchar_t>();
  Text<wchar_t> out(s.size(), L'\0');
  const int n = MultiByteToWideChar(0, 0, s.data(), static_cast<int>(s.size()), out.data(),
                                    static_cast<int>(out.size()));
  out.resize(static_cast<size_t>(n > 0 ? n : 0));
  return out;
}

// UTF-16 units, one per wchar_t.
Text<wchar_t> UnitsFromWide(const wchar_t* psz) {
  const int n = static_cast<int>(std::wcslen(psz));
  std::vector<unsigned short> units(static_cast<size_t>(n) * 2 + 1);
  const int nUnits = WideCharToUTF16(psz, n, units.data(), static_cast<int>(units.size()));
  return Text<wchar_t>(units.begin(), units.begin() + (nUnits > 0 ? nUnits : 0));
}

Text<wchar_t> UnitsFromEight(const char* psz) {
  // Every Windows-1252 character lies in the basic plane: one unit each.
  return WideFromEight(Text<char>(psz));
}

Text<wchar_t> WideFromUnits(const Text<wchar_t>& units) {
  std::vector<unsigned short> v(units.begin(), units.end());
  Text<wchar_t> out(units.size(), L'\0');
  const int n = units.empty() ? 0
                              : UTF16ToWideChar(v.data(), static_cast<int>(v.size()), out.data(),
                                                static_cast<int>(out.size()));
  out.resize(static_cast<size_t>(n > 0 ? n : 0));
  return out;
}

Text<char> EightFromUnits(const Text<wchar_t>& units) { return EightFromWide(WideFromUnits(units).c_str()); }

// The caller's text in the file's form; the identity when both agree.
template <class T, class C>
struct Convert;
template <>
struct Convert<char, char> {
  static Text<char> In(const char* p) { return Text<char>(p); }
  static Text<char> Out(const Text<char>& s) { return s; }
};
template <>
struct Convert<char, wchar_t> {
  static Text<char> In(const wchar_t* p) { return EightFromWide(p); }
  static Text<wchar_t> Out(const Text<char>& s) { return WideFromEight(s); }
};
template <>
struct Convert<wchar_t, char> {
  static Text<wchar_t> In(const char* p) { return UnitsFromEight(p); }
  static Text<char> Out(const Text<wchar_t>& s) { return EightFromUnits(s); }
};
template <>
struct Convert<wchar_t, wchar_t> {
  static Text<wchar_t> In(const wchar_t* p) { return UnitsFromWide(p); }
  static Text<wchar_t> Out(const Text<wchar_t>& s) { return WideFromUnits(s); }
};

// ---------------------------------------------------------------------------
// Reading

// The reader proper over an open stream positioned after any byte order
// mark. pSection / pKey null: list sections / keys. *pbFound: the key was
// found (its value may be empty). False when memory was refused.
template <class T>
bool bReadProfile(FILE* pFile, bool bUTF16, const Text<T>* pSection, const Text<T>* pKey,
                  unsigned int nSize, Text<T>* pResult, bool* pbFound) {
  const Text<T> kLineEnd = {T('\r'), T('\n')};
  LineReader<T> reader(pFile, bUTF16);
  bool bInSection = false;
  for (;;) {
    const int nBytes = reader.nNext();
    if (nBytes == STRG_GETLINE_NO_MEMORY) return false;
    if (nBytes < 0) return true;
    const Text<T> line = Stripped(reader.pszLine());
    if (pSection == nullptr) {
      if (!IsAnyHeader(line)) continue;
      const Text<T> name = line.substr(1, line.find(T(']')) - 1);
      if (pResult->size() + name.size() + 2 > nSize - 1) return true;  // entries that fit whole
      *pResult += name;
      *pResult += kLineEnd;
      continue;
    }
    if (!bInSection) {
      bInSection = IsHeaderOf(line, *pSection);
      continue;
    }
    if (IsAnyHeader(line)) return true;  // the next section
    if (line.empty() || line[0] == T(':')) continue;
    if (pKey != nullptr) {
      const size_t nValue = ValueStart(line, *pKey);
      if (nValue == Text<T>::npos) continue;
      size_t nEnd = line.find_first_of(kLineEnd, nValue);
      if (nEnd == Text<T>::npos) nEnd = line.size();
      Text<T> value = line.substr(nValue, nEnd - nValue);
      if (value.size() > nSize - 1) value.resize(nSize - 1);
      *pResult = value;
      *pbFound = true;
      return true;
    }
    const size_t nEquals = line.find(T('='));
    if (nEquals == Text<T>::npos) continue;
    if (pResult->size() + 1 >= nSize) return true;
    Text<T> key = line.substr(0, nEquals);
    while (!key.empty() && (key.back() == T(' ') || key.back() == T('\t'))) key.pop_back();
    if (pResult->size() + key.size() + 2 > nSize - 1) return true;
    *pResult += key;
    *pResult += kLineEnd;
  }
}

// Reads in the file's form T for a caller of form C. False when the file
// cannot be read (the caller then gives the default).
template <class T, class C>
bool bReadAs(FILE* pFile, bool bUTF16, const C* pszSection, const C* pszKey, unsigned int nSize,
             Text<C>* pResult, bool* pbFound) {
  const bool bSection = pszSection != nullptr && pszSection[0] != 0;
  const bool bKey = bSection && pszKey != nullptr && pszKey[0] != 0;
  const Text<T> section = bSection ? Convert<T, C>::In(pszSection) : Text<T>();
  const Text<T> key = bKey ? Convert<T, C>::In(pszKey) : Text<T>();
  Text<T> result;
  if (!bReadProfile<T>(pFile, bUTF16, bSection ? &section : nullptr, bKey ? &key : nullptr, nSize, &result,
                       pbFound)) {
    return false;
  }
  *pResult = Convert<T, C>::Out(result);
  return true;
}

size_t Length(const char* p) { return std::strlen(p); }
size_t Length(const wchar_t* p) { return std::wcslen(p); }

// The path opened for a file name, in UTF-8.
bool bSystemPath(const char* pszName, std::string* pPath) {
  char sz[kMaxPathChars];
  if (!__PrivateProfilePatchName(pszName, sz)) return false;
  *pPath = sz;
  return true;
}

bool bSystemPath(const wchar_t* pszName, std::string* pPath) {
  wchar_t sz[kMaxPathChars];
  if (!__PrivateProfilePatchName(pszName, sz)) return false;
  pPath->assign(static_cast<size_t>(UTF8ByteLen(sz)), '\0');
  WideToUTF8(pPath->data(), sz);
  return true;
}

template <class C>
unsigned int GetString(const C* pszSection, const C* pszKey, const C* pszDefault, C* pszBuffer,
                       unsigned int nSize, const char* pszPath) {
  if (pszBuffer == nullptr || nSize == 0) return 0;
  pszBuffer[0] = 0;
  FILE* pFile = pszPath != nullptr ? std::fopen(pszPath, "r") : nullptr;
  if (pFile != nullptr) {
    Text<C> result;
    bool bFound = false;
    bool bRead;
    try {
      const bool bUTF16 = bTestByteOrderMark(pFile);
      bRead = bUTF16 ? bReadAs<wchar_t, C>(pFile, true, pszSection, pszKey, nSize, &result, &bFound)
                     : bReadAs<char, C>(pFile, false, pszSection, pszKey, nSize, &result, &bFound);
    } catch (const std::bad_alloc&) {
      bRead = false;
      errno = ENOMEM;
    }
    std::fclose(pFile);
    if (bRead) {
      const size_t n = result.size() < nSize - 1 ? result.size() : nSize - 1;
      std::memcpy(pszBuffer, result.data(), n * sizeof(C));
      pszBuffer[n] = 0;
      if (n != 0 || bFound) return static_cast<unsigned int>(n);
    }
  }
  if (pszDefault == nullptr) return 0;
  const size_t nDefault = Length(pszDefault);
  const size_t n = nDefault < nSize - 1 ? nDefault : nSize - 1;
  std::memcpy(pszBuffer, pszDefault, n * sizeof(C));
  pszBuffer[n] = 0;
  return static_cast<unsigned int>(n);
}

// ---------------------------------------------------------------------------
// Writing

// Writes units of the file's form: bytes, or UTF-16 units little-endian.
bool bWriteUnits(FILE* pFile, const Text<char>& s) {
  return s.empty() || std::fwrite(s.data(), 1, s.size(), pFile) == s.size();
}

bool bWriteUnits(FILE* pFile, const Text<wchar_t>& s) {
  std::vector<unsigned char> bytes;
  bytes.reserve(s.size() * 2);
  for (wchar_t c : s) {
    bytes.push_back(static_cast<unsigned char>(c & 0xFF));
    bytes.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
  }
  return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), pFile) == bytes.size();
}

size_t UnitBytes(const Text<char>& s) { return s.size(); }
size_t UnitBytes(const Text<wchar_t>& s) { return s.size() * 2; }

// Replaces the bytes [nStart, nEnd) of the file by the text: the rest of the
// file is read into memory, the text and the rest written at nStart, and the
// file cut where they end.
template <class T>
bool bReplaceSpan(FILE* pFile, long long nStart, long long nEnd, const Text<T>& text) {
  if (fseeko(pFile, static_cast<off_t>(nEnd), SEEK_SET) != 0) return false;
  std::vector<unsigned char> rest;
  unsigned char ab[4096];
  size_t n;
  while ((n = std::fread(ab, 1, sizeof ab, pFile)) > 0) rest.insert(rest.end(), ab, ab + n);
  if (std::ferror(pFile)) return false;
  if (fseeko(pFile, static_cast<off_t>(nStart), SEEK_SET) != 0) return false;
  bool bOk = bWriteUnits(pFile, text);
  bOk = bOk && (rest.empty() || std::fwrite(rest.data(), 1, rest.size(), pFile) == rest.size());
  bOk = bOk && std::fflush(pFile) == 0;
  const long long nNewEnd = nStart + static_cast<long long>(UnitBytes(text) + rest.size());
  return bOk && ftruncate64(fileno(pFile), nNewEnd) == 0;
}

// Appends at the end of the file, ending a last line that has no line feed
// first. A UTF-16 file that ends with half a unit gets the other half (a
// zero byte) first, so that what is appended lies on whole units.
template <class T>
bool bAppend(FILE* pFile, bool bOddEnd, bool bEndLastLine, const Text<T>& text) {
  if (fseeko(pFile, 0, SEEK_END) != 0) return false;
  if (bOddEnd && std::fputc(0, pFile) == EOF) return false;
  if ((bEndLastLine || bOddEnd) && !bWriteUnits(pFile, Text<T>(1, T('\n')))) return false;
  return bWriteUnits(pFile, text);
}

// The writer in the file's form, over a stream positioned at nStart (after
// any byte order mark). pKey null: delete the section; pValue null: delete
// the key.
template <class T>
bool bWriteProfile(FILE* pFile, bool bUTF16, long long nStart, const Text<T>& section, const Text<T>* pKey,
                   const Text<T>* pValue) {
  LineReader<T> reader(pFile, bUTF16);
  long long nPos = nStart;
  bool bLastEndsLine = true;  // no line yet: nothing to end
  bool bSection = false;
  long long nHeaderStart = 0;
  long long nSectionEnd = -1;  // the next header's start; -1: the end of the file
  long long nMatchStart = -1, nMatchEnd = -1;
  long long nEmptyLine = -1;
  for (;;) {
    const int nBytes = reader.nNext();
    if (nBytes == STRG_GETLINE_NO_MEMORY) {
      errno = ENOMEM;
      return false;
    }
    if (nBytes < 0) break;
    const long long nLineStart = nPos;
    nPos += nBytes;
    const Text<T> raw(reader.pszLine());
    bLastEndsLine = !raw.empty() && raw.back() == T('\n');
    const Text<T> line = Stripped(reader.pszLine());
    if (!bSection) {
      if (IsHeaderOf(line, section)) {
        bSection = true;
        nHeaderStart = nLineStart;
      }
      continue;
    }
    if (IsAnyHeader(line)) {
      nSectionEnd = nLineStart;
      break;
    }
    if (pKey == nullptr) continue;
    if (ValueStart(line, *pKey) != Text<T>::npos) {
      nMatchStart = nLineStart;
      nMatchEnd = nPos;
      break;
    }
    if (line.empty() && nEmptyLine < 0) nEmptyLine = nLineStart;
  }
  if (std::ferror(pFile)) return false;
  std::clearerr(pFile);

  Text<T> keyLine;
  if (pKey != nullptr && pValue != nullptr) {
    keyLine = *pKey;
    keyLine += {T(' '), T('='), T(' ')};
    keyLine += *pValue;
    keyLine += T('\n');
  }
  const bool bEndLastLine = !bLastEndsLine && nPos > nStart;
  const bool bOddEnd = bUTF16 && ((nPos - nStart) & 1) != 0;
  if (!bSection) {
    if (pKey == nullptr) return true;  // no section to delete
    Text<T> header(1, T('['));
    header += section;
    header += {T(']'), T('\n')};
    return bAppend(pFile, bOddEnd, bEndLastLine, header + keyLine);
  }
  if (pKey == nullptr) {
    return bReplaceSpan(pFile, nHeaderStart, nSectionEnd >= 0 ? nSectionEnd : nPos, Text<T>());
  }
  if (nMatchStart >= 0) return bReplaceSpan(pFile, nMatchStart, nMatchEnd, keyLine);
  if (pValue == nullptr) return true;  // no key to delete
  if (nEmptyLine >= 0) return bReplaceSpan(pFile, nEmptyLine, nEmptyLine, keyLine);
  if (nSectionEnd >= 0) return bReplaceSpan(pFile, nSectionEnd, nSectionEnd, keyLine);
  return bAppend(pFile, bOddEnd, bEndLastLine, keyLine);
}

template <class T, class C>
bool bWriteAs(FILE* pFile, bool bUTF16, long long nStart, const C* pszSection, const C* pszKey,
              const C* pszValue) {
  const Text<T> section = Convert<T, C>::In(pszSection);
  const Text<T> key = pszKey != nullptr ? Convert<T, C>::In(pszKey) : Text<T>();
  const Text<T> value = pszValue != nullptr ? Convert<T, C>::In(pszValue) : Text<T>();
  return bWriteProfile<T>(pFile, bUTF16, nStart, section, pszKey != nullptr ? &key : nullptr,
                          pszValue != nullptr ? &value : nullptr);
}

template <class C>
int WriteString(const C* pszSection, const C* pszKey, const C* pszValue, const char* pszPath) {
  if (pszSection == nullptr || pszPath == nullptr) {
    errno = EINVAL;
    return 0;
  }
  const bool bExists = access(pszPath, F_OK) == 0;
  FILE* pFile = std::fopen(pszPath, bExists ? "r+" : "w+");
  if (pFile == nullptr) return 0;
  bool bOk;
  try {
    const bool bUTF16 = bTestByteOrderMark(pFile);
    bOk = bUTF16 ? bWriteAs<wchar_t, C>(pFile, true, 2, pszSection, pszKey, pszValue)
                 : bWriteAs<char, C>(pFile, false, 0, pszSection, pszKey, pszValue);
  } catch (const std::bad_alloc&) {
    bOk = false;
    errno = ENOMEM;
  }
  // A close that fails may have lost the last buffered writes.
  const bool bClosed = std::fclose(pFile) == 0;
  return bOk && bClosed ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Home directory

// The home directory in UTF-8; false when none is known.
bool bHomeDirectory(std::string* pHome) {
  const char* pszHome = std::getenv("HOME");
  if (pszHome != nullptr && pszHome[0] != 0) {
    *pHome = pszHome;
    return true;
  }
  struct passwd stEntry;
  struct passwd* pEntry = nullptr;
  char szBuffer[4096];
  if (getpwuid_r(getuid(), &stEntry, szBuffer, sizeof szBuffer, &pEntry) != 0 || pEntry == nullptr ||
      pEntry->pw_dir == nullptr || pEntry->pw_dir[0] == 0) {
    errno = ENOENT;
    return false;
  }
  *pHome = pEntry->pw_dir;
  return true;
}

template <class C>
bool bHasSeparator(const C* p) {
  for (; *p != 0; ++p) {
    if (*p == C('/') || *p == C('\\')) return true;
  }
  return false;
}

template <class C>
bool bPatch(const Text<C>& path, C* pszOut) {
  if (path.size() >= kMaxPathChars) {
    errno = ENAMETOOLONG;
    return false;
  }
  for (size_t i = 0; i < path.size(); ++i) pszOut[i] = path[i] == C('\\') ? C('/') : path[i];
  pszOut[path.size()] = 0;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// The interface

bool __PrivateProfilePatchName(const wchar_t* pszName, wchar_t* pszOut) {
  pszOut[0] = 0;
  if (pszName == nullptr) {
    errno = EINVAL;
    return false;
  }
  Text<wchar_t> path;
  if (!bHasSeparator(pszName)) {
    std::string home;
    if (!bHomeDirectory(&home)) return false;
    Text<wchar_t> wideHome(static_cast<size_t>(UTF8ToWideLen(home.c_str())) + 1, L'\0');
    wideHome.resize(UTF8ToWide(wideHome.data(), static_cast<unsigned int>(wideHome.size()), home.c_str()));
    path = wideHome + L"/";
  }
  path += pszName;
  return bPatch(path, pszOut);
}

bool __PrivateProfilePatchName(const char* pszName, char* pszOut) {
  pszOut[0] = 0;
  if (pszName == nullptr) {
    errno = EINVAL;
    return false;
  }
  Text<char> path;
  if (!bHasSeparator(pszName)) {
    std::string home;
    if (!bHomeDirectory(&home)) return false;
    path = home + "/";
  }
  path += pszName;
  return bPatch(path, pszOut);
}

bool bGetQNTCONFPath(wchar_t* pszPath) { return __PrivateProfilePatchName(L".QNT.conf", pszPath); }

unsigned int GetPrivateProfileStringA(const char* pszSection, const char* pszKey, const char* pszDefault,
                                      char* pszBuffer, unsigned int nSize, const char* pszFileName) {
  std::string path;
  const bool bPath = bSystemPath(pszFileName, &path);
  return GetString(pszSection, pszKey, pszDefault, pszBuffer, nSize, bPath ? path.c_str() : nullptr);
}

unsigned int GetPrivateProfileStringW(const wchar_t* pszSection, const wchar_t* pszKey,
                                      const wchar_t* pszDefault, wchar_t* pszBuffer, unsigned int nSize,
                                      const wchar_t* pszFileName) {
  std::string path;
  const bool bPath = bSystemPath(pszFileName, &path);
  return GetString(pszSection, pszKey, pszDefault, pszBuffer, nSize, bPath ? path.c_str() : nullptr);
}

unsigned int GetPrivateProfileString(const wchar_t* pszSection, const wchar_t* pszKey,
                                     const wchar_t* pszDefault, wchar_t* pszBuffer, unsigned int nSize,
                                     const wchar_t* pszFileName) {
  return GetPrivateProfileStringW(pszSection, pszKey, pszDefault, pszBuffer, nSize, pszFileName);
}

int GetPrivateProfileInt(const wchar_t* pszSection, const wchar_t* pszKey, int nDefault,
                         const wchar_t* pszFileName) {
  wchar_t szDefault[16];
  itow(nDefault, szDefault, 10);
  wchar_t szValue[20];
  GetPrivateProfileStringW(pszSection, pszKey, szDefault, szValue, 20, pszFileName);
  return static_cast<int>(std::wcstol(szValue, nullptr, 10));
}

int WritePrivateProfileStringA(const char* pszSection, const char* pszKey, const char* pszValue,
                               const char* pszFileName) {
  std::string path;
  if (!bSystemPath(pszFileName, &path)) return 0;
  return WriteString(pszSection, pszKey, pszValue, path.c_str());
}

int WritePrivateProfileStringW(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszValue,
                               const wchar_t* pszFileName) {
  std::string path;
  if (!bSystemPath(pszFileName, &path)) return 0;
  return WriteString(pszSection, pszKey, pszValue, path.c_str());
}

int WritePrivateProfileString(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszValue,
                              const wchar_t* pszFileName) {
  return WritePrivateProfileStringW(pszSection, pszKey, pszValue, pszFileName);
}

unsigned int GetProfileString(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszDefault,
                              wchar_t* pszBuffer, unsigned int nSize) {
  wchar_t szPath[kMaxPathChars];
  const bool bPath = bGetQNTCONFPath(szPath);
  std::string path;
  if (bPath) bSystemPath(szPath, &path);
  return GetString(pszSection, pszKey, pszDefault, pszBuffer, nSize, bPath ? path.c_str() : nullptr);
}

int GetProfileInt(const wchar_t* pszSection, const wchar_t* pszKey, int nDefault) {
  wchar_t szPath[kMaxPathChars];
  if (!bGetQNTCONFPath(szPath)) return nDefault;
  return GetPrivateProfileInt(pszSection, pszKey, nDefault, szPath);
}

int WriteProfileString(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszValue) {
  wchar_t szPath[kMaxPathChars];
  if (!bGetQNTCONFPath(szPath)) return 0;
  return WritePrivateProfileStringW(pszSection, pszKey, pszValue, szPath);
}
