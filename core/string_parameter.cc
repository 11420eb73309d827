#include "core/string_parameter.h"

#include <cwchar>

namespace {

bool HoldsSeparator(const wchar_t* psz) { return psz != nullptr && std::wcschr(psz, L';') != nullptr; }

}  // namespace

CStringParameter::CStringParameter(const wchar_t* pszName) : m_pszName(pszName) {}

void CStringParameter::SetParameterValue(const wchar_t* pszText, int nLength, const unsigned char*,
                                         int) {
  if (pszText == nullptr) {
    m_clValue.Vide();
    m_bDefined = 0;
    return;
  }
  if (nLength < 0)
    m_clValue.Set(pszText);
  else
    m_clValue.Set(pszText, static_cast<unsigned int>(nLength));
  m_clValue.SansEspace();
  m_bDefined = 1;
}

void CStringParameter::SetParameterValueRep(const wchar_t* pszText, int nLength) {
  SetParameterValue(pszText, nLength);
  const int n = m_clValue.nTaille();
  if (n > 0 && m_clValue.cGetChar(n - 1) != L'\\') m_clValue.Add(L'\\');
}

int CStringParameter::bCompleteConnectionString(CTString* pOut, const unsigned char*, int) const {
  if (!m_bDefined) return 1;
  if (HoldsSeparator(m_clValue.pszGet())) return 0;
  if (pOut->nTaille() != 0) pOut->Add(L';');
  pOut->Add(m_pszName, L"=", m_clValue.pszGet());
  return 1;
}

int CStringParameter::bInitParameterValue(CTString* s, int bRemove) {
  return s_bGetParameterValue(&m_clValue, &m_bDefined, s, m_pszName, bRemove);
}

bool CStringParameter::_s_bGetParameterPos(int& nNamePos, int& nValueStart, int& nValueEnd,
                                           CTString* s, const wchar_t* pszName) {
  nNamePos = 0;
  nValueStart = -1;
  nValueEnd = -1;
  if (s == nullptr || s->nTaille() == 0 || pszName == nullptr || *pszName == 0) return false;
  // Upper-case copies: the locale's mapping keeps every length, so positions
  // found in the copy hold in s.
  CTString clText(*s);
  CTString clName(pszName);
  clText.Majuscule();
  clName.Majuscule();
  const wchar_t* pText = clText.pszGet();
  const int nText = clText.nTaille();
  const int nName = clName.nTaille();
  // Walks parameter by parameter: a name counts only where one begins.
  int nStart = 0;
  while (nStart <= nText) {
    int i = nStart;
    while (i < nText && pText[i] == L' ') ++i;
    const int nFound = i;
    if (std::wcsncmp(pText + i, clName.pszGet(), static_cast<size_t>(nName)) == 0) {
      i += nName;
      while (i < nText && pText[i] == L' ') ++i;
      if (i < nText && pText[i] == L'=') {
        ++i;
        while (i < nText && pText[i] == L' ') ++i;
        nNamePos = nFound;
        nValueStart = i;
        const wchar_t* pEnd = std::wcschr(pText + i, L';');
        nValueEnd = pEnd == nullptr ? nText - 1 : static_cast<int>(pEnd - pText) - 1;
        return true;
      }
    }
    const wchar_t* pNext = std::wcschr(pText + nStart, L';');
    if (pNext == nullptr) break;
    nStart = static_cast<int>(pNext - pText) + 1;
  }
  return false;
}

int CStringParameter::s_bGetParameterValue(CTString* pValue, int* pbFound, CTString* s,
                                           const wchar_t* pszName, int bRemove) {
  pValue->Vide();
  int nNamePos, nValueStart, nValueEnd;
  const bool bFound = _s_bGetParameterPos(nNamePos, nValueStart, nValueEnd, s, pszName);
  if (pbFound != nullptr) *pbFound = bFound ? 1 : 0;
  if (!bFound) return 1;
  if (nValueEnd >= nValueStart) {
    pValue->Set(s->pszGet() + nValueStart, static_cast<unsigned int>(nValueEnd - nValueStart + 1));
    pValue->SansEspace();
  }
  if (bRemove) {
    const wchar_t* p = s->pszGet();
    const int nText = s->nTaille();
    int nFrom = nNamePos;
    while (nFrom > 0 && p[nFrom - 1] == L' ') --nFrom;
    int nTo = nValueEnd + 1;
    while (nTo < nText && (p[nTo] == L';' || p[nTo] == L' ')) ++nTo;
    s->Coupe(nFrom, nTo - nFrom);
    p = s->pszGet();
    int nLead = 0;
    while (p[nLead] == L';' || p[nLead] == L' ') ++nLead;
    if (nLead == s->nTaille())
      s->Vide();
    else if (nLead > 0)
      s->TronqueDebut(nLead);
  }
  return 1;
}

int CStringParameter::s_bParameterDefined(CTString* s, const wchar_t* pszName) {
  int nNamePos, nValueStart, nValueEnd;
  return _s_bGetParameterPos(nNamePos, nValueStart, nValueEnd, s, pszName) ? 1 : 0;
}

int CStringParameter::s_bReplaceParameterValue(CTString* s, const wchar_t* pszValue,
                                               const wchar_t* pszName) {
  if (HoldsSeparator(pszValue)) return 0;
  int nNamePos, nValueStart, nValueEnd;
  if (_s_bGetParameterPos(nNamePos, nValueStart, nValueEnd, s, pszName)) {
    const int nOld = nValueEnd >= nValueStart ? nValueEnd - nValueStart + 1 : 0;
    if (nValueStart >= s->nTaille())
      s->Add(pszValue);  // an empty value at the very end
    else
      s->Remplace(nValueStart, nOld, pszValue);
    return 1;
  }
  if (s->nTaille() != 0) s->Add(L';');
  s->Add(pszName, L"=", pszValue);
  return 1;
}
