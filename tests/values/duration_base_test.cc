// The duration value: its texts and binary form against a std::chrono model,
// the fixed-width readers, and the reader of durations written with units.
#include "values/duration_base.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "core/binary_buffer.h"
#include "core/counted_string.h"
#include "core/zstring.h"
#include "tests/support/bound_framework.h"

namespace {

using std::chrono::milliseconds;

std::wstring Large(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::string Etroit(const std::wstring& s) {
  std::string out;
  for (wchar_t c : s) out += static_cast<char>(c);
  return out;
}

// Fullwidth twin of an ASCII digit or lower-case letter.
wchar_t Pleine(wchar_t c) { return static_cast<wchar_t>(c - 0x20 + 0xFF00); }

std::wstring EnPleineChasse(const std::wstring& s) {
  std::wstring out;
  for (wchar_t c : s) out += (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') ? Pleine(c) : c;
  return out;
}

// The reference text: sign, whole days, then h, min, s and the last field of
// the magnitude, split by std::chrono. nParSeconde is 1000 (ms) or 100 (cs).
std::string TexteReference(long long llTotal, int nParSeconde) {
  const bool bNegatif = llTotal < 0;
  // The magnitude of -(2^63) does not fit: split one unit less and add it back
  // to the last field (it never carries: 2^63 ms ends in ...808 ms).
  const bool bMin = llTotal == LLONG_MIN;
  const long long llMag = bMin ? LLONG_MAX : (bNegatif ? -llTotal : llTotal);
  long long llDernier = bMin ? 1 : 0;
  long long llJours = 0;
  int nHeures = 0, nMinutes = 0, nSecondes = 0;
  auto Decoupe = [&](auto total) {
    const auto jours = std::chrono::duration_cast<std::chrono::days>(total);
    const std::chrono::hh_mm_ss<decltype(total)> hms{total - jours};
    llJours = jours.count();
    nHeures = static_cast<int>(hms.hours().count());
    nMinutes = static_cast<int>(hms.minutes().count());
    nSecondes = static_cast<int>(hms.seconds().count());
    llDernier += hms.subseconds().count();
  };
  if (nParSeconde == 1000) {
    Decoupe(milliseconds{llMag});
  } else {
    Decoupe(std::chrono::duration<long long, std::centi>{llMag});
  }
  char sz[64];
  std::snprintf(sz, sizeof sz, nParSeconde == 1000 ? "%s%lld%02d%02d%02d%03lld" : "%s%lld%02d%02d%02d%02lld",
                bNegatif ? "-" : "", llJours, nHeures, nMinutes, nSecondes, llDernier);
  return sz;
}

// The reference rounding to centiseconds: halves toward +infinity, held
// within what the centisecond reader can return.
// REQUIRES: llMs <= LLONG_MAX - 5.
long long CentiemesReference(long long llMs) {
  const long long llCs =
      std::chrono::floor<std::chrono::duration<long long, std::centi>>(milliseconds{llMs} + milliseconds{5}).count();
  return std::max(std::min(llCs, LLONG_MAX / 10), -(LLONG_MAX / 10));
}

std::string TexteMillieme(long long llMs) {
  wchar_t sz[25];
  CDureeBase d(llMs);
  EXPECT_GE(d.__nVersChaine(sz, CDureeBase::ms_pcszFormatAffichageMillieme, 24), 0);
  return Etroit(sz);
}

std::string TexteCentieme(long long llMs) {
  wchar_t sz[25];
  CDureeBase d(llMs);
  EXPECT_GE(d.__nVersChaine(sz, CDureeBase::ms_cpszFormatAffichageCentieme, 24), 0);
  return Etroit(sz);
}

// Durations spread over the whole range, extremes and day edges included.
std::vector<long long> Echantillon() {
  std::vector<long long> v = {0,         1,         -1,        999,        1000,       -1000,      59999,
                              3599999,   86399999,  86400000,  -86400000,  90061001,   LLONG_MAX,  LLONG_MIN,
                              LLONG_MAX - 4, LLONG_MIN + 1};
  std::mt19937_64 gen(20261210);
  for (int i = 0; i < 4000; ++i) {
    const int nBits = static_cast<int>(gen() % 64);
    long long x = static_cast<long long>(gen() >> (63 - nBits) >> 1);
    v.push_back(gen() & 1 ? x : -x);
  }
  return v;
}

// --- Texts out ------------------------------------------------------------------

TEST(DurationText, WritesTheTablesOwnTexts) {
  struct Case {
    long long llMs;
    const char* pszMillieme;
    const char* pszCentieme;
  };
  const Case cases[] = {
      {0, "0000000000", "000000000"},
      {90061001, "1010101001", "101010100"},
      {-1, "-0000000001", "000000000"},
      {15, "0000000015", "000000002"},
      {-15, "-0000000015", "-000000001"},
      // Past the limits the centisecond count is held at one that reads back.
      {LLONG_MAX, "106751991167071255807", "10675199116707125580"},
      {LLONG_MIN, "-106751991167071255808", "-10675199116707125580"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.llMs);
    EXPECT_EQ(TexteMillieme(c.llMs), c.pszMillieme);
    EXPECT_EQ(TexteCentieme(c.llMs), c.pszCentieme);
  }
}

TEST(DurationText, MillisecondTextMatchesTheChronoSplit) {
  for (long long llMs : Echantillon()) {
    SCOPED_TRACE(llMs);
    ASSERT_EQ(TexteMillieme(llMs), TexteReference(llMs, 1000));
  }
}

TEST(DurationText, CentisecondTextIsTheRoundedCountSplitByChrono) {
  for (long long llMs : Echantillon()) {
    if (llMs > LLONG_MAX - 5) continue;  // the reference adds 5 ms
    SCOPED_TRACE(llMs);
    ASSERT_EQ(TexteCentieme(llMs), TexteReference(CentiemesReference(llMs), 100));
  }
}

TEST(DurationText, CentisecondsOfRemaindersFrom995CarryIntoTheSeconds) {
  struct Case {
    long long llMs;
    const char* pszTexte;
  };
  const Case cases[] = {
      {994, "000000099"},          {995, "000000100"},          {999, "000000100"},
      {59995, "000010000"},        {86399995, "100000000"},     {-995, "-000000099"},
      {-996, "-000000100"},        {-10, "-000000001"},         {-14, "-000000001"},
      {-16, "-000000002"},         {-4, "000000000"},           {-5, "000000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.llMs);
    const std::string s = TexteCentieme(c.llMs);
    EXPECT_EQ(s, c.pszTexte);
    CDureeBase d;
    ASSERT_EQ(d.nDepuisChaineCentieme(Large(s).c_str()), 0);
    EXPECT_EQ(d.llGetDuree(), CentiemesReference(c.llMs) * 10);
  }
}

TEST(DurationText, CountsTheCharactersAfterTheSignAndRefusesWhatDoesNotFit) {
  struct Case {
    long long llMs;
    const wchar_t* pszFormat;
    unsigned int n;
    int nResultat;
    const char* pszTexte;
  };
  const wchar_t* const ms = CDureeBase::ms_pcszFormatAffichageMillieme;
  const wchar_t* const cs = CDureeBase::ms_cpszFormatAffichageCentieme;
  const Case cases[] = {
      {0, ms, 10, 10, "0000000000"},
      {0, ms, 9, -1, ""},
      {-1, ms, 11, 10, "-0000000001"},
      {-1, ms, 10, -1, ""},
      {-15, cs, 10, 9, "-000000001"},
      {-15, cs, 0, -1, ""},
      {LLONG_MIN, ms, 22, 21, "-106751991167071255808"},
      {90061001, L"%d:%02d:%02d:%02d.%03d", 24, 14, "1:01:01:01.001"},
      {-90061001, L"%d:%02d:%02d:%02d.%03d", 24, 14, "-1:01:01:01.001"},
      {-1, L"%d:%02d:%02d:%02d.%03d", 0, -1, ""},
      // Another format receives int days: more than INT_MAX days do not fit.
      {LLONG_MAX, L"%d %d %d %d %d", 24, -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.llMs);
    wchar_t sz[25];
    wmemset(sz, L'#', 25);
    CDureeBase d(c.llMs);
    EXPECT_EQ(d.__nVersChaine(sz, c.pszFormat, c.n), c.nResultat);
    EXPECT_EQ(Etroit(sz), c.pszTexte);
  }
}

TEST(DurationText, EightBitTextIsTheMillisecondText) {
  for (long long llMs : {0LL, -1LL, 90061001LL, LLONG_MIN, LLONG_MAX}) {
    char sz[25];
    CDureeBase(llMs).VersChaine(sz);
    EXPECT_EQ(std::string(sz), TexteReference(llMs, 1000));
  }
}

TEST(DurationCompare, OrdersBySignedValue) {
  struct Case {
    long long a, b;
    int nAttendu;
  };
  const Case cases[] = {
      {0, 0, 0},          {-1, 0, -1},         {1, -1, 1},
      {LLONG_MIN, LLONG_MAX, -1}, {LLONG_MAX, LLONG_MIN, 1}, {LLONG_MIN, LLONG_MIN, 0},
  };
  for (const Case& c : cases) {
    const CDureeBase a(c.a), b(c.b);
    EXPECT_EQ(CDureeBase::nCompare(&a, &b), c.nAttendu) << c.a << " vs " << c.b;
  }
}

// --- Fixed-width readers ------------------------------------------------------------

TEST(DurationReader, ReadsTheTablesTexts) {
  struct Case {
    const wchar_t* pszTexte;
    long long llMs;
  };
  const Case cases[] = {
      {L"1010101001", 90061001},
      {L"-0000000001", -1},
      {L"+0000000001", 1},
      {L"\xFF0D" L"0000000001", -1},
      {L"\xFF0B" L"1010101001", 90061001},
      {L"\xFF11\xFF10\xFF11\xFF10\xFF11\xFF10\xFF11\xFF10\xFF10\xFF11", 90061001},
      // Fields are not checked against their ranges.
      {L"0990000000", 99 * CDureeBase::kMsParHeure},
      {L"0006100000", 61 * CDureeBase::kMsParMinute},
      // Each field reads as wcstol does: a non-digit ends it.
      {L"0x10101001", 61001},
      {L"106751991167071255807", LLONG_MAX},
      {L"-106751991167071255808", LLONG_MIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Etroit(c.pszTexte));
    CDureeBase d(42);
    ASSERT_EQ(d.nDepuisChaine(c.pszTexte), 0);
    EXPECT_EQ(d.llGetDuree(), c.llMs);
  }
}

TEST(DurationReader, RefusesShortAndOutOfRangeTextsAndKeepsTheValue) {
  const std::wstring sDeuxCents(200, L'9');
  const std::wstring sDeuxCentsPleins(200, Pleine(L'7'));
  struct Case {
    const char* pszNom;
    std::wstring sTexte;
  };
  const Case cases[] = {
      {"empty", L""},
      {"nine digits", L"000000000"},
      {"sign and nine digits", L"-000000000"},
      {"fullwidth sign and nine digits", L"\xFF0D" L"000000000"},
      {"days past 64 bits", L"106751991168000000000"},
      {"one millisecond past the maximum", L"106751991167071255808"},
      {"one millisecond below the minimum", L"-106751991167071255809"},
      {"a 200-digit run", sDeuxCents},
      {"a 200-digit fullwidth run", sDeuxCentsPleins},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszNom);
    CDureeBase d(42);
    EXPECT_EQ(d.nDepuisChaine(c.sTexte.c_str()), kDureeHorsLimite);
    EXPECT_EQ(d.llGetDuree(), 42);
  }
  CDureeBase d(42);
  EXPECT_EQ(d.nDepuisChaine(nullptr), kDureeHorsLimite);
  EXPECT_EQ(d.nDepuisChaineCentieme(L"00000000"), kDureeHorsLimite);
  EXPECT_EQ(d.llGetDuree(), 42);
}

TEST(DurationReader, CentisecondReaderTakesTwoDigitsWorthTenMilliseconds) {
  struct Case {
    const wchar_t* pszTexte;
    long long llMs;
  };
  const Case cases[] = {
      {L"000000001", 10},
      {L"101010100", 90061000},
      {L"-000000001", -10},
      {L"000000099", 990},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Etroit(c.pszTexte));
    CDureeBase d;
    ASSERT_EQ(d.nDepuisChaineCentieme(c.pszTexte), 0);
    EXPECT_EQ(d.llGetDuree(), c.llMs);
  }
}

TEST(DurationReader, EveryDurationReadsBackFromItsTexts) {
  for (long long llMs : Echantillon()) {
    SCOPED_TRACE(llMs);
    CDureeBase d;
    ASSERT_EQ(d.nDepuisChaine(Large(TexteMillieme(llMs)).c_str()), 0);
    ASSERT_EQ(d.llGetDuree(), llMs);
    if (llMs > LLONG_MAX - 5) continue;
    ASSERT_EQ(d.nDepuisChaineCentieme(Large(TexteCentieme(llMs)).c_str()), 0);
    ASSERT_EQ(d.llGetDuree(), CentiemesReference(llMs) * 10);
  }
}

// --- Reader of durations written with units ----------------------------------------------

struct CasNaturel {
  const char* pszNom;
  std::wstring sTexte;
  int nResultat;
  long long llMs;
  int nFin;  // where reading stopped, in characters from the start
};

void VerifieNaturel(const CasNaturel& c) {
  SCOPED_TRACE(c.pszNom);
  CDureeBase d(42);
  const wchar_t* pFin = nullptr;
  EXPECT_EQ(d.nDepuisChaineNaturelle(c.sTexte.c_str(), &pFin), c.nResultat);
  if (c.nResultat != kDureeHorsLimite) {
    EXPECT_EQ(d.llGetDuree(), c.llMs);
  }
  EXPECT_EQ(pFin - c.sTexte.c_str(), c.nFin);
}

TEST(DurationWithUnits, ReadsTheTablesExamples) {
  const CasNaturel cases[] = {
      {"hours and minutes", L"1h30min", 0, 5400000, 7},
      {"days and hours", L"2j4h", 0, 187200000, 4},
      {"spaces between all parts", L"2 j 4 h", 0, 187200000, 7},
      {"a first group above its limit", L"90min10s", 0, 5410000, 8},
      {"a later group above its limit", L"1h90min", 112, 0, 7},
      {"a unit out of order stops", L"1h2d", 0, 3600000, 2},
      {"upper case is no unit", L"1H", -1, 0, 0},
      {"a number without unit stops", L"1h 30", 0, 3600000, 2},
      {"a lone m drops its number", L"5m3s", 0, 3000, 4},
      {"a letter right after the unit", L"1hx", -1, 0, 0},
  };
  for (const CasNaturel& c : cases) VerifieNaturel(c);
}

TEST(DurationWithUnits, ReadsUnitsLevelsAndSeparators) {
  const CasNaturel cases[] = {
      {"every unit", L"1d2h3min4s5ms", 0, 93784005, 13},
      {"d and j are days", L"1j", 0, 86400000, 2},
      {"milliseconds alone", L"1000ms", 0, 1000, 6},
      {"hours beyond a day first", L"25h", 0, 90000000, 3},
      {"separators inside a number", L"1 000_000\xFF3Fms", 0, 1000000, 12},
      {"leading separators", L"  _1h", 0, 3600000, 5},
      {"no digits is zero", L"h", 0, 0, 1},
      {"a repeated unit replaces its field", L"1h2h", 0, 7200000, 4},
      {"the day part stays when hours are replaced", L"25h2h", 0, 93600000, 5},
      {"the hour part stays when minutes are replaced", L"90min30min", 0, 5400000, 10},
      {"milliseconds replaced", L"1ms2ms", 0, 2, 6},
      {"a smaller unit before a larger stops", L"1s2min", 0, 1000, 2},
      {"mi without n drops its number", L"1mi2s", 0, 2000, 5},
      {"m at the end", L"5m", -1, 0, 0},
      {"a sign is no number", L"-1h", -1, 0, 0},
      {"an underscore may not follow a unit", L"1h_30min", -1, 0, 0},
      {"m may not follow a unit", L"1hmin", -1, 0, 0},
      {"empty", L"", -1, 0, 0},
  };
  for (const CasNaturel& c : cases) VerifieNaturel(c);
}

TEST(DurationWithUnits, AcceptsOnlyTheListedCharactersAfterAUnit) {
  const wchar_t acceptes[] = {L'\n', L'\r', L' ', L')', L',', L';', L'7', 0x3001, 0xFF09, 0xFF0C, 0xFF1B, 0xFF17};
  for (wchar_t c : acceptes) {
    const std::wstring s = std::wstring(L"1h") + c + L"!";
    VerifieNaturel({"accepted follower", s, 0, 3600000, 2});
  }
  const wchar_t refuses[] = {L'_', 0xFF3F, L'.', L'(', L'\t', L'a', L'H', L'-', 0x3000};
  for (wchar_t c : refuses) {
    const std::wstring s = std::wstring(L"1h") + c;
    VerifieNaturel({"refused follower", s, -1, 0, 0});
  }
}

TEST(DurationWithUnits, ReadsFullwidthDigitsAndUnitsAsTheirAsciiTwins) {
  const CasNaturel cases[] = {
      {"fullwidth digit", L"\xFF11h", 0, 3600000, 2},
      {"fullwidth everything", EnPleineChasse(L"1d2h3min4s5ms"), 0, 93784005, 13},
      {"fullwidth day letter j", EnPleineChasse(L"2j") + L"4h", 0, 187200000, 4},
      {"mixed widths in min", L"1m\xFF49n", 0, 60000, 4},
  };
  for (const CasNaturel& c : cases) VerifieNaturel(c);
}

TEST(DurationWithUnits, LaterGroupsAreHeldToTheirLimits) {
  const CasNaturel cases[] = {
      {"at every limit", L"2d23h60min60s999ms", 0, 2 * 86400000LL + 23 * 3600000LL + 3600000 + 60000 + 999, 18},
      {"24 hours after days", L"1d24h", 112, 0, 5},
      {"61 minutes", L"1h61min", 112, 0, 7},
      {"61 seconds", L"1min61s", 112, 0, 7},
      {"1000 milliseconds", L"1s1000ms", 112, 0, 8},
  };
  for (const CasNaturel& c : cases) VerifieNaturel(c);
}

TEST(DurationWithUnits, RefusesNumbersThatDoNotFit) {
  const std::wstring sCentZeros(99, L'0');
  const CasNaturel cases[] = {
      {"a 200-digit run", L"1" + std::wstring(199, L'0') + L"h", 112, 0, 201},
      {"a 200-digit run of zeros", std::wstring(200, L'0') + L"ms", 112, 0, 202},
      {"a 200-digit fullwidth run", std::wstring(200, Pleine(L'9')) + L"s", 112, 0, 201},
      {"100 digits are taken", sCentZeros + L"1h", 0, 3600000, 101},
      {"101 digits are not", L"0" + sCentZeros + L"1h", 112, 0, 102},
      {"the most days", L"106751991167d", 0, 106751991167LL * 86400000LL, 13},
      {"one day more", L"106751991168d", 112, 0, 13},
      {"the most milliseconds", L"9223372036854775807ms", 0, LLONG_MAX, 21},
      {"one millisecond more", L"9223372036854775808ms", 112, 0, 21},
      {"the sum past 64 bits", L"106751991167d23h", 112, 0, 16},
      {"a long run without unit is dropped", std::wstring(200, L'9'), -1, 0, 0},
  };
  for (const CasNaturel& c : cases) VerifieNaturel(c);
}

TEST(DurationWithUnits, NullTextReadsNothing) {
  CDureeBase d(42);
  const wchar_t* pFin = L"x";
  EXPECT_EQ(d.nDepuisChaineNaturelle(nullptr, &pFin), -1);
  EXPECT_EQ(pFin, nullptr);
  EXPECT_EQ(d.llGetDuree(), 0);
  EXPECT_EQ(d.nDepuisChaineNaturelle(L"1h", nullptr), 0);
  EXPECT_EQ(d.llGetDuree(), 3600000);
}

// Random well-formed texts, one group per unit in decreasing order, with
// random widths, separators and day letters: the value is the sum of the groups.
TEST(DurationWithUnits, RandomWellFormedTextsReadAsTheSumOfTheirGroups) {
  struct Unite {
    const wchar_t* pszNom;
    long long llMs;
    unsigned long long ullLimite;
  };
  const Unite unites[] = {{L"d", 86400000, 100000}, {L"h", 3600000, 23}, {L"min", 60000, 60},
                          {L"s", 1000, 60},         {L"ms", 1, 999}};
  const wchar_t* const separateurs[] = {L"", L" ", L"_", L"\xFF3F"};
  std::mt19937 gen(1210);
  for (int i = 0; i < 3000; ++i) {
    std::wstring s;
    long long llAttendu = 0;
    bool bPremier = true;
    for (const Unite& u : unites) {
      if (gen() % 2) continue;
      // The first group may exceed its field.
      const unsigned long long n = bPremier ? gen() % 100000 : gen() % (u.ullLimite + 1);
      llAttendu += static_cast<long long>(n) * u.llMs;
      std::wstring sNombre = std::to_wstring(n);
      if (gen() % 4 == 0) sNombre = EnPleineChasse(sNombre);
      if (sNombre.size() > 1 && gen() % 4 == 0) sNombre.insert(1, separateurs[gen() % 4]);
      std::wstring sUnite = u.pszNom;
      if (sUnite == L"d" && gen() % 2) sUnite = L"j";
      if (gen() % 4 == 0) sUnite = EnPleineChasse(sUnite);
      s += sNombre + separateurs[gen() % 4] + sUnite;
      if (gen() % 2) s += L" ";
      bPremier = false;
    }
    SCOPED_TRACE(Etroit(s));
    CDureeBase d;
    const wchar_t* pFin = nullptr;
    ASSERT_EQ(d.nDepuisChaineNaturelle(s.c_str(), &pFin), bPremier ? -1 : 0);
    ASSERT_EQ(d.llGetDuree(), llAttendu);
    // Reading ends after the last unit: only a trailing blank may remain.
    ASSERT_TRUE(*pFin == 0 || (*pFin == L' ' && pFin[1] == 0) || bPremier);
  }
}

// --- Counted strings and binary form ----------------------------------------------------

class DurationCounted : public kqtest::BoundFrameworkTest {};

TEST_F(DurationCounted, CountedStringsReceiveBothTexts) {
  for (long long llMs : {0LL, -1LL, 90061001LL, 999LL, LLONG_MIN}) {
    SCOPED_TRACE(llMs);
    CXYString<wchar_t> s;
    ASSERT_EQ(CDureeBase(llMs).nVersChaine(&s), 0);
    EXPECT_EQ(Etroit(s.pszGet()), TexteReference(llMs, 1000));
    ASSERT_EQ(CDureeBase(llMs).nVersChaineCentieme(&s), 0);
    EXPECT_EQ(Etroit(s.pszGet()), TexteCentieme(llMs));
    wchar_t* psz = CDureeBase(llMs).pszCreeChaine();
    ASSERT_NE(psz, nullptr);
    EXPECT_EQ(Etroit(psz), TexteReference(llMs, 1000));
    STR_Delete(psz);
  }
}

TEST_F(DurationCounted, BinaryFormOfMinusOneIsElevenBytesAndReadsBack) {
  CVXBIN bin;
  ASSERT_EQ(CDureeBase(-1).nVersBinaire(&bin, 0), 0);
  ASSERT_EQ(bin.nGetSize(), 11);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bin.pbyGet()), 11), "-0000000001");
  CDureeBase d(42);
  ASSERT_EQ(d.nDepuisBinaire(&bin, 0), 0);
  EXPECT_EQ(d.llGetDuree(), -1);
}

TEST_F(DurationCounted, EveryDurationReadsBackFromItsBinaryForm) {
  for (long long llMs : Echantillon()) {
    SCOPED_TRACE(llMs);
    CVXBIN bin;
    ASSERT_EQ(CDureeBase(llMs).nVersBinaire(&bin, 0), 0);
    ASSERT_LE(bin.nGetSize(), 24);
    CDureeBase d;
    ASSERT_EQ(d.nDepuisBinaire(&bin, 0), 0);
    ASSERT_EQ(d.llGetDuree(), llMs);
  }
}

TEST_F(DurationCounted, BinaryReaderTakesAtMostTwentyFourBytes) {
  const std::string sTexte = std::string(14, '0') + "1010101001" + "77777";
  CVXBIN bin(reinterpret_cast<const unsigned char*>(sTexte.data()), static_cast<int>(sTexte.size()));
  CDureeBase d;
  ASSERT_EQ(d.nDepuisBinaire(&bin, 0), 0);
  EXPECT_EQ(d.llGetDuree(), 90061001);

  CVXBIN vide;
  EXPECT_EQ(d.nDepuisBinaire(&vide, 0), kDureeHorsLimite);
  EXPECT_EQ(d.nDepuisBinaire(nullptr, 0), kDureeHorsLimite);
  EXPECT_EQ(d.llGetDuree(), 90061001);
}

}  // namespace
