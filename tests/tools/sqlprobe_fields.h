// The probe's line format, shared by its commands (see sqlprobe.cc): a line
// split into TAB-separated fields with their escapes decoded, an answer's
// text escaped, UTF-8 to and from the framework's wide text, whole decimal
// numbers, and the answer of a command.
//
// Ownership: values only. Threads: no shared state.
#ifndef KQ230_TESTS_TOOLS_SQLPROBE_FIELDS_H_
#define KQ230_TESTS_TOOLS_SQLPROBE_FIELDS_H_

#include <charconv>
#include <string>
#include <system_error>
#include <vector>

namespace sqlprobe {

// What a command answers.
struct Answer {
  bool bOk = false;
  unsigned int nError = 0;  // the driver's user error; 0: the probe refused the input
  std::string text;         // the result, or why it was refused (UTF-8)
};

// The probe's own refusal (error 0).
inline Answer Refuse(const std::string& why) { return {false, 0, why}; }

// The fields of a line, each with \\, \t, \n, \r and \xNN decoded; false
// with *pWhy on any other escape (or one cut short).
bool bSplitFields(const std::string& line, std::vector<std::string>* pFields, std::string* pWhy);

// The text with backslash, TAB, LF and CR escaped as the fields are.
std::string Escape(const std::string& text);

// UTF-8 to wide text, NULs kept; false on a malformed sequence (the probe
// refuses it rather than guess).
bool bWide(const std::string& utf8, std::wstring* pOut);

// Wide text (to its terminator) as UTF-8; null gives "".
std::string Utf8(const wchar_t* psz);

// A field that is a whole decimal number of T, nothing around it.
template <typename T>
bool bDecimal(const std::string& field, T* pValue) {
  if (field.empty()) return false;
  const char* pEnd = field.data() + field.size();
  const auto r = std::from_chars(field.data(), pEnd, *pValue, 10);
  return r.ec == std::errc() && r.ptr == pEnd;
}

}  // namespace sqlprobe

#endif  // KQ230_TESTS_TOOLS_SQLPROBE_FIELDS_H_
