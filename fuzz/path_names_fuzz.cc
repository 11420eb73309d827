// Feeds arbitrary paths to the path functions: the normal forms (SimplifyPath,
// GetFullPathName), the splits and joins into buffers of a chosen capacity
// (each buffer a heap block of exactly that size, so that any write past it
// is caught), the relative-path joins, the wildcard test against its plain
// definition, and CFSPath (short and long texts) against a string model.
//
// The first byte chooses the capacities; the rest is two texts separated by
// the byte 0xFF, each byte read as a character of a small alphabet rich in
// separators, dots, wildcards and tildes (or, above 0xE0, as itself, so that
// any character appears, up to invalid code points).
#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "core/module_entry.h"
#include "host/harness/host_harness.h"
#include "kq230/module_exports.h"
#include "platform/directory_search.h"
#include "platform/path_names.h"
#include "platform/xpath.h"

namespace {

void Check(bool bCondition) {
  if (!bCondition) std::abort();
}

wchar_t Character(uint8_t b) {
  static const wchar_t kAlphabet[] = L"ab./\\~*?:. /..\u00e9";
  if (b >= 0xE0) return static_cast<wchar_t>(b == 0xFE ? 0x110000 : b);
  return kAlphabet[b % (sizeof(kAlphabet) / sizeof(wchar_t) - 1)];
}

std::wstring Slashed(std::wstring s) {
  for (auto& c : s) {
    if (c == L'\\') c = L'/';
  }
  return s;
}

// A caller's buffer of exactly nCapacity characters on the heap.
struct Buffer {
  explicit Buffer(unsigned int nCapacity, const std::wstring& initial = L"")
      : p(static_cast<wchar_t*>(std::malloc((nCapacity == 0 ? 1 : nCapacity) * sizeof(wchar_t)))),
        n(nCapacity) {
    if (n > 0) {
      const size_t k = std::min<size_t>(initial.size(), n - 1);
      std::wmemcpy(p, initial.data(), k);
      p[k] = 0;
    }
  }
  ~Buffer() { std::free(p); }
  wchar_t* p;
  unsigned int n;
};

// The wildcards by their definition, as a table (no exponential recursion).
bool WildcardReference(const std::wstring& name, const std::wstring& pattern) {
  std::vector<std::vector<char>> m(name.size() + 1, std::vector<char>(pattern.size() + 1, 0));
  m[name.size()][pattern.size()] = 1;
  for (size_t i = name.size() + 1; i-- > 0;) {
    for (size_t j = pattern.size(); j-- > 0;) {
      if (pattern[j] == L'*') {
        m[i][j] = m[i][j + 1] || (i < name.size() && m[i + 1][j]);
      } else {
        m[i][j] = i < name.size() && (pattern[j] == L'?' || pattern[j] == name[i]) && m[i + 1][j + 1];
      }
    }
  }
  return m[0][0] != 0;
}

void NormalForms(const std::wstring& text) {
  std::wstring s = text;
  const int n = CPathNames::SimplifyPath(s.data());
  Check(n >= 0 && static_cast<size_t>(n) <= text.size());
  const std::wstring once(s.c_str());
  Check(once.size() == static_cast<size_t>(n));
  std::wstring twice = once;
  CPathNames::SimplifyPath(twice.data());
  Check(std::wstring(twice.c_str()) == once);
  Check(once.find(L"//") == std::wstring::npos);
  Check(once.find(L"/./") == std::wstring::npos);
  if (!text.empty()) Check((Slashed(text)[0] == L'/') == (!once.empty() && once[0] == L'/'));
  if (!once.empty() && once[0] == L'/') Check(once.find(L"/../") == std::wstring::npos);

  // The full form of an absolute path.
  const std::wstring absolute = L"/" + text;
  const unsigned int nNeeded = CPathNames::GetFullPathName(absolute.c_str(), 0, nullptr, nullptr);
  if (nNeeded == 0) return;
  Buffer full(nNeeded);
  const unsigned int nLength = CPathNames::GetFullPathName(absolute.c_str(), nNeeded, full.p, nullptr);
  Check(nLength + 1 == nNeeded);
  Check(full.p[0] == L'/');
  const std::wstring result(full.p);
  Check(result.find(L"/../") == std::wstring::npos && result.find(L"/./") == std::wstring::npos);
  Buffer again(nNeeded);
  Check(CPathNames::GetFullPathName(result.c_str(), nNeeded, again.p, nullptr) == nLength);
  Check(result == again.p);
  // Too small a buffer is left alone.
  if (nNeeded > 1) {
    Buffer small(nNeeded - 1, L"keep");
    const std::wstring before(small.p);
    Check(CPathNames::GetFullPathName(absolute.c_str(), nNeeded - 1, small.p, nullptr) == nNeeded);
    Check(before == small.p);
  }
}

void Parts(const std::wstring& text, unsigned int nCapacity) {
  Buffer dir(nCapacity), name(nCapacity), ext(nCapacity);
  if (CPathNames::__SplitPath<wchar_t>(text.c_str(), dir.p, name.p, ext.p, nCapacity)) {
    Check(std::wstring(dir.p) + name.p + ext.p == Slashed(text));
  }
  Buffer changed(nCapacity, text);
  const std::wstring before(changed.p);
  if (!CPathNames::ChangeExtension(changed.p, nCapacity, L".ext")) {
    Check(std::wstring(changed.p) == Slashed(before));
  }
  Buffer made(nCapacity);
  CPathNames::MakePath(made.p, text.c_str(), L"n", L"e", nCapacity);
  Buffer slash(nCapacity, text);
  CPathNames::DirectoryWithEndSlash(slash.p, nCapacity);
  Buffer prefixed(nCapacity, text);
  CPathNames::PrefixeCurrentDirectory(prefixed.p, nCapacity);
  Buffer standard(nCapacity);
  CPathNames::StandardizeFileName(standard.p, text.c_str(), nCapacity);
  const wchar_t* pszExtension = CPathNames::pszGetPtrToExtension(text.c_str());
  const wchar_t* pszName = CPathNames::pszGetPtrToFileName(text.c_str());
  Check(pszExtension >= text.c_str() && pszExtension <= text.c_str() + text.size());
  Check(pszName >= text.c_str() && pszName <= text.c_str() + text.size());
}

void Relative(const std::wstring& a, const std::wstring& b, unsigned int nCapacity, int nMode) {
  Buffer joined(nCapacity, L"untouched");
  const std::wstring before(joined.p);
  if (!CPathNames::bRelativeToFullPath(joined.p, a.c_str(), b.c_str(), nMode, nCapacity))
    Check(std::wstring(joined.p) == before);
  Buffer relative(nCapacity, L"untouched");
  CPathNames::bPathRelativePathTo(relative.p, a.c_str(), b.c_str(), nMode & 1, nCapacity);
  CPathNames::bSameFileName(a.c_str(), b.c_str());
  CPathNames::bSameDirectoryName(a.c_str(), b.c_str());
}

void Wildcards(const std::wstring& name, const std::wstring& pattern) {
  if (name.size() > 64 || pattern.size() > 64) return;
  Check((CDirectorySearch::_bFiltreFileName(name.c_str(), pattern.c_str()) != 0) ==
        WildcardReference(name, pattern));
}

void PathValue(const std::wstring& a, const std::wstring& b) {
  CFSPath clPath;
  std::wstring model;
  if (clPath.Assign(a.c_str()) == 0) model = a;
  if (clPath.AppendWithDirectorySeparator(b.c_str()) == 0 && !b.empty()) {
    const bool bSlash = !model.empty() && model.back() != L'/' && model.back() != L'\\' &&
                        b[0] != L'/' && b[0] != L'\\';
    model += (bSlash ? L"/" : L"") + b;
  }
  Check(std::wstring(clPath.pszGet(), static_cast<size_t>(clPath.nGetLength())) == model);
  CFSPath clCopy(clPath);
  clCopy.Append(clCopy.pszGet());
  Check(std::wstring(clPath.pszGet(), static_cast<size_t>(clPath.nGetLength())) == model);
  Check(clCopy.nGetLength() == 2 * clPath.nGetLength());
  clCopy.ChangeExtension(L".x");
  clCopy.ExtractFile();
  CFSPath clDir, clName, clExt;
  clPath.Split(&clDir, &clName, &clExt);
  Check(std::wstring(clDir.pszGet()) + clName.pszGet() + clExt.pszGet() == model);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Long paths live in counted buffers: the framework is started against the
  // stand-in server's string allocator, as the driver is at load.
  void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (hVM == nullptr) return 0;
  _stModuleInitRecord stRecord = {sizeof stRecord, static_cast<HINSTANCE>(hVM), 0, 0, nullptr};
  ModuleEntry_nExecution(MODULE_CODE_INIT, &stRecord);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 6000) return 0;
  const unsigned int nCapacity = 1 + data[0] % 64 + (data[0] & 0x80 ? 256 : 0);
  std::wstring a;
  std::wstring b;
  bool bSecond = false;
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0xFF && !bSecond) {
      bSecond = true;
      continue;
    }
    (bSecond ? b : a) += Character(data[i]);
  }
  NormalForms(a);
  Parts(a, nCapacity);
  Relative(a, b, nCapacity, data[0] % 3);
  Wildcards(a, b);
  PathValue(a, b);
  return 0;
}
