// A small lexer for one MariaDB string literal, written from the server's
// rules (the lexer's text scan and its unescaping), to judge the SQL escaping
// without a server:
//   - quoted: '...'. The body is read byte by byte; where the connection's
//     character set sees a multi-byte character (a lead byte followed by a
//     valid second byte), its bytes are taken whole. With backslash escapes on
//     (no NO_BACKSLASH_ESCAPES) a backslash takes the next byte with it, and a
//     backslash as the last byte leaves the literal unterminated. Two quotes in
//     a row are one quote; a quote followed by anything else ends the literal.
//     A raw zero byte ends the query (the server's reading), so the literal
//     is unterminated. Value: \0 NUL, \n LF, \t TAB, \r CR, \b BS, \Z 0x1A, \% and \_ keep their
//     backslash, \x any other byte x; '' one quote.
//   - hexadecimal: X'..' with an even number of hex digits, optionally after a
//     character-set introducer "_name ". Value: the bytes.
// The character sets' double-byte ranges are the server's own (sjis/cp932,
// gbk, big5), written here independently of the product's table.
#ifndef KQ230_TESTS_CORE_MARIADB_LITERAL_LEXER_H_
#define KQ230_TESTS_CORE_MARIADB_LITERAL_LEXER_H_

#include <string>

namespace kqtest {

enum class LexCharset { kSingleByte, kUtf8, kSjis, kGbk, kBig5 };

struct LexedLiteral {
  bool bOk = false;     // exactly one literal, spanning the whole input
  std::string value;    // its value (bytes)
  std::string error;    // why not, when !bOk
};

inline int LexMultiByteAt(LexCharset cs, const std::string& s, size_t i) {
  const auto in = [](unsigned char c, int lo, int hi) { return c >= lo && c <= hi; };
  if (i + 1 >= s.size()) return 1;
  const unsigned char c = s[i], d = s[i + 1];
  switch (cs) {
    case LexCharset::kSjis:
      return (in(c, 0x81, 0x9F) || in(c, 0xE0, 0xFC)) && (in(d, 0x40, 0x7E) || in(d, 0x80, 0xFC)) ? 2 : 1;
    case LexCharset::kGbk:
      return in(c, 0x81, 0xFE) && (in(d, 0x40, 0x7E) || in(d, 0x80, 0xFE)) ? 2 : 1;
    case LexCharset::kBig5:
      return in(c, 0xA1, 0xF9) && (in(d, 0x40, 0x7E) || in(d, 0xA1, 0xFE)) ? 2 : 1;
    default:
      return 1;  // UTF-8 and single-byte sets never hold ASCII bytes inside a character
  }
}

inline LexedLiteral LexQuoted(const std::string& s, size_t i, bool bBackslashEscapes,
                              LexCharset cs) {
  LexedLiteral r;
  if (i >= s.size() || s[i] != '\'') {
    r.error = "no opening quote";
    return r;
  }
  ++i;
  while (i < s.size()) {
    const int k = LexMultiByteAt(cs, s, i);
    if (k > 1) {
      r.value.append(s, i, static_cast<size_t>(k));
      i += static_cast<size_t>(k);
      continue;
    }
    const char c = s[i++];
    if (c == '\0') {
      r.error = "a raw zero byte: the server takes it for the end of the query";
      return r;
    }
    if (c == '\\' && bBackslashEscapes) {
      if (i >= s.size()) {
        r.error = "backslash at the end: unterminated";
        return r;
      }
      const char x = s[i++];
      switch (x) {
        case '0': r.value += '\0'; break;
        case 'n': r.value += '\n'; break;
        case 't': r.value += '\t'; break;
        case 'r': r.value += '\r'; break;
        case 'b': r.value += '\b'; break;
        case 'Z': r.value += '\032'; break;
        case '%': case '_': r.value += '\\'; r.value += x; break;
        default: r.value += x; break;
      }
    } else if (c == '\'') {
      if (i < s.size() && s[i] == '\'') {
        r.value += '\'';
        ++i;
        continue;
      }
      if (i != s.size()) {
        r.error = "the literal ends at byte " + std::to_string(i) + " of " + std::to_string(s.size());
        return r;
      }
      r.bOk = true;
      return r;
    } else {
      r.value += c;
    }
  }
  r.error = "unterminated";
  return r;
}

inline LexedLiteral LexHex(const std::string& s, size_t i) {
  LexedLiteral r;
  if (i + 1 >= s.size() || (s[i] != 'X' && s[i] != 'x') || s[i + 1] != '\'') {
    r.error = "not a hexadecimal literal";
    return r;
  }
  i += 2;
  const auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  std::string digits;
  while (i < s.size() && digit(s[i]) >= 0) digits += s[i++];
  if (i + 1 != s.size() || s[i] != '\'' || digits.size() % 2 != 0) {
    r.error = "malformed hexadecimal literal";
    return r;
  }
  for (size_t k = 0; k < digits.size(); k += 2)
    r.value += static_cast<char>(digit(digits[k]) * 16 + digit(digits[k + 1]));
  r.bOk = true;
  return r;
}

// One literal of any kind spanning all of s.
inline LexedLiteral LexOneLiteral(const std::string& s, bool bBackslashEscapes, LexCharset cs) {
  size_t i = 0;
  if (!s.empty() && s[0] == '_') {  // introducer: _name followed by a blank
    i = s.find(' ');
    if (i == std::string::npos) return LexedLiteral{false, "", "introducer without literal"};
    ++i;
    return LexHex(s, i);
  }
  if (!s.empty() && (s[0] == 'X' || s[0] == 'x')) return LexHex(s, 0);
  return LexQuoted(s, 0, bBackslashEscapes, cs);
}

}  // namespace kqtest

#endif  // KQ230_TESTS_CORE_MARIADB_LITERAL_LEXER_H_
