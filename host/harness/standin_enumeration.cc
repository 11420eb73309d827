#include "host/harness/standin_enumeration.h"

#include <cstdio>
#include <cstdlib>

#include "host/harness/standin_descriptions.h"

namespace {

[[noreturn]] void AbortRelease(const char* pszWhat) {
  std::fprintf(stderr, "stand-in server: %s released past 0\n", pszWhat);
  std::fflush(stderr);
  std::abort();
}

}  // namespace

// ---------------------------------------------------------------------------
// Enumeration

CStandInEnumeration* CStandInEnumeration::pclNew() { return new CStandInEnumeration; }

CStandInEnumeration* CStandInEnumeration::pclNew(const std::vector<std::wstring>& members,
                                                 IStandInValueAccess* piAccess) {
  CStandInEnumeration* p = new CStandInEnumeration;
  p->m_members = members;
  p->m_piAccess = piAccess;
  return p;
}

CStandInEnumeration::CStandInEnumeration() { ++StandInDescriptionCounts::g_nLive; }
CStandInEnumeration::~CStandInEnumeration() { --StandInDescriptionCounts::g_nLive; }

int CStandInEnumeration::nRelease() {
  if (m_nRefCount <= 0) AbortRelease("IEnumerationVM");
  const int n = --m_nRefCount;
  if (n == 0) delete this;
  return n;
}

int CStandInEnumeration::_bRefuse(CXError* pclError, const std::wstring& strText) {
  ++m_calls.nRefused;
  if (m_piAccess != nullptr && pclError != nullptr)
    m_piAccess->SetError(pclError, kStandInEnumerationRefused, strText);
  return 0;
}

int CStandInEnumeration::vbValueToCode(const CAny* pValue, int* pnCode, CXError* pclError) {
  ++m_calls.nToRecord;
  if (m_piAccess == nullptr || pValue == nullptr || pnCode == nullptr)
    return _bRefuse(pclError, L"no value");
  long long n = 0;
  std::wstring str;
  int nCode = 0;
  if (m_piAccess->bGetInteger(pValue, &n)) {
    if (n >= 1 && n <= static_cast<long long>(m_members.size())) nCode = static_cast<int>(n);
  } else if (m_piAccess->bGetText(pValue, &str)) {
    for (size_t i = 0; i < m_members.size(); ++i)
      if (m_members[i] == str) nCode = static_cast<int>(i + 1);
  }
  if (nCode == 0) return _bRefuse(pclError, L"the value names no member");
  *pnCode = nCode;
  const unsigned int u = static_cast<unsigned int>(nCode);
  m_calls.lastRecord = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                        static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
  return 1;
}

int CStandInEnumeration::vbCodeToValue(const void* pCode, CAny* pValue, CXError* pclError) {
  ++m_calls.nFromRecord;
  if (pCode == nullptr) return _bRefuse(pclError, L"no record form");
  const unsigned char* p = static_cast<const unsigned char*>(pCode);
  m_calls.lastRecord.assign(p, p + 4);
  const unsigned int u = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<unsigned int>(p[3]) << 24);
  if (m_piAccess == nullptr || pValue == nullptr || u < 1 || u > m_members.size())
    return _bRefuse(pclError, L"the code names no member");
  if (!m_piAccess->bSetText(pValue, m_members[u - 1])) return _bRefuse(pclError, L"no value made");
  return 1;
}

// ---------------------------------------------------------------------------
// Combination

CStandInCombination* CStandInCombination::pclNew() { return new CStandInCombination; }

CStandInCombination* CStandInCombination::pclNew(const std::vector<std::wstring>& members,
                                                 IStandInValueAccess* piAccess) {
  CStandInCombination* p = new CStandInCombination;
  p->m_members = members;
  p->m_piAccess = piAccess;
  return p;
}

CStandInCombination::CStandInCombination() { ++StandInDescriptionCounts::g_nLive; }
CStandInCombination::~CStandInCombination() { --StandInDescriptionCounts::g_nLive; }

int CStandInCombination::nRelease() {
  if (m_nRefCount <= 0) AbortRelease("ICombinaisonVM");
  const int n = --m_nRefCount;
  if (n == 0) delete this;
  return n;
}

int CStandInCombination::_bRefuse(CXError* pclError, const std::wstring& strText) {
  ++m_calls.nRefused;
  if (m_piAccess != nullptr && pclError != nullptr)
    m_piAccess->SetError(pclError, kStandInCombinationRefused, strText);
  return 0;
}

int CStandInCombination::vbValueToBytes(const CAny* pValue, void* pBytes, unsigned int nSize,
                                        CXError* pclError) {
  ++m_calls.nToRecord;
  long long n = 0;
  if (m_piAccess == nullptr || pValue == nullptr || pBytes == nullptr ||
      !m_piAccess->bGetInteger(pValue, &n))
    return _bRefuse(pclError, L"no set of members");
  const unsigned long long u = static_cast<unsigned long long>(n);
  const size_t nBits = m_members.size() < 64 ? m_members.size() : 64;
  if (nBits < 64 && (u >> nBits) != 0) return _bRefuse(pclError, L"a bit names no member");
  if (nSize < 8 && (u >> (8 * nSize)) != 0) return _bRefuse(pclError, L"the set does not fit");
  unsigned char* p = static_cast<unsigned char*>(pBytes);
  for (unsigned int i = 0; i < nSize; ++i) p[i] = i < 8 ? static_cast<unsigned char>(u >> (8 * i)) : 0;
  m_calls.lastRecord.assign(p, p + nSize);
  return 1;
}

int CStandInCombination::vbBytesToValue(const void* pBytes, unsigned int nSize, CAny* pValue,
                                        CXError* pclError) {
  ++m_calls.nFromRecord;
  if (pBytes == nullptr) return _bRefuse(pclError, L"no record form");
  const unsigned char* p = static_cast<const unsigned char*>(pBytes);
  m_calls.lastRecord.assign(p, p + nSize);
  unsigned long long u = 0;
  for (unsigned int i = 0; i < nSize; ++i) {
    if (p[i] == 0) continue;
    if (i >= 8) return _bRefuse(pclError, L"a bit names no member");
    u |= static_cast<unsigned long long>(p[i]) << (8 * i);
  }
  const size_t nBits = m_members.size() < 64 ? m_members.size() : 64;
  if (nBits < 64 && (u >> nBits) != 0) return _bRefuse(pclError, L"a bit names no member");
  if (m_piAccess == nullptr || pValue == nullptr ||
      !m_piAccess->bSetInteger(pValue, static_cast<long long>(u)))
    return _bRefuse(pclError, L"no value made");
  return 1;
}
