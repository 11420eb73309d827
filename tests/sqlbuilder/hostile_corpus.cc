// The hostile corpus reader (tests/sqlbuilder/hostile_corpus.h).
#include "tests/sqlbuilder/hostile_corpus.h"

#include <fstream>
#include <string>
#include <vector>

namespace kqtest {
namespace {

std::wstring DecodeUtf8(const std::string& s) {
  std::wstring out;
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    unsigned int cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (int k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
    out += static_cast<wchar_t>(cp);
    i += n;
  }
  return out;
}

std::wstring Unescape(const std::wstring& s) {
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != L'\\' || i + 1 >= s.size()) {
      out += s[i];
      continue;
    }
    const wchar_t c = s[++i];
    if (c == L't') out += L'\t';
    else if (c == L'n') out += L'\n';
    else if (c == L'r') out += L'\r';
    else if (c == L'0') out += L'\0';
    else if (c == L'x') {
      out += static_cast<wchar_t>(std::stoul(std::wstring(s, i + 1, 2), nullptr, 16));
      i += 2;
    } else if (c == L'u') {
      const size_t close = s.find(L'}', i);
      out += static_cast<wchar_t>(std::stoul(std::wstring(s, i + 2, close - i - 2), nullptr, 16));
      i = close;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::vector<CorpusEntry> ReadHostileCorpus(const char* pszPath) {
  std::vector<CorpusEntry> entries;
  std::ifstream in(pszPath);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    entries.push_back({line.substr(0, tab), Unescape(DecodeUtf8(line.substr(tab + 1)))});
  }
  return entries;
}

}  // namespace kqtest
