// The objects that the stand-in SQL parser hands to the driver: a parsed
// query (ISQLParserInformation), its parts (IInfoRequete) with their output
// columns, FROM tables, ORDER BY and GROUP BY items, UPDATE assignments,
// INSERT items and join conditions, expression nodes, token tables
// (CTabValParser), all as include/kq230/sql_parser_interface.h lays them out.
//
// The parser (standin_sql_parser.h) fills their fields, which are public for
// it; once handed out they are only read. Every answer is resolved at parse
// time from the analysis (standin_analysis.h), except the lookups that name
// the analysis's files (item and data-source descriptions, physical names),
// which ask it at the call.
//
// Counting: each object is born with one reference, its maker's, follows the
// reference convention of the interface it implements and deletes itself at
// its last release; every one counts in StandInParserCounts::g_nLive. A
// release past 0 aborts the process, naming the interface.
// Ownership: a parsed query owns its parts and token tables and holds one
// reference on its WHERE and HAVING trees, its parameter values and nothing
// else; the parts hold one reference on each column, FROM table, ORDER BY
// item and join list and own their GROUP BY items, assignments and
// insertions; a node holds one reference on each operand and on its
// sub-query; a computed column holds one on its expression.
// Threads: one thread at a time.
#ifndef KQ230_HOST_PARSER_STANDIN_SQL_OBJECTS_H_
#define KQ230_HOST_PARSER_STANDIN_SQL_OBJECTS_H_

#include <memory>
#include <string>
#include <vector>

#include "host/parser/standin_value_maker.h"
#include "kq230/sql_parser_interface.h"

class CStandInAnalysis;
class CStandInQueryParameters;
class CStandInSQLInfo;

// A not-located position.
inline constexpr _stPositionSQL kStandInNoPosition = {0, 0, 0, 0};
inline _stPositionSQL StandInPosition(int nStart, int nEnd) { return {nStart, 0, nEnd, 0}; }

class CStandInExpression final : public IExpOpExpression {
 public:
  // One reference, the caller's.
  static CStandInExpression* pclNew(eOPEXPRESSION eOp);

  int AddRef() override;
  int Release() override;
  eOPEXPRESSION eGetOperateur() override { return m_eOp; }
  IExpOpExpression* piGetOperandeGauche() override { return piOperand(0); }
  IExpOpExpression* piGetOperandeDroit() override { return piOperand(1); }
  int nGetNbOperande() override { return static_cast<int>(m_operands.size()); }
  const wchar_t* pszGetNomParametre() override;
  const wchar_t* pszGetTexteLitteral() override;
  const wchar_t* pszGetNomRubrique() override;
  int bGetValeur(CAny* pclValeur) override;
  _stPositionSQL stGetPositionElement() override { return m_posElement; }
  const wchar_t* pszGetNomFichier() override { return m_strQualifier.c_str(); }
  _stPositionSQL stGetPosition() override { return m_posWhole; }
  int bJointureExterne() override { return m_bOuterJoin ? 1 : 0; }
  eZBTYPES eGetZBType() override { return static_cast<eZBTYPES>(m_nZBType); }
  wchar_t cGetEscape() override { return m_cEscape; }
  IExpOpExpression* piEnumOperande(int* pnCursor) override;
  ISQLParserInformation* piGetSousRequete() override;

  int nGetRefCount() const { return m_nRefCount; }
  // Takes over the caller's reference.
  void AddOperand(CStandInExpression* pclOperand) { m_operands.push_back(pclOperand); }
  CStandInExpression* pclGetOperand(size_t i) const {
    return i < m_operands.size() ? m_operands[i] : nullptr;
  }
  size_t nOperands() const { return m_operands.size(); }
  // Takes over the caller's reference on the sub-query.
  void SetSubQuery(CStandInSQLInfo* pclSubQuery);
  // Holds one reference on the values (null: none).
  void SetParameters(CStandInQueryParameters* pclValues);

  // Filled by the parser.
  eOPEXPRESSION m_eOp;
  _stPositionSQL m_posElement = kStandInNoPosition;
  _stPositionSQL m_posWhole = kStandInNoPosition;
  std::wstring m_strName;       // a column's item name
  std::wstring m_strQualifier;  // a column's qualifier as written
  bool m_bLiteral = false;
  StandInValue m_value;         // a literal's value
  std::wstring m_strLiteralText;
  bool m_bParameter = false;    // "{name}": m_strName is the name
  bool m_bOuterJoin = false;
  wchar_t m_cEscape = 0;
  int m_nZBType = 0;

 private:
  explicit CStandInExpression(eOPEXPRESSION eOp);
  ~CStandInExpression();
  IExpOpExpression* piOperand(size_t i);

  int m_nRefCount = 1;
  std::vector<CStandInExpression*> m_operands;
  CStandInSQLInfo* m_pclSubQuery = nullptr;
  CStandInQueryParameters* m_pclValues = nullptr;
};

class CStandInColumn final : public IInfoRubrique {
 public:
  static CStandInColumn* pclNew(const CStandInAnalysis* pclAnalysis);  // one reference

  int Release() override;
  const wchar_t* pszGetNomFichier() override;
  const wchar_t* pszGetNom() override { return m_strName.c_str(); }
  const wchar_t* pszGetNomOriginal() override { return m_strOriginal.c_str(); }
  const wchar_t* pszGetTexte() override { return m_strText.c_str(); }
  _stPositionSQL stGetPosition() override { return m_pos; }
  int bCalcul() override { return m_bComputed ? 1 : 0; }
  int nGetTaille() override { return m_nSize; }
  eZBTYPES eGetZBType() override { return static_cast<eZBTYPES>(m_nZBType); }
  IExpOpExpression* piGetExpression() override;
  const wchar_t* pszGetNomTableAlias() override { return m_strTableAlias.c_str(); }
  int bVisible() override { return m_bVisible ? 1 : 0; }

  int nGetRefCount() const { return m_nRefParser; }
  // Takes over the caller's reference.
  void SetExpression(CStandInExpression* pclExpression);

  // Filled by the parser.
  std::wstring m_strFile;        // logical table name
  std::wstring m_strName;
  std::wstring m_strOriginal;
  std::wstring m_strText;
  std::wstring m_strTableAlias;
  std::wstring m_strWrittenQualifier;  // a table column's qualifier as written
  std::wstring m_strWrittenName;       // a table column's name as written
  _stPositionSQL m_pos = kStandInNoPosition;
  bool m_bComputed = false;
  bool m_bVisible = true;
  int m_nSize = 0;
  int m_nZBType = 0;

 private:
  explicit CStandInColumn(const CStandInAnalysis* pclAnalysis);
  ~CStandInColumn();

  const CStandInAnalysis* m_pclAnalysis;
  CStandInExpression* m_pclExpression = nullptr;
};

class CStandInFrom final : public IInfoFrom {
 public:
  static CStandInFrom* pclNew();  // one reference
  int AddRef() override;
  int Release() override;
  const wchar_t* pszGetNomTable() override { return m_strTable.c_str(); }
  const wchar_t* pszGetAlias() override {
    return m_strAlias.empty() ? m_strTable.c_str() : m_strAlias.c_str();
  }
  _stPositionSQL stGetPosition() override { return m_pos; }
  _stPositionSQL stGetPositionAlias() override { return m_posAlias; }
  int nGetRefCount() const { return m_nRefCount; }

  std::wstring m_strTable;  // as written
  std::wstring m_strAlias;  // "" when none
  _stPositionSQL m_pos = kStandInNoPosition;
  _stPositionSQL m_posAlias = kStandInNoPosition;

 private:
  CStandInFrom();
  ~CStandInFrom();
  int m_nRefCount = 1;
};

class CStandInOrderBy final : public IInfoOrderBy {
 public:
  static CStandInOrderBy* pclNew();  // one reference
  int Release() override;
  eSENSTRI eGetSensTri() override { return m_eSens; }
  int nGetIndiceRubriqueOUT() override { return m_nIndex; }
  _stPositionSQL stGetPosition() override { return m_pos; }
  int nGetRefCount() const { return m_nRefParser; }

  eSENSTRI m_eSens = SENSTRI_ASCENDANT;
  int m_nIndex = -1;
  _stPositionSQL m_pos = kStandInNoPosition;
  int m_nEndWithDirection = 0;  // last character, direction word included
  bool m_bNamesColumn = false;  // the item is a column name (a name reference)
  std::wstring m_strWrittenQualifier;
  std::wstring m_strWrittenName;

 private:
  CStandInOrderBy();
  ~CStandInOrderBy();
};

class CStandInGroup final : public IInfoGroupe {
 public:
  CStandInGroup();
  ~CStandInGroup();
  const wchar_t* vpszGetAlias() override { return m_strQualifier.c_str(); }
  int bIsAvecTable() override { return m_strQualifier.empty() ? 0 : 1; }
  const wchar_t* pszGetNomTable() override { return m_strTable.c_str(); }
  const wchar_t* pszGetNomRubrique() override { return m_strItem.c_str(); }
  _stPositionSQL stGetPosition() override { return m_pos; }
  const wchar_t* pszGetNomFichier() override { return m_strFile.c_str(); }
  const wchar_t* pszGetNomRubriqueAlias() override { return m_strNameAsWritten.c_str(); }

  std::wstring m_strQualifier;
  std::wstring m_strTable;
  std::wstring m_strItem;
  std::wstring m_strFile;
  std::wstring m_strNameAsWritten;
  _stPositionSQL m_pos = kStandInNoPosition;
};

class CStandInAssignment final : public IInfoAffectation {
 public:
  // Takes over the caller's references.
  CStandInAssignment(CStandInExpression* pclColumn, CStandInExpression* pclValue);
  ~CStandInAssignment();
  IExpOpExpression* piGetColonne() override;
  IExpOpExpression* piGetValeur() override;

 private:
  CStandInExpression* m_pclColumn;
  CStandInExpression* m_pclValue;
};

class CStandInInsertion final : public IInfoInsertion {
 public:
  // Takes over the caller's references; pclValue may be null.
  CStandInInsertion(CStandInExpression* pclColumn, CStandInExpression* pclValue);
  ~CStandInInsertion();
  IExpOpExpression* piGetValeur() override;
  IExpOpExpression* piGetColonne() override;

 private:
  CStandInExpression* m_pclColumn;
  CStandInExpression* m_pclValue;
};

class CStandInJoinList final : public IInfoListeJointure {
 public:
  static CStandInJoinList* pclNew();  // one reference
  int AddRef() override;
  int Release() override;
  int nGetNbJointure() override { return static_cast<int>(m_conditions.size()); }
  IExpOpExpression* piGetJointure(int i) override;
  // Takes over the caller's reference.
  void Add(CStandInExpression* pclCondition) { m_conditions.push_back(pclCondition); }
  int nGetRefCount() const { return m_nRefCount; }

 private:
  CStandInJoinList();
  ~CStandInJoinList();
  int m_nRefCount = 1;
  std::vector<CStandInExpression*> m_conditions;
};

class CStandInParts final : public IInfoRequete {
 public:
  CStandInParts();
  ~CStandInParts();
  CStandInParts(const CStandInParts&) = delete;
  CStandInParts& operator=(const CStandInParts&) = delete;

  IInfoRubrique* piEnumRubrique(int* pnCursor) override { return pEnum(m_columns, pnCursor); }
  int nGetRubriqueNbr() override { return static_cast<int>(m_columns.size()); }
  int nGetFromNbr() override { return static_cast<int>(m_froms.size()); }
  int nGetOrderByNbr() override { return static_cast<int>(m_orders.size()); }
  int nGetGroupeNbr() override { return static_cast<int>(m_groups.size()); }
  IInfoListeJointure* piGetListeJointure() override;
  IInfoFrom* piEnumFrom(int* pnCursor) override { return pEnum(m_froms, pnCursor); }
  IInfoOrderBy* piEnumOrderBy(int* pnCursor) override { return pEnum(m_orders, pnCursor); }
  IInfoGroupe* piEnumGroupe(int* pnCursor) override { return pEnum(m_groups, pnCursor); }
  IInfoAffectation* piEnumAffectation(int* pnCursor) override {
    return pEnum(m_assignments, pnCursor);
  }
  IInfoInsertion* piEnumInsertion(int* pnCursor) override { return pEnum(m_insertions, pnCursor); }

  // Each holds the parts' reference (columns, FROM tables, ORDER BY items,
  // join list) or is owned (the others).
  std::vector<CStandInColumn*> m_columns;
  std::vector<CStandInFrom*> m_froms;
  std::vector<CStandInOrderBy*> m_orders;
  std::vector<CStandInGroup*> m_groups;
  std::vector<CStandInAssignment*> m_assignments;
  std::vector<CStandInInsertion*> m_insertions;
  CStandInJoinList* m_pclJoins = nullptr;

 private:
  template <class T>
  static T* pEnum(const std::vector<T*>& v, int* pnCursor) {
    if (pnCursor == nullptr || *pnCursor < 0 || *pnCursor >= static_cast<int>(v.size()))
      return nullptr;
    return v[static_cast<size_t>((*pnCursor)++)];
  }
};

// A token table and the texts its entries point at.
class CStandInTabVal {
 public:
  CStandInTabVal();
  ~CStandInTabVal();
  CStandInTabVal(const CStandInTabVal&) = delete;
  CStandInTabVal& operator=(const CStandInTabVal&) = delete;

  void AddMarker(int nStart, int nLength, const std::wstring& strName);
  void AddReference(int nStart, int nLength, const std::wstring& strTable,
                    const std::wstring& strItem);
  // Sorts both lists by start and points the table at them.
  void Seal();
  CTabValParser* pclGet() { return &m_table; }

 private:
  struct Marker {
    int nStart, nLength;
    std::wstring strName;
  };
  struct Reference {
    int nStart, nLength;
    std::wstring strTable, strItem;
  };
  std::vector<Marker> m_markerTexts;
  std::vector<Reference> m_referenceTexts;
  std::vector<_stTabValMarqueur> m_markers;
  std::vector<_stTabValReference> m_references;
  CTabValParser m_table = {0, nullptr, 0, nullptr};
};

class CStandInSQLInfo final : public ISQLParserInformation {
 public:
  // One reference, the caller's.
  static CStandInSQLInfo* pclNew(const CStandInAnalysis* pclAnalysis);

  int nGetVersion() override { return kSQLParserVersion; }
  int nGetCompatSince() override { return kSQLParserVersion; }
  int Release() override;
  int nGetDebutOrderBy() override { return m_nOrderByStart; }
  int nGetFinListeSelect() override { return m_nSelectListEnd; }
  const wchar_t* pszGetTexteCondition() override { return m_strConditionText.c_str(); }
  CTabValParser* piGetTabValParser() override { return m_tokens.pclGet(); }
  const wchar_t* pszGetRequete() override { return m_strText.c_str(); }
  int nGetFinClauseOrderBy() override { return m_nOrderByEnd; }
  int nGetDebutWhere() override { return m_nWhereStart; }
  int nGetFinWhere() override { return m_nWhereEnd; }
  int nGetFinClauseGroupBy() override { return m_nGroupByEnd; }
  IInfoRequete* piGetInfoRequete() override { return m_pParts.get(); }
  int nGetDebutHaving() override { return m_nHavingStart; }
  int nGetFinHaving() override { return m_nHavingEnd; }
  int nGetFinClauseHaving() override { return m_nHavingStart > 0 ? m_nHavingEnd : -1; }
  int nGetFinClauseWhere() override { return m_nWhereStart > 0 ? m_nWhereEnd : -1; }
  IExpOpExpression* piGetConditionWhere() override;
  CTabValParser* piGetTabValParserMarqueur() override;
  INAItemDescription* piGetItemDescription(const IInfoRubrique* piColonne) override;
  INAItemDescription* piGetNAItemDescription(const wchar_t* pszTable,
                                             const wchar_t* pszRubrique) override;
  INADataSourceDescription* piGetFromDataSourceDescription(const IInfoFrom* piFrom) override;
  INADataSourceDescription* piGetNADataSourceDescription(const wchar_t* pszTable) override;
  eTYPEREQUETE eGetTypeRequete() override { return m_eKind; }
  IExpOpExpression* piGetConditionHaving() override;
  int GetPhysicalName(const wchar_t* pszLogicalName, wchar_t* pszBuffer,
                      int nBufferChars) override;

  int nGetRefCount() const { return m_nRefParser; }
  // Logical name of the FROM table that an alias or a table name designates
  // in this query; "" when none.
  std::wstring strTableOf(const wchar_t* pszAliasOrName) const;
  // Takes over the caller's references.
  void SetWhere(CStandInExpression* pclTree);
  void SetHaving(CStandInExpression* pclTree);
  // Holds one reference (null: none).
  void SetParameters(CStandInQueryParameters* pclValues);

  // Filled by the parser.
  std::wstring m_strText;
  std::wstring m_strConditionText;
  eTYPEREQUETE m_eKind = TYPEREQUETE_INCONNUE;
  std::unique_ptr<CStandInParts> m_pParts;  // null: not split into parts
  int m_nOrderByStart = 0;
  int m_nOrderByEnd = -1;
  int m_nSelectListEnd = 0;
  int m_nWhereStart = 0;
  int m_nWhereEnd = 0;
  int m_nGroupByEnd = -1;
  int m_nHavingStart = 0;
  int m_nHavingEnd = 0;
  CStandInTabVal m_tokens;
  std::unique_ptr<CStandInTabVal> m_pMarkers;  // a text not split into parts
  // The files of the analysis that a text not split into parts names (its
  // lone item names are looked up in them, in this order).
  std::vector<std::wstring> m_namedTables;

 private:
  explicit CStandInSQLInfo(const CStandInAnalysis* pclAnalysis);
  ~CStandInSQLInfo();

  const CStandInAnalysis* m_pclAnalysis;
  CStandInExpression* m_pclWhere = nullptr;
  CStandInExpression* m_pclHaving = nullptr;
  CStandInQueryParameters* m_pclValues = nullptr;
};

#endif  // KQ230_HOST_PARSER_STANDIN_SQL_OBJECTS_H_
