// The link list of the handle-level SQL interface, read from the table's
// definition (SHOW CREATE TABLE).
//
// A link line: constraint name, referenced table, referenced columns (or
// the name of the referenced table's composed key over exactly them),
// "0,N", the table as the caller named it, its own columns (or its composed
// key's name), "0,1", the update and the delete rule codes. Fields are
// separated by TAB, lines by "\r\n". The definition gives lines only with
// kNAListDetailed (the server asks for the rules with it); the catalogue
// callers' line writer, s_bConcatConstraint, adds the rules only then.
//
// The definition is the server's text, but it is read as untrusted: every
// read is bounded by the text's end, and a clause of an unexpected shape is
// skipped, never the rest of the text. Quoted texts (string literals such
// as a COMMENT, and back-quoted names, where a doubled back quote stands for
// one) are stepped over as a whole while looking for the next CONSTRAINT
// keyword, so that the word inside a comment, a column name or a CHECK
// expression neither ends the parse nor makes a link of its own.
//
// A reference to a table of another database is printed by the server as
// `db`.`table`; its line shows "db.table" (as the tables of
// s_bConcatConstraint are written with their owner), and the referenced
// table's composed keys are looked up under that name. When that table
// cannot be described, the link keeps its columns joined by "," (a
// reference within the connection's database whose table cannot be
// described drops its link: that is a failure, not a reach).
#include "statements/driver_sql.h"

#include <cwchar>
#include <cwctype>

#include "core/counted_string.h"
#include "core/wide_string.h"
#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "items/data_source_description.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/item_description_interface.h"
#include "values/any.h"

namespace {

constexpr wchar_t kTab = L'\t';
constexpr wchar_t kLineSeparator[] = L"\r\n";
// The column name of a table's definition in SHOW CREATE TABLE (a view's is
// "Create View").
constexpr wchar_t kCreateTableColumn[] = L"Create Table";

int nLength(const wchar_t* psz) { return psz != nullptr ? static_cast<int>(std::wcslen(psz)) : 0; }

void AddText(CXYStringConcat<wchar_t>* pclOut, const wchar_t* psz) {
  if (psz != nullptr) pclOut->Add(psz, nLength(psz));
}

// The code of a rule in a link line; a rule above kRuleSetDefault (or below
// kRuleCascade) has none.
const wchar_t* pszRuleCode(CNADriverSQL::eSQLForeignKeysRules eRule) {
  switch (eRule) {
    case CNADriverSQL::kRuleCascade:
      return L"2022";
    case CNADriverSQL::kRuleRestrict:
      return L"2021";
    case CNADriverSQL::kRuleSetNull:
    case CNADriverSQL::kRuleSetDefault:
      return L"2023";
    case CNADriverSQL::kRuleNoAction:
      return L"2020";
  }
  return nullptr;
}

bool bBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool bWordChar(wchar_t c) { return std::iswalnum(static_cast<wint_t>(c)) || c == L'_' || c == L'$'; }
wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// A cursor over a text of known end: every read tests the end first, so a
// text cut anywhere (or holding a zero) is never read past.
class CDefinitionReader {
 public:
  CDefinitionReader(const wchar_t* pBegin, const wchar_t* pEnd) : m_p(pBegin), m_pEnd(pEnd) {}

  const wchar_t* pGetPosition() const { return m_p; }
  void SetPosition(const wchar_t* p) { m_p = p; }

  void SkipBlanks() {
    while (m_p < m_pEnd && bBlank(*m_p)) ++m_p;
  }

  // Whether the text at the position starts with the word (ASCII letters
  // compared without case when bIgnoreCase); consumed when it does.
  bool bTake(const wchar_t* pszWord, bool bIgnoreCase) {
    const wchar_t* p = m_p;
    for (; *pszWord != 0; ++pszWord, ++p) {
      if (p >= m_pEnd) return false;
      const wchar_t c = bIgnoreCase ? Upper(*p) : *p;
      if (c != (bIgnoreCase ? Upper(*pszWord) : *pszWord)) return false;
    }
    m_p = p;
    return true;
  }
  bool bTake(wchar_t c) {
    if (m_p >= m_pEnd || *m_p != c) return false;
    ++m_p;
    return true;
  }
  // A keyword of two words: the first, at least one blank, the second.
  bool bTakeTwoWords(const wchar_t* pszFirst, const wchar_t* pszSecond) {
    const wchar_t* pStart = m_p;
    if (bTake(pszFirst, true) && m_p < m_pEnd && bBlank(*m_p)) {
      SkipBlanks();
      if (bTake(pszSecond, true) && (m_p >= m_pEnd || !bWordChar(*m_p))) return true;
    }
    m_p = pStart;
    return false;
  }

  // A back-quoted name: its body, with each doubled back quote read as one,
  // appended to pclOut. Without an opening quote, or without a closing one
  // before the end, false with the position and pclOut unchanged.
  bool bTakeQuotedName(CXYStringConcat<wchar_t>* pclOut) {
    if (m_p >= m_pEnd || *m_p != L'`') return false;
    const unsigned int nKept = pclOut->nGetLength();
    const wchar_t* p = m_p + 1;
    for (;;) {
      if (p >= m_pEnd) break;
      if (*p == L'`') {
        if (p + 1 < m_pEnd && p[1] == L'`') {
          pclOut->Add(L'`');
          p += 2;
          continue;
        }
        m_p = p + 1;
        return true;
      }
      pclOut->Add(*p);
      ++p;
    }
    pclOut->Tronque(nKept);
    return false;
  }

  // Moves just past the next keyword CONSTRAINT that stands outside quoted
  // text (a whole word, upper-case as the server writes it). False at the
  // end of the text.
  bool bSeekConstraint() {
    static constexpr wchar_t kKeyword[] = L"CONSTRAINT";
    while (m_p < m_pEnd) {
      const wchar_t c = *m_p;
      if (c == L'`' || c == L'\'' || c == L'"') {
        _SkipQuoted(c);
        continue;
      }
      if (bWordChar(c)) {
        const wchar_t* pWord = m_p;
        while (m_p < m_pEnd && bWordChar(*m_p)) ++m_p;
        const size_t n = static_cast<size_t>(m_p - pWord);
        if (n == std::wcslen(kKeyword) && std::wmemcmp(pWord, kKeyword, n) == 0) return true;
        continue;
      }
      ++m_p;
    }
    return false;
  }

 private:
  // Steps over a quoted text opened by cQuote at the position: a doubled
  // quote stays inside; in a string literal a backslash escapes the next
  // character. An unclosed text runs to the end.
  void _SkipQuoted(wchar_t cQuote) {
    ++m_p;
    while (m_p < m_pEnd) {
      const wchar_t c = *m_p++;
      if (c == L'\\' && cQuote != L'`') {
        if (m_p < m_pEnd) ++m_p;
      } else if (c == cQuote) {
        if (m_p < m_pEnd && *m_p == cQuote) {
          ++m_p;
        } else {
          return;
        }
      }
    }
  }

  const wchar_t* m_p;
  const wchar_t* m_pEnd;
};

// "(" name [, name]... ")" with blanks anywhere between: the names joined by
// "," into pclOut and their number into *pnColumns. False when the list is
// not of that shape (pclOut may then hold a part of it).
bool bReadColumnList(CDefinitionReader* pclReader, CXYStringConcat<wchar_t>* pclOut,
                     int* pnColumns) {
  *pnColumns = 0;
  if (!pclReader->bTake(L'(')) return false;
  for (;;) {
    pclReader->SkipBlanks();
    if (*pnColumns > 0) pclOut->Add(L',');
    if (!pclReader->bTakeQuotedName(pclOut)) return false;
    ++*pnColumns;
    pclReader->SkipBlanks();
    if (pclReader->bTake(L',')) continue;
    return pclReader->bTake(L')');
  }
}

// The rule word at the position: CASCADE 0, SET NULL 2, NO ACTION 3,
// RESTRICT 1. Any other word (SET DEFAULT among them, which InnoDB refuses
// to create) reads as kRuleRestrict, the server's default; the word is
// consumed either way, so that a clause after it is still found.
CNADriverSQL::eSQLForeignKeysRules eReadRule(CDefinitionReader* pclReader) {
  if (pclReader->bTake(L"CASCADE", true)) return CNADriverSQL::kRuleCascade;
  if (pclReader->bTakeTwoWords(L"SET", L"NULL")) return CNADriverSQL::kRuleSetNull;
  if (pclReader->bTakeTwoWords(L"NO", L"ACTION")) return CNADriverSQL::kRuleNoAction;
  if (!pclReader->bTakeTwoWords(L"SET", L"DEFAULT")) pclReader->bTake(L"RESTRICT", true);
  return CNADriverSQL::kRuleRestrict;
}

// A CXYString<wchar_t> holding the builder's text (empty on failure).
bool bToCounted(const CXYStringConcat<wchar_t>& clText, CXYString<wchar_t>* pstrOut) {
  pstrOut->ReleaseDynStr();
  const int n = static_cast<int>(clText.nGetLength());
  if (n == 0) return true;
  return pstrOut->__nNew(n, clText.pszGet(), n, 0) == 0;
}

// The description's release: one internal reference, as _pclGetTableDesc
// gives it.
void ReleaseOwnDescription(INADataSourceDescription* piSource) {
  if (piSource != nullptr) static_cast<CNADataSourceDescription*>(piSource)->nRelease();
}

}  // namespace

int CNADriverSQL::_bTextToeSQLForeignKeysRules(eSQLForeignKeysRules* peRule,
                                               const wchar_t* pszText) {
  if (peRule == nullptr) return 1;
  struct Rule {
    const wchar_t* pszWord;
    int eRule;
  };
  static constexpr Rule kRules[] = {{L"NO ACTION", kRuleNoAction},
                                    {L"RESTRICT", kRuleRestrict},
                                    {L"SET NULL", kRuleSetNull},
                                    {L"SET DEFAULT", kRuleSetDefault},
                                    {L"CASCADE", kRuleCascade}};
  *peRule = static_cast<eSQLForeignKeysRules>(-1);
  if (pszText == nullptr) return 1;
  for (const Rule& r : kRules) {
    const wchar_t* p = pszText;
    const wchar_t* w = r.pszWord;
    while (*w != 0 && *p != 0 && Upper(*p) == *w) {
      ++p;
      ++w;
    }
    if (*w == 0 && *p == 0) {
      *peRule = static_cast<eSQLForeignKeysRules>(r.eRule);
      break;
    }
  }
  return 1;
}

int CNADriverSQL::s_bConcatConstraint(CXYStringConcat<wchar_t>* pclOut, unsigned int nFlags,
                                      const wchar_t* pszOwner1, const wchar_t* pszTable1,
                                      const wchar_t* pszColumns1, const wchar_t* pszOwner2,
                                      const wchar_t* pszTable2, const wchar_t* pszColumns2,
                                      eSQLForeignKeysRules eRule1, eSQLForeignKeysRules eRule2) {
  if (pclOut == nullptr) return 1;
  auto AddTable = [pclOut](const wchar_t* pszOwner, const wchar_t* pszTable) {
    if (nLength(pszOwner) > 0) {
      AddText(pclOut, pszOwner);
      pclOut->Add(L'.');
    }
    AddText(pclOut, pszTable);
  };
  if (!pclOut->bEstVide()) AddText(pclOut, kLineSeparator);
  AddTable(pszOwner1, pszTable1);
  pclOut->Add(L'_');
  AddTable(pszOwner2, pszTable2);
  pclOut->Add(kTab);
  AddTable(pszOwner1, pszTable1);
  pclOut->Add(kTab);
  AddText(pclOut, pszColumns1);
  pclOut->Add(kTab);
  AddText(pclOut, L"0,N");
  pclOut->Add(kTab);
  AddTable(pszOwner2, pszTable2);
  pclOut->Add(kTab);
  AddText(pclOut, pszColumns2);
  pclOut->Add(kTab);
  AddText(pclOut, L"0,1");
  if (nFlags & kNAListDetailed) {
    pclOut->Add(kTab);
    AddText(pclOut, pszRuleCode(eRule1));
    pclOut->Add(kTab);
    AddText(pclOut, pszRuleCode(eRule2));
  }
  return 1;
}

int CNADriverSQL::_bGetNomCleComposee(INADataSourceDescription* piSource,
                                      CXYString<wchar_t>* pstrColumns, int nColumns,
                                      const wchar_t* pszTable,
                                      CNAConnectionDescription* pclConnection) {
  if (pstrColumns == nullptr) return 1;  // no group, nothing to name
  INADataSourceDescription* piOwn = nullptr;
  if (piSource == nullptr) {
    piOwn = _pclGetTableDesc(pszTable, pclConnection);
    if (piOwn == nullptr) return 0;
    piSource = piOwn;
  }
  const int nKeys = piSource->nGetNumKeys();
  CXYStringConcat<wchar_t> clJoined(64);
  for (int k = 0; k < nKeys; ++k) {
    INAItemDescription* piKey = piSource->piNAGetKey(static_cast<unsigned int>(k));
    if (piKey == nullptr) continue;
    bool bFound = false;
    if (piKey->bIsComposedKey() && piKey->nGetNumComponents() == nColumns) {
      clJoined.Tronque(0);
      bool bComplete = true;
      for (int i = 1; i <= nColumns && bComplete; ++i) {
        INAItemDescription* piComponent = piKey->piGetItemComponent(i);
        if (piComponent == nullptr) {
          bComplete = false;
          break;
        }
        if (i > 1) clJoined.Add(L',');
        AddText(&clJoined, piComponent->pszGetName());
        piComponent->nExternalRelease();
      }
      // A key whose components cannot all be named, or a text that could
      // not be built whole, names nothing.
      if (bComplete && !clJoined.bEchec() &&
          ::wcscasecmp(clJoined.pszGet(), pstrColumns->pszGet()) == 0) {
        CXYString<wchar_t> strName(piKey->pszGetName());
        if (!strName.bEstVide()) {
          *pstrColumns = strName;
          bFound = true;
        }
      }
    }
    piKey->nExternalRelease();
    if (bFound) break;
  }
  ReleaseOwnDescription(piOwn);
  return 1;
}

int CNADriverSQL::_bExtraitLink_FromShowCreateTable(CXYStringConcat<wchar_t>* pclOut,
                                                    const wchar_t* pszDefinition,
                                                    const wchar_t* pszTable,
                                                    CNAConnectionDescription* pclConnection,
                                                    INADataSourceDescription* piSource,
                                                    int nFlags) {
  INADataSourceDescription* piOwn = nullptr;
  if (piSource == nullptr) {
    piOwn = _pclGetTableDesc(pszTable, pclConnection);
    if (piOwn == nullptr) return 0;
    piSource = piOwn;
  }
  // Lines are written only with the detail flag: without it there is
  // nothing to read (and no referenced table to describe).
  if (pclOut == nullptr || pszDefinition == nullptr || !(nFlags & kNAListDetailed)) {
    ReleaseOwnDescription(piOwn);
    return 1;
  }
  const wchar_t* pszDatabase =
      pclConnection != nullptr ? pclConnection->pszGetDefaultDataBase() : nullptr;
  CDefinitionReader clReader(pszDefinition, pszDefinition + std::wcslen(pszDefinition));
  CXYStringConcat<wchar_t> clName(64), clColumns(64), clDatabase(64), clTarget(64),
      clTargetColumns(64), clLookup(64);
  CXYString<wchar_t> strColumns, strTargetColumns;
  while (clReader.bSeekConstraint()) {
    // Each expectation that fails drops this clause only; the search goes on
    // from where the reading stopped.
    clName.Tronque(0);
    clColumns.Tronque(0);
    clDatabase.Tronque(0);
    clTarget.Tronque(0);
    clTargetColumns.Tronque(0);
    clReader.SkipBlanks();
    if (!clReader.bTakeQuotedName(&clName)) continue;
    clReader.SkipBlanks();
    if (!clReader.bTakeTwoWords(L"FOREIGN", L"KEY")) continue;
    clReader.SkipBlanks();
    int nColumns = 0;
    if (!bReadColumnList(&clReader, &clColumns, &nColumns)) continue;
    clReader.SkipBlanks();
    if (!clReader.bTake(L"REFERENCES", true)) continue;
    clReader.SkipBlanks();
    if (!clReader.bTakeQuotedName(&clTarget)) continue;
    if (clReader.bTake(L'.')) {
      // `db`.`table`: the first name was the database.
      clDatabase.Add(clTarget.pszGet(), static_cast<int>(clTarget.nGetLength()));
      clTarget.Tronque(0);
      if (!clReader.bTakeQuotedName(&clTarget)) continue;
    }
    clReader.SkipBlanks();
    int nTargetColumns = 0;
    if (!bReadColumnList(&clReader, &clTargetColumns, &nTargetColumns)) continue;
    if (clName.bEchec() || clColumns.bEchec() || clTarget.bEchec() || clDatabase.bEchec() ||
        clTargetColumns.bEchec())
      continue;
    if (!bToCounted(clColumns, &strColumns) || !bToCounted(clTargetColumns, &strTargetColumns))
      continue;
    if (nColumns > 1 &&
        !_bGetNomCleComposee(piSource, &strColumns, nColumns, pszTable, pclConnection))
      continue;
    // The referenced table as the line shows it, and as it is looked up.
    clLookup.Tronque(0);
    if (!clDatabase.bEstVide()) {
      clLookup.Add(clDatabase.pszGet(), static_cast<int>(clDatabase.nGetLength()));
      clLookup.Add(L'.');
    }
    clLookup.Add(clTarget.pszGet(), static_cast<int>(clTarget.nGetLength()));
    if (clLookup.bEchec()) continue;
    if (nTargetColumns > 1) {
      // A table of the connection's own database is looked up by its bare
      // name (the form the description reads best).
      const bool bOtherDatabase =
          !clDatabase.bEstVide() && (pszDatabase == nullptr || !clDatabase.bEstEgal(pszDatabase));
      const wchar_t* pszLookup = bOtherDatabase ? clLookup.pszGet() : clTarget.pszGet();
      // A table of another database may be out of the description's reach
      // (it reads the columns of the connection's database): its link stays,
      // its columns joined.
      if (!_bGetNomCleComposee(nullptr, &strTargetColumns, nTargetColumns, pszLookup,
                               pclConnection) &&
          !bOtherDatabase)
        continue;
    }
    eSQLForeignKeysRules eDelete = kRuleRestrict, eUpdate = kRuleRestrict;
    clReader.SkipBlanks();
    if (clReader.bTakeTwoWords(L"ON", L"DELETE")) {
      clReader.SkipBlanks();
      eDelete = eReadRule(&clReader);
      clReader.SkipBlanks();
    }
    if (clReader.bTakeTwoWords(L"ON", L"UPDATE")) {
      clReader.SkipBlanks();
      eUpdate = eReadRule(&clReader);
    }
    const unsigned int nKept = pclOut->nGetLength();
    if (!pclOut->bEstVide()) AddText(pclOut, kLineSeparator);
    pclOut->Add(clName.pszGet(), static_cast<int>(clName.nGetLength()));
    pclOut->Add(kTab);
    pclOut->Add(clLookup.pszGet(), static_cast<int>(clLookup.nGetLength()));
    pclOut->Add(kTab);
    AddText(pclOut, strTargetColumns.pszGet());
    pclOut->Add(kTab);
    AddText(pclOut, L"0,N");
    pclOut->Add(kTab);
    AddText(pclOut, pszTable);
    pclOut->Add(kTab);
    AddText(pclOut, strColumns.pszGet());
    pclOut->Add(kTab);
    AddText(pclOut, L"0,1");
    pclOut->Add(kTab);
    AddText(pclOut, pszRuleCode(eUpdate));
    pclOut->Add(kTab);
    AddText(pclOut, pszRuleCode(eDelete));
    // A line cut short by a refused append is not a line.
    if (pclOut->bEchec()) pclOut->Tronque(nKept);
  }
  strColumns.ReleaseDynStr();
  strTargetColumns.ReleaseDynStr();
  ReleaseOwnDescription(piOwn);
  return 1;
}

int CNADriverSQL::bGetLinkList(CAny* pValue, CNAConnectionDescription* pclConnection,
                               const wchar_t* pszTable, INADataSourceDescription* piSource,
                               unsigned int nFlags) {
  if (pclConnection == nullptr || pclConnection->nGetServerKind() != kServerKindMariaDB) return 1;
  const wchar_t* pszName = pszTable;
  if (piSource != nullptr && nLength(piSource->pszGetDBTableName()) > 0)
    pszName = piSource->pszGetDBTableName();
  if (pszName == nullptr) pszName = L"";
  CTString strFormatted;
  if (!pclConnection->bFormatTableName(m_pclError, pszName, &strFormatted)) return 0;
  CXYStringConcat<wchar_t> clQuery(256);
  AddText(&clQuery, L"SHOW CREATE TABLE ");
  clQuery.Add(strFormatted.pszGet(), strFormatted.nTaille());
  if (clQuery.bEchec()) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  CNAStatementSQL* pclStatement = nullptr;
  if (!bExecute(m_pclError, &pclStatement, pclConnection, clQuery.pszGet(), nullptr, 0) ||
      pclStatement == nullptr) {
    if (pclStatement != nullptr) _ReleaseStatement(pclStatement);
    return 0;
  }
  int bResult = 1;
  CAny clColumn, clDefinition;
  const wchar_t* pszText = nullptr;
  unsigned int nChars = 0;
  if (!pclStatement->bFetch(0)) {
    bResult = 0;
  } else if (pclStatement->bIsEndOfData()) {
    // No row: nothing to read.
  } else if (!pclStatement->bGetColumnName(&clColumn, 1, 0) ||
             clColumn.pclGetIntern()->nGetPCWSTR(&pszText) != 0 || pszText == nullptr ||
             ::wcscasecmp(pszText, kCreateTableColumn) != 0) {
    // A view's definition (another column name): no link, the value kept.
  } else if (!pclStatement->bGetValue(&clDefinition, 1, 0) || clDefinition.bIsNull() ||
             (clDefinition.nGetTypeCode() != VX_DSTRW &&
              clDefinition.nGetTypeCode() != VX_PSTRW) ||
             clDefinition.pclGetIntern()->nGetPCWSTR(&pszText) != 0 ||
             clDefinition.pclGetIntern()->nGetSTRLEN(&nChars) != 0) {
    // Not a text: the value kept.
  } else {
    // The text handed to the parser ends at its own zero.
    CXYStringConcat<wchar_t> clDefinitionText(1024);
    if (pszText != nullptr) clDefinitionText.Add(pszText, static_cast<int>(nChars));
    CXYStringConcat<wchar_t> clLinks(1024);
    if (clDefinitionText.bEchec()) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      bResult = 0;
    } else {
      bResult = _bExtraitLink_FromShowCreateTable(&clLinks, clDefinitionText.pszGet(), pszTable,
                                                  pclConnection, piSource,
                                                  static_cast<int>(nFlags));
      if (bResult && clLinks.bEchec()) {
        if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
        bResult = 0;
      }
      if (bResult && pValue != nullptr) {
        pValue->__SetType(VX_DSTRW, 0);
        pValue->SetValueByte(clLinks.pszGet(),
                             clLinks.nGetLength() * static_cast<unsigned int>(sizeof(wchar_t)));
      }
    }
  }
  _ReleaseStatement(pclStatement);
  return bResult;
}
