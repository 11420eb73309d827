#include "values/duration_base.h"

#include <climits>
#include <cstring>
#include <cwchar>

#include "core/binary_buffer.h"
#include "core/counted_string.h"
#include "core/zstring.h"
#include "core/message_formatting.h"

const wchar_t* const CDureeBase::ms_pcszFormatAffichageMillieme = L"%d%02d%02d%02d%03d";
const wchar_t* const CDureeBase::ms_cpszFormatAffichageCentieme = L"%d%02d%02d%02d%02d";

namespace {

// --- Characters -------------------------------------------------------------

constexpr wchar_t kFullwidthZero = 0xFF10;
constexpr wchar_t kFullwidthNine = 0xFF19;

// The value of an ASCII or fullwidth digit, or -1. Fullwidth digits are read
// as their ASCII twins: "１h" is one hour, not zero.
int nChiffre(wchar_t c) {
  if (c >= L'0' && c <= L'9') return static_cast<int>(c - L'0');
  if (c >= kFullwidthZero && c <= kFullwidthNine) return static_cast<int>(c - kFullwidthZero);
  return -1;
}

// The blanks wcstol skips in the C locale, fixed here so that the server's
// locale does not change how a duration reads.
bool bBlanc(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// What may interrupt a number or stand between a number and its unit.
bool bSeparateur(wchar_t c) { return c == L' ' || c == L'_' || c == 0xFF3F; }

// What may follow a unit: the end, a line break, a blank, closing punctuation
// (ASCII, ideographic or fullwidth) or the next group's first digit.
bool bApresUnite(wchar_t c) {
  switch (c) {
    case 0:
    case L'\n':
    case L'\r':
    case L' ':
    case L')':
    case L',':
    case L';':
    case 0x3001:
    case 0xFF09:
    case 0xFF0C:
    case 0xFF1B:
      return true;
    default:
      return nChiffre(c) >= 0;
  }
}

// A lower-case letter or its fullwidth form (U+FF41 is 'a').
bool bLettre(wchar_t c, wchar_t cAscii) {
  return c == cAscii || c == static_cast<wchar_t>(0xFF41 + (cAscii - L'a'));
}

// --- Fields of a text --------------------------------------------------------

// The split of a duration counted in ms (nUnite 1) or cs (nUnite 10).
struct Champs {
  bool bNegatif;
  unsigned long long ullJours;
  unsigned int nHeures, nMinutes, nSecondes, nDernier;
};

Champs Decoupe(long long llTotal, long long llParSeconde) {
  Champs c{};
  c.bNegatif = llTotal < 0;
  // The magnitude in unsigned arithmetic: -(2^63) has no signed opposite.
  const unsigned long long ullMag =
      c.bNegatif ? 0ULL - static_cast<unsigned long long>(llTotal) : static_cast<unsigned long long>(llTotal);
  const unsigned long long ullParSeconde = static_cast<unsigned long long>(llParSeconde);
  const unsigned long long ullParJour = 86400ULL * ullParSeconde;
  c.ullJours = ullMag / ullParJour;
  const unsigned long long ullReste = ullMag % ullParJour;
  const unsigned long long ullSecondes = ullReste / ullParSeconde;
  c.nHeures = static_cast<unsigned int>(ullSecondes / 3600);
  c.nMinutes = static_cast<unsigned int>(ullSecondes / 60 % 60);
  c.nSecondes = static_cast<unsigned int>(ullSecondes % 60);
  c.nDernier = static_cast<unsigned int>(ullReste % ullParSeconde);
  return c;
}

// The count of whole centiseconds nearest to llMs, halves upward (15 ms is
// 2 cs, -15 ms is -1 cs). Rounding the whole count, rather than the
// millisecond field alone, carries 995 ms into the next second. Within 5 ms
// of the 64-bit limits the nearest count is not a duration the centisecond
// reader can return; the count is then held at the last one that is, so
// that every centisecond text reads back.
long long llCentiemes(long long llMs) {
  constexpr long long kMaxCentiemes = LLONG_MAX / 10;
  long long q = llMs / 10;
  long long r = llMs % 10;
  if (r < 0) {  // floor division
    r += 10;
    --q;
  }
  q += r >= 5 ? 1 : 0;
  if (q > kMaxCentiemes) return kMaxCentiemes;
  if (q < -kMaxCentiemes) return -kMaxCentiemes;
  return q;
}

char* EcritNombre(char* p, unsigned int n, int nLargeur) {
  for (int i = nLargeur - 1; i >= 0; --i) {
    p[i] = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  return p + nLargeur;
}

// Writes the fields as "[-]D..DHHMMSS" then the last field on nLargeurDernier
// digits, terminated. Returns the length. REQUIRES: out holds 23 bytes.
int EcritChamps(char* out, const Champs& c, int nLargeurDernier) {
  char* p = out;
  if (c.bNegatif) *p++ = '-';
  char szJours[24];
  int nJours = 0;
  unsigned long long j = c.ullJours;
  do {
    szJours[nJours++] = static_cast<char>('0' + j % 10);
    j /= 10;
  } while (j != 0);
  while (nJours > 0) *p++ = szJours[--nJours];
  p = EcritNombre(p, c.nHeures, 2);
  p = EcritNombre(p, c.nMinutes, 2);
  p = EcritNombre(p, c.nSecondes, 2);
  p = EcritNombre(p, c.nDernier, nLargeurDernier);
  *p = 0;
  return static_cast<int>(p - out);
}

// The millisecond or centisecond text of llMs. REQUIRES: out holds 23 bytes.
int TexteMillieme(char* out, long long llMs) { return EcritChamps(out, Decoupe(llMs, 1000), 3); }
int TexteCentieme(char* out, long long llMs) {
  return EcritChamps(out, Decoupe(llCentiemes(llMs), 100), 2);
}

void Elargit(wchar_t* out, const char* in, int n) {
  for (int i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(in[i]);
  out[n] = 0;
}

// Reads the n characters at p as wcstol does (leading blanks, a sign, digits
// up to the first other character; nothing readable is 0), with fullwidth
// digits taken as digits. False when the number does not fit 64 bits.
bool bLitChamp(const wchar_t* p, size_t n, long long* pllValeur) {
  size_t i = 0;
  while (i < n && bBlanc(p[i])) ++i;
  bool bNegatif = false;
  if (i < n && (p[i] == L'+' || p[i] == L'-')) bNegatif = p[i++] == L'-';
  long long v = 0;
  for (; i < n; ++i) {
    const int d = nChiffre(p[i]);
    if (d < 0) break;
    // Accumulated on the side of the sign, so that -(2^63) reads too.
    if (__builtin_mul_overflow(v, 10LL, &v) || __builtin_add_overflow(v, bNegatif ? -d : d, &v)) return false;
  }
  *pllValeur = v;
  return true;
}

// Reads "[sign]D..DHHMMSS" and a last field of nLargeurDernier characters
// worth nUniteDernier ms each. 0 with *pllMs set, or 112.
int nLitTexte(const wchar_t* text, size_t nLargeurDernier, long long nUniteDernier, long long* pllMs) {
  if (text == nullptr) text = L"";
  bool bNegatif = false;
  if (*text == L'+' || *text == 0xFF0B) {
    ++text;
  } else if (*text == L'-' || *text == 0xFF0D) {
    bNegatif = true;
    ++text;
  }
  const size_t nLongueur = wcslen(text);
  const size_t nFixe = 6 + nLargeurDernier;
  if (nLongueur <= nFixe) return kDureeHorsLimite;

  struct Morceau {
    size_t nDebut, nLongueur;
    long long llUnite;
  };
  const size_t nJours = nLongueur - nFixe;
  const Morceau morceaux[] = {
      {0, nJours, CDureeBase::kMsParJour},
      {nJours, 2, CDureeBase::kMsParHeure},
      {nJours + 2, 2, CDureeBase::kMsParMinute},
      {nJours + 4, 2, CDureeBase::kMsParSeconde},
      {nJours + 6, nLargeurDernier, nUniteDernier},
  };
  long long llTotal = 0;
  for (const Morceau& m : morceaux) {
    long long v = 0;
    if (!bLitChamp(text + m.nDebut, m.nLongueur, &v)) return kDureeHorsLimite;
    // Negated term by term so that the most negative duration reads back; no
    // product of these units is -(2^63), so the negation cannot overflow.
    long long llTerme = 0;
    if (__builtin_mul_overflow(v, m.llUnite, &llTerme)) return kDureeHorsLimite;
    if (bNegatif) llTerme = -llTerme;
    if (__builtin_add_overflow(llTotal, llTerme, &llTotal)) return kDureeHorsLimite;
  }
  *pllMs = llTotal;
  return 0;
}

// --- Units of the natural reader ------------------------------------------------

struct Unite {
  int nNiveau;          // level needed before, and level after
  long long llMs;       // milliseconds of one unit
  long long llDessus;   // milliseconds of the unit above (0: none)
  unsigned long long ullLimite;  // most a later group may give
};

constexpr Unite kJours{4, CDureeBase::kMsParJour, 0, ULLONG_MAX};
constexpr Unite kHeures{3, CDureeBase::kMsParHeure, CDureeBase::kMsParJour, 23};
// Minutes and seconds accept 60: durations such as 1h60min are read as
// written (two hours) and callers rely on it.
constexpr Unite kMinutes{2, CDureeBase::kMsParMinute, CDureeBase::kMsParHeure, 60};
constexpr Unite kSecondes{1, CDureeBase::kMsParSeconde, CDureeBase::kMsParMinute, 60};
constexpr Unite kMillisecondes{0, 1, CDureeBase::kMsParSeconde, 999};

constexpr int kNiveauDepart = 5;

}  // namespace

int CDureeBase::nCompare(const CDureeBase* a, const CDureeBase* b) {
  if (a->m_llDuree < b->m_llDuree) return -1;
  return a->m_llDuree > b->m_llDuree ? 1 : 0;
}

int CDureeBase::__nVersChaine(wchar_t* out, const wchar_t* format, unsigned int n) const {
  const bool bCentieme = wcscmp(format, ms_cpszFormatAffichageCentieme) == 0;
  if (bCentieme || wcscmp(format, ms_pcszFormatAffichageMillieme) == 0) {
    char szTexte[kLongueurMaxTexte + 1];
    const int nLongueur = bCentieme ? TexteCentieme(szTexte, m_llDuree) : TexteMillieme(szTexte, m_llDuree);
    if (static_cast<unsigned int>(nLongueur) > n) {
      out[0] = 0;
      return -1;
    }
    Elargit(out, szTexte, nLongueur);
    return szTexte[0] == '-' ? nLongueur - 1 : nLongueur;
  }

  // Any other format receives int fields, the last one the absolute
  // millisecond remainder.
  const Champs c = Decoupe(m_llDuree, 1000);
  if (c.ullJours > static_cast<unsigned long long>(INT_MAX)) {
    out[0] = 0;
    return -1;
  }
  wchar_t* p = out;
  if (c.bNegatif) {
    if (n == 0) {
      out[0] = 0;
      return -1;
    }
    *p++ = L'-';
    --n;
  }
  const int nEcrits = snwprintfWin(p, n + 1, format, static_cast<int>(c.ullJours), static_cast<int>(c.nHeures),
                                   static_cast<int>(c.nMinutes), static_cast<int>(c.nSecondes),
                                   static_cast<int>(c.nDernier));
  if (nEcrits < 0) out[0] = 0;
  return nEcrits;
}

void CDureeBase::VersChaine(char (&out)[25]) const { TexteMillieme(out, m_llDuree); }

wchar_t* CDureeBase::pszCreeChaine() const {
  char szTexte[kLongueurMaxTexte + 1];
  const int nLongueur = TexteMillieme(szTexte, m_llDuree);
  wchar_t* psz = STR_pszCreate(static_cast<unsigned int>(nLongueur));
  if (psz != nullptr) Elargit(psz, szTexte, nLongueur);
  return psz;
}

int CDureeBase::nVersChaine(CXYString<wchar_t>* s) const {
  char szTexte[kLongueurMaxTexte + 1];
  wchar_t szLarge[kLongueurMaxTexte + 1];
  const int nLongueur = TexteMillieme(szTexte, m_llDuree);
  Elargit(szLarge, szTexte, nLongueur);
  return s->nAffecteConversion(szLarge, nLongueur);
}

int CDureeBase::nVersChaineCentieme(CXYString<wchar_t>* s) const {
  char szTexte[kLongueurMaxTexte + 1];
  wchar_t szLarge[kLongueurMaxTexte + 1];
  const int nLongueur = TexteCentieme(szTexte, m_llDuree);
  Elargit(szLarge, szTexte, nLongueur);
  return s->nAffecteConversion(szLarge, nLongueur);
}

int CDureeBase::nVersBinaire(CVXBIN* pBin, unsigned int /*nFlags*/) const {
  char szTexte[kLongueurMaxTexte + 1];
  const int nLongueur = TexteMillieme(szTexte, m_llDuree);
  const int nErreur = pBin->nSetSize(nLongueur, 0);
  if (nErreur != 0) return nErreur;
  std::memcpy(pBin->pbyGet(), szTexte, static_cast<size_t>(nLongueur));
  return 0;
}

int CDureeBase::nDepuisChaine(const wchar_t* text) {
  long long llMs = 0;
  const int nErreur = nLitTexte(text, 3, 1, &llMs);
  if (nErreur == 0) m_llDuree = llMs;
  return nErreur;
}

int CDureeBase::nDepuisChaineCentieme(const wchar_t* text) {
  long long llMs = 0;
  const int nErreur = nLitTexte(text, 2, 10, &llMs);
  if (nErreur == 0) m_llDuree = llMs;
  return nErreur;
}

int CDureeBase::nDepuisBinaire(const CVXBIN* pBin, unsigned int /*nFlags*/) {
  constexpr int kOctetsLus = 24;
  wchar_t szTexte[kOctetsLus + 1];
  int n = 0;
  if (pBin != nullptr && pBin->pbyGet() != nullptr) {
    n = pBin->nGetSize();
    if (n > kOctetsLus) n = kOctetsLus;
    if (n < 0) n = 0;
    for (int i = 0; i < n; ++i) szTexte[i] = pBin->pbyGet()[i];
  }
  szTexte[n] = 0;
  return nDepuisChaine(szTexte);
}

int CDureeBase::nDepuisChaineNaturelle(const wchar_t* text, const wchar_t** ppEnd) {
  m_llDuree = 0;
  if (ppEnd != nullptr) *ppEnd = text;
  if (text == nullptr) return -1;

  int nResultat = -1;
  int nNiveau = kNiveauDepart;
  const wchar_t* p = text;
  for (;;) {
    // The number: digits, possibly interrupted by separators; no digit is 0.
    // Over-long runs and values past 64 bits are marked, and refused only
    // once a unit takes them (a number without unit is simply dropped).
    unsigned long long ullNombre = 0;
    int nChiffres = 0;
    bool bTropGrand = false;
    for (;; ++p) {
      const int d = nChiffre(*p);
      if (d >= 0) {
        if (++nChiffres > kLongueurMaxNombre ||
            ullNombre > (static_cast<unsigned long long>(LLONG_MAX) - static_cast<unsigned>(d)) / 10) {
          bTropGrand = true;
        } else {
          ullNombre = ullNombre * 10 + static_cast<unsigned>(d);
        }
      } else if (!bSeparateur(*p)) {
        break;
      }
    }

    // The unit.
    const Unite* pUnite = nullptr;
    int nLongueurUnite = 1;
    if (bLettre(*p, L'd') || bLettre(*p, L'j')) {
      pUnite = &kJours;
    } else if (bLettre(*p, L'h')) {
      pUnite = &kHeures;
    } else if (bLettre(*p, L's')) {
      pUnite = &kSecondes;
    } else if (bLettre(*p, L'm')) {
      if (bLettre(p[1], L's')) {
        pUnite = &kMillisecondes;
        nLongueurUnite = 2;
      } else if (bLettre(p[1], L'i') && bLettre(p[2], L'n')) {
        pUnite = &kMinutes;
        nLongueurUnite = 3;
      } else {
        // A lone "m" or "mi": the number before it is dropped and reading
        // goes on after it.
        p += bLettre(p[1], L'i') ? 2 : 1;
        continue;
      }
    } else {
      return nResultat;
    }
    if (nNiveau < pUnite->nNiveau) return nResultat;
    if (!bApresUnite(p[nLongueurUnite])) return nResultat;

    p += nLongueurUnite;
    if (ppEnd != nullptr) *ppEnd = p;
    const bool bPremier = nNiveau == kNiveauDepart;
    if (bTropGrand || (!bPremier && ullNombre > pUnite->ullLimite)) return kDureeHorsLimite;

    long long llQuantite = 0;
    if (__builtin_mul_overflow(static_cast<long long>(ullNombre), pUnite->llMs, &llQuantite)) {
      return kDureeHorsLimite;
    }
    // The unit's field is replaced: what lies above it and below it stays.
    // The duration is never negative here.
    long long llDuree = m_llDuree;
    const long long llDessous = llDuree % pUnite->llMs;
    const long long llDessus = pUnite->llDessus != 0 ? llDuree - llDuree % pUnite->llDessus : 0;
    if (pUnite->llDessus == 0) {
      // Days: everything above the part below a day is the field itself.
      llDuree = llDessous;
    } else {
      llDuree = llDessus + llDessous;
    }
    if (__builtin_add_overflow(llDuree, llQuantite, &llDuree)) return kDureeHorsLimite;
    m_llDuree = llDuree;
    nResultat = 0;
    nNiveau = pUnite->nNiveau;
  }
}
