// The language values of the kqhost program: host code sees values only as
// CAny pointers, so kqhost's browse makes its search values and reads its
// memos back through hooks (host/parser/standin_value_maker.h,
// host/harness/browse_session.h), which this file fills with the driver's
// own CAny for the life of the program. Linked into kqhost, not into a test.
//
// A text value is a PSTRW; a memo reads back as UTF-8 (wide or 8-bit text in
// the server's code page) or as its bytes (binary). The catalogue's values
// and lists (host/harness/kqhost_values.h) are made and freed here too, with
// the server's string allocator bound to the framework linked into kqhost.
// Threads: one thread (kqhost's).
#include "host/harness/batch_row_printer.h"
#include "host/harness/browse_session.h"
#include "host/harness/kqhost_values.h"
#include "core/counted_string.h"
#include "core/module_entry.h"
#include "tests/host/standin_any_maker.h"
#include "values/any.h"

#include <new>

namespace {

class CKqHostValueReader final : public IBrowseValueReader {
 public:
  int nReadBytes(const CAny* pValue, std::string* pstrBytes) override {
    if (pValue == nullptr || pValue->bIsNull() || pValue->nGetTypeCode() == VX_NONE) return 0;
    const CAny_Intern* pclIntern = pValue->pclGetIntern();
    void* pData = nullptr;
    unsigned int nBytes = 0;
    pclIntern->nGetDataAdr(&pData);
    if (pclIntern->nGetUtilDataSize(&nBytes) != 0) pclIntern->nGetDataSize(&nBytes);
    const auto* p = static_cast<const unsigned char*>(pData);
    if (p == nullptr) nBytes = 0;
    switch (pValue->nGetTypeCode()) {
      case VX_DSTRW:
      case VX_PSTRW:
      case VX_CARW: {
        const auto* psz = reinterpret_cast<const wchar_t*>(p);
        std::wstring str(psz != nullptr ? psz : L"", nBytes / sizeof(wchar_t));
        pstrBytes->clear();
        for (wchar_t c : str) AppendUTF8(pstrBytes, static_cast<unsigned int>(c));
        return 1;
      }
      case VX_CARA:
      case VX_PSTRA:
      case VX_DSTRA:
        *pstrBytes = CBatchRowPrinter::strFromCodePage(p, static_cast<int>(nBytes),
                                                       CBatchRowPrinter::kCodePageWestern);
        return 1;
      case VX_BIN:
        pstrBytes->assign(reinterpret_cast<const char*>(p), nBytes);
        return 1;
      default:
        return -1;
    }
  }

 private:
  static void AppendUTF8(std::string* pstr, unsigned int c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      *pstr += static_cast<char>(c);
    } else if (c < 0x800) {
      *pstr += static_cast<char>(0xC0 | (c >> 6));
      *pstr += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      *pstr += static_cast<char>(0xE0 | (c >> 12));
      *pstr += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *pstr += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *pstr += static_cast<char>(0xF0 | (c >> 18));
      *pstr += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *pstr += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *pstr += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
};

// Installed before main and kept to the end of the program.
struct _stKqHostValues {
  _stKqHostValues() { BrowseSetValueReader(&clReader); }
  ~_stKqHostValues() { BrowseSetValueReader(nullptr); }
  kqtest::StandInAnyMakerScope clMaker;
  CKqHostValueReader clReader;
};

_stKqHostValues g_stKqHostValues;

}  // namespace

void KqHostBindStringAllocator(IStrMemAlloc* piAllocator) {
  CInformationModule::ms_piStrMemAlloc = piAllocator;
}

CAny* KqHostNewValue() { return new (std::nothrow) CAny; }

void KqHostDeleteValue(CAny* pValue) { delete pValue; }

bool KqHostValueText(const CAny* pValue, std::string* pstrUtf8) {
  IBrowseValueReader* piReader = BrowseGetValueReader();
  if (piReader == nullptr) return false;
  const int nRead = piReader->nReadBytes(pValue, pstrUtf8);
  if (nRead == 0) *pstrUtf8 = "NULL";
  return nRead >= 0;
}

CXYString<wchar_t>* KqHostNewWideString() { return new (std::nothrow) CXYString<wchar_t>; }

void KqHostDeleteWideString(CXYString<wchar_t>* pstr) { delete pstr; }

std::string KqHostWideStringText(const CXYString<wchar_t>* pstr) {
  CAny clText;
  clText.__SetType(VX_PSTRW, 0);
  clText.SetValueByte(pstr->pszGet(),
                      static_cast<unsigned int>(pstr->nGetLongueur()) * sizeof(wchar_t));
  std::string strUtf8;
  if (!KqHostValueText(&clText, &strUtf8)) strUtf8.clear();
  return strUtf8;
}
