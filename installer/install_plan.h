// The plan of an installation: every entry of the archive checked before a
// single byte is written, and turned into the path components that the
// extractor walks below the target directory.
//
// An entry is refused when its name could lead outside the target or be read
// two ways (empty, absolute, "..", ".", a backslash, a drive letter, an empty
// component, a control character, not UTF-8), when it is a symbolic link or
// a special file, when it is encrypted or compressed by a method we do not
// read, or when its name (case ignored) is another entry's, or a file's name
// is used as a directory by another entry. Names that differ only in case
// are refused because the target may sit on a file system that folds case,
// and because one of the two would silently win.
//
// Ownership: plain values. Threads: no shared state (towlower reads the
// process locale).
#ifndef KQ230_INSTALLER_INSTALL_PLAN_H_
#define KQ230_INSTALLER_INSTALL_PLAN_H_

#include <cstddef>
#include <string>
#include <vector>

#include "installer/zip_reader.h"

// One entry to install.
struct _stPlannedEntry {
  size_t nIndex = 0;                     // the entry's index in the directory
  bool bDirectory = false;               // a "name/" entry: a directory to create
  std::vector<std::string> vComponents;  // the path below the target, never empty
};

// Longest accepted entry name and component, in bytes.
inline constexpr size_t kMaxEntryNameBytes = 1024;
inline constexpr size_t kMaxComponentBytes = 255;

// Splits and checks one name. KQZIP_OK with the components (and whether it
// names a directory), or KQZIP_UNSAFE_NAME.
int eSplitEntryName(const std::string& strName, std::vector<std::string>* pvComponents,
                    bool* pbDirectory);

// The name folded for comparison: decoded from UTF-8 and lower-cased
// character by character. REQUIRES: valid UTF-8 (eSplitEntryName checked it).
std::wstring strFoldName(const std::string& strName);

// The plan of a whole directory, in archive order. KQZIP_OK, or the first
// refusal with *pnFailed the index of the entry refused.
int ePlanInstall(const std::vector<_stZipEntry>& vEntries, std::vector<_stPlannedEntry>* pvPlan,
                 size_t* pnFailed);

#endif  // KQ230_INSTALLER_INSTALL_PLAN_H_
