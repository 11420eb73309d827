#include "tests/tools/sqlprobe_limit.h"

#include <charconv>

#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "sqlbuilder/clause_location.h"
#include "sqlbuilder/command.h"

namespace sqlprobe {
namespace {

// UTF-8 to wide text; false on a malformed sequence (the probe refuses it
// rather than guess).
bool bWide(const std::string& in, std::wstring* pOut) {
  pOut->clear();
  for (size_t i = 0; i < in.size();) {
    const auto b = static_cast<unsigned char>(in[i]);
    unsigned int c = 0;
    int nMore = 0;
    if (b < 0x80) {
      c = b;
    } else if (b >= 0xC2 && b < 0xE0) {
      c = b & 0x1F;
      nMore = 1;
    } else if (b >= 0xE0 && b < 0xF0) {
      c = b & 0x0F;
      nMore = 2;
    } else if (b >= 0xF0 && b < 0xF5) {
      c = b & 0x07;
      nMore = 3;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(nMore) >= in.size()) return false;  // cut short
    for (int k = 1; k <= nMore; ++k) {
      const auto n = static_cast<unsigned char>(in[i + static_cast<size_t>(k)]);
      if ((n & 0xC0) != 0x80) return false;
      c = (c << 6) | (n & 0x3F);
    }
    if ((nMore == 2 && c < 0x800) || (nMore == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF))
      return false;
    pOut->push_back(static_cast<wchar_t>(c));
    i += static_cast<size_t>(nMore) + 1;
  }
  return true;
}

std::string Utf8(const wchar_t* psz) {
  std::string out;
  for (; psz != nullptr && *psz != 0; ++psz) {
    unsigned int c = static_cast<unsigned int>(*psz);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

bool bNumber64(const std::string& s, long long* pll) {
  if (s.empty()) return false;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), *pll, 10);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

LimitAnswer Refuse(const std::string& why) { return {false, 0, why}; }

}  // namespace

bool bIsLimitCommand(const std::string& name) { return name == "limit" || name == "limited"; }

LimitAnswer RunLimitCommand(CNAConnectionDescription* pclConnection,
                            const std::vector<std::string>& fields) {
  std::wstring text;
  if (fields[0] == "limited") {
    if (fields.size() != 2) return Refuse("limited takes 1 field");
    if (!bWide(fields[1], &text)) return Refuse("field 2 is not UTF-8");
    return {true, 0,
            CNAClauseLocation::s_bQueryResultsetLimited(pclConnection, text.c_str()) ? "1" : "0"};
  }
  if (fields.size() != 4) return Refuse("limit takes 3 fields");
  long long llLimit = 0, llOffset = 0;
  if (!bNumber64(fields[1], &llLimit)) return Refuse("field 2 is not a 64-bit number");
  if (!bNumber64(fields[2], &llOffset)) return Refuse("field 3 is not a 64-bit number");
  if (!bWide(fields[3], &text)) return Refuse("field 4 is not UTF-8");
  CNAError* pclError = new CNAError;
  pclError->AddRef();
  CNACommand* pclCommand = new CNACommand(pclError, pclConnection);
  pclCommand->AddRef();
  pclCommand->_SetQueryKind(NA_CMD_SELECT);
  pclCommand->bComplete(text.c_str());
  pclCommand->SetRowLimit(llLimit);
  pclCommand->SetRowOffset(llOffset);
  LimitAnswer answer;
  if (const wchar_t* pszFormated = pclCommand->pszGetFormatedSQL(CNACommand::NA_PTC_ALL)) {
    answer = {true, 0, Utf8(pszFormated)};
  } else {
    answer = {false, pclError->nGetUserErrorCode(), Utf8(pclError->pszGetError())};
  }
  pclCommand->nRelease();
  pclError->nRelease();
  return answer;
}

}  // namespace sqlprobe
