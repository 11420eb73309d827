// The reference model of the conversion tests: glibc's iconv called directly,
// one descriptor per call, with the final flush.
#ifndef KQ230_TESTS_SUPPORT_ICONV_REFERENCE_H_
#define KQ230_TESTS_SUPPORT_ICONV_REFERENCE_H_

#include <iconv.h>

#include <optional>
#include <string>

namespace kqtest {

// The bytes of in (encoding from) converted to encoding to; nothing when the
// text does not convert whole.
inline std::optional<std::string> Iconv(const char* from, const char* to, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(in.size() * 8 + 16, '\0');
  char* pIn = const_cast<char*>(in.data());
  size_t nIn = in.size();
  char* pOut = out.data();
  size_t nOut = out.size();
  size_t r = iconv(cd, &pIn, &nIn, &pOut, &nOut);
  if (r != static_cast<size_t>(-1)) r = iconv(cd, nullptr, nullptr, &pOut, &nOut);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return std::nullopt;
  out.resize(out.size() - nOut);
  return out;
}

}  // namespace kqtest

#endif  // KQ230_TESTS_SUPPORT_ICONV_REFERENCE_H_
