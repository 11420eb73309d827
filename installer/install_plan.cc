#include "installer/install_plan.h"

#include <sys/stat.h>

#include <cwctype>
#include <map>
#include <set>

#include "core/unicode.h"

int eSplitEntryName(const std::string& strName, std::vector<std::string>* pvComponents,
                    bool* pbDirectory) {
  pvComponents->clear();
  *pbDirectory = false;
  if (strName.empty() || strName.size() > kMaxEntryNameBytes) return KQZIP_UNSAFE_NAME;
  for (const unsigned char c : strName) {
    // Control characters (NUL included) and the backslash: a name must read
    // the same to us, to the file system and to the person who reads it.
    if (c < 0x20 || c == 0x7F || c == '\\') return KQZIP_UNSAFE_NAME;
  }
  if (strName[0] == '/') return KQZIP_UNSAFE_NAME;
  const unsigned char c0 = static_cast<unsigned char>(strName[0]);
  if (strName.size() >= 2 && strName[1] == ':' && ((c0 | 0x20) >= 'a' && (c0 | 0x20) <= 'z'))
    return KQZIP_UNSAFE_NAME;  // "C:..." is a drive on the system that made it
  if (UTF8ToWideStrict(strName.data(), static_cast<int>(strName.size()), nullptr, 0) < 0)
    return KQZIP_UNSAFE_NAME;
  std::string strPath = strName;
  if (strPath.back() == '/') {
    *pbDirectory = true;
    strPath.pop_back();
    if (strPath.empty()) return KQZIP_UNSAFE_NAME;
  }
  size_t nStart = 0;
  while (true) {
    const size_t nSlash = strPath.find('/', nStart);
    const std::string strPart =
        strPath.substr(nStart, nSlash == std::string::npos ? std::string::npos : nSlash - nStart);
    if (strPart.empty() || strPart == "." || strPart == ".." || strPart.size() > kMaxComponentBytes) {
      pvComponents->clear();
      return KQZIP_UNSAFE_NAME;
    }
    pvComponents->push_back(strPart);
    if (nSlash == std::string::npos) break;
    nStart = nSlash + 1;
  }
  return KQZIP_OK;
}

std::wstring strFoldName(const std::string& strName) {
  const int n = UTF8ToWideStrict(strName.data(), static_cast<int>(strName.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring str(static_cast<size_t>(n), L'\0');
  UTF8ToWideStrict(strName.data(), static_cast<int>(strName.size()), str.data(), n);
  for (wchar_t& c : str) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return str;
}

int ePlanInstall(const std::vector<_stZipEntry>& vEntries, std::vector<_stPlannedEntry>* pvPlan,
                 size_t* pnFailed) {
  pvPlan->clear();
  // And the folded names that entries give explicitly.
  // Every folded path the archive uses: whether as a directory, and its
  // exact spelling (one directory spelt two ways is two names that collide).
  std::map<std::wstring, std::pair<bool, std::string>> mapUsed;
  std::set<std::wstring> setNamed;
  for (size_t i = 0; i < vEntries.size(); ++i) {
    const _stZipEntry& e = vEntries[i];
    *pnFailed = i;
    _stPlannedEntry stPlan;
    stPlan.nIndex = i;
    if (const int n = eSplitEntryName(e.strName, &stPlan.vComponents, &stPlan.bDirectory); n != 0)
      return n;
    const uint32_t nType = e.nUnixFileType();
    if (nType != 0 && nType != S_IFREG && nType != S_IFDIR) return KQZIP_LINK_ENTRY;
    if (nType == S_IFDIR && !stPlan.bDirectory) return KQZIP_LINK_ENTRY;
    if (!stPlan.bDirectory) {
      if (e.bEncrypted()) return KQZIP_ENCRYPTED;
      if (e.nMethod != 0 && e.nMethod != 8) return KQZIP_UNSUPPORTED_METHOD;
    }
    std::wstring strFolded;
    std::string strExact;
    for (size_t k = 0; k < stPlan.vComponents.size(); ++k) {
      if (k != 0) {
        strFolded += L'/';
        strExact += '/';
      }
      strFolded += strFoldName(stPlan.vComponents[k]);
      strExact += stPlan.vComponents[k];
      const bool bAsDirectory = k + 1 < stPlan.vComponents.size() || stPlan.bDirectory;
      auto [it, bNew] = mapUsed.emplace(strFolded, std::make_pair(bAsDirectory, strExact));
      if (!bNew && (!it->second.first || !bAsDirectory || it->second.second != strExact))
        return KQZIP_DUPLICATE_NAME;
    }
    if (!setNamed.insert(strFolded).second) return KQZIP_DUPLICATE_NAME;
    pvPlan->push_back(std::move(stPlan));
  }
  return KQZIP_OK;
}
