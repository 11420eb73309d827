// Feeds arbitrary text to the link parser as if it were a table's definition
// from SHOW CREATE TABLE: the first byte chooses the flags, the rest is the
// text, widened byte by byte, in a block of exactly its size so that a read
// past the terminator is caught. The table's description is a stand-in with
// composed keys, so that column groups get named; a referenced table cannot
// be described (no driver), which drops its several-column links.
//
// Contracts checked besides the bounds: the parser answers 1; without the
// detail flag it writes nothing; every line it writes holds the fixed
// fields "0,N" and "0,1".
#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <memory>

#include "core/module_entry.h"
#include "core/string_concat.h"
#include "host/harness/host_harness.h"
#include "host/harness/standin_descriptions.h"
#include "kq230/item_type.h"
#include "kq230/module_exports.h"
#include "statements/driver_sql.h"

namespace {

void Check(bool bCondition) {
  if (!bCondition) std::abort();
}

// The interface without a driver and without statements.
class FuzzSQL final : public CNADriverSQL {
 public:
  FuzzSQL() : CNADriverSQL(nullptr, nullptr) {}
  CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription*, CNAError*) override {
    return nullptr;
  }
};

StandInItemDecl Item(const wchar_t* pszName, unsigned short wKeyFlags = 0,
                     std::vector<std::wstring> components = {}) {
  StandInItemDecl d;
  d.name = pszName;
  d.type = NA_IT_I4;
  d.size = 4;
  d.keyFlags = wKeyFlags;
  d.components = std::move(components);
  return d;
}

// The framework started once against the stand-in (the counted strings of
// the key naming need its allocator); kept for the process.
struct Fixture {
  Fixture() {
    void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (hVM == nullptr) std::abort();
    _stModuleInitRecord stRecord = {sizeof stRecord, static_cast<HINSTANCE>(hVM), 0, 0, nullptr};
    if (ModuleEntry_nExecution(MODULE_CODE_INIT, &stRecord) != 1) std::abort();
    pclSource = CStandInDescription::pclNew(
        L"c",
        {Item(L"a"), Item(L"b"), Item(L"id", 0x8000), Item(L"ab", 0x3000, {L"a", L"b"}),
         Item(L"ba", 0x5000, {L"b", L"a"})},
        12);
    if (pclSource == nullptr) std::abort();
    pclSQL = new FuzzSQL;
    pclSQL->AddRef();
  }
  CStandInDescription* pclSource;
  FuzzSQL* pclSQL;
};

Fixture& GetFixture() {
  static Fixture* p = new Fixture;
  return *p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  if (nSize == 0) return 0;
  Fixture& f = GetFixture();
  const unsigned int nFlags = (pData[0] & 1) ? 0x20u : (pData[0] & 0x1Fu);
  ++pData;
  --nSize;
  std::unique_ptr<wchar_t[]> wide(new wchar_t[nSize + 1]);
  for (size_t i = 0; i < nSize; ++i) wide[i] = pData[i];
  wide[nSize] = 0;
  CXYStringConcat<wchar_t> clOut;
  Check(f.pclSQL->_bExtraitLink_FromShowCreateTable(&clOut, wide.get(), L"c", nullptr,
                                                     f.pclSource, static_cast<int>(nFlags)) == 1);
  if (!(nFlags & 0x20)) {
    Check(clOut.bEstVide());
  } else if (!clOut.bEstVide()) {
    Check(std::wcsstr(clOut.pszGet(), L"\t0,N\t") != nullptr);
    Check(std::wcsstr(clOut.pszGet(), L"\t0,1\t") != nullptr);
  }
  return 0;
}
