#include "core/module_info.h"

#include <cstring>
#include <cwchar>

#include "core/error_table.h"
#include "core/locale_compare.h"
#include "core/numbered_messages.h"

const _stMyModuleInfo gstMyModuleInfo76 = {
    gstErrorDef76, kErrorDefCount76, 76, L"kq230maria.so", L"23.0.2.0", bGetResAnsi76, {},
};

namespace {
// Lexicographic: letters that may follow a version's digits ("23.0.2.0b")
// order as a reader expects rather than by code unit.
constexpr unsigned int kVersionCompareFlags = 0x20000000;
}  // namespace

int nCompareVersionModule(const wchar_t* pszVersionA, const wchar_t* pszVersionB) {
  return STR_nCompareRespecteNumeriqueW(pszVersionA, static_cast<unsigned int>(wcslen(pszVersionA)),
                                        pszVersionB, static_cast<unsigned int>(wcslen(pszVersionB)),
                                        kVersionCompareFlags);
}

int nCompareVersionModuleA(const char* pszVersionA, const char* pszVersionB) {
  return STR_nCompareRespecteNumeriqueA(pszVersionA, static_cast<unsigned int>(strlen(pszVersionA)),
                                        pszVersionB, static_cast<unsigned int>(strlen(pszVersionB)),
                                        kVersionCompareFlags);
}
