// sort_table_gen: writes the fast sort table of UTF-16 units (tabUCS2FastSort)
// as a C++ source, from the Unicode Character Database's UnicodeData.txt.
//
//   sort_table_gen UnicodeData.txt out.cc
//
// Runs at build time; not part of the driver.
//
// The rule. Every unit U+0001..U+FFFE gets a place in one order, then a
// 16-bit weight that follows that order:
//
// 1. Units that share. A unit whose decomposition (canonical or compatibility)
//    is one single character sorts as that character, followed to the end
//    ("ａ", "ª", "①", "²" sort as "a", "a", "1", "2"); a decimal digit of any
//    script sorts as the ASCII digit of its value; an unassigned code point
//    sorts as the code point just before it.
// 2. The order of the others, by group, then within the group:
//    a. controls, format characters, line and paragraph separators and
//       combining marks, by code point;
//    b. white space (tab to carriage return, U+0085 and the space
//       separators), by code point;
//    c. punctuation, math, currency and modifier symbols, and the numbers
//       that are not decimal digits (fractions, Roman numerals), by code point;
//    d. the ASCII digits, by value;
//    e. the Latin letters whose name is "LATIN SMALL|CAPITAL LETTER x", x one
//       of A to Z, optionally followed by " WITH ...": by x; within x, first
//       the plain letter, then the letters that decompose to x and combining
//       marks, by their marks' code points (so grave before acute), then the
//       other letters of x (with stroke, hook...) by code point; lower case
//       before upper case at each step;
//    f. every other letter, by code point;
//    g. other symbols, by code point;
//    h. surrogates and private use, by code point.
// 3. Weights. U+0000 weighs 0x0000 and U+FFFF 0xFFFF. Fourteen units are fixed
//    points: space 0x0A3D, "0" 0x1684, "9" 0x1851, "a" 0x1877, "A" 0x187B,
//    "à" 0x1884, "b" 0x18D8, "B" 0x18DB, "é" 0x1966, "É" 0x1967, "z" 0x1D4C,
//    "Z" 0x1D4F (with U+0000 and U+FFFF). The units that lie in the order
//    between two fixed points are spread evenly over the free weights between
//    them; where a span holds more units than free weights, neighbours in the
//    order share a weight. So the weights never decrease along the order.
//
// Each entry is stored so that the key, which holds the 16-bit entry in
// memory order, reads the weight big-endian.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kUnits = 0x10000;

struct CharData {
  bool bAssigned = false;
  std::string category;
  std::string name;
  std::string decomposition;  // field 5 as it stands
  int nDigit = -1;            // field 6
};

std::vector<std::string> Split(const std::string& s, char c) {
  std::vector<std::string> out;
  std::string cur;
  for (char ch : s) {
    if (ch == c) {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += ch;
    }
  }
  out.push_back(cur);
  return out;
}

bool bLoad(const char* pszPath, std::vector<CharData>& data) {
  std::ifstream in(pszPath);
  if (!in) return false;
  std::string line;
  long nRangeFirst = -1;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::vector<std::string> f = Split(line, ';');
    if (f.size() < 15) return false;
    long cp = std::strtol(f[0].c_str(), nullptr, 16);
    const std::string& n = f[1];
    // Ranges come as "<..., First>" and "<..., Last>" lines.
    if (n.size() > 6 && n.compare(n.size() - 6, 6, "First>") == 0) {
      nRangeFirst = cp;
      continue;
    }
    long first = cp;
    if (nRangeFirst >= 0 && n.size() > 5 && n.compare(n.size() - 5, 5, "Last>") == 0) first = nRangeFirst;
    nRangeFirst = -1;
    for (long c = first; c <= cp && c < kUnits; ++c) {
      CharData& d = data[c];
      d.bAssigned = true;
      d.category = f[2];
      d.name = n;
      if (first == cp) {
        d.decomposition = f[5];
        if (!f[6].empty()) d.nDigit = std::atoi(f[6].c_str());
      }
    }
  }
  return true;
}

std::vector<long> Codes(const std::string& s, bool* pbCompat) {
  std::vector<long> out;
  std::istringstream in(s);
  std::string tok;
  *pbCompat = false;
  while (in >> tok) {
    if (tok[0] == '<') {
      *pbCompat = true;
      continue;
    }
    out.push_back(std::strtol(tok.c_str(), nullptr, 16));
  }
  return out;
}

// Full canonical decomposition.
void Canonical(const std::vector<CharData>& data, long c, std::vector<long>& out) {
  if (c < kUnits && !data[c].decomposition.empty()) {
    bool bCompat;
    std::vector<long> d = Codes(data[c].decomposition, &bCompat);
    if (!bCompat) {
      for (long x : d) Canonical(data, x, out);
      return;
    }
  }
  out.push_back(c);
}

// The unit a unit sorts as by its single-character decomposition, or itself.
long SingleRoot(const std::vector<CharData>& data, long c) {
  for (int guard = 0; guard < 16; ++guard) {
    if (data[c].decomposition.empty()) return c;
    bool bCompat;
    std::vector<long> d = Codes(data[c].decomposition, &bCompat);
    if (d.size() != 1 || d[0] >= kUnits || d[0] == c) return c;
    c = d[0];
  }
  return c;
}

bool bIn(const std::string& cat, std::initializer_list<const char*> list) {
  for (const char* p : list)
    if (cat == p) return true;
  return false;
}

struct OrderKey {
  int nGroup = 0;
  int nBase = 0;                // Latin: letter 0..25; digits: value
  int nVariant = 0;             // Latin: 0 plain, 1 marks, 2 other
  std::vector<long> marks;      // Latin with marks
  int nCase = 0;                // 0 lower, 1 upper
  long cp = 0;

  bool operator<(const OrderKey& o) const {
    if (nGroup != o.nGroup) return nGroup < o.nGroup;
    if (nBase != o.nBase) return nBase < o.nBase;
    if (nVariant != o.nVariant) return nVariant < o.nVariant;
    if (marks != o.marks) return marks < o.marks;
    if (nCase != o.nCase) return nCase < o.nCase;
    return cp < o.cp;
  }
};

// "LATIN SMALL LETTER x" / "LATIN CAPITAL LETTER x", optionally " WITH ...":
// the letter x (0..25), or -1.
int nLatinBase(const std::string& name, bool* pbPlain) {
  static const char* const kPrefixes[] = {"LATIN SMALL LETTER ", "LATIN CAPITAL LETTER "};
  for (const char* p : kPrefixes) {
    size_t n = std::strlen(p);
    if (name.compare(0, n, p) != 0 || name.size() <= n) continue;
    char x = name[n];
    if (x < 'A' || x > 'Z') return -1;
    if (name.size() == n + 1) {
      *pbPlain = true;
      return x - 'A';
    }
    if (name.compare(n + 1, 6, " WITH ") == 0) {
      *pbPlain = false;
      return x - 'A';
    }
    return -1;
  }
  return -1;
}

OrderKey Key(const std::vector<CharData>& data, long c) {
  OrderKey k;
  k.cp = c;
  const CharData& d = data[c];
  const std::string& cat = d.bAssigned ? d.category : std::string("Cn");
  if ((c >= 9 && c <= 13) || c == 0x85 || cat == "Zs") {
    k.nGroup = 1;
  } else if (bIn(cat, {"Cc", "Cf", "Zl", "Zp", "Mn", "Mc", "Me"})) {
    k.nGroup = 0;
  } else if (bIn(cat, {"Pc", "Pd", "Ps", "Pe", "Pi", "Pf", "Po", "Sm", "Sc", "Sk", "No", "Nl"})) {
    k.nGroup = 2;
  } else if (cat == "Nd") {
    k.nGroup = 3;
    k.nBase = d.nDigit;
  } else if (cat[0] == 'L') {
    bool bPlain = false;
    int nBase = bIn(cat, {"Ll", "Lu", "Lt"}) ? nLatinBase(d.name, &bPlain) : -1;
    if (nBase >= 0) {
      k.nGroup = 4;
      k.nBase = nBase;
      k.nCase = cat == "Ll" ? 0 : 1;
      std::vector<long> canon;
      Canonical(data, c, canon);
      bool bBaseFirst = canon.size() > 1 && ((canon[0] >= 'a' && canon[0] <= 'z') ||
                                             (canon[0] >= 'A' && canon[0] <= 'Z'));
      if (bBaseFirst) {
        k.nVariant = 1;
        k.marks.assign(canon.begin() + 1, canon.end());
      } else {
        k.nVariant = bPlain ? 0 : 2;
      }
    } else {
      k.nGroup = 5;
    }
  } else if (cat == "So") {
    k.nGroup = 6;
  } else {
    k.nGroup = 7;
  }
  return k;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s UnicodeData.txt out.cc\n", argv[0]);
    return 2;
  }
  std::vector<CharData> data(kUnits);
  if (!bLoad(argv[1], data)) {
    std::fprintf(stderr, "%s: cannot read %s (install unicode-data)\n", argv[0], argv[1]);
    return 1;
  }

  const std::map<long, unsigned> kFixed = {
      {0x0000, 0x0000}, {0x0020, 0x0A3D}, {0x0030, 0x1684}, {0x0039, 0x1851},
      {0x0061, 0x1877}, {0x0041, 0x187B}, {0x00E0, 0x1884}, {0x0062, 0x18D8},
      {0x0042, 0x18DB}, {0x00E9, 0x1966}, {0x00C9, 0x1967}, {0x007A, 0x1D4C},
      {0x005A, 0x1D4F}, {0xFFFF, 0xFFFF}};

  // 1. Who sorts as whom.
  std::vector<long> sortsAs(kUnits, -1);
  std::vector<std::pair<OrderKey, long>> order;
  for (long c = 1; c < 0xFFFF; ++c) {
    if (kFixed.count(c)) {
      order.emplace_back(Key(data, c), c);
      continue;
    }
    if (!data[c].bAssigned) {
      sortsAs[c] = c - 1;
      continue;
    }
    long r = SingleRoot(data, c);
    if (r != c) {
      sortsAs[c] = r;
      continue;
    }
    if (data[c].category == "Nd" && !(c >= '0' && c <= '9') && data[c].nDigit >= 0) {
      sortsAs[c] = '0' + data[c].nDigit;
      continue;
    }
    order.emplace_back(Key(data, c), c);
  }
  std::sort(order.begin(), order.end());

  // 2. Weights along the order, between fixed points.
  std::vector<unsigned> weight(kUnits, 0);
  std::vector<bool> bDone(kUnits, false);
  weight[0] = 0;
  bDone[0] = true;
  weight[0xFFFF] = 0xFFFF;
  bDone[0xFFFF] = true;
  order.emplace_back(OrderKey{}, 0xFFFF);  // the last fixed point closes the last span
  size_t nStart = 0;
  unsigned nLow = 0;
  for (size_t i = 0; i < order.size(); ++i) {
    long c = order[i].second;
    auto it = kFixed.find(c);
    if (it == kFixed.end()) continue;
    unsigned nHigh = it->second;
    if (nHigh <= nLow && c != 0xFFFF) {
      std::fprintf(stderr, "fixed points out of order at U+%04lX\n", c);
      return 1;
    }
    size_t n = i - nStart;
    unsigned long long nFree = nHigh - nLow - 1;
    for (size_t j = 0; j < n; ++j) {
      long u = order[nStart + j].second;
      unsigned w = nFree == 0 ? nLow : nLow + 1 + static_cast<unsigned>(j * nFree / n);
      weight[u] = w;
      bDone[u] = true;
    }
    weight[c] = nHigh;
    bDone[c] = true;
    nLow = nHigh;
    nStart = i + 1;
  }
  // 3. The units that share, in code-point order (an unassigned unit follows
  // the one before it, which is done by then; roots are done already).
  for (long c = 1; c < 0xFFFF; ++c) {
    if (bDone[c]) continue;
    long r = sortsAs[c];
    while (r >= 0 && !bDone[r] && sortsAs[r] >= 0 && sortsAs[r] != r) r = sortsAs[r];
    if (r < 0 || !bDone[r]) {
      std::fprintf(stderr, "U+%04lX has no weight\n", c);
      return 1;
    }
    weight[c] = weight[r];
    bDone[c] = true;
  }

  std::FILE* out = std::fopen(argv[2], "w");
  if (out == nullptr) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
    return 1;
  }
  std::fprintf(out,
               "// Generated by values/sort_table_gen.cc from UnicodeData.txt: do not edit.\n"
               "#include \"values/index_key.h\"\n\n"
               "// Entries are byte-swapped so that the key holds each weight big-endian.\n"
               "alignas(64) const uint16_t tabUCS2FastSort[65536] = {\n");
  for (long c = 0; c < kUnits; ++c) {
    unsigned w = weight[c];
    unsigned stored = ((w & 0xFF) << 8) | (w >> 8);
    std::fprintf(out, "0x%04X,%s", stored, (c % 12 == 11) ? "\n" : "");
  }
  std::fprintf(out, "\n};\n");
  if (std::fclose(out) != 0) return 1;
  return 0;
}
