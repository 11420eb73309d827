#include "host/parser/standin_sql_parser.h"

#include <cerrno>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <utility>
#include <vector>

#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_analysis.h"
#include "host/parser/standin_query_parameters.h"

namespace {

// ---------------------------------------------------------------------------
// Tokens

enum class Tok { kEnd, kIdent, kQuoted, kString, kNumber, kParam, kSymbol };

struct Token {
  Tok eKind = Tok::kEnd;
  int nStart = 0;
  int nEnd = 0;           // last character, inclusive
  std::wstring strText;   // name, symbol, string value, number, parameter name
};

struct ParseError {
  std::wstring strWhy;
  int nAt;
};

bool bIdentStart(wchar_t c) { return c == L'_' || std::iswalpha(static_cast<wint_t>(c)); }
bool bIdentPart(wchar_t c) {
  return c == L'_' || c == L'$' || std::iswalnum(static_cast<wint_t>(c));
}

// The text of the quoted token that opens at nOpen (a literal or a quoted
// name: the quote character is s[nOpen]), a doubled quote standing for one;
// answers where the closing quote stands.
int nQuotedEnd(const std::wstring& s, int nOpen, const wchar_t* pszUnterminated,
               std::wstring* pText) {
  const wchar_t q = s[static_cast<size_t>(nOpen)];
  const int n = static_cast<int>(s.size());
  int j = nOpen + 1;
  for (;;) {
    if (j >= n) throw ParseError{pszUnterminated, nOpen};
    if (s[static_cast<size_t>(j)] == q) {
      if (j + 1 < n && s[static_cast<size_t>(j) + 1] == q) {
        *pText += q;
        j += 2;
        continue;
      }
      return j;
    }
    *pText += s[static_cast<size_t>(j)];
    ++j;
  }
}

std::vector<Token> Lex(const std::wstring& s) {
  std::vector<Token> tokens;
  const int n = static_cast<int>(s.size());
  int i = 0;
  while (i < n) {
    const wchar_t c = s[static_cast<size_t>(i)];
    if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') {
      ++i;
      continue;
    }
    Token t;
    t.nStart = i;
    if (c == L'#' || (c == L'-' && i + 1 < n && s[static_cast<size_t>(i) + 1] == L'-') ||
        (c == L'/' && i + 1 < n && s[static_cast<size_t>(i) + 1] == L'*')) {
      throw ParseError{L"comments are outside the subset", i};
    }
    if (c == L'\'') {
      t.eKind = Tok::kString;
      t.nEnd = nQuotedEnd(s, i, L"unterminated literal", &t.strText);
      i = t.nEnd + 1;
    } else if (c == L'`') {
      t.eKind = Tok::kQuoted;
      t.nEnd = nQuotedEnd(s, i, L"unterminated quoted name", &t.strText);
      if (t.strText.empty()) throw ParseError{L"empty quoted name", i};
      i = t.nEnd + 1;
    } else if (c == L'{') {
      t.eKind = Tok::kParam;
      int j = i + 1;
      while (j < n && s[static_cast<size_t>(j)] != L'}' && s[static_cast<size_t>(j)] != L'{')
        ++j;
      if (j >= n || s[static_cast<size_t>(j)] != L'}' || j == i + 1)
        throw ParseError{L"malformed parameter", i};
      t.strText = s.substr(static_cast<size_t>(i) + 1, static_cast<size_t>(j - i - 1));
      t.nEnd = j;
      i = j + 1;
    } else if (std::iswdigit(static_cast<wint_t>(c)) ||
               (c == L'.' && i + 1 < n && std::iswdigit(static_cast<wint_t>(s[static_cast<size_t>(i) + 1])))) {
      t.eKind = Tok::kNumber;
      int j = i;
      while (j < n && std::iswdigit(static_cast<wint_t>(s[static_cast<size_t>(j)]))) ++j;
      if (j < n && s[static_cast<size_t>(j)] == L'.') {
        ++j;
        while (j < n && std::iswdigit(static_cast<wint_t>(s[static_cast<size_t>(j)]))) ++j;
      }
      if (j < n && bIdentPart(s[static_cast<size_t>(j)])) throw ParseError{L"malformed number", i};
      t.strText = s.substr(static_cast<size_t>(i), static_cast<size_t>(j - i));
      t.nEnd = j - 1;
      i = j;
    } else if (bIdentStart(c)) {
      t.eKind = Tok::kIdent;
      int j = i;
      while (j < n && bIdentPart(s[static_cast<size_t>(j)])) ++j;
      t.strText = s.substr(static_cast<size_t>(i), static_cast<size_t>(j - i));
      t.nEnd = j - 1;
      i = j;
    } else {
      t.eKind = Tok::kSymbol;
      static const wchar_t* const kTwo[] = {L"<>", L"!=", L"<=", L">=", L"||"};
      t.strText = std::wstring(1, c);
      for (const wchar_t* psz : kTwo) {
        if (i + 1 < n && c == psz[0] && s[static_cast<size_t>(i) + 1] == psz[1]) t.strText = psz;
      }
      if (std::wcschr(L"(),.*+-/=<>;", c) == nullptr && t.strText.size() == 1)
        throw ParseError{L"character outside the subset", i};
      t.nEnd = i + static_cast<int>(t.strText.size()) - 1;
      i = t.nEnd + 1;
    }
    tokens.push_back(std::move(t));
  }
  Token end;
  end.nStart = end.nEnd = n;
  tokens.push_back(end);
  return tokens;
}

bool bIsKeyword(const Token& t, const wchar_t* pszWord) {
  return t.eKind == Tok::kIdent && StandInSameName(t.strText, pszWord);
}

// Words that end an expression or a name list: never an alias.
bool bReserved(const Token& t) {
  static const wchar_t* const kWords[] = {
      L"SELECT", L"FROM", L"WHERE", L"GROUP", L"BY", L"HAVING", L"ORDER", L"AS", L"ON",
      L"JOIN", L"INNER", L"LEFT", L"RIGHT", L"OUTER", L"CROSS", L"AND", L"OR", L"NOT",
      L"LIKE", L"ESCAPE", L"IS", L"NULL", L"IN", L"LIMIT", L"OFFSET", L"FOR", L"LOCK",
      L"UNION", L"SET", L"VALUES", L"INTO", L"ASC", L"DESC", L"DISTINCT", L"ALL", L"TOP"};
  if (t.eKind != Tok::kIdent) return false;
  for (const wchar_t* psz : kWords) {
    if (StandInSameName(t.strText, psz)) return true;
  }
  return false;
}

// Engine type code of an item type (the inverse of the driver's table of
// engine codes to item types, memos on the codes the driver tests).
int nEngineTypeOf(int nItemType) {
  static const int kMap[34] = {0,  24, 2,  3,  4,  5,  6,  7,  0,  9,  10, 11,
                               36, 13, 14, 15, 30, 17, 30, 25, 27, 23, 26, 28,
                               34, 35, 12, 37, 38, 39, 40, 41, 5,  5};
  return nItemType >= 0 && nItemType < 34 ? kMap[nItemType] : 0;
}

constexpr int kEngineText = 2;
constexpr int kEngineInt4 = 5;
constexpr int kEngineReal8 = 7;
constexpr int kEngineInt8 = 25;
constexpr int kEngineBoolean = 37;

struct Releaser {
  void operator()(CStandInExpression* p) const {
    if (p != nullptr) p->Release();
  }
};
using NodePtr = std::unique_ptr<CStandInExpression, Releaser>;

NodePtr MakeNode(eOPEXPRESSION eOp, int nStart, int nEnd) {
  NodePtr p(CStandInExpression::pclNew(eOp));
  p->m_posElement = StandInPosition(nStart, nEnd);
  p->m_posWhole = StandInPosition(nStart, nEnd);
  return p;
}

// ---------------------------------------------------------------------------
// The grammar

class Grammar {
 public:
  Grammar(const CStandInAnalysis* pclAnalysis, const std::wstring& strText,
          CStandInQueryParameters* pclValues)
      : m_pclAnalysis(pclAnalysis), m_strText(strText), m_pclValues(pclValues),
        m_tokens(Lex(strText)) {}

  // A whole statement into info (its parts made here).
  void Statement(CStandInSQLInfo* pclInfo) {
    if (bKeyword(L"SELECT")) {
      Select(pclInfo);
    } else if (bKeyword(L"UPDATE")) {
      Update(pclInfo);
    } else if (bKeyword(L"INSERT")) {
      Insert(pclInfo);
    } else if (bKeyword(L"DELETE")) {
      Delete(pclInfo);
    } else {
      throw ParseError{L"not a statement of the subset", Cur().nStart};
    }
    Tail();
    if (Cur().eKind != Tok::kEnd) throw ParseError{L"unexpected text after the statement", Cur().nStart};
    ResolvePending(true);
    RetypeAll(pclInfo);
    Tokens(pclInfo, 0, static_cast<int>(m_strText.size()));
  }

  // A bare condition over one table.
  void Condition(CStandInSQLInfo* pclInfo, const wchar_t* pszTable) {
    pclInfo->m_pParts = std::make_unique<CStandInParts>();
    CStandInFrom* pclFrom = CStandInFrom::pclNew();
    pclFrom->m_strTable = pszTable != nullptr ? pszTable : L"";
    pclInfo->m_pParts->m_froms.push_back(pclFrom);
    m_scopes.push_back(Scope{pclInfo->m_pParts.get(), {}});
    NodePtr pTree = Expression();
    if (Cur().eKind != Tok::kEnd) throw ParseError{L"unexpected text after the condition", Cur().nStart};
    ResolvePending(true);
    pclInfo->SetWhere(pTree.release());
    RetypeAll(pclInfo);
    Tokens(pclInfo, 0, static_cast<int>(m_strText.size()));
  }

 private:
  struct Scope {
    CStandInParts* pParts;
    std::vector<NodePtr> pending;  // column nodes to resolve, one reference each
  };
  struct Resolved {
    CStandInFrom* pclFrom = nullptr;
    CStandInDescription* pclTable = nullptr;
    CStandInItem* pclItem = nullptr;
  };

  const Token& Cur() const { return m_tokens[m_nPos]; }
  const Token& Peek(size_t n = 1) const {
    return m_tokens[m_nPos + n < m_tokens.size() ? m_nPos + n : m_tokens.size() - 1];
  }
  const Token& Take() {
    const Token& t = m_tokens[m_nPos];
    if (m_nPos + 1 < m_tokens.size()) ++m_nPos;
    return t;
  }
  bool bKeyword(const wchar_t* psz) const { return bIsKeyword(Cur(), psz); }
  bool bSymbol(const wchar_t* psz) const {
    return Cur().eKind == Tok::kSymbol && Cur().strText == psz;
  }
  const Token& ExpectKeyword(const wchar_t* psz) {
    if (!bKeyword(psz)) throw ParseError{std::wstring(L"expected ") + psz, Cur().nStart};
    return Take();
  }
  const Token& ExpectSymbol(const wchar_t* psz) {
    if (!bSymbol(psz)) throw ParseError{std::wstring(L"expected ") + psz, Cur().nStart};
    return Take();
  }
  bool bName() const {
    return (Cur().eKind == Tok::kIdent && !bReserved(Cur())) || Cur().eKind == Tok::kQuoted;
  }
  const Token& ExpectName() {
    if (!bName()) throw ParseError{L"expected a name", Cur().nStart};
    return Take();
  }
  int nLastEnd() const { return m_nPos > 0 ? m_tokens[m_nPos - 1].nEnd : 0; }

  // --- Statements -----------------------------------------------------------

  void Select(CStandInSQLInfo* pclInfo) {
    Take();  // SELECT
    if (bKeyword(L"DISTINCT") || bKeyword(L"ALL")) Take();
    if (bKeyword(L"TOP")) {
      Take();
      if (Cur().eKind != Tok::kNumber) throw ParseError{L"TOP without a number", Cur().nStart};
      Take();
    }
    pclInfo->m_eKind = TYPEREQUETE_SELECT;
    pclInfo->m_pParts = std::make_unique<CStandInParts>();
    CStandInParts* pParts = pclInfo->m_pParts.get();
    m_scopes.push_back(Scope{pParts, {}});

    // The select list: kept aside until the FROM tables are known.
    struct Item {
      bool bStar = false;
      std::wstring strStarTable;  // "t.*"
      NodePtr pExpr;
      std::wstring strAlias;
      int nStart = 0, nEnd = 0;
    };
    std::vector<Item> items;
    const int nListStart = Cur().nStart;
    for (;;) {
      Item item;
      item.nStart = Cur().nStart;
      if (bSymbol(L"*")) {
        item.bStar = true;
        item.nEnd = Take().nEnd;
      } else if (bName() && Peek().eKind == Tok::kSymbol && Peek().strText == L"." &&
                 Peek(2).eKind == Tok::kSymbol && Peek(2).strText == L"*") {
        item.bStar = true;
        item.strStarTable = Take().strText;
        Take();
        item.nEnd = Take().nEnd;
      } else {
        item.pExpr = Expression();
        item.nEnd = item.pExpr->m_posWhole.nFin;
        if (bKeyword(L"AS")) {
          Take();
          item.strAlias = ExpectName().strText;
        } else if (bName()) {
          item.strAlias = Take().strText;
        }
      }
      items.push_back(std::move(item));
      if (!bSymbol(L",")) break;
      Take();
    }
    const int nListEnd = nLastEnd();
    pclInfo->m_nSelectListEnd =
        items.size() == 1 && items[0].bStar && items[0].strStarTable.empty() && nListStart == items[0].nStart
            ? 1
            : nListEnd + 1;

    ExpectKeyword(L"FROM");
    FromList(pParts);

    for (Item& item : items) {
      if (item.bStar) {
        ExpandStar(pParts, item.strStarTable, item.nStart);
        continue;
      }
      AddOutputColumn(pParts, std::move(item.pExpr), item.strAlias, item.nStart);
    }

    if (bKeyword(L"WHERE")) Where(pclInfo);
    if (bKeyword(L"GROUP")) {
      Take();
      ExpectKeyword(L"BY");
      for (;;) {
        GroupItem(pParts);
        if (!bSymbol(L",")) break;
        Take();
      }
      pclInfo->m_nGroupByEnd = nLastEnd();
    }
    if (bKeyword(L"HAVING")) {
      pclInfo->m_nHavingStart = Take().nStart;
      NodePtr pTree = Expression();
      pclInfo->m_nHavingEnd = pTree->m_posWhole.nFin;
      pclInfo->SetHaving(pTree.release());
    }
    if (bKeyword(L"ORDER")) {
      pclInfo->m_nOrderByStart = Take().nStart;
      ExpectKeyword(L"BY");
      for (;;) {
        OrderItem(pParts);
        if (!bSymbol(L",")) break;
        Take();
      }
      pclInfo->m_nOrderByEnd = nLastEnd();
    }
  }

  void Update(CStandInSQLInfo* pclInfo) {
    Take();  // UPDATE
    pclInfo->m_eKind = TYPEREQUETE_UPDATE;
    pclInfo->m_pParts = std::make_unique<CStandInParts>();
    CStandInParts* pParts = pclInfo->m_pParts.get();
    m_scopes.push_back(Scope{pParts, {}});
    TableRef(pParts);
    ExpectKeyword(L"SET");
    for (;;) {
      NodePtr pColumn = ColumnRef();
      ExpectSymbol(L"=");
      NodePtr pValue = Expression();
      pParts->m_assignments.push_back(new CStandInAssignment(pColumn.release(), pValue.release()));
      if (!bSymbol(L",")) break;
      Take();
    }
    if (bKeyword(L"WHERE")) Where(pclInfo);
  }

  void Insert(CStandInSQLInfo* pclInfo) {
    Take();  // INSERT
    ExpectKeyword(L"INTO");
    pclInfo->m_eKind = TYPEREQUETE_INSERT;
    pclInfo->m_pParts = std::make_unique<CStandInParts>();
    CStandInParts* pParts = pclInfo->m_pParts.get();
    m_scopes.push_back(Scope{pParts, {}});
    TableRef(pParts);
    std::vector<NodePtr> columns;
    if (bSymbol(L"(")) {
      Take();
      for (;;) {
        columns.push_back(ColumnRef());
        if (!bSymbol(L",")) break;
        Take();
      }
      ExpectSymbol(L")");
    } else {
      // Every item of the table, in order, not located.
      CStandInDescription* pclTable = pclTableOf(pParts->m_froms[0]);
      for (int i = 0; pclTable != nullptr && pclTable->pclGetItem(i) != nullptr; ++i) {
        CStandInItem* pclItem = pclTable->pclGetItem(i);
        if (pclItem->bIsComposedKey()) continue;
        NodePtr p(CStandInExpression::pclNew(OPEXP_COLONNE));
        p->m_strName = pclItem->pszGetName();
        Pend(p.get());
        columns.push_back(std::move(p));
      }
    }
    ExpectKeyword(L"VALUES");
    ExpectSymbol(L"(");
    std::vector<NodePtr> values;
    for (;;) {
      values.push_back(Expression());
      if (!bSymbol(L",")) break;
      Take();
    }
    ExpectSymbol(L")");
    if (values.size() != columns.size())
      throw ParseError{L"as many values as columns are needed", nLastEnd()};
    for (size_t i = 0; i < columns.size(); ++i)
      pParts->m_insertions.push_back(new CStandInInsertion(columns[i].release(), values[i].release()));
  }

  void Delete(CStandInSQLInfo* pclInfo) {
    Take();  // DELETE
    ExpectKeyword(L"FROM");
    pclInfo->m_eKind = TYPEREQUETE_DELETE;
    pclInfo->m_pParts = std::make_unique<CStandInParts>();
    CStandInParts* pParts = pclInfo->m_pParts.get();
    m_scopes.push_back(Scope{pParts, {}});
    TableRef(pParts);
    if (bKeyword(L"WHERE")) Where(pclInfo);
  }

  void Where(CStandInSQLInfo* pclInfo) {
    pclInfo->m_nWhereStart = Take().nStart;
    NodePtr pTree = Expression();
    pclInfo->m_nWhereEnd = pTree->m_posWhole.nFin;
    pclInfo->SetWhere(pTree.release());
  }

  // What may follow the last clause, kept in the text.
  void Tail() {
    if (Cur().eKind == Tok::kEnd) return;
    if (bKeyword(L"LIMIT") || bKeyword(L"OFFSET") || bKeyword(L"FOR") || bKeyword(L"LOCK") ||
        bSymbol(L";")) {
      while (Cur().eKind != Tok::kEnd) Take();
    }
  }

  // --- FROM -------------------------------------------------------------------

  void FromList(CStandInParts* pParts) {
    TableRef(pParts);
    for (;;) {
      if (bSymbol(L",")) {
        Take();
        TableRef(pParts);
        continue;
      }
      bool bJoin = false;
      if (bKeyword(L"JOIN")) {
        bJoin = true;
      } else if (bKeyword(L"INNER") && bIsKeyword(Peek(), L"JOIN")) {
        Take();
        bJoin = true;
      } else if (bKeyword(L"LEFT") || bKeyword(L"RIGHT")) {
        if (bIsKeyword(Peek(), L"JOIN") ||
            (bIsKeyword(Peek(), L"OUTER") && bIsKeyword(Peek(2), L"JOIN"))) {
          Take();
          if (bKeyword(L"OUTER")) Take();
          bJoin = true;
        }
      }
      if (!bJoin) break;
      Take();  // JOIN
      TableRef(pParts);
      ExpectKeyword(L"ON");
      NodePtr pCondition = Expression();
      if (pParts->m_pclJoins == nullptr) pParts->m_pclJoins = CStandInJoinList::pclNew();
      pParts->m_pclJoins->Add(pCondition.release());
    }
  }

  void TableRef(CStandInParts* pParts) {
    const Token& tName = ExpectName();
    CStandInFrom* pclFrom = CStandInFrom::pclNew();
    pParts->m_froms.push_back(pclFrom);
    pclFrom->m_strTable = tName.strText;
    pclFrom->m_pos = StandInPosition(tName.nStart, tName.nEnd);
    if (bKeyword(L"AS")) Take();
    if (bName()) {
      const Token& tAlias = Take();
      pclFrom->m_strAlias = tAlias.strText;
      pclFrom->m_posAlias = StandInPosition(tAlias.nStart, tAlias.nEnd);
    }
  }

  CStandInDescription* pclTableOf(const CStandInFrom* pclFrom) const {
    return m_pclAnalysis != nullptr ? m_pclAnalysis->pclGetTable(pclFrom->m_strTable.c_str())
                                    : nullptr;
  }

  // --- Output columns -----------------------------------------------------------

  void ExpandStar(CStandInParts* pParts, const std::wstring& strTable, int nAt) {
    bool bFound = strTable.empty();
    for (CStandInFrom* pclFrom : pParts->m_froms) {
      if (!strTable.empty() && !StandInSameName(strTable, pclFrom->pszGetAlias())) continue;
      bFound = true;
      CStandInDescription* pclTable = pclTableOf(pclFrom);
      if (pclTable == nullptr) throw ParseError{L"\"*\" over a file the analysis does not know", nAt};
      for (int i = 0; pclTable->pclGetItem(i) != nullptr; ++i) {
        CStandInItem* pclItem = pclTable->pclGetItem(i);
        if (pclItem->bIsComposedKey()) continue;
        CStandInColumn* pclColumn = CStandInColumn::pclNew(m_pclAnalysis);
        pParts->m_columns.push_back(pclColumn);
        FillTableColumn(pclColumn, pclFrom, pclTable, pclItem, pclItem->pszGetName());
        pclColumn->m_strName = pclItem->pszGetName();
        pclColumn->m_strText = pclItem->pszGetName();
      }
    }
    if (!bFound) throw ParseError{L"\"t.*\" names no FROM table", nAt};
  }

  void FillTableColumn(CStandInColumn* pclColumn, CStandInFrom* pclFrom,
                       CStandInDescription* pclTable, CStandInItem* pclItem,
                       const std::wstring& strWritten) {
    pclColumn->m_strFile = pclTable != nullptr ? pclTable->pszGetLogicalName()
                                               : (pclFrom != nullptr ? pclFrom->m_strTable : L"");
    pclColumn->m_strTableAlias = pclFrom != nullptr ? pclFrom->pszGetAlias() : L"";
    pclColumn->m_strOriginal = pclItem != nullptr ? pclItem->pszGetName() : strWritten;
    if (pclItem != nullptr) {
      pclColumn->m_nSize = pclItem->nGetItemSize();
      pclColumn->m_nZBType = nEngineTypeOf(static_cast<int>(pclItem->eNAGetItemType()));
    }
  }

  void AddOutputColumn(CStandInParts* pParts, NodePtr pExpr, const std::wstring& strAlias,
                       int nStart) {
    CStandInColumn* pclColumn = CStandInColumn::pclNew(m_pclAnalysis);
    pParts->m_columns.push_back(pclColumn);
    const int nEnd = pExpr->m_posWhole.nFin;
    pclColumn->m_pos = StandInPosition(nStart, nEnd);
    pclColumn->m_strText = m_strText.substr(static_cast<size_t>(nStart),
                                            static_cast<size_t>(nEnd - nStart + 1));
    if (pExpr->m_eOp == OPEXP_COLONNE) {
      const Resolved r = Resolve(pExpr.get(), m_scopes.size() - 1);
      FillTableColumn(pclColumn, r.pclFrom, r.pclTable, r.pclItem, pExpr->m_strName);
      pclColumn->m_strName = strAlias.empty() ? pExpr->m_strName : strAlias;
      pclColumn->m_strWrittenQualifier = pExpr->m_strQualifier;
      pclColumn->m_strWrittenName = pExpr->m_strName;
      return;
    }
    ResolvePending(false);
    Retype(pExpr.get());
    pclColumn->m_bComputed = true;
    pclColumn->m_strName = strAlias.empty() ? pclColumn->m_strText : strAlias;
    pclColumn->m_strOriginal = pclColumn->m_strName;
    pclColumn->m_nZBType = nTypeOf(pExpr.get());
    pclColumn->m_nSize = nSizeOf(pExpr.get());
    pclColumn->SetExpression(pExpr.release());
  }

  void OrderItem(CStandInParts* pParts) {
    CStandInOrderBy* pclOrder = CStandInOrderBy::pclNew();
    pParts->m_orders.push_back(pclOrder);
    const int nStart = Cur().nStart;
    if (Cur().eKind == Tok::kNumber) {
      const Token& t = Take();
      long long ll = std::wcstoll(t.strText.c_str(), nullptr, 10);
      if (ll > 2147483647LL) ll = 2147483647LL;
      pclOrder->m_nIndex = static_cast<int>(ll) - 1;
      pclOrder->m_pos = StandInPosition(t.nStart, t.nEnd);
    } else {
      NodePtr pExpr = Expression();
      pclOrder->m_pos = StandInPosition(nStart, pExpr->m_posWhole.nFin);
      if (pExpr->m_eOp == OPEXP_COLONNE) {
        pclOrder->m_bNamesColumn = true;
        pclOrder->m_strWrittenQualifier = pExpr->m_strQualifier;
        pclOrder->m_strWrittenName = pExpr->m_strName;
      }
      pclOrder->m_nIndex = nOutputIndexOf(pParts, pExpr.get());
      if (pclOrder->m_nIndex < 0) {
        // The query needs the column without showing it.
        pclOrder->m_nIndex = static_cast<int>(pParts->m_columns.size());
        AddOutputColumn(pParts, std::move(pExpr), L"", nStart);
        CStandInColumn* pclHidden = pParts->m_columns.back();
        pclHidden->m_bVisible = false;
        pclHidden->m_pos = kStandInNoPosition;
      }
    }
    if (bKeyword(L"ASC")) {
      Take();
    } else if (bKeyword(L"DESC")) {
      Take();
      pclOrder->m_eSens = SENSTRI_DESCENDANT;
    }
    pclOrder->m_nEndWithDirection = nLastEnd();
  }

  // The output column an ORDER BY expression names; -1 when none.
  int nOutputIndexOf(CStandInParts* pParts, CStandInExpression* pExpr) {
    const std::wstring strText = m_strText.substr(
        static_cast<size_t>(pExpr->m_posWhole.nDebut),
        static_cast<size_t>(pExpr->m_posWhole.nFin - pExpr->m_posWhole.nDebut + 1));
    for (size_t i = 0; i < pParts->m_columns.size(); ++i) {
      CStandInColumn* pclColumn = pParts->m_columns[i];
      if (pExpr->m_eOp == OPEXP_COLONNE) {
        if (pExpr->m_strQualifier.empty()) {
          if (StandInSameName(pclColumn->m_strName, pExpr->m_strName.c_str())) return static_cast<int>(i);
          continue;
        }
        if (!pclColumn->m_bComputed &&
            StandInSameName(pclColumn->m_strTableAlias, pExpr->m_strQualifier.c_str()) &&
            StandInSameName(pclColumn->m_strOriginal, pExpr->m_strName.c_str()))
          return static_cast<int>(i);
      } else if (StandInSameName(pclColumn->m_strText, strText.c_str())) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }

  void GroupItem(CStandInParts* pParts) {
    NodePtr pColumn = ColumnRef();
    CStandInGroup* pclGroup = new CStandInGroup;
    pParts->m_groups.push_back(pclGroup);
    pclGroup->m_pos = pColumn->m_posWhole;
    pclGroup->m_strQualifier = pColumn->m_strQualifier;
    pclGroup->m_strNameAsWritten = pColumn->m_strName;
    // An output column's alias, when no table has an item of that name.
    const Resolved r = Resolve(pColumn.get(), m_scopes.size() - 1);
    bool bAlias = false;
    if (pColumn->m_strQualifier.empty() && r.pclItem == nullptr) {
      for (CStandInColumn* pclColumn : pParts->m_columns) {
        if (StandInSameName(pclColumn->m_strName, pColumn->m_strName.c_str())) bAlias = true;
      }
    }
    pclGroup->m_strItem = bAlias ? L"" : (r.pclItem != nullptr ? r.pclItem->pszGetName() : pColumn->m_strName);
    pclGroup->m_strTable = r.pclTable != nullptr ? r.pclTable->pszGetLogicalName()
                                                 : (r.pclFrom != nullptr ? r.pclFrom->m_strTable : L"");
    if (!pColumn->m_strQualifier.empty())
      pclGroup->m_strFile = pColumn->m_strQualifier;
    else if (!bAlias && r.pclFrom != nullptr)
      pclGroup->m_strFile = r.pclFrom->pszGetAlias();
    ResolvePending(false);
  }

  // --- Expressions --------------------------------------------------------------

  NodePtr Expression() { return Or(); }

  NodePtr Binary(eOPEXPRESSION eOp, NodePtr pLeft, const Token& tOp, NodePtr pRight) {
    NodePtr p = MakeNode(eOp, tOp.nStart, tOp.nEnd);
    p->m_posWhole = StandInPosition(pLeft->m_posWhole.nDebut, pRight->m_posWhole.nFin);
    p->AddOperand(pLeft.release());
    p->AddOperand(pRight.release());
    p->m_nZBType = nTypeOf(p.get());
    return p;
  }

  NodePtr Or() {
    NodePtr p = And();
    while (bKeyword(L"OR")) {
      const Token& t = Take();
      p = Binary(OPEXP_OR, std::move(p), t, And());
    }
    return p;
  }

  NodePtr And() {
    NodePtr p = Not();
    while (bKeyword(L"AND")) {
      const Token& t = Take();
      p = Binary(OPEXP_AND, std::move(p), t, Not());
    }
    return p;
  }

  NodePtr Not() {
    if (!bKeyword(L"NOT")) return Predicate();
    const Token& t = Take();
    NodePtr pOperand = Not();
    NodePtr p = MakeNode(OPEXP_NOT, t.nStart, t.nEnd);
    p->m_posWhole = StandInPosition(t.nStart, pOperand->m_posWhole.nFin);
    p->AddOperand(pOperand.release());
    p->m_nZBType = kEngineBoolean;
    return p;
  }

  NodePtr Predicate() {
    NodePtr pLeft = Additive();
    static const std::pair<const wchar_t*, eOPEXPRESSION> kComparisons[] = {
        {L"=", OPEXP_EGAL},          {L"<>", OPEXP_DIFFERENT},       {L"!=", OPEXP_DIFFERENT},
        {L"<", OPEXP_INFERIEUR},     {L"<=", OPEXP_INFERIEUR_EGAL},  {L">", OPEXP_SUPERIEUR},
        {L">=", OPEXP_SUPERIEUR_EGAL}};
    for (const auto& c : kComparisons) {
      if (bSymbol(c.first)) {
        const Token& t = Take();
        return Binary(c.second, std::move(pLeft), t, Additive());
      }
    }
    const int nOpStart = Cur().nStart;
    bool bNot = false;
    if (bKeyword(L"NOT") && (bIsKeyword(Peek(), L"LIKE") || bIsKeyword(Peek(), L"IN"))) {
      Take();
      bNot = true;
    }
    if (bKeyword(L"LIKE")) {
      const int nOpEnd = Take().nEnd;
      NodePtr pPattern = Additive();
      NodePtr p = MakeNode(bNot ? OPEXP_NOT_LIKE : OPEXP_LIKE, nOpStart, nOpEnd);
      p->m_posWhole = StandInPosition(pLeft->m_posWhole.nDebut, pPattern->m_posWhole.nFin);
      if (bKeyword(L"ESCAPE")) {
        Take();
        if (Cur().eKind != Tok::kString || Cur().strText.size() != 1)
          throw ParseError{L"ESCAPE takes one character", Cur().nStart};
        p->m_cEscape = Cur().strText[0];
        p->m_posWhole.nFin = Take().nEnd;
      }
      p->AddOperand(pLeft.release());
      p->AddOperand(pPattern.release());
      p->m_nZBType = kEngineBoolean;
      return p;
    }
    if (bKeyword(L"IN")) {
      const int nOpEnd = Take().nEnd;
      NodePtr pSet = InSet();
      NodePtr p = MakeNode(bNot ? OPEXP_NOT_IN : OPEXP_IN, nOpStart, nOpEnd);
      p->m_posWhole = StandInPosition(pLeft->m_posWhole.nDebut, nLastEnd());
      p->AddOperand(pLeft.release());
      p->AddOperand(pSet.release());
      p->m_nZBType = kEngineBoolean;
      return p;
    }
    if (bNot) throw ParseError{L"NOT here takes LIKE or IN", nOpStart};
    if (bKeyword(L"IS")) {
      Take();
      bool bIsNot = false;
      if (bKeyword(L"NOT")) {
        Take();
        bIsNot = true;
      }
      const int nOpEnd = ExpectKeyword(L"NULL").nEnd;
      NodePtr p = MakeNode(bIsNot ? OPEXP_IS_NOT_NULL : OPEXP_IS_NULL, nOpStart, nOpEnd);
      p->m_posWhole = StandInPosition(pLeft->m_posWhole.nDebut, nOpEnd);
      p->AddOperand(pLeft.release());
      p->m_nZBType = kEngineBoolean;
      return p;
    }
    return pLeft;
  }

  // "(" sub-query ")" or "(" a, b, ... ")".
  NodePtr InSet() {
    const Token& tOpen = ExpectSymbol(L"(");
    if (bKeyword(L"SELECT")) {
      NodePtr p = SubQuery();
      ExpectSymbol(L")");
      return p;
    }
    NodePtr pList = MakeNode(OPEXP_LISTE, tOpen.nStart, tOpen.nStart);
    for (;;) {
      pList->AddOperand(Expression().release());
      if (!bSymbol(L",")) break;
      Take();
    }
    const int nEnd = ExpectSymbol(L")").nEnd;
    pList->m_posElement = pList->m_posWhole = StandInPosition(tOpen.nStart, nEnd);
    return pList;
  }

  // A SELECT in parentheses (the "(" taken, the ")" left): a node over a
  // parsed query of its own, located in the whole text.
  NodePtr SubQuery() {
    const int nStart = Cur().nStart;
    CStandInSQLInfo* pclSub = CStandInSQLInfo::pclNew(m_pclAnalysis);
    NodePtr p = MakeNode(OPEXP_SOUS_REQUETE, nStart, nStart);
    p->SetSubQuery(pclSub);  // the node's reference
    pclSub->m_strText = m_strText;
    pclSub->m_strConditionText = m_strText;
    pclSub->SetParameters(m_pclValues);
    Select(pclSub);
    SubQueryLimit();
    // Names the sub-query does not know belong to the queries around it.
    ResolveScope();
    RetypeAll(pclSub);
    const int nEnd = nLastEnd();
    p->m_posElement = p->m_posWhole = StandInPosition(nStart, nEnd);
    Tokens(pclSub, nStart, nEnd);
    return p;
  }

  // "LIMIT n [, m | OFFSET m]" closing a sub-query: part of its text (its
  // rows depend on its own ORDER BY), not parsed further.
  void SubQueryLimit() {
    if (!bKeyword(L"LIMIT")) return;
    Take();
    if (Cur().eKind != Tok::kNumber) throw ParseError{L"LIMIT without a number", Cur().nStart};
    Take();
    if (bSymbol(L",") || bKeyword(L"OFFSET")) {
      Take();
      if (Cur().eKind != Tok::kNumber) throw ParseError{L"LIMIT without a number", Cur().nStart};
      Take();
    }
  }

  NodePtr Additive() {
    NodePtr p = Multiplicative();
    for (;;) {
      eOPEXPRESSION eOp;
      if (bSymbol(L"+")) {
        eOp = OPEXP_PLUS;
      } else if (bSymbol(L"-")) {
        eOp = OPEXP_MOINS;
      } else if (bSymbol(L"||")) {
        eOp = OPEXP_CONCAT;
      } else {
        return p;
      }
      const Token& t = Take();
      p = Binary(eOp, std::move(p), t, Multiplicative());
    }
  }

  NodePtr Multiplicative() {
    NodePtr p = Unary();
    while (bSymbol(L"*") || bSymbol(L"/")) {
      const Token& t = Take();
      p = Binary(t.strText == L"*" ? OPEXP_MULTIPLIE : OPEXP_DIVISE, std::move(p), t, Unary());
    }
    return p;
  }

  NodePtr Unary() {
    if (!bSymbol(L"-")) return Primary();
    const Token& t = Take();
    NodePtr pOperand = Unary();
    NodePtr p = MakeNode(OPEXP_MOINS_UNAIRE, t.nStart, t.nEnd);
    p->m_posWhole = StandInPosition(t.nStart, pOperand->m_posWhole.nFin);
    p->m_nZBType = pOperand->m_nZBType;
    p->AddOperand(pOperand.release());
    return p;
  }

  NodePtr Primary() {
    const Token& t = Cur();
    if (t.eKind == Tok::kString) {
      Take();
      NodePtr p = MakeNode(OPEXP_LITTERAL, t.nStart, t.nEnd);
      p->m_bLiteral = true;
      p->m_value = StandInValue::Text(t.strText);
      p->m_strLiteralText = t.strText;
      p->m_nZBType = kEngineText;
      return p;
    }
    if (t.eKind == Tok::kNumber) {
      Take();
      NodePtr p = MakeNode(OPEXP_LITTERAL, t.nStart, t.nEnd);
      p->m_bLiteral = true;
      p->m_strLiteralText = t.strText;
      errno = 0;
      wchar_t* pszStop = nullptr;
      const long long ll = std::wcstoll(t.strText.c_str(), &pszStop, 10);
      if (t.strText.find(L'.') == std::wstring::npos && errno == 0 && pszStop != nullptr &&
          *pszStop == 0) {
        p->m_value = StandInValue::Integer(ll);
        p->m_nZBType = ll >= -2147483648LL && ll <= 2147483647LL ? kEngineInt4 : kEngineInt8;
      } else {
        p->m_value = StandInValue::Real(std::wcstod(t.strText.c_str(), nullptr));
        p->m_nZBType = kEngineReal8;
      }
      return p;
    }
    if (t.eKind == Tok::kParam) {
      Take();
      NodePtr p = MakeNode(OPEXP_LITTERAL, t.nStart, t.nEnd);
      p->m_bLiteral = true;
      p->m_bParameter = true;
      p->m_strName = t.strText;
      p->SetParameters(m_pclValues);
      return p;
    }
    if (bKeyword(L"NULL")) {
      Take();
      NodePtr p = MakeNode(OPEXP_LITTERAL, t.nStart, t.nEnd);
      p->m_bLiteral = true;
      p->m_strLiteralText = t.strText;
      return p;
    }
    if (bSymbol(L"(")) {
      const Token& tOpen = Take();
      NodePtr pInner;
      pInner = bKeyword(L"SELECT") ? SubQuery() : Expression();
      const int nEnd = ExpectSymbol(L")").nEnd;
      NodePtr p = MakeNode(OPEXP_PARENTHESES, tOpen.nStart, nEnd);
      p->m_nZBType = pInner->m_nZBType;
      p->AddOperand(pInner.release());
      return p;
    }
    if (bName() && Peek().eKind == Tok::kSymbol && Peek().strText == L"(" && t.eKind == Tok::kIdent)
      return Function();
    if (bName()) return ColumnRef();
    throw ParseError{L"expected an expression", t.nStart};
  }

  NodePtr Function() {
    const Token& tName = Take();
    static const std::pair<const wchar_t*, eOPEXPRESSION> kFunctions[] = {
        {L"COUNT", OPEXP_COUNT},    {L"SUM", OPEXP_SUM},          {L"AVG", OPEXP_AVG},
        {L"MIN", OPEXP_MIN},        {L"MAX", OPEXP_MAX},          {L"SUBSTRING", OPEXP_SUBSTRING},
        {L"SUBSTR", OPEXP_SUBSTRING}, {L"UPPER", OPEXP_UPPER},    {L"UCASE", OPEXP_UPPER},
        {L"LOWER", OPEXP_LOWER},    {L"LCASE", OPEXP_LOWER},      {L"LTRIM", OPEXP_LTRIM},
        {L"RTRIM", OPEXP_RTRIM},    {L"LENGTH", OPEXP_LENGTH},    {L"LEN", OPEXP_LENGTH},
        {L"CHAR_LENGTH", OPEXP_LENGTH}, {L"CONCAT", OPEXP_CONCAT}, {L"IFNULL", OPEXP_IFNULL},
        {L"COALESCE", OPEXP_IFNULL}, {L"NVL", OPEXP_IFNULL}};
    eOPEXPRESSION eOp = OPEXP_FONCTION;
    for (const auto& f : kFunctions) {
      if (StandInSameName(tName.strText, f.first)) eOp = f.second;
    }
    NodePtr p = MakeNode(eOp, tName.nStart, tName.nEnd);
    ExpectSymbol(L"(");
    if (bSymbol(L"*")) {
      if (eOp != OPEXP_COUNT) throw ParseError{L"\"*\" is an argument of COUNT only", Cur().nStart};
      const Token& tStar = Take();
      p->AddOperand(MakeNode(OPEXP_ETOILE, tStar.nStart, tStar.nEnd).release());
    } else if (!bSymbol(L")")) {
      if (bKeyword(L"DISTINCT")) Take();
      for (;;) {
        p->AddOperand(Expression().release());
        if (!bSymbol(L",")) break;
        Take();
      }
    }
    p->m_posWhole = StandInPosition(tName.nStart, ExpectSymbol(L")").nEnd);
    p->m_nZBType = nTypeOf(p.get());
    return p;
  }

  NodePtr ColumnRef() {
    const Token& tFirst = ExpectName();
    NodePtr p = MakeNode(OPEXP_COLONNE, tFirst.nStart, tFirst.nEnd);
    p->m_strName = tFirst.strText;
    if (bSymbol(L".") && (Peek().eKind == Tok::kIdent || Peek().eKind == Tok::kQuoted)) {
      Take();
      const Token& tName = Take();
      p->m_strQualifier = tFirst.strText;
      p->m_strName = tName.strText;
      p->m_posElement = p->m_posWhole = StandInPosition(tFirst.nStart, tName.nEnd);
    }
    Pend(p.get());
    return p;
  }

  // Keeps the column node (one reference) until its scope resolves it.
  void Pend(CStandInExpression* p) {
    p->AddRef();
    m_scopes.back().pending.push_back(NodePtr(p));
  }

  // --- Types ------------------------------------------------------------------

  static int nTypeOf(CStandInExpression* p) {
    switch (p->m_eOp) {
      case OPEXP_COLONNE:
      case OPEXP_LITTERAL:
        return p->m_nZBType;
      case OPEXP_COUNT:
      case OPEXP_LENGTH:
        return kEngineInt4;
      case OPEXP_SUM:
      case OPEXP_AVG:
      case OPEXP_DIVISE:
        return kEngineReal8;
      case OPEXP_PLUS:
      case OPEXP_MOINS:
      case OPEXP_MULTIPLIE: {
        int n = kEngineInt8;
        for (size_t i = 0; i < p->nOperands(); ++i) {
          const int t = p->pclGetOperand(i)->m_nZBType;
          if (t == kEngineReal8 || t == 6 || t == 13 || t == 41) n = kEngineReal8;
        }
        return n;
      }
      case OPEXP_MIN:
      case OPEXP_MAX:
      case OPEXP_UPPER:
      case OPEXP_LOWER:
      case OPEXP_LTRIM:
      case OPEXP_RTRIM:
      case OPEXP_SUBSTRING:
      case OPEXP_IFNULL:
      case OPEXP_PARENTHESES:
        return p->nOperands() > 0 ? p->pclGetOperand(0)->m_nZBType : 0;
      case OPEXP_CONCAT:
        return kEngineText;
      case OPEXP_OR:
      case OPEXP_AND:
      case OPEXP_NOT:
      case OPEXP_EGAL:
      case OPEXP_DIFFERENT:
      case OPEXP_INFERIEUR:
      case OPEXP_INFERIEUR_EGAL:
      case OPEXP_SUPERIEUR:
      case OPEXP_SUPERIEUR_EGAL:
      case OPEXP_IN:
      case OPEXP_NOT_IN:
      case OPEXP_IS_NULL:
      case OPEXP_IS_NOT_NULL:
      case OPEXP_LIKE:
      case OPEXP_NOT_LIKE:
        return kEngineBoolean;
      case OPEXP_MOINS_UNAIRE:
        return p->nOperands() > 0 ? p->pclGetOperand(0)->m_nZBType : 0;
      default:
        return 0;
    }
  }

  // Types a tree again from its leaves, once its columns are resolved.
  static void Retype(CStandInExpression* p) {
    if (p == nullptr || p->m_eOp == OPEXP_COLONNE || p->m_eOp == OPEXP_LITTERAL) return;
    for (size_t i = 0; i < p->nOperands(); ++i) Retype(p->pclGetOperand(i));
    p->m_nZBType = nTypeOf(p);
  }

  // Takes over the reference on pi.
  static void RetypeTree(IExpOpExpression* pi) {
    if (pi == nullptr) return;
    Retype(static_cast<CStandInExpression*>(pi));
    pi->Release();
  }

  static void RetypeAll(CStandInSQLInfo* pclInfo) {
    RetypeTree(pclInfo->piGetConditionWhere());
    RetypeTree(pclInfo->piGetConditionHaving());
    CStandInParts* pParts = pclInfo->m_pParts.get();
    if (pParts == nullptr) return;
    for (CStandInColumn* pclColumn : pParts->m_columns) {
      RetypeTree(pclColumn->piGetExpression());
      if (pclColumn->m_bComputed) {
        IExpOpExpression* pi = pclColumn->piGetExpression();
        pclColumn->m_nZBType = static_cast<CStandInExpression*>(pi)->m_nZBType;
        pi->Release();
      }
    }
    for (int i = 0; pParts->m_pclJoins != nullptr && i < pParts->m_pclJoins->nGetNbJointure(); ++i)
      RetypeTree(pParts->m_pclJoins->piGetJointure(i));
    for (CStandInAssignment* pclA : pParts->m_assignments) RetypeTree(pclA->piGetValeur());
    for (CStandInInsertion* pclI : pParts->m_insertions) RetypeTree(pclI->piGetValeur());
  }

  static int nSizeOf(CStandInExpression* p) {
    switch (p->m_nZBType) {
      case kEngineInt4:
        return 4;
      case kEngineInt8:
      case kEngineReal8:
        return 8;
      case kEngineText:
        return p->m_bLiteral ? static_cast<int>(p->m_strLiteralText.size()) : 255;
      default:
        return 0;
    }
  }

  // --- Names ------------------------------------------------------------------

  // The table and item of a column node, looking from scope nScope outward.
  Resolved Resolve(CStandInExpression* pNode, size_t nScope) const {
    Resolved r;
    for (size_t k = nScope + 1; k-- > 0;) {
      CStandInParts* pParts = m_scopes[k].pParts;
      if (!pNode->m_strQualifier.empty()) {
        for (CStandInFrom* pclFrom : pParts->m_froms) {
          const bool bByAlias = !pclFrom->m_strAlias.empty() &&
                                StandInSameName(pclFrom->m_strAlias, pNode->m_strQualifier.c_str());
          const bool bByName = pclFrom->m_strAlias.empty() &&
                               StandInSameName(pclFrom->m_strTable, pNode->m_strQualifier.c_str());
          if (!bByAlias && !bByName) continue;
          r.pclFrom = pclFrom;
          r.pclTable = pclTableOf(pclFrom);
          r.pclItem = pclFindItem(r.pclTable, pNode->m_strName);
          return r;
        }
        continue;
      }
      for (CStandInFrom* pclFrom : pParts->m_froms) {
        CStandInDescription* pclTable = pclTableOf(pclFrom);
        CStandInItem* pclItem = pclFindItem(pclTable, pNode->m_strName);
        if (pclItem == nullptr) continue;
        r.pclFrom = pclFrom;
        r.pclTable = pclTable;
        r.pclItem = pclItem;
        return r;
      }
    }
    return r;
  }

  static CStandInItem* pclFindItem(CStandInDescription* pclTable, const std::wstring& strName) {
    for (int i = 0; pclTable != nullptr && pclTable->pclGetItem(i) != nullptr; ++i) {
      if (StandInSameName(strName, pclTable->pclGetItem(i)->pszGetName()))
        return pclTable->pclGetItem(i);
    }
    return nullptr;
  }

  // Types the pending column nodes of the innermost scope; with bFinal the
  // scope ends (an unresolved node keeps type 0).
  void ResolvePending(bool bFinal) {
    if (m_scopes.empty()) return;
    Scope& scope = m_scopes.back();
    for (NodePtr& p : scope.pending) {
      const Resolved r = Resolve(p.get(), m_scopes.size() - 1);
      if (r.pclItem != nullptr)
        p->m_nZBType = nEngineTypeOf(static_cast<int>(r.pclItem->eNAGetItemType()));
    }
    if (bFinal) scope.pending.clear();
  }

  // Ends a sub-query's scope: nodes it cannot resolve go to the enclosing
  // scope, which may know them once its FROM clause is read.
  void ResolveScope() {
    Scope scope = std::move(m_scopes.back());
    m_scopes.pop_back();
    for (NodePtr& p : scope.pending) {
      m_scopes.push_back(Scope{scope.pParts, {}});
      const Resolved r = Resolve(p.get(), m_scopes.size() - 1);
      m_scopes.pop_back();
      if (r.pclItem != nullptr) {
        p->m_nZBType = nEngineTypeOf(static_cast<int>(r.pclItem->eNAGetItemType()));
      } else if (!m_scopes.empty()) {
        m_scopes.back().pending.push_back(std::move(p));
      }
    }
  }

  // --- Token tables -------------------------------------------------------------

  // The name references and markers of the text a query spans, from the
  // tokens (a reference is a name not followed by "(" that is not a keyword,
  // a FROM table or an alias).
  void Tokens(CStandInSQLInfo* pclInfo, int nFrom, int nTo) {
    CStandInTabVal& tab = pclInfo->m_tokens;
    for (const Token& t : m_tokens) {
      if (t.eKind == Tok::kParam && t.nStart >= nFrom && t.nEnd <= nTo) tab.AddMarker(t.nStart, t.nEnd - t.nStart + 1, t.strText);
    }
    CollectReferences(pclInfo->piGetConditionWhere(), tab, true);
    CollectReferences(pclInfo->piGetConditionHaving(), tab, true);
    if (pclInfo->m_pParts != nullptr) {
      for (CStandInColumn* pclColumn : pclInfo->m_pParts->m_columns) {
        CollectReferences(pclColumn->piGetExpression(), tab, true);
      }
      if (pclInfo->m_pParts->m_pclJoins != nullptr) {
        for (int i = 0; i < pclInfo->m_pParts->m_pclJoins->nGetNbJointure(); ++i)
          CollectReferences(pclInfo->m_pParts->m_pclJoins->piGetJointure(i), tab, true);
      }
      for (CStandInAssignment* pclA : pclInfo->m_pParts->m_assignments) {
        CollectReferences(pclA->piGetColonne(), tab, true);
        CollectReferences(pclA->piGetValeur(), tab, true);
      }
      for (CStandInInsertion* pclI : pclInfo->m_pParts->m_insertions) {
        CollectReferences(pclI->piGetColonne(), tab, true);
        CollectReferences(pclI->piGetValeur(), tab, true);
      }
      for (CStandInColumn* pclColumn : pclInfo->m_pParts->m_columns) {
        if (!pclColumn->m_bComputed && pclColumn->m_pos.nFin > 0)
          AddReference(pclColumn->m_pos, pclColumn->m_strWrittenQualifier,
                       pclColumn->m_strWrittenName, tab);
      }
      for (CStandInGroup* pclGroup : pclInfo->m_pParts->m_groups)
        AddReference(pclGroup->m_pos, pclGroup->m_strQualifier, pclGroup->m_strNameAsWritten, tab);
      for (CStandInOrderBy* pclOrder : pclInfo->m_pParts->m_orders) {
        if (pclOrder->m_bNamesColumn)
          AddReference(pclOrder->m_pos, pclOrder->m_strWrittenQualifier,
                       pclOrder->m_strWrittenName, tab);
      }
    }
    tab.Seal();
  }

  static void AddReference(const _stPositionSQL& pos, const std::wstring& strQualifier,
                           const std::wstring& strName, CStandInTabVal& tab) {
    tab.AddReference(pos.nDebut, pos.nFin - pos.nDebut + 1, strQualifier, strName);
  }

  // Takes over the reference on pi.
  void CollectReferences(IExpOpExpression* pi, CStandInTabVal& tab, bool) {
    if (pi == nullptr) return;
    auto* p = static_cast<CStandInExpression*>(pi);
    if (p->m_eOp == OPEXP_COLONNE && p->m_posWhole.nFin > 0) {
      tab.AddReference(p->m_posWhole.nDebut, p->m_posWhole.nFin - p->m_posWhole.nDebut + 1,
                       p->m_strQualifier, p->m_strName);
    }
    if (p->m_eOp != OPEXP_SOUS_REQUETE) {
      for (size_t i = 0; i < p->nOperands(); ++i) {
        p->pclGetOperand(i)->AddRef();
        CollectReferences(p->pclGetOperand(i), tab, true);
      }
    }
    p->Release();
  }

  const CStandInAnalysis* m_pclAnalysis;
  const std::wstring& m_strText;
  CStandInQueryParameters* m_pclValues;
  std::vector<Token> m_tokens;
  size_t m_nPos = 0;
  std::vector<Scope> m_scopes;
};

// Where the literal or double-quoted text that opens at i ends (the index
// after its closing quote, or the text's length): a doubled quote stands for
// one and the backslash is ordinary, as in the split queries' literals.
size_t nQuotedTextEnd(const std::wstring& s, size_t i) {
  const wchar_t q = s[i];
  size_t j = i + 1;
  while (j < s.size()) {
    if (s[j] != q) {
      ++j;
    } else if (j + 1 < s.size() && s[j + 1] == q) {
      j += 2;
    } else {
      return j + 1;
    }
  }
  return s.size();
}

// The markers of a text outside the subset, found outside its literals.
void ScanMarkers(const std::wstring& s, CStandInTabVal& tab) {
  bool bInLiteral = false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'\'') bInLiteral = !bInLiteral;
    if (bInLiteral || s[i] != L'{') continue;
    const size_t j = s.find_first_of(L"{}'", i + 1);
    if (j == std::wstring::npos || s[j] != L'}' || j == i + 1) continue;
    tab.AddMarker(static_cast<int>(i), static_cast<int>(j - i + 1), s.substr(i + 1, j - i - 1));
    i = j;
  }
  tab.Seal();
}

// A name of a text outside the subset: a plain word or a `quoted` name.
struct Word {
  int nStart, nEnd;    // inclusive, quotes included
  std::wstring strName;  // quotes removed, doubled backquotes undoubled
  bool bQuoted;
};

// Where the run of SQL blanks from i ends.
size_t nSkipBlanks(const std::wstring& s, size_t i) {
  while (i < s.size() && (s[i] == L' ' || s[i] == L'\t' || s[i] == L'\r' || s[i] == L'\n')) ++i;
  return i;
}

// The names of a text outside the subset, with what follows each ("." or
// "("), outside its literals, double-quoted texts (nQuotedTextEnd) and
// comments.
std::vector<Word> ScanWords(const std::wstring& s) {
  std::vector<Word> words;
  const size_t n = s.size();
  size_t i = 0;
  while (i < n) {
    const wchar_t c = s[i];
    if (c == L'\'' || c == L'"') {
      i = nQuotedTextEnd(s, i);
    } else if (c == L'#' || (c == L'-' && i + 1 < n && s[i + 1] == L'-')) {
      while (i < n && s[i] != L'\n') ++i;
    } else if (c == L'/' && i + 1 < n && s[i + 1] == L'*') {
      const size_t j = s.find(L"*/", i + 2);
      i = j == std::wstring::npos ? n : j + 2;
    } else if (c == L'{') {
      // A marker is no name.
      const size_t j = s.find_first_of(L"}'", i + 1);
      i = j != std::wstring::npos && s[j] == L'}' ? j + 1 : i + 1;
    } else if (c == L'`') {
      Word w{static_cast<int>(i), 0, L"", true};
      size_t j = i + 1;
      for (; j < n; ++j) {
        if (s[j] != L'`') {
          w.strName += s[j];
        } else if (j + 1 < n && s[j + 1] == L'`') {
          w.strName += L'`';
          ++j;
        } else {
          break;
        }
      }
      if (j >= n) break;  // unterminated: nothing after it is a name
      w.nEnd = static_cast<int>(j);
      if (!w.strName.empty()) words.push_back(std::move(w));
      i = j + 1;
    } else if (bIdentStart(c) && (i == 0 || !bIdentPart(s[i - 1]))) {
      size_t j = i;
      while (j < n && bIdentPart(s[j])) ++j;
      words.push_back({static_cast<int>(i), static_cast<int>(j) - 1, s.substr(i, j - i), false});
      i = j;
    } else {
      ++i;
    }
  }
  return words;
}

// The name references of a text outside the subset (into the token table)
// and the files it names (into *pTables): "table.item" where table is a
// file of the analysis that has the item, and a lone item name that one of
// the files named in the text has. Keywords and function names (a name
// followed by "(") are no references; nothing inside a literal, a quoted
// text or a comment is one.
void ScanReferences(const std::wstring& s, const CStandInAnalysis* pclAnalysis,
                    CStandInTabVal& tab, std::vector<std::wstring>* pTables) {
  if (pclAnalysis == nullptr) return;
  const std::vector<Word> words = ScanWords(s);
  auto bFollowedBy = [&](const Word& w, wchar_t c) {
    const size_t j = nSkipBlanks(s, static_cast<size_t>(w.nEnd) + 1);
    return j < s.size() && s[j] == c;
  };
  auto bKeywordWord = [](const Word& w) {
    Token t;
    t.eKind = Tok::kIdent;
    t.strText = w.strName;
    return !w.bQuoted && bReserved(t);
  };
  auto pclItemOf = [](CStandInDescription* pclTable, const std::wstring& strName) -> CStandInItem* {
    for (int i = 0; pclTable != nullptr && pclTable->pclGetItem(i) != nullptr; ++i) {
      if (StandInSameName(strName, pclTable->pclGetItem(i)->pszGetName()))
        return pclTable->pclGetItem(i);
    }
    return nullptr;
  };
  // The files the text names, qualifiers included.
  for (const Word& w : words) {
    CStandInDescription* pclTable = pclAnalysis->pclGetTable(w.strName.c_str());
    if (pclTable == nullptr || bKeywordWord(w)) continue;
    bool bKnown = false;
    for (const std::wstring& t : *pTables) bKnown = bKnown || StandInSameName(t, w.strName.c_str());
    if (!bKnown) pTables->push_back(pclTable->pszGetLogicalName());
  }
  for (size_t k = 0; k < words.size(); ++k) {
    const Word& w = words[k];
    // "table.item": the dot between the two names, blanks allowed around it.
    if (bFollowedBy(w, L'.') && k + 1 < words.size()) {
      const Word& item = words[k + 1];
      const size_t nDot = nSkipBlanks(s, static_cast<size_t>(w.nEnd) + 1);
      if (nSkipBlanks(s, nDot + 1) == static_cast<size_t>(item.nStart)) {
        CStandInDescription* pclTable = pclAnalysis->pclGetTable(w.strName.c_str());
        if (pclTable != nullptr && pclItemOf(pclTable, item.strName) != nullptr &&
            !bFollowedBy(item, L'(')) {
          tab.AddReference(w.nStart, item.nEnd - w.nStart + 1, w.strName, item.strName);
        }
        ++k;  // the item after a qualifier is never a lone name
        continue;
      }
    }
    if (bKeywordWord(w) || bFollowedBy(w, L'(')) continue;
    if (pclAnalysis->pclGetTable(w.strName.c_str()) != nullptr) continue;  // a file
    for (const std::wstring& t : *pTables) {
      if (pclItemOf(pclAnalysis->pclGetTable(t.c_str()), w.strName) == nullptr) continue;
      tab.AddReference(w.nStart, w.nEnd - w.nStart + 1, L"", w.strName);
      break;
    }
  }
}

// Empties a query that could not be split: its text, its markers and the
// name references of its token table stay.
CStandInSQLInfo* pclUnsplit(CStandInSQLInfo* pclInfo, const CStandInAnalysis* pclAnalysis,
                            const std::wstring& strText, CStandInQueryParameters* pclValues) {
  pclInfo->Release();
  CStandInSQLInfo* pclFresh = CStandInSQLInfo::pclNew(pclAnalysis);
  pclFresh->m_strText = strText;
  pclFresh->m_strConditionText = strText;
  pclFresh->SetParameters(pclValues);
  pclFresh->m_pMarkers = std::make_unique<CStandInTabVal>();
  ScanMarkers(strText, *pclFresh->m_pMarkers);
  ScanReferences(strText, pclAnalysis, pclFresh->m_tokens, &pclFresh->m_namedTables);
  ScanMarkers(strText, pclFresh->m_tokens);
  return pclFresh;
}

}  // namespace

CStandInSQLInfo* CStandInSQLParser::pclParse(const wchar_t* pszText,
                                             CStandInQueryParameters* pclValues) {
  const std::wstring strText = pszText != nullptr ? pszText : L"";
  CStandInSQLInfo* pclInfo = CStandInSQLInfo::pclNew(m_pclAnalysis);
  pclInfo->m_strText = strText;
  pclInfo->m_strConditionText = strText;
  pclInfo->SetParameters(pclValues);
  m_strLastError.clear();
  try {
    Grammar grammar(m_pclAnalysis, pclInfo->m_strText, pclValues);
    grammar.Statement(pclInfo);
  } catch (const ParseError& e) {
    m_strLastError = e.strWhy + L" at " + std::to_wstring(e.nAt);
    return pclUnsplit(pclInfo, m_pclAnalysis, strText, pclValues);
  }
  return pclInfo;
}

CStandInSQLInfo* CStandInSQLParser::pclParseCondition(const wchar_t* pszTable,
                                                      const wchar_t* pszCondition,
                                                      CStandInQueryParameters* pclValues) {
  const std::wstring strText = pszCondition != nullptr ? pszCondition : L"";
  CStandInSQLInfo* pclInfo = CStandInSQLInfo::pclNew(m_pclAnalysis);
  pclInfo->m_strText = strText;
  pclInfo->m_strConditionText = strText;
  pclInfo->SetParameters(pclValues);
  m_strLastError.clear();
  try {
    Grammar grammar(m_pclAnalysis, pclInfo->m_strText, pclValues);
    grammar.Condition(pclInfo, pszTable);
  } catch (const ParseError& e) {
    m_strLastError = e.strWhy + L" at " + std::to_wstring(e.nAt);
    return pclUnsplit(pclInfo, m_pclAnalysis, strText, pclValues);
  }
  return pclInfo;
}
