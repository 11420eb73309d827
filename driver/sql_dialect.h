// The SQL dialect of a connection: how names are quoted and how the
// connection's parameters are shown in an error. The connection's dialect
// hooks (declared in driver/connection_description.h, written in
// sql_dialect.cc) build on these helpers, which know nothing of a connection
// and are tested on their own.
//
// Names: a quoted identifier is trusted as quoted only when it is well
// formed: it opens with the opening quote, ends with the closing quote, and
// every closing quote inside it is doubled. Anything else is quoted again,
// with each inner closing quote doubled, so that no name can end the
// identifier early and smuggle SQL into a statement (the client runs with
// multiple statements allowed).
//
// Secrets: a provider text (";"-separated "name=value" pairs) may carry a
// password; the text shown in errors has the value of every "password" and
// "pwd" pair replaced by "*****".
//
// Threads: pure functions; no state.
#ifndef KQ230_DRIVER_SQL_DIALECT_H_
#define KQ230_DRIVER_SQL_DIALECT_H_

#include "core/wide_string.h"

// The text that stands for a hidden value.
inline constexpr const wchar_t* kMaskedValue = L"*****";

// Length of a well-formed quoted identifier at the start of pszText (quotes
// included), or 0 when the text does not begin with one.
// REQUIRES: pszOpening and pszClosing non-empty; pszText non-null.
int SqlName_nQuotedLength(const wchar_t* pszText, const wchar_t* pszOpening,
                          const wchar_t* pszClosing);

// Whether the whole of pszName is one well-formed quoted identifier.
bool SqlName_bIsQuoted(const wchar_t* pszName, const wchar_t* pszOpening,
                       const wchar_t* pszClosing);

// Appends opening + the first n characters of pszName (each closing quote in
// them doubled) + closing to pOut.
void SqlName_AddQuoted(CTString* pOut, const wchar_t* pszName, int n, const wchar_t* pszOpening,
                       const wchar_t* pszClosing);

// The body of a well-formed quoted identifier with its doubled quotes undone;
// any other name unchanged. pOut may hold pszName itself.
void SqlName_Unquote(CTString* pOut, const wchar_t* pszName, const wchar_t* pszOpening,
                     const wchar_t* pszClosing);

// Splits a table name at its "." separators, a "." inside a well-formed
// quoted part belonging to that part. Calls fn(part, length) for each part in
// order; stops and answers false when fn does.
template <class Fn>
bool SqlName_bForEachPart(const wchar_t* pszName, const wchar_t* pszOpening,
                          const wchar_t* pszClosing, Fn fn) {
  const wchar_t* p = pszName;
  for (;;) {
    const wchar_t* pStart = p;
    while (*p != L'\0' && *p != L'.') {
      int nQuoted = (*pszOpening != L'\0' && *pszClosing != L'\0')
                        ? SqlName_nQuotedLength(p, pszOpening, pszClosing)
                        : 0;
      p += nQuoted > 0 ? nQuoted : 1;
    }
    if (!fn(pStart, static_cast<int>(p - pStart))) return false;
    if (*p == L'\0') return true;
    ++p;
  }
}

// pszProvider with the values of "password" and "pwd" (names compared without
// regard to case, blanks allowed around them) replaced by kMaskedValue.
// A null provider gives "NULL".
void SqlDialect_MaskProvider(CTString* pOut, const wchar_t* pszProvider);

#endif  // KQ230_DRIVER_SQL_DIALECT_H_
