#include "values/date_time_base.h"

#include <climits>
#include <cstring>
#include <cwchar>

#include "core/binary_buffer.h"
#include "core/counted_string.h"
#include "core/zstring.h"
#include "platform/file_time.h"
#include "values/duration_base.h"

const unsigned char CDateTimeBase::ms_pbyNbJoursMois[12] = {31, 28, 31, 30, 31, 30,
                                                            31, 31, 30, 31, 30, 31};
const unsigned char CDateTimeBase::ms_pbyNbJoursMoisBissextile[12] = {31, 29, 31, 30, 31, 30,
                                                                      31, 31, 30, 31, 30, 31};
const wchar_t* CDateTimeBase::ms_pcszValeurInitDate = nullptr;
const wchar_t* CDateTimeBase::ms_pcszValeurInitTime = nullptr;

namespace {

constexpr unsigned int kMsParHeure = 3600000u;
constexpr unsigned int kMsParMinute = 60000u;
// 100 hours: the first time of day whose hours need a third digit.
constexpr unsigned int kMsCentHeures = 100u * kMsParHeure;
// Day numbers are Julian day numbers shifted so that 1800-01-01 is day 1.
constexpr int kDecalageJourJulien = 2378496;
// Day number + this counts days from 0001-01-01 (proleptic Gregorian) = 1; its
// remainder by 7 is the weekday with 0 = Sunday.
constexpr int kDecalageJourGregorien = 657071;
// Day numbers of 0001-01-01 (Julian calendar) and of 10000-01-01, the ends of
// what the inverse conversion accepts.
constexpr int kJourMin = 1721424 - kDecalageJourJulien;
constexpr int kJourMaxInverse = 2994989;
// The first Gregorian day, 1582-10-15, as a Julian day number.
constexpr int kPremierJourGregorien = 2299161;
constexpr long long kMs1970 = 5364748800000LL;  // kJour1970 days

int nModuloPositif(long long a, int b) {
  long long r = a % b;
  return static_cast<int>(r < 0 ? r + b : r);
}

// Julian day number of day, month, year as the fields stand: Gregorian from
// 1582-10-15, Julian before; October 5 to 14 of 1582 count as the 15th. Any
// 16-bit year and 8-bit month and day give a bounded result (no overflow).
int nJourJulien(int d, int m, int y) {
  bool bGregorien = y > 1582 || (y == 1582 && (m > 10 || (m == 10 && d >= 15)));
  if (y == 1582 && m == 10 && d >= 5 && d <= 14) {
    d = 15;
    bGregorien = true;
  }
  int a = (14 - m) / 12;
  int yy = y + 4800 - a;
  int mm = m + 12 * a - 3;
  if (bGregorien)
    return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
  return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - 32083;
}

int nJourDe(int d, int m, int y) { return nJourJulien(d, m, y) - kDecalageJourJulien; }

// The weekday of a day number: 0 Sunday ... 6 Saturday.
int nJourSemaineDe(int n) { return nModuloPositif(static_cast<long long>(n) + kDecalageJourGregorien, 7); }

// Day number of the Monday of ISO week 1 of year y (the Monday on or before
// January 4).
int nLundiSemaine1(int y) {
  int n = nJourDe(4, 1, y);
  return n - (nJourSemaineDe(n) + 6) % 7;
}

template <typename T>
size_t nLongueur(const T* p) {
  if constexpr (sizeof(T) == 1)
    return std::strlen(p);
  else
    return std::wcslen(p);
}

template <typename T>
bool bChiffre(T c) {
  return c >= T('0') && c <= T('9');
}

// The blanks strtol skips in the C locale.
template <typename T>
bool bBlanc(T c) {
  return c == T(' ') || (c >= T('\t') && c <= T('\r'));
}

// strtol in base 10 over text[0, n), for a 32-bit long: saturates at the
// limits as strtol does.
template <typename T>
int nLitEntier(const T* p, size_t n) {
  size_t i = 0;
  while (i < n && bBlanc(p[i])) ++i;
  bool bNegatif = false;
  if (i < n && (p[i] == T('+') || p[i] == T('-'))) {
    bNegatif = p[i] == T('-');
    ++i;
  }
  long long v = 0;
  for (; i < n && bChiffre(p[i]); ++i) {
    v = v * 10 + (p[i] - T('0'));
    if (v > 2147483648LL) v = 2147483648LL;  // stays saturated
  }
  if (bNegatif) return static_cast<int>(-v);  // -2^31 fits
  return v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

// The value of n digits. REQUIRES: the n characters are digits.
template <typename T>
int nChiffres(const T* p, unsigned int n) {
  int v = 0;
  for (unsigned int i = 0; i < n; ++i) v = v * 10 + (p[i] - T('0'));
  return v;
}

template <typename T>
int nGetProp(const T* text, unsigned int start, unsigned int len, int bEchelle) {
  if (text == nullptr || text[0] == 0) return 0;
  // The common case, a field of at most 9 plain digits inside the text, is
  // read in one pass; anything else takes the general road below.
  if (len <= 9) {
    unsigned int i = 1;
    while (i < start && text[i] != 0) ++i;
    if (i >= start) {
      unsigned int k = 0;
      while (k < len && bChiffre(text[start + k])) ++k;
      if (k == len) return nChiffres(text + start, len);
    }
  }
  // Measure the text only as far as the field reaches.
  const uint64_t fin = uint64_t(start) + len;
  uint64_t l = 0;
  while (l < fin && text[l] != 0) ++l;
  uint64_t manquants = 0;
  if (l < fin) {
    if (!bEchelle || start >= l) return 0;
    manquants = fin - l;
    len = static_cast<unsigned int>(l - start);
  }
  long long v = nLitEntier(text + start, len);
  for (; manquants > 0 && v != 0; --manquants) {
    v *= 10;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
  }
  return static_cast<int>(v);
}

template <typename T>
int nSetProp(T* buf, unsigned int start, unsigned int width, int value, unsigned int total) {
  if (uint64_t(start) + width > total) {
    for (unsigned int i = start; i < total; ++i) buf[i] = T('0');
    buf[total] = 0;
    return 1;
  }
  if (value < 0) return 0;
  unsigned int nChiffres = 1;
  for (int v = value; v >= 10; v /= 10) ++nChiffres;
  if (nChiffres > width) return 0;
  unsigned int v = static_cast<unsigned int>(value);
  for (unsigned int i = width; i > 0; --i) {
    buf[start + i - 1] = static_cast<T>('0' + v % 10);
    v /= 10;
  }
  buf[total] = 0;
  return 1;
}

// Writes v in decimal, zero-padded to at least nLargeur digits; returns the
// position after it.
template <typename T>
T* pEcritChamp(T* p, unsigned int v, int nLargeur) {
  T chiffres[10];
  int n = 0;
  do {
    chiffres[n++] = static_cast<T>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  for (int i = n; i < nLargeur; ++i) *p++ = T('0');
  while (n > 0) *p++ = chiffres[--n];
  return p;
}

// Copies at most 17 bytes of a binary value into a terminated 8-bit text.
void TexteBinaire(const CVXBIN* pBin, char (&texte)[CDateTimeBase::kLongueurTexte + 1]) {
  int n = 0;
  if (pBin != nullptr && pBin->pbyGet() != nullptr) {
    n = pBin->nGetSize();
    if (n > static_cast<int>(CDateTimeBase::kLongueurTexte)) n = CDateTimeBase::kLongueurTexte;
    if (n < 0) n = 0;
    std::memcpy(texte, pBin->pbyGet(), static_cast<size_t>(n));
  }
  texte[n] = 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Initialisation and setters

bool CDateTimeBase::bDateValide() const {
  return m_wAnnee >= 1 && m_wAnnee <= 9999 && m_byMois >= 1 && m_byMois <= 12 &&
         m_byJour >= 1 && m_byJour <= s_nGetNbJourMois(m_byMois, m_wAnnee);
}

void CDateTimeBase::InitDate() {
  m_byJour = 0;
  m_byMois = 0;
  m_wAnnee = 0;
  m_dwMilli = 0;
}

int CDateTimeBase::InitDate(_SYSTEMTIME* pst) {
  // Every field is tried, as the fields of a record may be set one by one;
  // the answer says whether all of them were taken.
  int r = bModifieAnnee(pst->wYear);
  r &= bModifieMois(pst->wMonth);
  r &= bModifieJour(pst->wDay);
  r &= bModifieHeure(pst->wHour);
  r &= bModifieMinute(pst->wMinute);
  r &= bModifieSeconde(pst->wSecond);
  r &= bModifieMilli(pst->wMilliseconds);
  return r;
}

int CDateTimeBase::InitDateCourante() {
  _SYSTEMTIME st{};
  GetLocalTime(&st);
  return InitDate(&st);
}

int CDateTimeBase::InitDateCouranteSansHeures() {
  int r = InitDateCourante();
  m_dwMilli = 0;
  return r;
}

void CDateTimeBase::InitDateCouranteUTC() {
  _SYSTEMTIME st{};
  GetSystemTime(&st);
  m_byJour = static_cast<unsigned char>(st.wDay);
  m_byMois = static_cast<unsigned char>(st.wMonth);
  m_wAnnee = st.wYear;
  m_dwMilli = st.wHour * kMsParHeure + st.wMinute * kMsParMinute + st.wSecond * 1000u +
              st.wMilliseconds;
}

CDateTimeBase& CDateTimeBase::Set(int nAnnee, int nMois, int nJour, int nHeure, int nMinute,
                                  int nSeconde, int nMilli) {
  m_wAnnee = static_cast<unsigned short>(nAnnee);
  m_byMois = static_cast<unsigned char>(nMois);
  m_byJour = static_cast<unsigned char>(nJour);
  m_dwMilli = static_cast<unsigned int>(nHeure) * kMsParHeure +
              static_cast<unsigned int>(nMinute) * kMsParMinute +
              static_cast<unsigned int>(nSeconde) * 1000u + static_cast<unsigned int>(nMilli);
  return *this;
}

int CDateTimeBase::bModifieHeure(int h) {
  if (static_cast<unsigned int>(h) > 23) return 0;
  m_dwMilli = static_cast<unsigned int>(h) * kMsParHeure + m_dwMilli % kMsParHeure;
  return 1;
}

int CDateTimeBase::bModifieMinute(int m) {
  if (static_cast<unsigned int>(m) > 59) return 0;
  m_dwMilli = m_dwMilli / kMsParHeure * kMsParHeure + static_cast<unsigned int>(m) * kMsParMinute +
              m_dwMilli % kMsParMinute;
  return 1;
}

int CDateTimeBase::bModifieSeconde(int s) {
  if (static_cast<unsigned int>(s) > 59) return 0;
  m_dwMilli = m_dwMilli / kMsParMinute * kMsParMinute + static_cast<unsigned int>(s) * 1000u +
              m_dwMilli % 1000u;
  return 1;
}

int CDateTimeBase::bModifieMilli(int ms) {
  if (static_cast<unsigned int>(ms) > 999) return 0;
  m_dwMilli = m_dwMilli / 1000u * 1000u + static_cast<unsigned int>(ms);
  return 1;
}

int CDateTimeBase::bModifieJour(int d) {
  if (d < 1 || d > 31) return 0;
  m_byJour = static_cast<unsigned char>(__nRectifieFinMois(d, m_byMois, m_wAnnee));
  return 1;
}

int CDateTimeBase::bModifieMois(int m) {
  if (m < 1 || m > 12) return 0;
  m_byMois = static_cast<unsigned char>(m);
  m_byJour = static_cast<unsigned char>(__nRectifieFinMois(m_byJour, m, m_wAnnee));
  return 1;
}

int CDateTimeBase::bModifieAnnee(int y) {
  if (y < 1 || y > 9999) return 0;
  m_wAnnee = static_cast<unsigned short>(y);
  m_byJour = static_cast<unsigned char>(__nRectifieFinMois(m_byJour, m_byMois, y));
  return 1;
}

// ---------------------------------------------------------------------------
// Shifts

int CDateTimeBase::bDecaleJour(int n) {
  if (bDateVide()) return 1;
  int nJour;
  if (!__bDateVersEntier(m_byJour, m_byMois, m_wAnnee, &nJour, 1)) return 0;
  long long nCible = static_cast<long long>(nJour) + n;
  // The inverse accepts 10000-01-01; a value never holds a year past 9999.
  if (nCible < kJourMin || nCible > kJourMax) return 0;
  int d, m, y;
  if (!__bEntierVersDate(static_cast<int>(nCible), &d, &m, &y)) return 0;
  m_byJour = static_cast<unsigned char>(d);
  m_byMois = static_cast<unsigned char>(m);
  m_wAnnee = static_cast<unsigned short>(y);
  return 1;
}

int CDateTimeBase::bDecaleMois(int n) {
  if (m_byMois < 1 || m_byMois > 12) return 0;
  int nMois = m_byMois + n % 12;
  int nAnnees = n / 12;
  if (nMois < 1) {
    nMois += 12;
    --nAnnees;
  } else if (nMois > 12) {
    nMois -= 12;
    ++nAnnees;
  }
  if (m_wAnnee < 1 || m_wAnnee > 9999) {
    // No year to shift: the month moves and the shift answers the refusal.
    m_byMois = static_cast<unsigned char>(nMois);
    m_byJour = static_cast<unsigned char>(__nRectifieFinMois(m_byJour, nMois, m_wAnnee));
    return 0;
  }
  long long nAnneeCible = static_cast<long long>(m_wAnnee) + nAnnees;
  // A target year out of range refuses the whole shift: keeping the new month
  // with the old year would move the date the wrong way.
  if (nAnneeCible < 1 || nAnneeCible > 9999) return 0;
  // The day is corrected once, against the new month of the new year, so that
  // October 30 four months on reaches February 29 of a leap year.
  m_byMois = static_cast<unsigned char>(nMois);
  m_wAnnee = static_cast<unsigned short>(nAnneeCible);
  m_byJour = static_cast<unsigned char>(__nRectifieFinMois(m_byJour, nMois, m_wAnnee));
  return 1;
}

int CDateTimeBase::bDecaleAnnee(int n) {
  if (m_wAnnee < 1 || m_wAnnee > 9999) return 0;
  long long nAnnee = static_cast<long long>(m_wAnnee) + n;
  if (nAnnee < 1 || nAnnee > 9999) return 0;
  m_wAnnee = static_cast<unsigned short>(nAnnee);
  m_byJour = static_cast<unsigned char>(__nRectifieFinMois(m_byJour, m_byMois, m_wAnnee));
  return 1;
}

int CDateTimeBase::bDecaleMilli(long long n) {
  const long long kJour = kMsParJour;
  long long t = static_cast<long long>(m_dwMilli) + n % kJour;
  // Floor division, so that a milliseconds field already past a day (from an
  // unchecked setter) is brought into range as well.
  long long nRetenue = t / kJour;
  t %= kJour;
  if (t < 0) {
    t += kJour;
    --nRetenue;
  }
  m_dwMilli = static_cast<unsigned int>(t);
  long long nJours = n / kJour + nRetenue;
  if (nJours == 0) return 1;
  if (nJours < INT_MIN || nJours > INT_MAX) return 0;  // past any representable date
  return bDecaleJour(static_cast<int>(nJours));
}

// ---------------------------------------------------------------------------
// Calendar

int CDateTimeBase::__nBissextile(int nAnnee) {
  if (nAnnee % 4 != 0) return 0;
  return nAnnee < 1583 || nAnnee % 100 != 0 || nAnnee % 400 == 0;
}

int CDateTimeBase::s_nGetNbJourMois(int nMois, int nAnnee) {
  if (nMois < 1 || nMois > 12) return 0;
  return __nBissextile(nAnnee) ? ms_pbyNbJoursMoisBissextile[nMois - 1]
                               : ms_pbyNbJoursMois[nMois - 1];
}

int CDateTimeBase::__nRectifieFinMois(int nJour, int nMois, int nAnnee) {
  if (nJour == 0 || nMois == 0 || nAnnee == 0) return nJour;
  int nLongueur = s_nGetNbJourMois(nMois, nAnnee);
  // A month out of range has no length: the day is left as it is.
  if (nLongueur != 0 && nJour > nLongueur) return nLongueur;
  return nJour;
}

int CDateTimeBase::__bDateVersEntier(int nJour, int nMois, int nAnnee, int* pn, int bVerifie) {
  if (bVerifie) {
    if (nJour < 1 || nJour > 31 || nAnnee < 1 || nAnnee > 9999) return 0;
  } else if (nAnnee < 0 || nAnnee > 65535) {
    return 0;  // no 16-bit year: keeps the arithmetic bounded
  }
  if (nMois < 1 || nMois > 12) return 0;
  if (nJour <= 0 || nJour > s_nGetNbJourMois(nMois, nAnnee)) return 0;
  *pn = nJourDe(nJour, nMois, nAnnee);
  return 1;
}

int CDateTimeBase::s_nDateVersEntier(int nJour, int nMois, int nAnnee) {
  int n = 0;
  return __bDateVersEntier(nJour, nMois, nAnnee, &n, 1) ? n : 0;
}

int CDateTimeBase::__bEntierVersDate(int n, int* pnJour, int* pnMois, int* pnAnnee) {
  if (n < kJourMin || n > kJourMaxInverse) return 0;
  // Julian day number to calendar date (Richards), Gregorian from the first
  // Gregorian day, Julian before. Every quantity stays below 2^25.
  int j = n + kDecalageJourJulien;
  int f = j + 1401;
  if (j >= kPremierJourGregorien) f += (((4 * j + 274277) / 146097) * 3) / 4 - 38;
  int e = 4 * f + 3;
  int g = (e % 1461) / 4;
  int h = 5 * g + 2;
  int d = (h % 153) / 5 + 1;
  int m = (h / 153 + 2) % 12 + 1;
  int y = e / 1461 - 4716 + (12 + 2 - m) / 12;
  *pnJour = d;
  *pnMois = m;
  *pnAnnee = y;
  return 1;
}

int CDateTimeBase::nVersEntier(int* pn) const {
  return __bDateVersEntier(m_byJour, m_byMois, m_wAnnee, pn, 1) ? 0 : kDateInvalide;
}

int CDateTimeBase::nGetJourDeLaSemaine() const {
  int n;
  if (!__bDateVersEntier(m_byJour, m_byMois, m_wAnnee, &n, 1)) return -1;
  return nJourSemaineDe(n);
}

int CDateTimeBase::nGetJourDansAnnee() const {
  if (m_byMois < 1 || m_byMois > 12) return 0;
  int n = m_byJour;
  for (int m = 1; m < m_byMois; ++m) n += s_nGetNbJourMois(m, m_wAnnee);
  return n;
}

int CDateTimeBase::nVersJourJulien() const { return nJourJulien(m_byJour, m_byMois, m_wAnnee); }

void CDateTimeBase::VersISO8601YWD(int& nAnnee, int& nSemaine, int& nJourSemaine) const {
  int n;
  if (!__bDateVersEntier(m_byJour, m_byMois, m_wAnnee, &n, 1)) {
    nAnnee = nSemaine = nJourSemaine = 0;
    return;
  }
  nJourSemaine = (nJourSemaineDe(n) + 6) % 7 + 1;
  int y = m_wAnnee;
  int nLundi = nLundiSemaine1(y);
  if (n < nLundi) {
    --y;
    nLundi = nLundiSemaine1(y);
  }
  int w = (n - nLundi) / 7 + 1;
  if (w > 51) {
    int nLundiSuivant = nLundiSemaine1(y + 1);
    if (n >= nLundiSuivant) {
      w = (n - nLundiSuivant) / 7 + 1;
      ++y;
    }
  }
  nAnnee = y;
  nSemaine = w;
}

long long CDateTimeBase::VersMsDepuis1Janvier1970() const {
  int n = 0;
  if (!__bDateVersEntier(m_byJour, m_byMois, m_wAnnee, &n, 0)) n = 0;
  return static_cast<long long>(n) * kMsParJour + m_dwMilli - kMs1970;
}

long long CDateTimeBase::VersTime32() const { return VersMsDepuis1Janvier1970() / 1000; }

int CDateTimeBase::nCalculeDureeEx(const CDateTimeBase* a, const CDateTimeBase* b, int bVerifie,
                                   CDureeBase* pDuree) {
  int na = 0, nb = 0;
  bool bA = __bDateVersEntier(a->m_byJour, a->m_byMois, a->m_wAnnee, &na, bVerifie ? 1 : 0);
  bool bB = __bDateVersEntier(b->m_byJour, b->m_byMois, b->m_wAnnee, &nb, bVerifie ? 1 : 0);
  if (bVerifie && (!bA || !bB)) return kDateInvalide;
  if (!bA) na = 0;
  if (!bB) nb = 0;
  long long llA = static_cast<long long>(na) * kMsParJour + a->m_dwMilli;
  long long llB = static_cast<long long>(nb) * kMsParJour + b->m_dwMilli;
  pDuree->SetDuree(llA - llB);
  return 0;
}

int CDateTimeBase::nCalculeDuree(const CDateTimeBase* a, const CDateTimeBase* b,
                                 CDureeBase* pDuree) {
  return nCalculeDureeEx(a, b, 1, pDuree);
}

int CDateTimeBase::bCalculeDiffJour(const CDateTimeBase* a, const CDateTimeBase* b,
                                    int* pnJours) {
  int na, nb;
  if (!__bDateVersEntier(a->m_byJour, a->m_byMois, a->m_wAnnee, &na, 1)) {
    *pnJours = 0;
    return 0;
  }
  int r = 1;
  if (!__bDateVersEntier(b->m_byJour, b->m_byMois, b->m_wAnnee, &nb, 1)) {
    nb = 0;
    r = 0;
  }
  *pnJours = na - nb;
  return r;
}

// ---------------------------------------------------------------------------
// Comparisons

int CDateTimeBase::nCompare(const CDateTimeBase* a, const CDateTimeBase* b) {
  int r = s_nCompareDateSeule(a, b);
  if (r != 0) return r;
  if (a->m_dwMilli != b->m_dwMilli) return a->m_dwMilli < b->m_dwMilli ? -1 : 1;
  return 0;
}

int CDateTimeBase::s_nCompareDateSeule(const CDateTimeBase* a, const CDateTimeBase* b) {
  uint32_t da = a->dwGetDate(), db = b->dwGetDate();
  if (da != db) return da < db ? -1 : 1;
  return 0;
}

int CDateTimeBase::nCompareDate(const wchar_t* a, const wchar_t* b) {
  bool bVideA = a == nullptr || a[0] == 0;
  bool bVideB = b == nullptr || b[0] == 0;
  if (bVideA) return bVideB ? 0 : -1;
  if (bVideB) return 1;
  size_t n = std::wcslen(a);
  size_t nb = std::wcslen(b);
  if (nb < n) n = nb;
  int r = std::wcsncmp(a, b, n);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int CDateTimeBase::nCompareHeure(const wchar_t* a, const wchar_t* b) { return nCompareDate(a, b); }

int CDateTimeBase::nCompare(const CDateTimeBase* a, const wchar_t* pszTexte) {
  wchar_t sz[kLongueurMaxTexte];
  a->nFormateTexte(sz);
  return nCompareDate(sz, pszTexte);
}

// ---------------------------------------------------------------------------
// Texts out

template <typename T>
unsigned int CDateTimeBase::nFormateTexte(T* out) const {
  T* p = out;
  p = pEcritChamp(p, m_wAnnee, 4);
  p = pEcritChamp(p, m_byMois, 2);
  p = pEcritChamp(p, m_byJour, 2);
  p = pEcritChamp(p, m_dwMilli / kMsParHeure, 2);
  p = pEcritChamp(p, m_dwMilli / kMsParMinute % 60u, 2);
  p = pEcritChamp(p, m_dwMilli / 1000u % 60u, 2);
  p = pEcritChamp(p, m_dwMilli % 1000u, 3);
  *p = 0;
  return static_cast<unsigned int>(p - out);
}

namespace {

// 0 when every field fits the 17-digit text; else 110 for the date part, 111
// for the time part.
int nVerifieLargeurs(const CDateTimeBase& dt) {
  if (dt.nGetAnnee() > 9999 || dt.nGetMois() > 99 || dt.nGetJour() > 99) return kDateInvalide;
  if (dt.dwGetMilli() >= kMsCentHeures) return kHeureInvalide;
  return 0;
}

template <typename T>
void CopieTronquee(T* out, const T* src, unsigned int nSource, unsigned int n) {
  if (n > nSource) n = nSource;
  for (unsigned int i = 0; i < n; ++i) out[i] = src[i];
  out[n] = 0;
}

}  // namespace

template <typename T>
void CDateTimeBase::__VersChaine(T* out, unsigned int n) const {
  T sz[kLongueurMaxTexte];
  unsigned int l = nFormateTexte(sz);
  if (l > kLongueurTexte) l = kLongueurTexte;
  CopieTronquee(out, sz, l, n);
}

void CDateTimeBase::VersChaine(char* out, unsigned int n) const { __VersChaine(out, n); }
void CDateTimeBase::VersChaine(wchar_t* out, unsigned int n) const { __VersChaine(out, n); }

template <typename T>
int CDateTimeBase::nVersDate(T* out, unsigned int n) const {
  int r = nVerifieLargeurs(*this);
  if (r == kDateInvalide) {
    out[0] = 0;
    return r;
  }
  T sz[kLongueurMaxTexte];
  nFormateTexte(sz);
  CopieTronquee(out, sz, kLongueurTexteDate, n);
  return 0;
}

template <typename T>
int CDateTimeBase::nVersHeure(T* out, unsigned int n) const {
  if (m_dwMilli >= kMsCentHeures) {
    out[0] = 0;
    return kHeureInvalide;
  }
  // The time text is written on its own, so that a wide date part cannot
  // shift it.
  T sz[kLongueurMaxTexte];
  T* p = sz;
  p = pEcritChamp(p, m_dwMilli / kMsParHeure, 2);
  p = pEcritChamp(p, m_dwMilli / kMsParMinute % 60u, 2);
  p = pEcritChamp(p, m_dwMilli / 1000u % 60u, 2);
  p = pEcritChamp(p, m_dwMilli % 1000u, 3);
  CopieTronquee(out, sz, kLongueurTexteHeure, n);
  return 0;
}

wchar_t* CDateTimeBase::pszCreeChaine() const {
  wchar_t sz[kLongueurMaxTexte];
  nFormateTexte(sz);
  return STR_pszCreate(static_cast<const wchar_t*>(sz));
}

void CDateTimeBase::VersChaine(CTString* pstr) const {
  wchar_t sz[kLongueurMaxTexte];
  nFormateTexte(sz);
  pstr->Set(static_cast<const wchar_t*>(sz));
}

CTString CDateTimeBase::VersChaine() const {
  wchar_t sz[kLongueurMaxTexte];
  nFormateTexte(sz);
  return CTString(static_cast<const wchar_t*>(sz));
}

int CDateTimeBase::nVersChaine(CXYString<wchar_t>* pstr) const {
  int r = nVerifieLargeurs(*this);
  if (r != 0) return r;
  wchar_t sz[kLongueurMaxTexte];
  unsigned int l = nFormateTexte(sz);
  return pstr->nAffecteConversion(sz, static_cast<int>(l));
}

CTString CDateTimeBase::VersChaineFormate() const {
  wchar_t sz[96];
  std::swprintf(sz, sizeof(sz) / sizeof(sz[0]), L"%d-%d-%d %d:%d:%d,%d", int(m_wAnnee),
                int(m_byMois), int(m_byJour), nGetHeure(), nGetMinute(), nGetSeconde(),
                nGetMilliseconde());
  return CTString(static_cast<const wchar_t*>(sz));
}

int CDateTimeBase::nVersSysteme(_SYSTEMTIME* pst) const {
  pst->wYear = m_wAnnee;
  pst->wMonth = m_byMois;
  pst->wDay = m_byJour;
  pst->wHour = static_cast<unsigned short>(nGetHeure());
  pst->wMinute = static_cast<unsigned short>(nGetMinute());
  pst->wSecond = static_cast<unsigned short>(nGetSeconde());
  pst->wMilliseconds = static_cast<unsigned short>(nGetMilliseconde());
  return 0;
}

// ---------------------------------------------------------------------------
// Texts in

template <typename T>
unsigned int CDateTimeBase::__SetPartieHeure(const T* pszTexte) {
  unsigned int h = static_cast<unsigned int>(nGetPropDateTime(pszTexte, 0, 2, 0));
  unsigned int m = static_cast<unsigned int>(nGetPropDateTime(pszTexte, 2, 2, 0));
  unsigned int s = static_cast<unsigned int>(nGetPropDateTime(pszTexte, 4, 2, 0));
  unsigned int ms = static_cast<unsigned int>(nGetPropDateTime(pszTexte, 6, 3, 1));
  m_dwMilli = h * kMsParHeure + m * kMsParMinute + s * 1000u + ms;
  return m_dwMilli;
}

template <typename T>
int CDateTimeBase::__bSetPartieDateValide(const T* pszTexte) {
  if (pszTexte == nullptr) return 0;
  for (int i = 0; i < 8; ++i)
    if (!bChiffre(pszTexte[i])) return 0;  // also stops at the terminator
  int y = nChiffres(pszTexte, 4);
  int m = nChiffres(pszTexte + 4, 2);
  int d = nChiffres(pszTexte + 6, 2);
  // Year 0 has no day number: "0000" is no more a date than month 00.
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > s_nGetNbJourMois(m, y)) return 0;
  m_wAnnee = static_cast<unsigned short>(y);
  m_byMois = static_cast<unsigned char>(m);
  m_byJour = static_cast<unsigned char>(d);
  return 1;
}

template <typename T>
int CDateTimeBase::__bSetPartieHeureValide(const T* pszTexte) {
  if (pszTexte == nullptr || pszTexte[0] == 0) {
    m_dwMilli = 0;
    return 1;
  }
  // The first 9 characters at most, copied so that the fields below read
  // nothing past the point where the text was cut.
  T sz[kLongueurTexteHeure + 1];
  unsigned int l = 0;
  while (l < kLongueurTexteHeure && pszTexte[l] != 0) {
    if (!bChiffre(pszTexte[l])) {
      if (l <= 5) return 0;
      break;
    }
    sz[l] = pszTexte[l];
    ++l;
  }
  sz[l] = 0;
  if (l == 1 || l == 3 || l == 5) return 0;
  // Every character kept is a digit: the fields are read directly, a field
  // beyond the text counting 0.
  int h = nChiffres(sz, 2);
  int m = l >= 4 ? nChiffres(sz + 2, 2) : 0;
  int s = l >= 6 ? nChiffres(sz + 4, 2) : 0;
  int ms = 0;
  if (l == 7) ms = nChiffres(sz + 6, 1) * 100;
  else if (l == 8) ms = nChiffres(sz + 6, 2) * 10;
  else if (l == 9) ms = nChiffres(sz + 6, 3);
  if (h > 23 || m > 59 || s > 59) return 0;
  m_dwMilli = static_cast<unsigned int>(h) * kMsParHeure + static_cast<unsigned int>(m) * kMsParMinute +
              static_cast<unsigned int>(s) * 1000u + static_cast<unsigned int>(ms);
  return 1;
}

int CDateTimeBase::nHeureVersSysteme(const wchar_t* pszTexte, _SYSTEMTIME* pst) {
  pst->wYear = 0;
  pst->wMonth = 0;
  pst->wDay = 0;
  pst->wHour = static_cast<unsigned short>(nGetPropDateTime(pszTexte, 0, 2, 0));
  pst->wMinute = static_cast<unsigned short>(nGetPropDateTime(pszTexte, 2, 2, 0));
  pst->wSecond = static_cast<unsigned short>(nGetPropDateTime(pszTexte, 4, 2, 0));
  pst->wMilliseconds = static_cast<unsigned short>(nGetPropDateTime(pszTexte, 6, 3, 1));
  return 0;
}

int CDateTimeBase::nDateVersSysteme(const wchar_t* pszTexte, _SYSTEMTIME* pst) {
  pst->wYear = static_cast<unsigned short>(nGetPropDateTime(pszTexte, 0, 4, 0));
  pst->wMonth = static_cast<unsigned short>(nGetPropDateTime(pszTexte, 4, 2, 0));
  pst->wDay = static_cast<unsigned short>(nGetPropDateTime(pszTexte, 6, 2, 0));
  pst->wHour = 0;
  pst->wMinute = 0;
  pst->wSecond = 0;
  pst->wMilliseconds = 0;
  return 0;
}

// ---------------------------------------------------------------------------
// Binary form

int CDateTimeBase::nVersBinaire(CVXBIN* pBin, unsigned int /*nFlags*/) const {
  int r = nVerifieLargeurs(*this);
  if (r != 0) return r;
  char sz[kLongueurMaxTexte];
  nFormateTexte(sz);
  r = pBin->nSetSize(static_cast<int>(kLongueurTexte), 0);
  if (r != 0) return r;
  std::memcpy(pBin->pbyGet(), sz, kLongueurTexte);
  return 0;
}

void CDateTimeBase::DepuisBinaire(const CVXBIN* pBin, unsigned int /*nFlags*/) {
  char sz[kLongueurTexte + 1];
  TexteBinaire(pBin, sz);
  m_dwMilli = 0;
  m_wAnnee = static_cast<unsigned short>(nGetPropDateTime(sz, 0, 4, 0));
  m_byMois = static_cast<unsigned char>(nGetPropDateTime(sz, 4, 2, 0));
  m_byJour = static_cast<unsigned char>(nGetPropDateTime(sz, 6, 2, 0));
  if (std::strlen(sz) > kLongueurTexteDate) __SetPartieHeure(sz + kLongueurTexteDate);
}

int CDateTimeBase::nDepuisBinaireValide(const CVXBIN* pBin, unsigned int /*nFlags*/) {
  char sz[kLongueurTexte + 1];
  TexteBinaire(pBin, sz);
  // Built on a copy: a refused text leaves the value as it was.
  CDateTimeBase dt = *this;
  dt.m_dwMilli = 0;
  if (!dt.__bSetPartieDateValide(sz)) return kDateInvalide;
  if (std::strlen(sz) > kLongueurTexteDate && !dt.__bSetPartieHeureValide(sz + kLongueurTexteDate))
    return kHeureInvalide;
  *this = dt;
  return 0;
}

// ---------------------------------------------------------------------------
// Digit routines

int CDateTimeBase::nGetPropDateTime(const char* text, unsigned int start, unsigned int len,
                                    int bEchelle) {
  return nGetProp(text, start, len, bEchelle);
}

int CDateTimeBase::nGetPropDateTime(const wchar_t* text, unsigned int start, unsigned int len,
                                    int bEchelle) {
  return nGetProp(text, start, len, bEchelle);
}

int CDateTimeBase::SetPropDateTime(char* buf, unsigned int start, unsigned int width, int value,
                                   unsigned int total) {
  return nSetProp(buf, start, width, value, total);
}

int CDateTimeBase::SetPropDateTime(wchar_t* buf, unsigned int start, unsigned int width,
                                   int value, unsigned int total) {
  return nSetProp(buf, start, width, value, total);
}

template unsigned int CDateTimeBase::nFormateTexte<char>(char*) const;
template unsigned int CDateTimeBase::nFormateTexte<wchar_t>(wchar_t*) const;
template void CDateTimeBase::__VersChaine<char>(char*, unsigned int) const;
template void CDateTimeBase::__VersChaine<wchar_t>(wchar_t*, unsigned int) const;
template int CDateTimeBase::nVersDate<char>(char*, unsigned int) const;
template int CDateTimeBase::nVersDate<wchar_t>(wchar_t*, unsigned int) const;
template int CDateTimeBase::nVersHeure<char>(char*, unsigned int) const;
template int CDateTimeBase::nVersHeure<wchar_t>(wchar_t*, unsigned int) const;
template unsigned int CDateTimeBase::__SetPartieHeure<char>(const char*);
template unsigned int CDateTimeBase::__SetPartieHeure<wchar_t>(const wchar_t*);
template int CDateTimeBase::__bSetPartieDateValide<char>(const char*);
template int CDateTimeBase::__bSetPartieDateValide<wchar_t>(const wchar_t*);
template int CDateTimeBase::__bSetPartieHeureValide<char>(const char*);
template int CDateTimeBase::__bSetPartieHeureValide<wchar_t>(const wchar_t*);
