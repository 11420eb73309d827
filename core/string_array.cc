#include "core/string_array.h"

#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <new>

#include "core/message_formatting.h"

namespace {

// A new string holding text, or null when the heap refuses the object or
// the copy (CTString itself reports nothing: a refused copy reads as empty).
CTString* NewString(const wchar_t* pszText, int n = -1) {
  CTString* p = n < 0 ? new (std::nothrow) CTString(pszText)
                      : new (std::nothrow) CTString(pszText, n);
  if (p == nullptr) return nullptr;
  const bool bWanted = pszText != nullptr && *pszText != 0 && n != 0;
  if (bWanted && p->nTaille() == 0) {
    delete p;
    return nullptr;
  }
  return p;
}

int Compare(const void* a, const void* b) {
  return std::wcscmp((*static_cast<CTString* const*>(a))->pszGet(),
                     (*static_cast<CTString* const*>(b))->pszGet());
}

int CompareI(const void* a, const void* b) {
  return ::wcscasecmp((*static_cast<CTString* const*>(a))->pszGet(),
                      (*static_cast<CTString* const*>(b))->pszGet());
}

int CompareInverse(const void* a, const void* b) { return -Compare(a, b); }

}  // namespace

CTStringArray::~CTStringArray() { SupprimeTout(); }

int CTStringArray::_Keep(CTString* p, int nPos) {
  if (p == nullptr) return 0;
  const int bOk = nPos < 0 ? CTTableau<CTString*>::Ajoute(p) : CTTableau<CTString*>::Insere(p, nPos);
  if (!bOk) delete p;
  return bOk;
}

int CTStringArray::Initialise(const void*, int) {
  // Copies of an untyped element would be pointers to strings this array
  // does not own.
  return 0;
}

int CTStringArray::Initialise(CTString* const& s, int n) {
  return Initialise(s == nullptr ? nullptr : s->pszGet(), n);
}

int CTStringArray::Initialise(const wchar_t* pszText, int n) {
  for (int i = 0; i < n; ++i)
    if (!Ajoute(pszText)) return 0;
  return 1;
}

int CTStringArray::Ajoute(const CTString* s) { return Ajoute(s == nullptr ? nullptr : s->pszGet()); }

int CTStringArray::Ajoute(const wchar_t* pszText) { return _Keep(NewString(pszText), -1); }

int CTStringArray::Ajoute(const CTTableau<CTString*>& other) {
  // Counted first: other may be this array, which grows meanwhile.
  const int n = other.nGetNbElement();
  for (int i = 0; i < n; ++i)
    if (!Ajoute(static_cast<const CTString*>(other[i]))) return 0;
  return 1;
}

int CTStringArray::vAjoute(const wchar_t* pszText, int n) { return _Keep(NewString(pszText, n < 0 ? -1 : n), -1); }

int CTStringArray::AjouteRecupere(CTString* s) {
  CTString* p = new (std::nothrow) CTString;
  if (p == nullptr || !CTTableau<CTString*>::Ajoute(p)) {
    delete p;
    return 0;
  }
  p->Transfert(*s);
  return 1;
}

int CTStringArray::AjoutePrintf(const wchar_t* pszFormat, ...) {
  if (!Ajoute(static_cast<const wchar_t*>(nullptr))) return 0;
  CTString* p = (*this)[nGetNbElement() - 1];
  va_list args;
  va_start(args, pszFormat);
  p->FormatV(pszFormat, args);
  va_end(args);
  return 1;
}

int CTStringArray::AjouteFormatMessageWin(const wchar_t* pszFormat, ...) {
  if (!Ajoute(static_cast<const wchar_t*>(nullptr))) return 0;
  CTString* p = (*this)[nGetNbElement() - 1];
  va_list args;
  va_start(args, pszFormat);
  wchar_t* pszResult = nullptr;
  const unsigned int n =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING, pszFormat, 0, 0,
                     reinterpret_cast<wchar_t*>(&pszResult), 0, &args);
  va_end(args);
  if (n != 0 && pszResult != nullptr) p->Set(pszResult);
  std::free(pszResult);
  return 1;
}

int CTStringArray::Insere(const CTString* s, int nPos) {
  return Insere(s == nullptr ? nullptr : s->pszGet(), nPos);
}

int CTStringArray::Insere(const wchar_t* pszText, int nPos) {
  if (nPos < 0) nPos = 0;
  if (nPos > nGetNbElement()) nPos = nGetNbElement();
  return _Keep(NewString(pszText), nPos);
}

int CTStringArray::SetAt(const CTString* s, int nPos) {
  return SetAt(s == nullptr ? nullptr : s->pszGet(), nPos);
}

int CTStringArray::SetAt(const wchar_t* pszText, int nPos) {
  // The new string first: text may be the old one's own.
  CTString* p = NewString(pszText);
  if (p == nullptr) return 0;
  CTString* pOld = (*this)[nPos];
  CTTableau<CTString*>::SetAt(p, nPos);
  delete pOld;
  return 1;
}

void CTStringArray::Supprime(int nPos) {
  CTString* p = (*this)[nPos];
  CTableauDeBuffer::Supprime(nPos, 1);
  delete p;
}

void CTStringArray::SupprimeDernier(int n) {
  for (int i = 0; i < n; ++i) {
    CTString* p = (*this)[nGetNbElement() - 1];
    CTableauDeBuffer::SupprimeDernier(1);
    delete p;
  }
}

void CTStringArray::SupprimeTout() {
  const int n = nGetNbElement();
  for (int i = 0; i < n; ++i) delete pGetData()[i];
  CTableauDeBuffer::SupprimeDernier(n);
}

CTString* CTStringArray::operator[](int nPos) const { return pGetData()[nPos]; }

int CTStringArray::nRecherche(const wchar_t* pszText, int bCaseSensitive, int nFrom) const {
  if (pszText == nullptr) pszText = L"";
  if (nFrom < 0) nFrom = 0;
  for (int i = nFrom; i < nGetNbElement(); ++i) {
    const CTString* p = (*this)[i];
    if (bCaseSensitive ? std::wcscmp(p->pszGet(), pszText) == 0 : p->bEstEgalI(pszText) != 0)
      return i;
  }
  return -1;
}

void CTStringArray::TrieCroisssant() {
  if (nGetNbElement() > 1) std::qsort(pGetData(), nGetNbElement(), sizeof(CTString*), Compare);
}

void CTStringArray::TrieCroisssantI() {
  if (nGetNbElement() > 1) std::qsort(pGetData(), nGetNbElement(), sizeof(CTString*), CompareI);
}

void CTStringArray::TrieDecroisssant() {
  if (nGetNbElement() > 1)
    std::qsort(pGetData(), nGetNbElement(), sizeof(CTString*), CompareInverse);
}

int CTStringArray::bFusion(CTString* pOut, const wchar_t* pszSep) const {
  const int nCount = nGetNbElement();
  if (nCount == 0) return 1;
  const size_t nSep = pszSep == nullptr ? 0 : std::wcslen(pszSep);
  uint64_t nTotal = uint64_t(nSep) * uint64_t(nCount - 1);
  for (int i = 0; i < nCount; ++i) nTotal += static_cast<unsigned int>((*this)[i]->nTaille());
  // The same limit as CTString's own texts: every length fits an int.
  if (nTotal >= INT32_MAX - 1 || (nTotal + 1) * sizeof(wchar_t) > SIZE_MAX) return 0;
  wchar_t* pBuffer = static_cast<wchar_t*>(std::malloc((nTotal + 1) * sizeof(wchar_t)));
  if (pBuffer == nullptr) return 0;
  wchar_t* p = pBuffer;
  for (int i = 0; i < nCount; ++i) {
    const CTString* s = (*this)[i];
    const int n = s->nTaille();
    std::wmemcpy(p, s->pszGet(), static_cast<size_t>(n));
    p += n;
    if (i + 1 < nCount && nSep != 0) {
      std::wmemcpy(p, pszSep, nSep);
      p += nSep;
    }
  }
  *p = 0;
  pOut->SetBuffer(pBuffer);
  return 1;
}

void CTStringArray::Decoupe(const CTString& clText, const wchar_t* pszSep) {
  // The text may be one of this array's own strings, which emptying destroys.
  for (int i = 0; i < nGetNbElement(); ++i) {
    if ((*this)[i] == &clText) {
      // Taken rather than copied: a copy of an allocated "" would have no
      // buffer, and so no field.
      CTString clOwn;
      clOwn.Transfert(*(*this)[i]);
      Decoupe(clOwn, pszSep);
      return;
    }
  }
  SupprimeTout();
  CTString clField;
  for (int i = 0; clText.bExtraitChaine(i, pszSep, &clField); ++i)
    if (!AjouteRecupere(&clField)) return;
}

void CTStringArray::Decoupe(const wchar_t* pszText, const wchar_t* pszSep) {
  const CTString clText(pszText);
  Decoupe(clText, pszSep);
}

int CTStringArray::g_bTrieCroissantI(CTString* pOut, const wchar_t* pszText, const wchar_t* pszSep) {
  CTStringArray clArray;
  clArray.Decoupe(pszText, pszSep);
  clArray.TrieCroisssantI();
  return clArray.bFusion(pOut, pszSep);
}
