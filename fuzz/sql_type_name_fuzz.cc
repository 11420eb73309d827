// Feeds arbitrary text to the connection's readers of server texts: the type
// name reader (with and without a character-set name, on the MariaDB kind
// and the kind whose REAL is a double) and its declared-length reader, the
// hexadecimal reader into a buffer of every size the input asks for, and the
// date and time text readers that the dialect parses literals with. The
// first byte chooses the reader and its parameters; the rest is the text,
// widened byte by byte, in a block of exactly its size so that a read past
// the terminator is caught.
//
// Contracts checked besides the bounds: a type name always reads, to an item
// type of the enumeration and a size from 1 to a bounded maximum (texts,
// Unicode texts and binaries at most 65535, memos 8); a declared length is
// 0 to its cap; the hexadecimal reader writes nothing past its buffer,
// answers -1 or a count no larger than the buffer, and decodes well-formed
// digits exactly.
#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/module_entry.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "host/harness/host_harness.h"
#include "items/item_services.h"
#include "items/item_types.h"
#include "kq230/module_exports.h"
#include "platform/broken_down_time.h"
#include "tests/mariadb/host_connection_fake.h"

namespace {

void Check(bool bCondition) {
  if (!bCondition) std::abort();
}

// A connection of the kind asked, without a server.
class FuzzConnection : public CNAConnectionDescription {
 public:
  using CNAConnectionDescription::CNAConnectionDescription;
  int bOpen(CNAError*) override { return 0; }
  int bIsOpen() const override { return 0; }
  int bClose(CNAError*) override { return 1; }
  void _InitZB2NativeType() override {}
  void SetKind(int n) { _SetServerKind(n); }
};

// The framework started once against the stand-in, as the server does at
// load; a driver object holding the item layer's services (the decimal
// rule); one connection per server kind tried. Kept for the process.
struct Fixture {
  Fixture() {
    void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (hVM == nullptr) std::abort();
    _stModuleInitRecord stRecord = {sizeof stRecord, static_cast<HINSTANCE>(hVM), 0, 0, nullptr};
    if (ModuleEntry_nExecution(MODULE_CODE_INIT, &stRecord) != 1) std::abort();
    pclDriver = new CNADriver;
    pclDriver->SetItemServices(g_pclGetItemServices());
    pclMariaDB = new FuzzConnection(L"fuzz5", &host);
    pclMariaDB->SetKind(kServerKindMariaDB);
    pclSQLite = new FuzzConnection(L"fuzz13", &host);
    pclSQLite->SetKind(13);
  }
  kqtest::HostConnectionFake host;
  CNADriver* pclDriver;
  FuzzConnection* pclMariaDB;
  FuzzConnection* pclSQLite;
};

Fixture& GetFixture() {
  static Fixture* p = new Fixture;
  return *p;
}

bool bSizedType(int e) {
  return e == NA_IT_TEXTE || e == NA_IT_UNICODE || e == NA_IT_BINAIRE;
}

void ReadTypeName(FuzzConnection* pclConnection, const wchar_t* pszName,
                  const wchar_t* pszCharset) {
  eNA_ITEMTYPE e = NA_IT_EMPTY;
  int nSize = -1, nInt = 0, nDec = 0;
  Check(pclConnection->bSQLTypeNameToNAType(nullptr, &e, &nSize, &nInt, &nDec, pszName,
                                            pszCharset) == 1);
  Check(e > NA_IT_EMPTY && e <= NA_IT_COMBINAISON && e != 8);
  Check(nSize >= 1);
  if (bSizedType(e)) Check(nSize <= 65535);
  if (bIsItemMemo(e)) Check(nSize == 8);
  Check(nSize <= 65535 || e == NA_IT_CHAR);
}

// The digits' value, or -1.
int nHexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

void ReadHex(const wchar_t* pszText, size_t nText, unsigned int nSize) {
  // A buffer of exactly nSize bytes with a guard after it.
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[nSize + 1]);
  buffer[nSize] = 0xA5;
  const int n = CNAConnectionDescription::s_StringHexaToBinary(pszText, buffer.get(), nSize);
  Check(buffer[nSize] == 0xA5);
  Check(n >= -1 && n <= static_cast<int>(nSize));
  // Well-formed digits decode exactly, as far as the buffer holds them.
  bool bWellFormed = nText % 2 == 0;
  for (size_t i = 0; i < nText && bWellFormed; ++i) bWellFormed = nHexDigit(pszText[i]) >= 0;
  if (!bWellFormed) return;
  const size_t nBytes = nText / 2 < nSize ? nText / 2 : nSize;
  Check(n == static_cast<int>(nBytes));
  for (size_t i = 0; i < nBytes; ++i)
    Check(buffer[i] == nHexDigit(pszText[2 * i]) * 16 + nHexDigit(pszText[2 * i + 1]));
  for (size_t i = nBytes; i < nSize; ++i) Check(buffer[i] == 0);
}

void ReadTimes(const wchar_t* pszText, const char* pszNarrow) {
  CXTime clTime;
  clTime.bSetVXDate(pszText);
  clTime.bSetVXTime(pszText);
  clTime.bSetVXDateTime(pszText, 0);
  clTime.bSetVXDateTime(pszNarrow, 0);
  clTime.bSetVXTimeMin(pszText, 0);
  clTime.bSetVXDateTimeMin(pszText, 0);
  clTime.bSetVXTimeMax(pszText, 0);
  clTime.bSetVXDateTimeMax(pszText, 0);
  CTString cs(pszText);
  CNAConnectionDescription::s_DateStandardise(&cs);
  Check(cs.nTaille() <= static_cast<int>(std::wcslen(pszText)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  if (nSize == 0) return 0;
  Fixture& f = GetFixture();
  const uint8_t bySelect = pData[0];
  ++pData;
  --nSize;
  // The text in blocks of exactly its size; a NUL byte ends it early, as a
  // server text would.
  std::unique_ptr<wchar_t[]> wide(new wchar_t[nSize + 1]);
  std::unique_ptr<char[]> narrow(new char[nSize + 1]);
  for (size_t i = 0; i < nSize; ++i) {
    wide[i] = pData[i];
    narrow[i] = static_cast<char>(pData[i]);
  }
  wide[nSize] = 0;
  narrow[nSize] = 0;
  const size_t nText = std::wcslen(wide.get());

  switch (bySelect % 4) {
    case 0: {
      // A name, or a name and a character set split at the first ";".
      wchar_t* pszCharset = nullptr;
      if (wchar_t* p = std::wcschr(wide.get(), L';')) {
        *p = 0;
        pszCharset = p + 1;
      }
      ReadTypeName((bySelect & 0x10) ? f.pclSQLite : f.pclMariaDB, wide.get(), pszCharset);
      break;
    }
    case 1: {
      static const wchar_t* const kPrefixes[] = {L"VARCHAR", L"CHAR", L"BINARY", L"NCHAR",
                                                  L"VARBINARY", L"", L"CHARACTER", L"X"};
      const int n =
          CNAConnectionDescription::_nGetSizeInTypeDecl(wide.get(), kPrefixes[(bySelect >> 2) & 7]);
      Check(n >= 0 && n <= CNAConnectionDescription::kMaxDeclaredLength);
      break;
    }
    case 2:
      ReadHex(wide.get(), nText, bySelect >> 2);
      break;
    default:
      ReadTimes(wide.get(), narrow.get());
      break;
  }
  return 0;
}
