#include "platform/message_file.h"

#include <climits>
#include <cstring>
#include <cwchar>

#include "core/error_object.h"
#include "core/module_info.h"
#include "core/wide_string.h"
#include "core/xmalloc.h"
#include "core/zstring.h"

namespace {

constexpr unsigned int kMsgNotRead = 28003;

uint32_t Get32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

CKQMFile::STOffsetRessource Entry(const unsigned char* pbyIndex, uint32_t i) {
  const unsigned char* p = pbyIndex + static_cast<size_t>(i) * CKQMFile::kEntryBytes;
  CKQMFile::STOffsetRessource st;
  st.nNumero = Get32(p);
  st.llOffset = static_cast<int64_t>(uint64_t(Get32(p + 4)) | uint64_t(Get32(p + 8)) << 32);
  return st;
}

}  // namespace

CKQMFile::CKQMFile() : CKQFile(0) {}

CKQMFile::~CKQMFile() { XMALLOC_Del_(m_pbyIndex); }

void CKQMFile::Purge() {
  XMALLOC_Del_(m_pbyIndex);
  m_pbyIndex = nullptr;
  m_nNbEntries = 0;
  m_dwVersion = 0;
  m_dwOffsetIndex = 0;
  m_llPosIndex = 0;
  m_bIndexTried = 0;
  m_bIndexLoaded = false;
}

void CKQMFile::_RecordCorruption(const wchar_t* pszWhat, unsigned long long nValue) {
  CXError* pError = _pclGetXError();
  if (pError == nullptr) return;
  const wchar_t* pszName = pszGetName();
  if (pszName == nullptr) pszName = L"";
  wchar_t szDebug[160];
  std::swprintf(szDebug, 160, L"##(CKQMFile)-%ls=<%llu>, taille fichier=<%lld>##", pszWhat, nValue,
                oGetSize());
  pError->RAZ();
  pError->InitModInfo(&gstMyModuleInfo76, 1);
  pError->SetErrorLevel(CXError::EL_ERROR);
  pError->SetSystemError(0, nullptr);
  pError->AddDebugMessageNoFormat(szDebug);
  pError->AddUserMessageFirst(&gstMyModuleInfo76, kMsgNotRead, pszName);
  pError->AddInfo(CXError::EIT_SRCFILE, pszName);
}

int CKQMFile::bReadHeader(long long* pnPosition) {
  if (!CKQFile::bReadHeader(pnPosition)) return 0;
  unsigned char ab[4];
  unsigned int nRead = 0;
  if (!bRead(*pnPosition, ab, 4, &nRead) || nRead <= 3) return 0;
  m_dwVersion = Get32(ab);
  if (m_dwVersion <= 1) m_nCodePage = 1252;
  *pnPosition += nRead;
  nRead = 0;
  if (!bRead(*pnPosition, ab, 4, &nRead) || nRead <= 3) return 0;
  m_dwOffsetIndex = Get32(ab);
  *pnPosition += nRead;
  m_llPosIndex = *pnPosition + m_dwOffsetIndex;
  return 1;
}

int CKQMFile::_bChargeIndex() {
  if (m_bIndexLoaded) return 1;
  if (m_bIndexTried) return 0;
  m_bIndexTried = 1;
  unsigned char ab[4];
  if (!bSeek(m_llPosIndex, IXStream::eSEEK_BEGIN) || !bRead(ab, 4, nullptr)) return 0;
  const uint32_t nEntries = Get32(ab);
  // 12 * N in 64 bits, and the whole index within the file: a huge count
  // must not wrap into a short allocation that the read then overruns.
  const long long nSize = oGetSize();
  const unsigned long long nBytes = static_cast<unsigned long long>(nEntries) * kEntryBytes;
  // The allocator takes 32-bit sizes: an index that a file past 4 GiB could
  // hold but no size can express is refused, not cut short.
  if (nSize < 0 || m_llPosIndex < 0 || nBytes > 0x7FFFFFFFull ||
      static_cast<unsigned long long>(m_llPosIndex) + 4 + nBytes > static_cast<unsigned long long>(nSize)) {
    _RecordCorruption(L"Nombre d'entrees", nEntries);
    return 0;
  }
  unsigned char* pby = nullptr;
  if (nBytes != 0) {
    pby = static_cast<unsigned char*>(XMALLOC_pNew_(static_cast<unsigned int>(nBytes)));
    if (pby == nullptr) return 0;
    if (!bRead(pby, static_cast<unsigned int>(nBytes), nullptr)) {
      XMALLOC_Del_(pby);
      return 0;
    }
  }
  m_pbyIndex = pby;
  m_nNbEntries = nEntries;
  m_llPosIndex += 4 + static_cast<long long>(nBytes);
  m_bIndexLoaded = true;
  return 1;
}

int CKQMFile::__nCompareRessource(const STOffsetRessource* pA, const STOffsetRessource* pB) {
  if (pA->nNumero == pB->nNumero) return 0;
  return pA->nNumero > pB->nNumero ? 1 : -1;
}

bool CKQMFile::_bFind(unsigned int nNumero, STOffsetRessource* pEntry) const {
  const STOffsetRessource stKey = {nNumero, 0};
  uint32_t nLow = 0, nHigh = m_nNbEntries;
  while (nLow < nHigh) {
    const uint32_t nMid = nLow + (nHigh - nLow) / 2;
    const STOffsetRessource st = Entry(m_pbyIndex, nMid);
    const int n = __nCompareRessource(&stKey, &st);
    if (n == 0) {
      *pEntry = st;
      return true;
    }
    if (n < 0) {
      nHigh = nMid;
    } else {
      nLow = nMid + 1;
    }
  }
  return false;
}

long long CKQMFile::__oGetOffsetRessource(unsigned int nNumero) {
  STOffsetRessource st;
  if (!_bChargeIndex() || !_bFind(nNumero, &st)) return 0;
  // An offset from a corrupt index may be negative or too large to add:
  // such a text has no position.
  if (st.llOffset < 0 || st.llOffset > LLONG_MAX - m_llPosIndex) return 0;
  return m_llPosIndex + st.llOffset;
}

unsigned char* CKQMFile::_pbyReadText(unsigned int nNumero, uint32_t* pnLength) {
  STOffsetRessource st;
  if (!_bChargeIndex() || !_bFind(nNumero, &st)) return nullptr;
  const long long nSize = oGetSize();
  // The record (skipped byte and length) must lie within the file.
  if (st.llOffset < 0 || st.llOffset > nSize || m_llPosIndex > nSize - st.llOffset - 5) {
    _RecordCorruption(L"Position du texte", static_cast<unsigned long long>(st.llOffset));
    return nullptr;
  }
  const long long nRecord = m_llPosIndex + st.llOffset + 1;
  unsigned char ab[4];
  if (!bSeek(nRecord, IXStream::eSEEK_BEGIN) || !bRead(ab, 4, nullptr)) return nullptr;
  const uint32_t nLength = Get32(ab);
  if (static_cast<long long>(nLength) > nSize - (nRecord + 4) || nLength == UINT32_MAX) {
    _RecordCorruption(L"Longueur du texte", nLength);
    return nullptr;
  }
  auto* pby = static_cast<unsigned char*>(XMALLOC_pNew_(nLength + 1));
  if (pby == nullptr) return nullptr;
  if (nLength != 0 && !bRead(pby, nLength, nullptr)) {
    XMALLOC_Del_(pby);
    return nullptr;
  }
  pby[nLength] = 0;
  *pnLength = nLength;
  return pby;
}

int CKQMFile::bLoadString(unsigned int nNumero, CTString* pclText) {
  uint32_t nLength = 0;
  unsigned char* pby = _pbyReadText(nNumero, &nLength);
  if (pby == nullptr) return 0;
  pclText->SetANSIEx(reinterpret_cast<const char*>(pby), -1, m_nCodePage);
  XMALLOC_Del_(pby);
  return 1;
}

int CKQMFile::nLoadString(unsigned int nNumero, wchar_t* pszBuffer, int nSize) {
  if (pszBuffer == nullptr || nSize < 1) return 0;
  uint32_t nLength = 0;
  unsigned char* pby = _pbyReadText(nNumero, &nLength);
  if (pby == nullptr) return 0;
  // Converted whole, then cut: the conversion itself gives nothing at all
  // when its output is too small.
  CTString clText;
  clText.SetANSIEx(reinterpret_cast<const char*>(pby), static_cast<int>(nLength), m_nCodePage);
  XMALLOC_Del_(pby);
  STR_nCopy(pszBuffer, static_cast<unsigned int>(nSize), clText.pszGet());
  return nLength > INT_MAX ? INT_MAX : static_cast<int>(nLength);
}

int CKQMFile::bVerifieFormat(const wchar_t* pszPath) {
  Purge();
  int bOk = bOpen(pszPath, eFORMAT_DEFAULT, IXStream::eACCESS_READ, IXStream::eSHARE_NONE,
                  IXStream::eCREATE_EXISTING, IXStream::eFLAG_NONE);
  if (bOk) bOk = _bChargeIndex();
  Close();
  return bOk;
}
