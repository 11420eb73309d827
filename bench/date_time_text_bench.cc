// Reading and writing the full date-time text YYYYMMDDHHMMSSmmm, the form in
// which every DATETIME column value passes between the driver and the server.
// Each run goes over the same 1,000,000 texts of random valid date-times:
//
//   ParseChecked     the checked readers (__bSetPartieDateValide and
//                    __bSetPartieHeureValide): digits, ranges, month lengths.
//   ParseUnchecked   the unchecked reading (fields by nGetPropDateTime, time
//                    by __SetPartieHeure), as the binary form's plain reader.
//   FromCharsChrono  the reference: the seven fields by std::from_chars, the
//                    date checked by std::chrono::year_month_day::ok() and
//                    the time by range tests.
//   Format           CDateTimeBase::VersChaine(char*, 17).
//   FormatToChars    the reference: seven zero-padded std::to_chars fields.
//   FormatSnprintf   snprintf("%04d%02d%02d%02d%02d%02d%03d"), the classic.
//
// Running it: qemu-i386 build-<dir>/bench/date_time_text_bench. Under the
// emulator every figure includes the emulation; compare them with each other.
#include <benchmark/benchmark.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "bench/bench_context.h"
#include "values/date_time_base.h"

namespace {

constexpr int kTextes = 1000000;
constexpr int kLongueur = CDateTimeBase::kLongueurTexte;

struct Texte {
  char sz[kLongueur + 1];
};

const std::vector<Texte>& Textes() {
  static const std::vector<Texte> v = [] {
    std::vector<Texte> t(kTextes);
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int> annee(1800, 9999), mois(1, 12), jour(1, 31),
        milli(0, 86399999);
    for (auto& x : t) {
      int y = annee(rng), m = mois(rng);
      int d = std::min(jour(rng), CDateTimeBase::s_nGetNbJourMois(m, y));
      int ms = milli(rng);
      char sz[40];
      std::snprintf(sz, sizeof sz, "%04d%02d%02d%02d%02d%02d%03d", y, m, d, ms / 3600000,
                    ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
      std::memcpy(x.sz, sz, sizeof x.sz - 1);
      x.sz[kLongueur] = 0;
    }
    return t;
  }();
  return v;
}

const std::vector<CDateTimeBase>& Valeurs() {
  static const std::vector<CDateTimeBase> v = [] {
    std::vector<CDateTimeBase> r(kTextes);
    const auto& t = Textes();
    for (int i = 0; i < kTextes; ++i) {
      r[i].InitDate();
      r[i].__bSetPartieDateValide(t[i].sz);
      r[i].__bSetPartieHeureValide(t[i].sz + 8);
    }
    return r;
  }();
  return v;
}

void ParseChecked(benchmark::State& state) {
  const auto& t = Textes();
  for (auto _ : state) {
    unsigned int somme = 0;
    for (const auto& x : t) {
      CDateTimeBase dt;
      dt.InitDate();
      if (dt.__bSetPartieDateValide(x.sz) && dt.__bSetPartieHeureValide(x.sz + 8))
        somme += dt.dwGetDate() ^ dt.dwGetMilli();
    }
    benchmark::DoNotOptimize(somme);
  }
  state.SetItemsProcessed(state.iterations() * kTextes);
}

void ParseUnchecked(benchmark::State& state) {
  const auto& t = Textes();
  for (auto _ : state) {
    unsigned int somme = 0;
    for (const auto& x : t) {
      CDateTimeBase dt;
      dt.Set(CDateTimeBase::nGetPropDateTime(x.sz, 0, 4, 0), CDateTimeBase::nGetPropDateTime(x.sz, 4, 2, 0),
             CDateTimeBase::nGetPropDateTime(x.sz, 6, 2, 0), 0, 0, 0, 0);
      dt.__SetPartieHeure(x.sz + 8);
      somme += dt.dwGetDate() ^ dt.dwGetMilli();
    }
    benchmark::DoNotOptimize(somme);
  }
  state.SetItemsProcessed(state.iterations() * kTextes);
}

int Champ(const char* p, int n) {
  int v = 0;
  std::from_chars(p, p + n, v);
  return v;
}

void FromCharsChrono(benchmark::State& state) {
  using namespace std::chrono;
  const auto& t = Textes();
  for (auto _ : state) {
    unsigned int somme = 0;
    for (const auto& x : t) {
      int y = Champ(x.sz, 4), m = Champ(x.sz + 4, 2), d = Champ(x.sz + 6, 2);
      int h = Champ(x.sz + 8, 2), mi = Champ(x.sz + 10, 2), s = Champ(x.sz + 12, 2),
          ms = Champ(x.sz + 14, 3);
      year_month_day ymd{year{y}, month(unsigned(m)), day(unsigned(d))};
      if (ymd.ok() && h <= 23 && mi <= 59 && s <= 59)
        somme += unsigned(y << 16 | m << 8 | d) ^ unsigned(h * 3600000 + mi * 60000 + s * 1000 + ms);
    }
    benchmark::DoNotOptimize(somme);
  }
  state.SetItemsProcessed(state.iterations() * kTextes);
}

void Format(benchmark::State& state) {
  const auto& v = Valeurs();
  char sz[kLongueur + 1];
  for (auto _ : state) {
    unsigned int somme = 0;
    for (const auto& dt : v) {
      dt.VersChaine(sz, kLongueur);
      somme += static_cast<unsigned char>(sz[16]);
    }
    benchmark::DoNotOptimize(somme);
  }
  state.SetItemsProcessed(state.iterations() * kTextes);
}

char* Pad(char* p, unsigned int v, int n) {
  char tmp[12];
  auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
  int l = int(r.ptr - tmp);
  for (int i = l; i < n; ++i) *p++ = '0';
  std::memcpy(p, tmp, size_t(l));
  return p + l;
}

void FormatToChars(benchmark::State& state) {
  const auto& v = Valeurs();
  char sz[kLongueur + 8];
  for (auto _ : state) {
    unsigned int somme = 0;
    for (const auto& dt : v) {
      char* p = Pad(sz, unsigned(dt.nGetAnnee()), 4);
      p = Pad(p, unsigned(dt.nGetMois()), 2);
      p = Pad(p, unsigned(dt.nGetJour()), 2);
      p = Pad(p, unsigned(dt.nGetHeure()), 2);
      p = Pad(p, unsigned(dt.nGetMinute()), 2);
      p = Pad(p, unsigned(dt.nGetSeconde()), 2);
      p = Pad(p, unsigned(dt.nGetMilliseconde()), 3);
      *p = 0;
      somme += static_cast<unsigned char>(sz[16]);
    }
    benchmark::DoNotOptimize(somme);
  }
  state.SetItemsProcessed(state.iterations() * kTextes);
}

void FormatSnprintf(benchmark::State& state) {
  const auto& v = Valeurs();
  char sz[32];
  for (auto _ : state) {
    unsigned int somme = 0;
    for (const auto& dt : v) {
      std::snprintf(sz, sizeof sz, "%04d%02d%02d%02d%02d%02d%03d", dt.nGetAnnee(), dt.nGetMois(),
                    dt.nGetJour(), dt.nGetHeure(), dt.nGetMinute(), dt.nGetSeconde(),
                    dt.nGetMilliseconde());
      somme += static_cast<unsigned char>(sz[16]);
    }
    benchmark::DoNotOptimize(somme);
  }
  state.SetItemsProcessed(state.iterations() * kTextes);
}

BENCHMARK(ParseChecked)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseUnchecked)->Unit(benchmark::kMillisecond);
BENCHMARK(FromCharsChrono)->Unit(benchmark::kMillisecond);
BENCHMARK(Format)->Unit(benchmark::kMillisecond);
BENCHMARK(FormatToChars)->Unit(benchmark::kMillisecond);
BENCHMARK(FormatSnprintf)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return kqbench::nRunBenchmarks(argc, argv); }
