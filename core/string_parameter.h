// CStringParameter: one parameter of a ";"-separated list of name=value
// pairs, such as the driver's connection strings ("Provider=...;Data
// source=...;user id=..."): finding a parameter by name (case ignored),
// reading its value, removing it, replacing or appending a value, and
// writing the parameter back into a string.
//
// Syntax read: parameters are separated by ";"; a name is found only where a
// parameter begins (at the start of the string, or after a ";"), blanks
// (U+0020) before it, between it and "=" and after "=" are skipped; the value
// runs to the next ";" or the end, its trailing blanks removed. A value may
// hold "=" but never ";": there is no quoting. A name is never found inside
// another parameter's name or value, so a password holding "user id=x"
// cannot stand for the real "user id".
//
// Writing refuses values holding ";" (they would be read back cut, and the
// rest as further parameters): those operations answer 0 and change nothing.
//
// Ownership: the name is not copied (the caller keeps it alive); the value is
// the object's own.
// Threads: none; one object per thread. The searches compare through the
// locale service's upper case: REQUIRES that it is bound.
#ifndef KQ230_CORE_STRING_PARAMETER_H_
#define KQ230_CORE_STRING_PARAMETER_H_

#include "core/wide_string.h"

class CStringParameter {
 public:
  explicit CStringParameter(const wchar_t* pszName);

  const wchar_t* pszGetName() const { return m_pszName; }
  const CTString& clGetValue() const { return m_clValue; }
  const wchar_t* pszGetValue() const { return m_clValue.pszGet(); }
  int bDefined() const { return m_bDefined; }

  // Non-null text: the value becomes the text (all of it when length < 0,
  // else its first length characters), trailing blanks removed, and the
  // parameter is defined. Null text: value emptied, not defined. The last two
  // arguments are not used.
  void SetParameterValue(const wchar_t* pszText, int nLength, const unsigned char* pUnused = nullptr,
                         int nUnused = 0);
  // SetParameterValue, then one backslash appended to a value that is not
  // empty and does not end with one (a directory).
  void SetParameterValueRep(const wchar_t* pszText, int nLength);
  // When defined: appends ";" (when out is not empty), name, "=" and value.
  // Answers 1; 0, out unchanged, when the value holds ";".
  int bCompleteConnectionString(CTString* pOut, const unsigned char* pUnused = nullptr,
                                int nUnused = 0) const;
  // Reads the parameter from s (removing it when bRemove): see
  // s_bGetParameterValue.
  int bInitParameterValue(CTString* s, int bRemove);

  // value = the parameter's value in s (empty when absent); *pbFound tells
  // whether it is there. With bRemove the parameter is cut out of s, with the
  // blanks before it and the ";" and blanks after it, and then any ";" and
  // blanks left at the start of s. Answers 1.
  static int s_bGetParameterValue(CTString* pValue, int* pbFound, CTString* s,
                                  const wchar_t* pszName, int bRemove);
  static int s_bParameterDefined(CTString* s, const wchar_t* pszName);
  // Found: the old value (from its first to its last character, blanks
  // included) is replaced by value. Absent: ";" (when s is not empty), name,
  // "=" and value appended. Answers 1; 0, s unchanged, when value holds ";".
  static int s_bReplaceParameterValue(CTString* s, const wchar_t* pszValue, const wchar_t* pszName);
  // The search: namePos is where the name begins, the value runs from
  // valueStart to valueEnd (valueEnd < valueStart for an empty value).
  // Outputs 0, -1, -1 before searching; false when absent, when s is empty or
  // when the name is null or "".
  static bool _s_bGetParameterPos(int& nNamePos, int& nValueStart, int& nValueEnd, CTString* s,
                                  const wchar_t* pszName);

 private:
  const wchar_t* m_pszName;
  CTString m_clValue;
  int m_bDefined = 0;
};

#endif  // KQ230_CORE_STRING_PARAMETER_H_
