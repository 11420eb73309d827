// The typed value holder: setters, comparisons, checksum, emptiness tests and
// the file road of memo contents.
#include "items/na_variant.h"

#include <cstring>
#include <new>

#include "core/binary_buffer.h"
#include "driver/na_error.h"
#include "items/convert_variant.h"
#include "platform/file_object.h"
#include "values/money.h"
#include "values/value_calc.h"

namespace {

// Debug sites of this file.
constexpr int kSiteFileOpen = 1;
constexpr int kSiteReadBlock = 2;

constexpr unsigned int kReadBlock = 16384;
// The largest binary buffer the language makes.
constexpr long long kMaxBinSize = 2147483391;

bool bIsWideTextType(unsigned int n) { return n == 16 || n == 20 || n == 81 || n == 110; }
bool bIsAnsiTextType(unsigned int n) {
  return (n >= 17 && n <= 19) || (n >= 21 && n <= 23) || n == 134;
}

unsigned int nDataSize(const CAny& v) {
  unsigned int n = 0;
  if (v.pclGetIntern()->nGetDataSize(&n) != 0) return 0;
  return n;
}
const void* pDataAdr(const CAny& v) {
  void* p = nullptr;
  if (v.pclGetIntern()->nGetDataAdr(&p) != 0) return nullptr;
  return p;
}

// Raises user error 15 for a file that cannot be opened, with the stream's
// system message.
void RaiseFileOpen(CNAError* pclError, const wchar_t* pszPath, CXFile& clFile) {
  const CXError* pclX = clFile.pclGetXError();
  const wchar_t* pszSystem = pclX != nullptr ? pclX->pszGetSystemErrorMessage() : L"";
  CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileVariant, kSiteFileOpen, nullptr, nullptr,
                     nullptr, kNAErrFileOpen, pszPath != nullptr ? pszPath : L"", pszSystem);
}

}  // namespace

CNAVariant::~CNAVariant() = default;

int CNAVariant::vbChangeVXType(unsigned short nType, int) {
  return m_clValue.__nCastTo(nType, nullptr, 1) < 100;
}
int CNAVariant::vbGetValue(CAny* pOut) const { return bGetValue(pOut); }
int CNAVariant::vbIsEmpty() const { return m_clValue.nGetTypeCode() == 0; }
const void* CNAVariant::vpGetData() const { return pGetData(); }
unsigned int CNAVariant::vnGetSize() const { return nGetSize(); }
CNAConnectionDescription* CNAVariant::pclGetCnx() { return nullptr; }

// ---- Typed setters

int CNAVariant::bSetValue(const CMoney& clMoney) {
  m_clValue.__SetType(VX_CY, 0);
  m_clValue.pclGetIntern()->SetValue(&clMoney);
  m_clValue.SetTypeWord(m_clValue.wGetType() & kVXClearFlagsMask);
  return 1;
}
int CNAVariant::bSetValue(double d) { m_clValue.SetR8(d); return 1; }
int CNAVariant::bSetValue(float f) { m_clValue.SetR4(f); return 1; }
int CNAVariant::bSetValue(long long ll) { m_clValue.SetI8(ll); return 1; }
int CNAVariant::bSetValue(unsigned long long ull) { m_clValue.SetUI8(ull); return 1; }
int CNAVariant::bSetValue(int n) { m_clValue.SetI4(n); return 1; }
int CNAVariant::bSetValue(unsigned int n) { m_clValue.SetUI4(n); return 1; }
int CNAVariant::bSetValue(short n) { m_clValue.SetI2(n); return 1; }
int CNAVariant::bSetValue(unsigned short n) { m_clValue.SetUI2(n); return 1; }
int CNAVariant::bSetValue(char c) { m_clValue.SetI1(c); return 1; }
int CNAVariant::bSetValue(unsigned char c) { m_clValue.SetUI1(c); return 1; }
int CNAVariant::bSetValue(bool b) { m_clValue.SetBOOL(b ? 1 : 0); return 1; }

int CNAVariant::bSetValue(const unsigned char* p, unsigned int n) {
  m_clValue.SetValueByte(p, n);
  return 1;
}

int CNAVariant::bSetValue(const CAny* pv) {
  if (pv == nullptr || pv == &m_clValue) return 1;
  m_clValue.DestroyContent();
  m_clValue.SetTypeWord(0);
  m_clValue.__SetType(pv->nGetTypeCode(), 0);
  pv->pclGetIntern()->Duplique(&m_clValue);
  return 1;
}

int CNAVariant::bGetValue(CAny* pOut) const {
  if (pOut == nullptr || pOut == &m_clValue) return 1;
  pOut->DestroyContent();
  pOut->SetTypeWord(0);
  pOut->__SetType(m_clValue.nGetTypeCode(), 0);
  m_clValue.pclGetIntern()->Duplique(pOut);
  return 1;
}
int CNAVariant::bGetValue(const CAny** ppv) const {
  if (ppv != nullptr) *ppv = &m_clValue;
  return 1;
}
int CNAVariant::bGetValue(CAny** ppv) {
  if (ppv != nullptr) *ppv = &m_clValue;
  return 1;
}

int CNAVariant::bCopyVariant(const CNAVariant* pclSrc) {
  if (pclSrc == this) return 1;
  if (pclSrc == nullptr) {
    unsigned short nType = m_clValue.nGetTypeCode();
    m_clValue.DestroyContent();
    m_clValue.SetTypeWord(0);
    m_clValue.__SetType(nType, 0);
    m_clValue.SetNull(true);
    return 1;
  }
  return bSetValue(&pclSrc->m_clValue);
}

CNAConvertVariant* CNAVariant::pclGetCloneVariant() const {
  CNAConvertVariant* pclClone = new (std::nothrow) CNAConvertVariant(nullptr, nullptr);
  if (pclClone == nullptr) return nullptr;
  pclClone->InitTypeVariantAny(m_clValue.nGetTypeCode(), 0);
  pclClone->CNAVariant::bCopyVariant(this);
  return pclClone;
}

const void* CNAVariant::pGetData() const {
  if (m_clValue.nGetTypeCode() == 0) return nullptr;
  return pDataAdr(m_clValue);
}
unsigned int CNAVariant::nGetSize() const { return nDataSize(m_clValue); }
unsigned int CNAVariant::nGetUtilDataSize() const {
  unsigned int n = 0;
  if (m_clValue.pclGetIntern()->nGetUtilDataSize(&n) != 0) return 0;
  return n;
}

unsigned int CNAVariant::nChecksum32() const {
  const unsigned char* p = static_cast<const unsigned char*>(vpGetData());
  unsigned int n = vnGetSize();
  if (p == nullptr || n == 0) return 0;
  unsigned int nSum = 0;
  unsigned int i = 0;
  for (; n - i >= 4; i += 4) {
    nSum += static_cast<unsigned int>(p[i]) | static_cast<unsigned int>(p[i + 1]) << 8 |
            static_cast<unsigned int>(p[i + 2]) << 16 | static_cast<unsigned int>(p[i + 3]) << 24;
  }
  for (; i < n; ++i) nSum += p[i];
  return nSum;
}

// ---- Emptiness

namespace {
int bEmptyText(const CNAVariant& v, const CAny& clValue, bool bWithDates) {
  if (clValue.bIsNull() || v.vbIsEmpty()) return 1;
  unsigned int nType = clValue.nGetTypeCode();
  bool bWide = bIsWideTextType(nType) || (bWithDates && (nType == 24 || nType == 25));
  bool bAnsi = bIsAnsiTextType(nType) || (bWithDates && (nType == 128 || nType == 129));
  if (!bWide && !bAnsi) return 0;
  const void* p = v.vpGetData();
  if (p == nullptr || v.vnGetSize() == 0) return 1;
  if (bAnsi) return *static_cast<const char*>(p) == 0;
  // A raw buffer holds UTF-16, a language value 4-byte characters: either way
  // the first unit is zero exactly when the first two bytes are.
  const unsigned char* pb = static_cast<const unsigned char*>(p);
  return v.vnGetSize() < 2 || (pb[0] == 0 && pb[1] == 0);
}
}  // namespace

int CNAVariant::bIsEmptyString() const { return bEmptyText(*this, m_clValue, false); }
int CNAVariant::bIsEmptyStringEx() const { return bEmptyText(*this, m_clValue, true); }

int CNAVariant::bIsNumeric0() const {
  if (m_clValue.bIsNull() || vbIsEmpty()) return 1;
  unsigned int nType = m_clValue.nGetTypeCode();
  if (nType < 1 || nType > 14) return 0;
  CAny clCopy;
  if (!vbGetValue(&clCopy)) return 1;
  if (clCopy.__nCastTo(VX_R8, nullptr, 1) >= 100) return 0;
  if (clCopy.wGetType() != VX_R8) return 0;
  double d = 0;
  std::memcpy(&d, clCopy.pbyGetValeur(), sizeof d);
  return d == 0.0;
}

// ---- Ordering and equality

int CNAVariant::nCmp(const CAny* pv) const {
  if (pv == nullptr) return 1;
  if (pv->nGetTypeCode() == m_clValue.nGetTypeCode()) {
    unsigned int n = nGetSize();
    if (n == nDataSize(*pv)) {
      if (n == 0) return 0;
      const void* pA = pGetData();
      const void* pB = pDataAdr(*pv);
      if (pA != nullptr && pB != nullptr) {
        int r = std::memcmp(pA, pB, n);
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
      }
    }
  }
  int nResult = 0;
  nCompare(m_clValue, *pv, &nResult, 0);
  return nResult;
}
int CNAVariant::nCmp(const CNAVariant* pclOther) const {
  if (pclOther == this) return 0;
  if (pclOther == nullptr) return 1;
  return nCmp(&pclOther->m_clValue);
}

int CNAVariant::bEqualsNAVariant(const CAny* pv) const {
  bool bOwnNull = m_clValue.bIsNull() || m_clValue.nGetTypeCode() == 0;
  bool bOtherNull = pv == nullptr || pv->bIsNull() || pv->nGetTypeCode() == 0;
  if (bOwnNull && bOtherNull) return 1;
  if (pv == nullptr) return 0;
  int bEqual = 0;
  if (nEgalite(m_clValue, *pv, &bEqual, 0) != 0) return 0;
  return bEqual != 0;
}
int CNAVariant::bEqualsNAVariant(const CNAVariant* pclOther) const {
  if (pclOther == this) return 1;
  return bEqualsNAVariant(pclOther != nullptr ? &pclOther->m_clValue : nullptr);
}

int CNAVariant::g_bEqualsNAVariant(const CNAConvertVariant* pA, const CNAConvertVariant* pB) {
  bool bNullA = pA == nullptr || pA->pclGetValue()->bIsNull();
  bool bNullB = pB == nullptr || pB->pclGetValue()->bIsNull();
  if (bNullA && bNullB) return 1;
  if (bNullA || bNullB) return 0;
  return pA->bEqualsNAVariant(pB);
}

int CNAVariant::bChangeItemType(eNA_ITEMTYPE eType, int bNoFill) {
  return vbChangeVXType(ConverteItemToVXType(eType), bNoFill);
}
eNA_ITEMTYPE CNAVariant::eNAGetItemTypeValue() const {
  return ConvertVXTypeToeItem(m_clValue.nGetTypeCode());
}

void CNAVariant::GetString(CXYString<wchar_t>* pOut, const wchar_t* pszFormat, int nOption) const {
  if (pOut == nullptr) return;
  CAny clCopy;
  vbGetValue(&clCopy);
  nGetString(pOut, clCopy, pszFormat, nOption);
}
void CNAVariant::GetString(CTString* pOut, const wchar_t* pszFormat, int nOption) const {
  if (pOut == nullptr) return;
  CAny clCopy;
  vbGetValue(&clCopy);
  nGetString(pOut, clCopy, pszFormat, nOption);
}

int CNAVariant::bGetDecimalInfo(int* pnDigits, int* pnDecimals) const {
  // The server's decimal objects offer no query of their digits through the
  // interface the driver binds: only a holder whose item says so knows them
  // (CNAConvertVariant::bGetDecimalInfo).
  if (pnDigits != nullptr) *pnDigits = 0;
  if (pnDecimals != nullptr) *pnDecimals = 0;
  return 0;
}

// ---- Files

int CNAVariant::bLoadFile(const wchar_t* pszPath, CNAError* pclError, int bBinary) {
  return gbLoadFile(&m_clValue, pszPath, pclError, bBinary);
}
int CNAVariant::bStoreFile(const wchar_t* pszPath, CNAError* pclError) {
  return gbStoreFile(&m_clValue, pszPath, pclError);
}

int CNAVariant::gbLoadFile(CAny* pValue, const wchar_t* pszPath, CNAError* pclError, int bBinary) {
  if (pValue == nullptr) return 0;
  CXFile clFile;
  if (pszPath == nullptr ||
      !clFile.bOpen(pszPath, IXStream::eACCESS_READ, IXStream::eSHARE_NONE,
                    IXStream::eCREATE_EXISTING, IXStream::eFLAG_NONE, nullptr)) {
    RaiseFileOpen(pclError, pszPath, clFile);
    return 0;
  }
  long long llSize = clFile.oGetSize();
  if (llSize < 0 || llSize > kMaxBinSize) {
    if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  unsigned int nSize = static_cast<unsigned int>(llSize);
  // An empty file is an empty memo, not a failure.
  CVXBIN clBin;
  if (nSize > 0 && (clBin._nNew(static_cast<int>(nSize), nullptr, static_cast<int>(nSize), 0) != 0 ||
                    clBin.pbyGet() == nullptr)) {
    if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  if (nSize > 0) {
    unsigned char* pbyBlock = new (std::nothrow) unsigned char[kReadBlock];
    if (pbyBlock == nullptr) {
      CNAError::g_nRaise(pclError, eNA_ERRORTYPE(0), kNAFileVariant, kSiteReadBlock, nullptr,
                         nullptr, nullptr, kNAErrOutOfMemoryUser);
      return 0;
    }
    unsigned int nOffset = 0;
    for (;;) {
      unsigned int nRead = 0;
      if (!clFile.bRead(pbyBlock, kReadBlock, &nRead)) {
        delete[] pbyBlock;
        return 0;
      }
      if (nRead == 0) break;
      unsigned int nCopy = nRead < nSize - nOffset ? nRead : nSize - nOffset;
      std::memcpy(clBin.pbyGet() + nOffset, pbyBlock, nCopy);
      nOffset += nCopy;
      if (nOffset == nSize) break;
    }
    delete[] pbyBlock;
  }
  if (bBinary) {
    pValue->__SetType(VX_BIN, 0);
    pValue->pclGetIntern()->SetValue(&clBin);
  } else {
    pValue->__SetType(VX_DSTRA, 0);
    pValue->pclGetIntern()->SetValue(clBin.pbyGet() != nullptr ? clBin.pbyGet()
                                                               : reinterpret_cast<const unsigned char*>(""),
                                     nSize);
  }
  pValue->SetTypeWord(pValue->wGetType() & kVXClearFlagsMask);
  return 1;
}

int CNAVariant::gbStoreFile(CAny* pValue, const wchar_t* pszPath, CNAError* pclError) {
  if (pValue == nullptr) return 0;
  CXFile clFile;
  if (pszPath == nullptr ||
      !clFile.bOpen(pszPath, IXStream::eACCESS_READWRITE, IXStream::eSHARE_SHARED,
                    IXStream::eCREATE_CREATE_OR_EMPTY, IXStream::eFLAG_NONE, nullptr)) {
    RaiseFileOpen(pclError, pszPath, clFile);
    return 0;
  }
  void* p = nullptr;
  unsigned int n = 0;
  // The useful size: a text's terminator is no part of the memo's contents.
  if (pValue->pclGetIntern()->nGetDataAdr(&p) != 0) return 0;
  if (pValue->pclGetIntern()->nGetUtilDataSize(&n) != 0 &&
      pValue->pclGetIntern()->nGetDataSize(&n) != 0)
    return 0;
  if (n == 0) return 1;
  if (p == nullptr) return 0;
  unsigned int nWritten = 0;
  return clFile.bWrite(p, n, &nWritten) && nWritten == n;
}
