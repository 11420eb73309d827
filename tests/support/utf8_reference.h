// The reference UTF-8 of the tests that check what the driver writes or
// reads against the server: wide text (code points in wchar_t) encoded by
// hand, independent of the framework's code-page conversions, and bytes as
// the upper-case hexadecimal that the server's HEX() gives.
//
// Ownership: values only. Threads: no shared state.
#ifndef KQ230_TESTS_SUPPORT_UTF8_REFERENCE_H_
#define KQ230_TESTS_SUPPORT_UTF8_REFERENCE_H_

#include <string>

namespace kqtest {

// The UTF-8 bytes of wide text. REQUIRES: every character a code point.
inline std::string Utf8(const std::wstring& text) {
  std::string bytes;
  for (wchar_t wc : text) {
    const auto c = static_cast<unsigned int>(wc);
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else if (c < 0x800) {
      bytes += static_cast<char>(0xC0 | (c >> 6));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      bytes += static_cast<char>(0xE0 | (c >> 12));
      bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      bytes += static_cast<char>(0xF0 | (c >> 18));
      bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return bytes;
}

// The bytes in upper-case hexadecimal, two digits each.
inline std::wstring Hex(const std::string& bytes) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring hex;
  for (unsigned char b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0xF];
  }
  return hex;
}

}  // namespace kqtest

#endif  // KQ230_TESTS_SUPPORT_UTF8_REFERENCE_H_
