// Feeds arbitrary text to the readers of the language's value texts: the
// duration's fixed-width and unit readers, the date and time readers
// (checked and unchecked, wide and 8-bit, from text and from a binary
// buffer) and the money readers (decimal and hexadecimal). The input is read
// once as 8-bit text and once widened: bytes below 0x7F stand for themselves,
// 0x7F for U+3001 and the bytes from 0x80 for U+FF00 to U+FF7F, so that the
// fullwidth digits, signs, letters and punctuation the readers know are one
// byte away. Both texts live in blocks of exactly their size, so that a read
// past the terminator is caught.
//
// Besides never reading or writing out of bounds, each reader must keep its
// contract: answers from its documented set, an end position inside the
// text, and what a reader accepts must format to a text that reads back to
// the same value.
#include <dlfcn.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

#include "core/binary_buffer.h"
#include "core/module_entry.h"
#include "host/harness/host_harness.h"
#include "kq230/module_exports.h"
#include "values/date_time_base.h"
#include "values/duration_base.h"
#include "values/money.h"
#include "platform/file_time.h"

namespace {

void Check(bool bCondition) {
  if (!bCondition) std::abort();
}

// Binary buffers come from the server's string allocator: the framework is
// started once against the stand-in, as the server does at load.
struct Framework {
  Framework() {
    void* hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (hVM == nullptr) std::abort();
    _stModuleInitRecord stRecord = {sizeof stRecord, static_cast<HINSTANCE>(hVM), 0, 0, nullptr};
    if (ModuleEntry_nExecution(MODULE_CODE_INIT, &stRecord) != 1) std::abort();
  }
};

wchar_t Elargit(uint8_t b) {
  if (b < 0x7F) return b;
  if (b == 0x7F) return 0x3001;
  return static_cast<wchar_t>(0xFF00 + (b - 0x80));
}

void LitDuree(const wchar_t* psz, size_t nLongueur, const CVXBIN& bin) {
  // Fixed-width texts: whatever reads formats to a text that reads back.
  CDureeBase d;
  int n = d.nDepuisChaine(psz);
  Check(n == 0 || n == kDureeHorsLimite);
  wchar_t szTexte[25];
  if (n == 0) {
    Check(d.__nVersChaine(szTexte, CDureeBase::ms_pcszFormatAffichageMillieme, 24) > 0);
    CDureeBase relu;
    Check(relu.nDepuisChaine(szTexte) == 0 && CDureeBase::nCompare(&d, &relu) == 0);
    // The centisecond text always has its two last digits.
    Check(d.__nVersChaine(szTexte, CDureeBase::ms_cpszFormatAffichageCentieme, 24) > 0);
    Check(relu.nDepuisChaineCentieme(szTexte) == 0);
    // Nearest centisecond, halves upward; held back at the 64-bit limits.
    const long long llEcart = relu.llGetDuree() - d.llGetDuree();
    const bool bAuxLimites = d.llGetDuree() > LLONG_MAX - 10 || d.llGetDuree() < LLONG_MIN + 10;
    Check((llEcart > -5 && llEcart <= 5) || (bAuxLimites && llEcart > -10 && llEcart < 10));
  }
  n = d.nDepuisChaineCentieme(psz);
  Check(n == 0 || n == kDureeHorsLimite);
  if (n == 0) Check(d.llGetDuree() % 10 == 0);  // every field is worth whole centiseconds
  n = d.nDepuisBinaire(&bin, 0);
  Check(n == 0 || n == kDureeHorsLimite);
  if (n == 0) {
    CVXBIN copie;
    Check(d.nVersBinaire(&copie, 0) == 0 && copie.nGetSize() <= 24);
    CDureeBase relu;
    Check(relu.nDepuisBinaire(&copie, 0) == 0 && relu.llGetDuree() == d.llGetDuree());
  }

  // Units: an answer of the set, an end inside the text, never negative.
  const wchar_t* pFin = nullptr;
  n = d.nDepuisChaineNaturelle(psz, &pFin);
  Check(n == 0 || n == -1 || n == kDureeHorsLimite);
  Check(pFin >= psz && pFin <= psz + nLongueur);
  if (n == -1) Check(pFin == psz && d.llGetDuree() == 0);
  if (n == 0) Check(pFin > psz && d.llGetDuree() >= 0);
}

template <typename T>
void LitDateHeure(const T* psz) {
  CDateTime dt;
  if (dt.__bSetPartieDateValide(psz)) Check(dt.bDateValide());
  if (dt.__bSetPartieHeureValide(psz)) Check(dt.dwGetMilli() < CDateTimeBase::kMsParJour);
  dt.__SetPartieHeure(psz);
  for (unsigned int nDebut = 0; nDebut < 20; nDebut += 3) {
    CDateTimeBase::nGetPropDateTime(psz, nDebut, 1 + nDebut % 5, nDebut & 1);
  }
}

void LitDateHeureLarge(const wchar_t* psz, const CVXBIN& bin) {
  LitDateHeure(psz);
  _SYSTEMTIME st;
  std::memset(&st, 0, sizeof st);
  CDateTimeBase::nHeureVersSysteme(psz, &st);
  CDateTimeBase::nDateVersSysteme(psz, &st);
  CDateTimeBase::nCompareDate(psz, L"20240115");
  CDateTimeBase::nCompareHeure(psz, L"123456789");

  // The unchecked reader may store fields no text width holds: every
  // formatter must stay within its buffer for them.
  CDateTime dt;
  dt.DepuisBinaire(&bin, 0);
  Check(CDateTimeBase::nCompare(&dt, psz) >= -1);
  wchar_t szTexte[CDateTimeBase::kLongueurMaxTexte];
  dt.nFormateTexte(szTexte);
  wchar_t szCourt[CDateTimeBase::kLongueurTexteHeure + 1];
  dt.nVersDate(szCourt, CDateTimeBase::kLongueurTexteDate);
  dt.nVersHeure(szCourt, CDateTimeBase::kLongueurTexteHeure);
  CVXBIN copie;
  dt.nVersBinaire(&copie, 0);

  // The checked reader keeps only valid values, and they read back.
  CDateTime valide;
  if (valide.nDepuisBinaireValide(&bin, 0) == 0 && !valide.bDateVide()) {
    Check(valide.bDateValide() && valide.dwGetMilli() < CDateTimeBase::kMsParJour);
    Check(valide.nVersBinaire(&copie, 0) == 0);
    CDateTime relu;
    Check(relu.nDepuisBinaireValide(&copie, 0) == 0 && CDateTimeBase::nCompare(&relu, &valide) == 0);
  }
}

void LitMonnaie(const wchar_t* psz) {
  CMoney m{};
  wchar_t szTexte[kMoneyDecimalTextSize];
  if (pstChaineVersMonetaire(&m, psz) != nullptr) {
    pszMonetaireVersChaineC(szTexte, &m);
    CMoney relu{};
    Check(pstChaineVersMonetaire(&relu, szTexte) != nullptr && nCmpMonetaire(&m, &relu) == 0);
  }
  wchar_t szHexa[kMoneyHexTextSize];
  if (pstChaineHexaVersMonetaire(&m, psz) != nullptr) {
    pszMonetaireVersChaineHexa(szHexa, &m);
    CMoney relu{};
    Check(pstChaineHexaVersMonetaire(&relu, szHexa) != nullptr && nCmpMonetaire(&m, &relu) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  static Framework framework;
  if (nSize > 4096) return 0;

  std::unique_ptr<char[]> pszEtroit(new char[nSize + 1]);
  std::unique_ptr<wchar_t[]> pszLarge(new wchar_t[nSize + 1]);
  for (size_t i = 0; i < nSize; ++i) {
    pszEtroit[i] = static_cast<char>(pData[i]);
    pszLarge[i] = Elargit(pData[i]);
  }
  pszEtroit[nSize] = 0;
  pszLarge[nSize] = 0;
  const size_t nLongueur = wcslen(pszLarge.get());
  const CVXBIN bin(pData, static_cast<int>(nSize));

  LitDuree(pszLarge.get(), nLongueur, bin);
  LitDateHeure(pszEtroit.get());
  LitDateHeureLarge(pszLarge.get(), bin);
  LitMonnaie(pszLarge.get());
  return 0;
}
