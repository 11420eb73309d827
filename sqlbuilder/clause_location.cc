#include "sqlbuilder/clause_location.h"

#include <climits>
#include <cwchar>
#include <utility>

#include "driver/connection_description.h"

namespace {

wchar_t cUpperAscii(wchar_t c) { return (c >= L'a' && c <= L'z') ? wchar_t(c - L'a' + L'A') : c; }

// The first n characters of pszText equal pszWord's (ASCII letters compared
// without regard to case; keywords are ASCII, and folding no other letter
// keeps a character of another script from passing for one of them).
// REQUIRES: pszText holds n characters or ends earlier at a zero.
bool bEqualsNoCase(const wchar_t* pszText, const wchar_t* pszWord, int n) {
  for (int i = 0; i < n; ++i) {
    if (pszText[i] == L'\0' || cUpperAscii(pszText[i]) != cUpperAscii(pszWord[i])) return false;
  }
  return true;
}

bool bIsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Characters that continue a word or a number: what the server reads as part
// of an unquoted name or keyword.
bool bIsWordChar(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || bIsDigit(c) || c == L'_' ||
         c == L'$' || c == L'@' || c >= 0x80;
}

bool bBeginsWithSelect(const wchar_t* pszText) {
  return pszText != nullptr && bEqualsNoCase(pszText, L"SELECT", 6);
}

// One piece of SQL text as the server reads it.
enum class Piece { kBlank, kComment, kString, kQuotedName, kWord, kSign };

struct Token {
  Piece eKind;
  int nStart;
  int nEnd;  // past the last character
  int nDepth;  // parentheses open before the token
};

// Walks a text forward piece by piece. String literals take "''" and a
// backslash as escapes (the server's default mode; the driver's own literals
// hold no backslash before a quote, so they read the same in every mode);
// quoted names double their closing quote; comments are "#" and "-- " to the
// end of the line and "/* */". An executable comment ("/*!", "/*M!") is code
// for the server: its opener and closer are read as comments and what lies
// between as code.
class CSqlScanner {
 public:
  CSqlScanner(const CNAConnectionDescription* pclConnection, const wchar_t* pszText)
      : m_pszText(pszText), m_nLength(static_cast<int>(wcslen(pszText))) {
    if (pclConnection != nullptr) {
      const wchar_t* pszOpening = pclConnection->pszGetOpeningQuote();
      const wchar_t* pszClosing = pclConnection->pszGetClosingQuote();
      if (pszOpening != nullptr && pszClosing != nullptr && *pszOpening != L'\0' &&
          *pszClosing != L'\0') {
        m_pszOpening = pszOpening;
        m_pszClosing = pszClosing;
        m_nOpening = static_cast<int>(wcslen(pszOpening));
        m_nClosing = static_cast<int>(wcslen(pszClosing));
      }
    }
  }

  int nLength() const { return m_nLength; }

  // The next piece, or false at the end of the text.
  bool bNext(Token* pToken) {
    if (m_nPos >= m_nLength) return false;
    const wchar_t* t = m_pszText;
    const int n = m_nLength;
    int i = m_nPos;
    pToken->nStart = i;
    pToken->nDepth = m_nDepth;
    const wchar_t c = t[i];
    if (CNAClauseLocation::s_bEspaceSQL(c)) {
      while (i < n && CNAClauseLocation::s_bEspaceSQL(t[i])) ++i;
      pToken->eKind = Piece::kBlank;
    } else if (c == L'#' || (c == L'-' && i + 1 < n && t[i + 1] == L'-' &&
                             (i + 2 >= n || t[i + 2] <= L' '))) {
      while (i < n && t[i] != L'\n') ++i;
      pToken->eKind = Piece::kComment;
    } else if (c == L'/' && i + 1 < n && t[i + 1] == L'*') {
      pToken->eKind = Piece::kComment;
      const bool bExecutable = (i + 2 < n && t[i + 2] == L'!') ||
                               (i + 3 < n && t[i + 2] == L'M' && t[i + 3] == L'!');
      if (bExecutable && !m_bInExecutable) {
        i += t[i + 2] == L'!' ? 3 : 4;
        while (i < n && bIsDigit(t[i])) ++i;  // the version it runs from
        m_bInExecutable = true;
      } else {
        i += 2;
        while (i < n && !(t[i] == L'*' && i + 1 < n && t[i + 1] == L'/')) ++i;
        i = i < n ? i + 2 : n;
      }
    } else if (m_bInExecutable && c == L'*' && i + 1 < n && t[i + 1] == L'/') {
      i += 2;
      m_bInExecutable = false;
      pToken->eKind = Piece::kComment;
    } else if (c == L'\'' || c == L'"') {
      ++i;
      while (i < n) {
        if (t[i] == L'\\') {
          i += 2;
        } else if (t[i] == c) {
          if (i + 1 < n && t[i + 1] == c) {
            i += 2;
          } else {
            ++i;
            break;
          }
        } else {
          ++i;
        }
      }
      if (i > n) i = n;
      pToken->eKind = Piece::kString;
    } else if (m_nOpening > 0 && wcsncmp(t + i, m_pszOpening, m_nOpening) == 0) {
      i += m_nOpening;
      while (i < n) {
        if (wcsncmp(t + i, m_pszClosing, m_nClosing) == 0) {
          if (wcsncmp(t + i + m_nClosing, m_pszClosing, m_nClosing) == 0) {
            i += 2 * m_nClosing;
          } else {
            i += m_nClosing;
            break;
          }
        } else {
          ++i;
        }
      }
      if (i > n) i = n;
      pToken->eKind = Piece::kQuotedName;
    } else if (bIsWordChar(c)) {
      while (i < n && bIsWordChar(t[i])) ++i;
      pToken->eKind = Piece::kWord;
    } else {
      ++i;
      pToken->eKind = Piece::kSign;
      if (c == L'(') {
        ++m_nDepth;
      } else if (c == L')' && m_nDepth > 0) {
        --m_nDepth;
        pToken->nDepth = m_nDepth;
      }
    }
    pToken->nEnd = i;
    m_nPos = i;
    return true;
  }

 private:
  const wchar_t* m_pszText;
  int m_nLength;
  int m_nPos = 0;
  int m_nDepth = 0;
  bool m_bInExecutable = false;
  const wchar_t* m_pszOpening = nullptr;
  const wchar_t* m_pszClosing = nullptr;
  int m_nOpening = 0;
  int m_nClosing = 0;
};

bool bIsCode(Piece e) { return e == Piece::kWord || e == Piece::kSign; }

bool bIsSignificant(Piece e) { return e != Piece::kBlank && e != Piece::kComment; }

bool bTokenIs(const wchar_t* pszText, const Token& token, const wchar_t* pszWord) {
  const int n = static_cast<int>(wcslen(pszWord));
  return token.eKind == Piece::kWord && token.nEnd - token.nStart == n &&
         bEqualsNoCase(pszText + token.nStart, pszWord, n);
}

// The decimal digits at pszDigits as a 64-bit number; false when they pass
// 2^63 - 1. *pnCount receives the number of digits.
bool bReadNumber(const wchar_t* pszDigits, int* pnCount, long long* pllValue) {
  long long ll = 0;
  int i = 0;
  bool bFits = true;
  for (; bIsDigit(pszDigits[i]); ++i) {
    const int d = pszDigits[i] - L'0';
    if (ll > (LLONG_MAX - d) / 10) bFits = false;
    if (bFits) ll = ll * 10 + d;
  }
  *pnCount = i;
  *pllValue = ll;
  return bFits;
}

// Calls fn with each piece of the text that the server reads as code, a
// literal or a quoted name; blanks and comments are passed over.
template <class Fn>
void ForEachSignificant(const CNAConnectionDescription* pclConnection, const wchar_t* pszText,
                        Fn fn) {
  CSqlScanner scanner(pclConnection, pszText);
  Token token;
  while (scanner.bNext(&token)) {
    if (bIsSignificant(token.eKind)) fn(token);
  }
}

}  // namespace

bool CNAClauseLocation::s_bSeparateur(wchar_t c) {
  switch (c) {
    case L'\t': case L'\n': case L'\r': case L' ':
    case L'!': case L'%': case L'(': case L')': case L'*':
    case L'+': case L',': case L'-': case L'/': case L'=':
      return true;
    default:
      return false;
  }
}

int CNAClauseLocation::s_nGetClauseStart(const CNAConnectionDescription* pclConnection,
                                         const wchar_t* pszText, const wchar_t* pszKeyword,
                                         int nStart) {
  if (pszText == nullptr || *pszText == L'\0' || pszKeyword == nullptr || *pszKeyword == L'\0')
    return -1;
  CSqlScanner scanner(pclConnection, pszText);
  const int nLength = scanner.nLength();
  if (nStart == -1 || nStart >= nLength) nStart = nLength - 1;
  if (nStart < 1) return -1;
  const int nKeyword = static_cast<int>(wcslen(pszKeyword));
  int nFound = -1;
  Token token;
  // A keyword that follows a separator begins a piece of code: the separator
  // before it is a blank or a sign, never part of a word.
  while (scanner.bNext(&token) && token.nStart <= nStart) {
    if (!bIsCode(token.eKind)) continue;
    const int p = token.nStart;
    if (p < 1 || !s_bSeparateur(pszText[p - 1])) continue;
    if (p + nKeyword > nLength || !bEqualsNoCase(pszText + p, pszKeyword, nKeyword)) continue;
    if (!s_bSeparateur(pszText[p + nKeyword])) continue;
    nFound = p;
  }
  return nFound;
}

bool CNAClauseLocation::s_bGetTop(const wchar_t* pszText, int* pnTopStart, int* pnDigitsEnd,
                                  long long* pllTop) {
  if (!bBeginsWithSelect(pszText)) return false;
  int i = 6;
  while (s_bEspaceSQL(pszText[i])) ++i;
  if (!bEqualsNoCase(pszText + i, L"TOP", 3)) return false;
  const int nTop = i;
  i += 3;
  if (!s_bEspaceSQL(pszText[i])) return false;
  while (s_bEspaceSQL(pszText[i])) ++i;
  if (!bIsDigit(pszText[i])) return false;
  int nDigits = 0;
  long long llTop = 0;
  if (!bReadNumber(pszText + i, &nDigits, &llTop)) return false;
  i += nDigits;
  if (bIsWordChar(pszText[i])) return false;  // "TOP 5x": a name, not a count
  *pnTopStart = nTop;
  *pnDigitsEnd = i;
  *pllTop = llTop;
  return true;
}

bool CNAClauseLocation::s_bQueryResultsetLimited(const CNAConnectionDescription* pclConnection,
                                                 const wchar_t* pszText) {
  if (!bBeginsWithSelect(pszText)) return false;
  bool bLimit = false;
  ForEachSignificant(pclConnection, pszText, [&](const Token& token) {
    if (token.nDepth == 0 && token.nStart > 0 && bTokenIs(pszText, token, L"LIMIT")) bLimit = true;
  });
  if (bLimit) return true;
  int nTop = 0, nEnd = 0;
  long long llTop = 0;
  return s_bGetTop(pszText, &nTop, &nEnd, &llTop);
}

bool CNAClauseLocation::s_bIsQuerySet(const wchar_t* pszText) {
  if (pszText == nullptr) return false;
  const wchar_t* p = pszText;
  while (s_bEspaceSQL(*p)) ++p;
  if (!bEqualsNoCase(p, L"SET", 3)) return false;
  p += 3;
  while (s_bEspaceSQL(*p)) ++p;
  // The name.
  while (*p != L'\0' && !s_bEspaceSQL(*p) && *p != L'=') ++p;
  while (s_bEspaceSQL(*p)) ++p;
  // One run of non-blank characters, the "=" with the value or the value.
  while (*p != L'\0' && !s_bEspaceSQL(*p)) ++p;
  while (s_bEspaceSQL(*p) || *p == L';') ++p;
  return *p == L'\0';
}

bool CNAClauseLocation::s_bRequeteTerminePar(const wchar_t* pszText, const wchar_t* pszSuffix) {
  if (pszText == nullptr || pszSuffix == nullptr) return false;
  int n = static_cast<int>(wcslen(pszText));
  while (n > 0 && s_bSeparateur(pszText[n - 1])) --n;
  const int nSuffix = static_cast<int>(wcslen(pszSuffix));
  const int nAt = n - nSuffix;
  if (nAt < 2) return false;
  return s_bSeparateur(pszText[nAt - 1]) && bEqualsNoCase(pszText + nAt, pszSuffix, nSuffix);
}

int CNAClauseLocation::s_nGetPosSuiteRequete(const wchar_t* pszText, const wchar_t* pszWord) {
  if (pszText == nullptr || pszWord == nullptr) return -1;
  int i = 0;
  while (s_bEspaceSQL(pszText[i])) ++i;
  const int nWord = static_cast<int>(wcslen(pszWord));
  return bEqualsNoCase(pszText + i, pszWord, nWord) ? i : -1;
}

bool CNAClauseLocation::s_bSuiteRequeteCommenceParMot(const wchar_t* pszText,
                                                      const wchar_t* pszWord) {
  const int nAt = s_nGetPosSuiteRequete(pszText, pszWord);
  if (nAt == -1) return false;
  const wchar_t c = pszText[nAt + wcslen(pszWord)];
  return c == L'\0' || s_bSeparateur(c);
}

bool CNAClauseLocation::s_bGetItemNameAndPos(CTString* pName, unsigned int* pnStart,
                                             unsigned int* pnEnd, const wchar_t* pszText,
                                             unsigned int nPos) {
  *pnStart = static_cast<unsigned int>(-1);
  *pnEnd = static_cast<unsigned int>(-1);
  if (pszText == nullptr) return false;
  const size_t nLength = wcslen(pszText);
  if (nPos > nLength) return false;
  size_t i = nPos;
  while (i < nLength && s_bSeparateur(pszText[i])) ++i;
  if (i >= nLength) return false;
  *pnStart = static_cast<unsigned int>(i);
  const wchar_t cOpen = pszText[i];
  if (cOpen == L'[' || cOpen == L'"') {
    const wchar_t cClose = cOpen == L'[' ? L']' : L'"';
    const wchar_t* pClose = wcschr(pszText + i + 1, cClose);
    if (pClose == nullptr) return false;
    const size_t nClose = static_cast<size_t>(pClose - pszText);
    pName->Set(pszText + i + 1, static_cast<unsigned int>(nClose - i - 1));
    *pnEnd = static_cast<unsigned int>(nClose);
  } else {
    size_t j = i;
    while (j < nLength && !s_bSeparateur(pszText[j]) && pszText[j] != L';') ++j;
    pName->Set(pszText + i, static_cast<unsigned int>(j - i));
    *pnEnd = static_cast<unsigned int>(j - 1);
  }
  return pName->nTaille() > 0;
}

int CNAClauseLocation::s_nGetRowLimitPlace(const CNAConnectionDescription* pclConnection,
                                           const wchar_t* pszText) {
  if (pszText == nullptr) return -1;
  // The last statement's tokens, kept as a short window: the end of the last
  // token, and the end of the token before the first locking clause seen
  // since the last top-level ";".
  int nLastEnd = -1;         // end of the last token that is not ";"
  int nBeforeLock = -1;      // where the statement's locking clause begins
  int nPreviousEnd = -1;     // end of the token before the current one
  Token window[4] = {};      // the last significant tokens, newest last
  int nWindow = 0;
  int nPreviousEnds[4] = {-1, -1, -1, -1};
  bool bNewStatement = false;
  ForEachSignificant(pclConnection, pszText, [&](const Token& token) {
    const bool bSemicolon = token.eKind == Piece::kSign && pszText[token.nStart] == L';';
    if (bSemicolon) {
      if (token.nDepth == 0) bNewStatement = true;
      nPreviousEnd = token.nEnd;
      return;
    }
    if (bNewStatement) {
      // Tokens after a ";": another statement begins; the lock clause of an
      // earlier one is not this one's.
      bNewStatement = false;
      nBeforeLock = -1;
      nWindow = 0;
    }
    // Shift the window.
    if (nWindow == 4) {
      for (int k = 0; k < 3; ++k) {
        window[k] = window[k + 1];
        nPreviousEnds[k] = nPreviousEnds[k + 1];
      }
      nWindow = 3;
    }
    window[nWindow] = token;
    nPreviousEnds[nWindow] = nPreviousEnd;
    ++nWindow;
    nPreviousEnd = token.nEnd;
    nLastEnd = token.nEnd;
    if (nBeforeLock != -1) return;
    // FOR UPDATE, FOR SHARE: the last two tokens.
    if (nWindow >= 2) {
      const Token& a = window[nWindow - 2];
      if (a.nDepth == 0 && bTokenIs(pszText, a, L"FOR") &&
          (bTokenIs(pszText, token, L"UPDATE") || bTokenIs(pszText, token, L"SHARE"))) {
        nBeforeLock = nPreviousEnds[nWindow - 2];
        return;
      }
    }
    // LOCK IN SHARE MODE: the last four.
    if (nWindow == 4) {
      if (window[0].nDepth == 0 && bTokenIs(pszText, window[0], L"LOCK") &&
          bTokenIs(pszText, window[1], L"IN") && bTokenIs(pszText, window[2], L"SHARE") &&
          bTokenIs(pszText, window[3], L"MODE")) {
        nBeforeLock = nPreviousEnds[0];
      }
    }
  });
  if (nBeforeLock > 0) return nBeforeLock;
  return nLastEnd;
}

bool CNAClauseLocation::s_bRemplaceTopParLimit(const CNAConnectionDescription* pclConnection,
                                               CTString* pText, long long* pllRowLimit,
                                               long long llRowOffset) {
  const wchar_t* pszText = pText->pszGet();
  if (!bBeginsWithSelect(pszText)) return false;
  bool bChanged = false;
  long long llLimit = *pllRowLimit;
  int nTop = 0, nDigitsEnd = 0;
  long long llTop = 0;
  if (s_bGetTop(pszText, &nTop, &nDigitsEnd, &llTop)) {
    llLimit = llTop;
    pText->Coupe(nTop, nDigitsEnd - nTop);
    *pllRowLimit = -1;
    bChanged = true;
    pszText = pText->pszGet();
  }
  // A row limit of 0 or below is none; a TOP's count is the statement's own
  // and is written even when it is 0 (no rows), as TOP 0 means.
  if (llLimit < 0 || (llLimit == 0 && !bChanged)) return bChanged;
  const int nPlace = s_nGetRowLimitPlace(pclConnection, pszText);
  if (nPlace <= 0) return bChanged;
  CTString csBefore(pszText, nPlace);
  if (s_bRequeteTerminePar(csBefore.pszGet(), L"LIMIT 0")) return bChanged;
  CTString csClause(L" LIMIT ");
  if (llRowOffset > 0) {
    csClause.AddI8(llRowOffset);
    csClause.Add(L", ");
  }
  csClause.AddI8(llLimit);
  pText->Insert(csClause.pszGet(), csClause.nTaille(), nPlace);
  return true;
}

bool CNAClauseLocation::s_bRemplaceLimitParTop(const CNAConnectionDescription* pclConnection,
                                               CTString* pText) {
  const wchar_t* pszText = pText->pszGet();
  if (!bBeginsWithSelect(pszText)) return false;
  const int nLimit = s_nGetClauseStart(pclConnection, pszText, L"LIMIT", -1);
  if (nLimit <= 0) return false;
  int i = nLimit + 5;
  while (s_bSeparateur(pszText[i])) ++i;
  if (!bIsDigit(pszText[i])) return false;
  int nDigits = 0;
  long long llFirst = 0;
  if (!bReadNumber(pszText + i, &nDigits, &llFirst)) return false;
  i += nDigits;
  while (pszText[i] == L',' || s_bSeparateur(pszText[i])) ++i;
  // "LIMIT n OFFSET m" skips rows, which TOP cannot say: kept as it is.
  if (bEqualsNoCase(pszText + i, L"OFFSET", 6) && !bIsWordChar(pszText[i + 6])) return false;
  if (bIsDigit(pszText[i])) {
    long long llSecond = 0;
    if (!bReadNumber(pszText + i, &nDigits, &llSecond) || llSecond > 0) return false;
  }
  int nTaken = nLimit;
  while (nTaken > 6 && s_bSeparateur(pszText[nTaken - 1])) --nTaken;
  CTString csNew(L"SELECT TOP ");
  csNew.AddI8(llFirst);
  csNew.Add(L" ");
  csNew.Add(pszText + 6, nTaken - 6);
  *pText = std::move(csNew);
  return true;
}
