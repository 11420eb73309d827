#include "driver/query_dump.h"

#include <cwctype>

#include "driver/sql_dialect.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool IsWordChar(wchar_t c) { return std::iswalnum(static_cast<wint_t>(c)) || c == L'_' || c == L'$'; }

// Length of the keyword at p (a whole word, without regard to case), or 0.
int WordAt(const wchar_t* pStart, const wchar_t* p, const wchar_t* pszWord) {
  if (p > pStart && IsWordChar(p[-1])) return 0;
  int n = 0;
  for (; pszWord[n] != 0; ++n) {
    if (p[n] == 0 || std::towupper(static_cast<wint_t>(p[n])) != static_cast<wint_t>(pszWord[n]))
      return 0;
  }
  if (IsWordChar(p[n])) return 0;
  return n;
}

const wchar_t* SkipBlanks(const wchar_t* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

// The end of the literal opening at p (the closing quote, or the text's end).
const wchar_t* LiteralEnd(const wchar_t* p) {
  const wchar_t cQuote = *p++;
  while (*p != 0) {
    if (*p == L'\\' && p[1] != 0) {
      p += 2;
    } else if (*p == cQuote) {
      if (p[1] != cQuote) return p;
      p += 2;
    } else {
      ++p;
    }
  }
  return p;
}

// When a secret literal follows the keyword sequence at p, the position of
// its opening quote; else null.
const wchar_t* SecretAfter(const wchar_t* pStart, const wchar_t* p) {
  if (int n = WordAt(pStart, p, L"IDENTIFIED")) {
    const wchar_t* q = SkipBlanks(p + n);
    if (int m = WordAt(pStart, q, L"BY")) {
      q = SkipBlanks(q + m);
      if (int k = WordAt(pStart, q, L"PASSWORD")) q = SkipBlanks(q + k);
      return (*q == L'\'' || *q == L'"') ? q : nullptr;
    }
    return nullptr;
  }
  if (int n = WordAt(pStart, p, L"USING")) {
    const wchar_t* q = SkipBlanks(p + n);
    if (int k = WordAt(pStart, q, L"PASSWORD")) {
      q = SkipBlanks(q + k);
      if (*q != L'(') return nullptr;
      q = SkipBlanks(q + 1);
    }
    return (*q == L'\'' || *q == L'"') ? q : nullptr;
  }
  if (int n = WordAt(pStart, p, L"PASSWORD")) {
    const wchar_t* q = SkipBlanks(p + n);
    if (*q != L'(') return nullptr;
    q = SkipBlanks(q + 1);
    return (*q == L'\'' || *q == L'"') ? q : nullptr;
  }
  return nullptr;
}

}  // namespace

void QueryDump_MaskSecrets(CTString* pOut, const wchar_t* pszQuery) {
  CTString clText;
  if (pszQuery == nullptr) {
    pOut->Transfert(clText);
    return;
  }
  const wchar_t* p = pszQuery;
  const wchar_t* pCopied = pszQuery;
  while (*p != 0) {
    if (*p == L'\'' || *p == L'"') {
      // Another literal: nothing inside it is a keyword.
      p = LiteralEnd(p);
      if (*p != 0) ++p;
      continue;
    }
    if (*p == L'`') {
      ++p;
      while (*p != 0 && !(*p == L'`' && p[1] != L'`')) p += (*p == L'`') ? 2 : 1;
      if (*p != 0) ++p;
      continue;
    }
    if (const wchar_t* pQuote = SecretAfter(pszQuery, p)) {
      const wchar_t* pEnd = LiteralEnd(pQuote);
      clText.Add(pCopied, static_cast<int>(pQuote + 1 - pCopied));
      clText.Add(kMaskedValue);
      pCopied = pEnd;
      p = (*pEnd != 0) ? pEnd + 1 : pEnd;
      continue;
    }
    ++p;
  }
  clText.Add(pCopied);
  pOut->Transfert(clText);
}
