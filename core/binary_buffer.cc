#include "core/binary_buffer.h"

#include <cstring>
#include <cwchar>
#include <utility>

#include "core/locale_compare.h"
#include "core/codepage_conversion.h"

namespace {

int ResolveCodePage(int nCodePage) {
  return nCodePage == -1 ? STR_nGetCurrentCodePage() : nCodePage;
}

bool bInside(const void* p, const void* pBegin, uint64_t nBytes) {
  const uintptr_t a = reinterpret_cast<uintptr_t>(p);
  const uintptr_t b = reinterpret_cast<uintptr_t>(pBegin);
  return pBegin != nullptr && a >= b && a - b < nBytes;
}

bool bFits(int64_t n) { return n >= 0 && n <= kCountedMaxUnits; }

int SizeOf(const CVXBIN* p) { return p == nullptr ? 0 : p->nGetSize(); }
const unsigned char* BytesOf(const CVXBIN* p) { return p == nullptr ? nullptr : p->pbyGet(); }

}  // namespace

// ---------------------------------------------------------------------------
// Construction and access

CVXBIN::CVXBIN(const unsigned char* p, int n) { _nNew(n, p, n, 0); }

CVXBIN::CVXBIN(const CVXBIN& other) : m_pData(other.m_pData) {
  if (m_pData != nullptr) CountedBuffer_AddRef(m_pData);
}

CVXBIN::~CVXBIN() { Release(); }

CVXBIN& CVXBIN::operator=(const CVXBIN& other) {
  if (m_pData != other.m_pData) {
    if (other.m_pData != nullptr) CountedBuffer_AddRef(other.m_pData);
    Release();
    m_pData = other.m_pData;
  }
  return *this;
}

CVXBIN& CVXBIN::operator=(CVXBIN&& other) noexcept {
  if (this != &other) {
    Release();
    m_pData = other.m_pData;
    other.m_pData = nullptr;
  }
  return *this;
}

int CVXBIN::nGetSize() const {
  return m_pData == nullptr ? 0 : static_cast<int>(pHeader()->nLength);
}

unsigned int CVXBIN::dwGetFlags() const { return m_pData == nullptr ? 0 : pHeader()->dwFlags; }

void CVXBIN::Release() {
  CountedBuffer_Release(m_pData);
  m_pData = nullptr;
}

// ---------------------------------------------------------------------------
// Allocation and assignment

int CVXBIN::_nNew(int n, const unsigned char* p, int nCopy, unsigned int nFlags) {
  if (n == 0) return 0;
  if (n < 0 || n > kCountedMaxUnits) return kCountedTooLong;
  unsigned char* pNew = nullptr;
  const int nResult = CountedBuffer_nAllocate(&pNew, static_cast<uint64_t>(n), nFlags);
  if (nResult != 0) return nResult;
  const int nLength = nCopy < 0 ? 0 : (nCopy < n ? nCopy : n);
  if (p != nullptr && nLength > 0) std::memcpy(pNew, p, static_cast<size_t>(nLength));
  StrMemHeader(pNew)->nLength = static_cast<uint32_t>(nLength);
  Release();  // p may have been in the old buffer: it goes after the copy
  m_pData = pNew;
  return 0;
}

int CVXBIN::nMakeOwn(int n, int nKeep, bool bKeepFlags, unsigned int nFlags) {
  if (n < 0 || n > kCountedMaxUnits) return kCountedTooLong;
  if (m_pData == nullptr) return _nNew(n, nullptr, 0, nFlags);
  if (!CountedBuffer_bShared(m_pData)) {
    if (static_cast<uint32_t>(n) <= pHeader()->nCapacity) return 0;
    return CountedBuffer_nReallocate(&m_pData, static_cast<uint64_t>(n), nFlags);
  }
  if (n == 0) {
    Release();
    return 0;
  }
  unsigned char* pNew = nullptr;
  const int nResult = CountedBuffer_nAllocate(&pNew, static_cast<uint64_t>(n), nFlags);
  if (nResult != 0) return nResult;
  const int nLength = nGetSize();
  if (nKeep > nLength) nKeep = nLength;
  if (nKeep > n) nKeep = n;
  if (nKeep > 0) std::memcpy(pNew, m_pData, static_cast<size_t>(nKeep));
  StrMemHeader(pNew)->nLength = static_cast<uint32_t>(nKeep);
  StrMemHeader(pNew)->dwFlags = bKeepFlags ? pHeader()->dwFlags : 0;
  Release();
  m_pData = pNew;
  return 0;
}

void CVXBIN::Assign(const CVXBIN* p, int n) {
  if (n == 0 || p == nullptr) {
    Release();
    return;
  }
  *this = *p;  // shares; safe when p is this
  Tronque(n);
}

int CVXBIN::nAssign(const unsigned char* p, int n, unsigned int nFlags) {
  if (n == 0 || (p == nullptr && n > 0)) {
    Release();
    return 0;
  }
  if (n < 0 || n > kCountedMaxUnits) return kCountedTooLong;
  if (m_pData == nullptr) return _nNew(n, p, n, nFlags);
  if (CountedBuffer_bShared(m_pData)) return _nNew(n, p, n, 0);  // old buffer goes on success

  // An own buffer is reused; p may lie in it.
  const bool bOwnBytes = bInside(p, m_pData, uint64_t(pHeader()->nCapacity) + 4);
  const uintptr_t nOffset = reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(m_pData);
  if (static_cast<uint32_t>(n) > pHeader()->nCapacity) {
    const int nResult = CountedBuffer_nReallocate(&m_pData, static_cast<uint64_t>(n), nFlags);
    if (nResult != 0) return nResult;
    if (bOwnBytes) p = m_pData + nOffset;
  }
  std::memmove(m_pData, p, static_cast<size_t>(n));
  pHeader()->nLength = static_cast<uint32_t>(n);
  return 0;
}

int CVXBIN::nAssignInit(const unsigned char* p, int n) {
  if (n == 0 || p == nullptr) {
    Release();
    return 0;
  }
  return _nNew(n, p, n, 0);
}

int CVXBIN::nSetSize(int n, unsigned int nFlags) {
  if (n == 0) {
    Release();
    return 0;
  }
  if (n < 0 || n > kCountedMaxUnits) return kCountedTooLong;
  if (m_pData == nullptr) return _nNew(n, nullptr, n, nFlags);
  const int nResult = nMakeOwn(n, n, false, nFlags);
  if (nResult != 0) return nResult;
  pHeader()->nLength = static_cast<uint32_t>(n);
  return 0;
}

int CVXBIN::nSetMemorySize(int n, unsigned int nFlags) {
  if (n < 0 || n > kCountedMaxUnits) return kCountedTooLong;
  if (m_pData == nullptr) return _nNew(n, nullptr, 0, 0);
  // Reserving room is for writing next: a shared buffer becomes the value's
  // own, content and flags kept, so the value does not change.
  const int nLength = nGetSize();
  return nMakeOwn(n > nLength ? n : nLength, nLength, true, nFlags);
}

void CVXBIN::SetUtilSize(int n) {
  if (m_pData == nullptr || n < 0 || static_cast<uint32_t>(n) > pHeader()->nCapacity ||
      CountedBuffer_bShared(m_pData))
    return;
  pHeader()->nLength = static_cast<uint32_t>(n);
}

void CVXBIN::__FillDynBin(const unsigned char* p, int n, int at) {
  if (p == nullptr || m_pData == nullptr || n < 0 || at < 0) return;
  if (uint64_t(at) + uint64_t(n) > pHeader()->nCapacity || CountedBuffer_bShared(m_pData)) return;
  std::memmove(m_pData + at, p, static_cast<size_t>(n));
  pHeader()->nLength = static_cast<uint32_t>(at + n);
}

void CVXBIN::Take(CVXBIN* p) {
  if (p == nullptr || p == this) return;
  Release();
  m_pData = p->m_pData;
  p->m_pData = nullptr;
}

// ---------------------------------------------------------------------------
// Changes

int CVXBIN::Tronque(int n) {
  if (n < 0 || m_pData == nullptr || nGetSize() < n) return 0;
  if (CountedBuffer_bShared(m_pData)) {
    if (n == 0) {
      Release();
      return 0;
    }
    return _nNew(n, m_pData, n, 0);
  }
  pHeader()->dwFlags &= ~kCountedFlagHighMarker;
  pHeader()->nLength = static_cast<uint32_t>(n);
  return 0;
}

int CVXBIN::nConcat(const unsigned char* p, int n) {
  if (n <= 0 || p == nullptr) return 0;
  if (m_pData == nullptr) return nAssign(p, n, 0);
  const int nLength = nGetSize();
  const int64_t nTotal = int64_t(nLength) + n;
  if (!bFits(nTotal)) return kCountedTooLong;
  // p may lie in the own buffer; a shared one stays alive until the copy is
  // done (this value holds it), a moved one is found again by offset.
  const bool bOwnBytes = bInside(p, m_pData, uint64_t(pHeader()->nCapacity) + 4);
  const uintptr_t nOffset = reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(m_pData);
  if (CountedBuffer_bShared(m_pData)) {
    unsigned char* pNew = nullptr;
    const int nResult = CountedBuffer_nAllocate(&pNew, static_cast<uint64_t>(nTotal), 0);
    if (nResult != 0) return nResult;
    std::memcpy(pNew, m_pData, static_cast<size_t>(nLength));
    std::memcpy(pNew + nLength, p, static_cast<size_t>(n));
    StrMemHeader(pNew)->dwFlags = pHeader()->dwFlags;
    StrMemHeader(pNew)->nLength = static_cast<uint32_t>(nTotal);
    Release();
    m_pData = pNew;
    return 0;
  }
  if (static_cast<uint64_t>(nTotal) > pHeader()->nCapacity) {
    const int nResult = CountedBuffer_nReallocate(&m_pData, static_cast<uint64_t>(nTotal), 0);
    if (nResult != 0) return nResult;
    if (bOwnBytes) p = m_pData + nOffset;
  }
  std::memmove(m_pData + nLength, p, static_cast<size_t>(n));
  pHeader()->nLength = static_cast<uint32_t>(nTotal);
  return 0;
}

int CVXBIN::nConcatInit(CVXBIN* a, const CVXBIN* b, unsigned int nFlags) {
  // Built aside: a or b may be this value.
  CVXBIN clResult;
  const int nA = SizeOf(a);
  const int nB = SizeOf(b);
  if (nA == 0) {
    if (b != nullptr) clResult = *b;
  } else if (nFlags & 0x1) {
    const bool bTaken = !CountedBuffer_bShared(a->m_pData);
    if (bTaken)
      clResult.Take(a);
    else
      clResult = *a;
    const int nResult = clResult.nConcat(BytesOf(b), nB);
    if (nResult != 0) {
      if (bTaken) a->Take(&clResult);  // give it back as it was
      return nResult;
    }
  } else if (nB == 0) {
    clResult = *a;
  } else {
    const int64_t nTotal = int64_t(nA) + nB;
    if (!bFits(nTotal)) return kCountedTooLong;
    const int nResult = clResult._nNew(static_cast<int>(nTotal), a->m_pData, nA, 0);
    if (nResult != 0) return nResult;
    std::memcpy(clResult.m_pData + nA, b->m_pData, static_cast<size_t>(nB));
    clResult.pHeader()->nLength = static_cast<uint32_t>(nTotal);
    clResult.pHeader()->dwFlags = b->dwGetFlags() & kCountedFlagHighMarker;
  }
  *this = std::move(clResult);
  return 0;
}

int CVXBIN::nConcatSeparateur(const CVXBIN* pSep, const CVXBIN* pOther, int bSkipOnEmpty) {
  if (pOther != nullptr && pOther->nGetSize() == 0) return 0;
  // Shared copies: the separator or the other value may be this one.
  const CVXBIN clSep = pSep != nullptr ? *pSep : CVXBIN();
  const CVXBIN clOther = pOther != nullptr ? *pOther : CVXBIN();
  const int nLength = nGetSize();
  const int nSep = clSep.nGetSize();
  bool bSep = nSep > 0;
  if (bSep && nLength == 0 && bSkipOnEmpty) bSep = false;
  if (bSep && bTerminePar(this, &clSep)) bSep = false;
  if (bSep && pOther != nullptr && bCommencePar(&clOther, &clSep)) bSep = false;
  const int nOther = clOther.nGetSize();
  const int64_t nTotal = int64_t(nLength) + (bSep ? nSep : 0) + nOther;
  if (nTotal == nLength) return 0;
  if (!bFits(nTotal)) return kCountedTooLong;
  // Room first, so that the appends cannot fail half-way.
  const int nResult = nMakeOwn(static_cast<int>(nTotal), nLength, true, 0);
  if (nResult != 0) return nResult;
  int nAt = nLength;
  if (bSep) {
    std::memcpy(m_pData + nAt, clSep.m_pData, static_cast<size_t>(nSep));
    nAt += nSep;
  }
  if (nOther > 0) std::memcpy(m_pData + nAt, clOther.m_pData, static_cast<size_t>(nOther));
  pHeader()->nLength = static_cast<uint32_t>(nTotal);
  return 0;
}

int CVXBIN::nRepete(const CVXBIN& b, int n) {
  const CVXBIN clPiece(b);  // b may be this
  const int nPiece = clPiece.nGetSize();
  const int64_t nTotal = n <= 0 ? 0 : int64_t(nPiece) * n;
  if (nTotal == 0) {
    Release();
    return 0;
  }
  if (!bFits(nTotal)) return kCountedTooLong;
  CVXBIN clResult;
  const int nResult = clResult._nNew(static_cast<int>(nTotal), nullptr, 0, 0);
  if (nResult != 0) return nResult;
  for (int i = 0; i < n; ++i)
    std::memcpy(clResult.m_pData + int64_t(i) * nPiece, clPiece.m_pData, static_cast<size_t>(nPiece));
  clResult.pHeader()->nLength = static_cast<uint32_t>(nTotal);
  *this = std::move(clResult);
  return 0;
}

int CVXBIN::Remplace(int at, int n, const CVXBIN& b) {
  const int nLength = nGetSize();
  if (at < 0 || at >= nLength) return 0;
  if (n < 0 || n > nLength - at) n = nLength - at;
  const CVXBIN clNew(b);  // b may be this: the buffer is then shared and copied
  const int nNew = clNew.nGetSize();
  const int64_t nTotal = int64_t(nLength) - n + nNew;
  if (!bFits(nTotal)) return kCountedTooLong;
  if (nTotal == 0) {
    Release();
    return 0;
  }
  const int nTail = nLength - at - n;
  if (CountedBuffer_bShared(m_pData) || static_cast<uint64_t>(nTotal) > pHeader()->nCapacity) {
    // A new buffer; on failure the value stays as it was.
    unsigned char* pNew = nullptr;
    const int nResult = CountedBuffer_nAllocate(&pNew, static_cast<uint64_t>(nTotal), 0);
    if (nResult != 0) return nResult;
    std::memcpy(pNew, m_pData, static_cast<size_t>(at));
    if (nNew > 0) std::memcpy(pNew + at, clNew.m_pData, static_cast<size_t>(nNew));
    std::memcpy(pNew + at + nNew, m_pData + at + n, static_cast<size_t>(nTail));
    StrMemHeader(pNew)->nLength = static_cast<uint32_t>(nTotal);
    Release();
    m_pData = pNew;
    return 0;
  }
  std::memmove(m_pData + at + nNew, m_pData + at + n, static_cast<size_t>(nTail));
  if (nNew > 0) std::memcpy(m_pData + at, clNew.m_pData, static_cast<size_t>(nNew));
  pHeader()->nLength = static_cast<uint32_t>(nTotal);
  return 0;
}

// ---------------------------------------------------------------------------
// Reading

int CVXBIN::nMilieu(CVXBIN* pOut, int at, int n) const {
  if (pOut == nullptr) return 0;
  const int nLength = nGetSize();
  if (at < 0 || at >= nLength || n == 0) {
    pOut->Release();
    return 0;
  }
  if (n < 0 || n > nLength - at) n = nLength - at;
  CVXBIN clResult;  // pOut may be this
  const int nResult = clResult._nNew(n, m_pData + at, n, 0);
  if (nResult != 0) return nResult;
  *pOut = std::move(clResult);
  return 0;
}

CVXBIN CVXBIN::clMilieu(int at, int n) const {
  CVXBIN clResult;
  nMilieu(&clResult, at, n);
  return clResult;
}

int CVXBIN::nPos(const unsigned char* p, int n, int from) const {
  const int nLength = nGetSize();
  if (from < 0 || n <= 0 || p == nullptr || nLength == 0 || from >= nLength) return -1;
  const void* pFound = memmem(m_pData + from, static_cast<size_t>(nLength - from), p, static_cast<size_t>(n));
  return pFound == nullptr ? -1 : static_cast<int>(static_cast<const unsigned char*>(pFound) - m_pData);
}

int CVXBIN::nCompare(const CVXBIN* a, const CVXBIN* b) {
  const int nA = SizeOf(a);
  const int nB = SizeOf(b);
  const int nCommon = nA < nB ? nA : nB;
  const int nCmp = nCommon > 0 ? std::memcmp(a->m_pData, b->m_pData, static_cast<size_t>(nCommon)) : 0;
  if (nCmp != 0) return nCmp < 0 ? -1 : 1;
  return nA == nB ? 0 : (nA < nB ? -1 : 1);
}

int CVXBIN::nCompare(const CVXBIN* a, const CVXBIN* b, int n) {
  if (n < 0) n = 0;
  int nA = SizeOf(a);
  int nB = SizeOf(b);
  if (nA > n) nA = n;
  if (nB > n) nB = n;
  const int nCommon = nA < nB ? nA : nB;
  const int nCmp = nCommon > 0 ? std::memcmp(a->m_pData, b->m_pData, static_cast<size_t>(nCommon)) : 0;
  if (nCmp != 0) return nCmp < 0 ? -1 : 1;
  return nA == nB ? 0 : (nA < nB ? -1 : 1);
}

int CVXBIN::bCommencePar(const CVXBIN* a, const CVXBIN* b) {
  const int nA = SizeOf(a);
  const int nB = SizeOf(b);
  if (nB == 0) return 1;
  return nA >= nB && std::memcmp(a->m_pData, b->m_pData, static_cast<size_t>(nB)) == 0;
}

int CVXBIN::bTerminePar(const CVXBIN* a, const CVXBIN* b) {
  const int nA = SizeOf(a);
  const int nB = SizeOf(b);
  if (nB == 0) return 1;
  return nA >= nB && std::memcmp(a->m_pData + (nA - nB), b->m_pData, static_cast<size_t>(nB)) == 0;
}

int CVXBIN::bContient(const CVXBIN* a, const CVXBIN* b) {
  const int nB = SizeOf(b);
  if (nB == 0) return 1;
  return a != nullptr && a->nPos(b->m_pData, nB, 0) >= 0;
}

// ---------------------------------------------------------------------------
// Conversions

int CVXBIN::nAffecteToUNICODE(const char* p, int n, int cp, int nFlags) {
  Release();
  if (p == nullptr) return 0;
  const int64_t nLength = n == -1 ? static_cast<int64_t>(std::strlen(p)) : n;
  if (nLength < 1) return 0;
  if (!bFits(nLength)) return kCountedTooLong;
  const unsigned int nCodePage = static_cast<unsigned int>(ResolveCodePage(cp));
  const int nIn = static_cast<int>(nLength);
  const int nChars =
      MultiByteToWideChar(nCodePage, static_cast<unsigned int>(nFlags), p, nIn, nullptr, 0);
  if (nChars <= 0) return kCountedNothingConverted;
  const int64_t nBytes = int64_t(nChars) * int64_t(sizeof(wchar_t));
  if (!bFits(nBytes)) return kCountedTooLong;
  const int nResult = _nNew(static_cast<int>(nBytes), nullptr, 0, 0);
  if (nResult != 0) return nResult;
  int nDone = MultiByteToWideChar(nCodePage, static_cast<unsigned int>(nFlags), p, nIn,
                                  reinterpret_cast<wchar_t*>(m_pData), nChars);
  if (nDone < 0) nDone = 0;
  pHeader()->nLength = static_cast<uint32_t>(nDone) * sizeof(wchar_t);
  return nDone == 0 ? kCountedNothingConverted : 0;
}

int CVXBIN::nAffecteToANSI(const wchar_t* p, int n, int cp, int nFlags, const char* pDefault,
                           int* pbUsedDefault, int nExtra) {
  Release();
  if (p == nullptr) return 0;
  const int64_t nLength = n == -1 ? static_cast<int64_t>(std::wcslen(p)) : n;
  if (nLength < 1) return 0;
  if (!bFits(nLength)) return kCountedTooLong;
  const unsigned int nCodePage = static_cast<unsigned int>(ResolveCodePage(cp));
  const int nIn = static_cast<int>(nLength);
  const int nBytes = WideCharToMultiByte(nCodePage, static_cast<unsigned int>(nFlags), p, nIn,
                                         nullptr, 0, pDefault, nullptr);
  if (nBytes <= 0) return kCountedNothingConverted;
  const int64_t nRoom = int64_t(nBytes) + (nExtra > 0 ? nExtra : 0);
  if (!bFits(nRoom)) return kCountedTooLong;
  const int nResult = _nNew(static_cast<int>(nRoom), nullptr, 0, 0);
  if (nResult != 0) return nResult;
  int nDone = WideCharToMultiByte(nCodePage, static_cast<unsigned int>(nFlags), p, nIn,
                                  reinterpret_cast<char*>(m_pData), nBytes, pDefault, pbUsedDefault);
  if (nDone < 0) nDone = 0;
  pHeader()->nLength = static_cast<uint32_t>(nDone);
  return nDone == 0 ? kCountedNothingConverted : 0;
}

int CVXBIN::nAffecteToANSI(CVXBIN* pWide, int cp, int nFlags, const char* pDefault,
                           int* pbUsedDefault) {
  const CVXBIN clSource = pWide != nullptr ? *pWide : CVXBIN();  // pWide may be this
  const int nChars = clSource.nGetSize() / static_cast<int>(sizeof(wchar_t));
  const auto* pText = reinterpret_cast<const wchar_t*>(clSource.m_pData);
  const bool bMarked = (clSource.dwGetFlags() & kCountedFlagHighMarker) != 0 && nChars >= 1 &&
                       pText[nChars - 1] == kHighMarkerW && ResolveCodePage(cp) != 65001;
  if (!bMarked) {
    if (nChars == 0) {
      Release();
      return 0;
    }
    return nAffecteToANSI(pText, nChars, cp, nFlags, pDefault, pbUsedDefault, 0);
  }
  int nDone = 0;
  if (nChars > 1) {
    const int nResult = nAffecteToANSI(pText, nChars - 1, cp, nFlags, pDefault, pbUsedDefault, 1);
    if (nResult != 0) return nResult;
    nDone = nGetSize();
  } else {
    const int nResult = _nNew(1, nullptr, 0, 0);
    if (nResult != 0) return nResult;
  }
  m_pData[nDone] = kHighMarkerA;  // the one byte reserved above
  pHeader()->nLength = static_cast<uint32_t>(nDone + 1);
  pHeader()->dwFlags = kCountedFlagHighMarker;
  return 0;
}

int CVXBIN::nAffecteANSIToANSI(const char* p, int n, int cpFrom, int cpTo) {
  CXYString<wchar_t> clWide;  // converted before this value lets go: p may lie in it
  const int nResult = clWide.__nConversion(p, n, 0, cpFrom, 0, nullptr);
  if (nResult != 0) {
    Release();
    return nResult;
  }
  if (clWide.nGetLongueur() == 0) {
    Release();
    return 0;
  }
  return nAffecteToANSI(clWide.pszGet(), clWide.nGetLongueur(), cpTo, 0, nullptr, nullptr, 0);
}

// ---------------------------------------------------------------------------
// STManipAUB

namespace {

constexpr unsigned short kTypeWide = CXYString<wchar_t>::TypeVX;
constexpr unsigned short kTypeAnsi = CXYString<char>::TypeVX;
constexpr unsigned short kTypeBinary = CVXBIN::TypeVX;

// The value layer hands out views of its wide-string kinds 148 and 149 too;
// their buffers are wide text like 16, and must not read as empty.
bool bWideType(unsigned short nType) { return nType == kTypeWide || nType == 148 || nType == 149; }

bool bKnownType(unsigned short nType) {
  return bWideType(nType) || nType == kTypeAnsi || nType == kTypeBinary;
}

unsigned int LengthBytes(const unsigned char* pData) {
  return pData == nullptr ? 0 : StrMemHeader(const_cast<unsigned char*>(pData))->nLength;
}

const unsigned char* EmptyText() {
  return reinterpret_cast<const unsigned char*>(CXYString<wchar_t>::ChaineVide);
}

}  // namespace

int STManipAUB::nGetLongueur() const {
  if (!bKnownType(nType)) return 0;
  const unsigned int nBytes = LengthBytes(pData);
  return static_cast<int>(bWideType(nType) ? nBytes / sizeof(wchar_t) : nBytes);
}

unsigned int STManipAUB::nGetTailleUtile() const {
  return bKnownType(nType) ? LengthBytes(pData) : 0;
}

const unsigned char* STManipAUB::pbyGetContenuUtile(unsigned int& n) const {
  n = 0;
  if (!bKnownType(nType)) return EmptyText();
  n = LengthBytes(pData);
  return pData;
}

const unsigned char* STManipAUB::pbyGetContenu(unsigned int& n) const {
  n = 0;
  if (!bKnownType(nType)) return EmptyText();
  // Without buffer there is no terminator to hand out either.
  if (pData == nullptr) return nullptr;
  n = LengthBytes(pData);
  if (bWideType(nType))
    n += sizeof(wchar_t);
  else if (nType == kTypeAnsi)
    n += 1;
  return pData;
}

const char* STManipAUB::pszGetStringA() const {
  return pData != nullptr ? reinterpret_cast<const char*>(pData) : CXYString<char>::ChaineVide;
}

const wchar_t* STManipAUB::pszGetStringW() const {
  return pData != nullptr ? reinterpret_cast<const wchar_t*>(pData) : CXYString<wchar_t>::ChaineVide;
}
