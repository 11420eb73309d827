// CFSPath: the value type of file-system paths. A wide text that stays in the
// object (261 characters, no allocation) up to 260 characters and moves to a
// counted buffer of the server's string allocator from 261 on, with what
// file code needs: appending with a separator, splitting into directory,
// name and extension, changing the extension, making a path absolute,
// temporary names and the running program's own file.
//
// Separators: both '/' and a backslash count when reading; CFSPath writes
// '/'. The extension is the text from the last '.' after the last separator,
// the dot included (empty at the end of a path without one).
//
// Ownership: copies share the long text (its count is raised); a path makes
// a shared long text its own before any change (copy on write). A long text
// stays long when the path is cut below 261 characters; Clear releases it.
// Results: 0 success; 108 a text longer than 2147483391 characters; 22
// (EINVAL) a text holding a zero among its given characters, which would name
// another file at the system call; otherwise the allocator's code. On failure
// the path is unchanged unless an operation says otherwise.
// REQUIRES: the module entry has bound the server's string allocator before
// a path passes 260 characters.
//
// Threads: a path is used by one thread at a time; shared long texts are
// counted atomically.
#ifndef KQ230_PLATFORM_XPATH_H_
#define KQ230_PLATFORM_XPATH_H_

#include "core/counted_string.h"
#include "platform/file_failure.h"

// The code of a text that would name another file (a zero inside it).
inline constexpr int kPathBadText = 22;

class CFSPath {
 public:
  CFSPath();
  // A text longer than 2147483391 characters, or null, leaves the path empty.
  explicit CFSPath(const wchar_t* pszText);
  CFSPath(const CFSPath& other);
  CFSPath& operator=(const CFSPath& other);
  ~CFSPath();

  // ---- Assignment
  int Assign(const CFSPath& other);
  // n = -1 measures the text. The text may lie in the path's own.
  int Assign(const wchar_t* pszText, int n = -1);
  int Assign(const CXYString<wchar_t>& str);
  void Clear();

  // ---- Reading
  const wchar_t* pszGet() const { return m_clLong.pGetData() != nullptr ? m_clLong.pszGet() : m_szShort; }
  int nGetLength() const;
  bool bIsEmpty() const { return pszGet()[0] == 0 && nGetLength() == 0; }
  // True while the text lives in the counted buffer.
  bool bIsLong() const { return m_clLong.pGetData() != nullptr; }
  const wchar_t* pszGetFileAndExtension() const;
  const wchar_t* pszGetExtension() const;
  // The path in UTF-8 (empty on failure).
  CXYString<char> GetStringUTF8() const;
  void Split(CFSPath* pDirectory, CFSPath* pNameAndExtension) const;
  void Split(CFSPath* pDirectory, CFSPath* pName, CFSPath* pExtension) const;
  // Directory up to and with the last separator; the rest. A null output is
  // skipped.
  static void SplitPath(const wchar_t* pszText, CFSPath* pDirectory, CFSPath* pNameAndExtension);
  static void SplitPath(const wchar_t* pszText, CFSPath* pDirectory, CFSPath* pName,
                        CFSPath* pExtension);

  // ---- Changing
  // n characters (-1 measures; 0 does nothing). The text may be the path's own.
  int Append(const wchar_t* pszText, int n = -1);
  // The same behind a '/' inserted when the path is not empty, does not end
  // with a separator and the text does not begin with one.
  int AppendWithDirectorySeparator(const wchar_t* pszText, int n = -1);
  // '/' appended to a non-empty path that does not end with a separator.
  int WithDirectorySeparator();
  // One final separator removed.
  void WithoutDirectorySeparator();
  // Cut to n characters when n is below the length.
  void Truncate(int n);
  // The extension (dot included) replaced by pszExtension, which carries its
  // own dot; null removes it.
  int ChangeExtension(const wchar_t* pszExtension);
  // Everything after the last separator replaced.
  int ChangeFileAndExtension(const wchar_t* pszNameAndExtension);
  void ExtractDirectory();
  int ExtractFileAndExtension();
  int ExtractFile();
  int ExtractExtension();
  int ExtractDirectory(const wchar_t* pszText);
  int ExtractFile(const wchar_t* pszText);
  int ExtractFileAndExtension(const wchar_t* pszText);
  int ExtractExtension(const wchar_t* pszText);
  // The directory with a final separator, the name, and the extension
  // behind a '.' when it has none; empty parts are left out.
  int MakePath(const wchar_t* pszDirectory, const wchar_t* pszName, const wchar_t* pszExtension);
  void ConvertToUnix();
  void ConvertToWindows();
  // The absolute normal form of the text (CPathNames::GetFullPathName). The
  // path is empty and the result errno's value when that fails.
  int AssignAbsolutePath(const wchar_t* pszText);
  int ConvertToAbsolute();
  // A new temporary file in the temporary directory (CDiskFile::bGetTempName);
  // the path is empty and the result errno's value when none can be made.
  int CreateTempPath(const wchar_t* pszPrefix);
  // The running program's own file; 1, or 0 with the path empty.
  int bGetModule();
  // n > 0 and the character at n - 1 is no separator.
  static int __bNeedSeparator(const wchar_t* pszText, int n);

 private:
  friend int AppendOverlap(CFSPath& clPath, const wchar_t* pszText, int n);
  friend int AppendWithDirectorySeparatorOverlap(CFSPath& clPath, const wchar_t* pszText, int n);

  // The characters, writable. REQUIRES: after __PrepareModification.
  wchar_t* pszData() { return m_clLong.pGetData() != nullptr ? m_clLong.pGetData() : m_szShort; }
  bool bOverlaps(const wchar_t* p) const;
  int __SetSize(int n);
  // Room for n characters and the length set to n; the caller writes them.
  int __PrepareModification(int n);
  // A shared long text made the path's own.
  int __PrepareModification();
  int __Append(const wchar_t* pszText, int n, bool bSeparator);

  wchar_t m_szShort[kPathBufferChars];
  CXYString<wchar_t> m_clLong;
};

// Appending a text that lies in the path's own: through a copy, once.
int AppendOverlap(CFSPath& clPath, const wchar_t* pszText, int n = -1);
int AppendWithDirectorySeparatorOverlap(CFSPath& clPath, const wchar_t* pszText, int n = -1);

#endif  // KQ230_PLATFORM_XPATH_H_
