#include "tests/tools/sqlprobe_fields.h"

#include "core/codepage_conversion.h"

namespace sqlprobe {
namespace {

constexpr unsigned int kUtf8 = 65001;

// \\, \t, \n, \r, \xNN decoded; false on any other escape.
bool bUnescape(const std::string& in, std::string* pOut) {
  pOut->clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      pOut->push_back(in[i]);
      continue;
    }
    if (++i >= in.size()) return false;
    switch (in[i]) {
      case '\\': pOut->push_back('\\'); break;
      case 't': pOut->push_back('\t'); break;
      case 'n': pOut->push_back('\n'); break;
      case 'r': pOut->push_back('\r'); break;
      case 'x': {
        if (in.size() < i + 3) return false;  // two hex digits
        unsigned int n = 0;
        const auto r = std::from_chars(in.data() + i + 1, in.data() + i + 3, n, 16);
        if (r.ec != std::errc() || r.ptr != in.data() + i + 3) return false;
        pOut->push_back(static_cast<char>(n));
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

}  // namespace

bool bSplitFields(const std::string& line, std::vector<std::string>* pFields, std::string* pWhy) {
  pFields->clear();
  size_t nStart = 0;
  for (;;) {
    const size_t nTab = line.find('\t', nStart);
    std::string field;
    if (!bUnescape(line.substr(nStart, nTab == std::string::npos ? std::string::npos : nTab - nStart),
                   &field)) {
      *pWhy = "bad escape in field " + std::to_string(pFields->size() + 1);
      return false;
    }
    pFields->push_back(std::move(field));
    if (nTab == std::string::npos) return true;
    nStart = nTab + 1;
  }
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

bool bWide(const std::string& utf8, std::wstring* pOut) {
  pOut->clear();
  if (utf8.empty()) return true;
  const int nIn = static_cast<int>(utf8.size());
  const int n = MultiByteToWideChar(kUtf8, MB_ERR_INVALID_CHARS, utf8.data(), nIn, nullptr, 0);
  if (n <= 0) return false;
  pOut->resize(static_cast<size_t>(n));
  return MultiByteToWideChar(kUtf8, MB_ERR_INVALID_CHARS, utf8.data(), nIn, pOut->data(), n) == n;
}

std::string Utf8(const wchar_t* psz) {
  if (psz == nullptr || *psz == 0) return "";
  const int n = WideCharToMultiByte(kUtf8, 0, psz, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return "";
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(kUtf8, 0, psz, -1, out.data(), n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

}  // namespace sqlprobe
