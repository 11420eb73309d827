// CSQLParserInfo: the driver's digest of one query that the server's SQL
// parser parsed (ISQLParserInformation). It holds the parsed query, copies
// out of it the lists that the SQL builder, the statements and the data
// access walk again and again (FROM tables, output columns, GROUP BY and
// ORDER BY items, UPDATE and INSERT items), picks the output column that
// best identifies a row, tells whether record operations may run on the
// result, and answers name lookups (physical table names, aliases, output
// columns by name, the ORDER BY or GROUP BY item of a record column).
//
// Made by the data access for a query, by the command for a sub-query and
// by the search-condition tree for a condition (reduced: no GROUP BY, ORDER
// BY or HAVING).
//
// The parser is another library: every call into it that may throw (item
// descriptions, physical names, alias searches) is caught and answers null.
// A physical name is asked into a bounded buffer of the call's own and
// copied into the digest at once; a name that fills the buffer is refused,
// never cut (a cut name would name another table), and the refusal is an
// error in the digest's error object (a parser that knows no physical name
// is no error: callers then take the database table name). The answer stays
// valid until the next physical-name call on the same digest.
//
// Ownership: counted through CInterf. The digest holds one reference on the
// parsed query, on each FROM table, output column and ORDER BY item, on its
// own GROUP BY copies, on the parameter values, on its error object and on
// its record; it owns the WHERE and HAVING trees. The UPDATE and INSERT
// lists and the best / key / ORDER BY columns are borrowed from the parsed
// query, which outlives them here.
// Threads: none of its own; used under the driver lock. References on the
// parser's objects are taken with locked increments, as the parser expects.
#ifndef KQ230_SQLBUILDER_PARSED_QUERY_INFO_H_
#define KQ230_SQLBUILDER_PARSED_QUERY_INFO_H_

#include "core/growable_array.h"
#include "core/wide_string.h"
#include "items/parsed_query.h"
#include "kq230/sql_parser_interface.h"

class CNAColumn;
class CNAConnectionDescription;
class CNAError;
class CNARecord;
class INADataSourceDescription;
class INAItemDescription;
class INAQueryParametersValue;

// CInfoGroupe: the driver's own copy of a GROUP BY item, answering the
// seven operations of the parser's items from its copied values, so that it
// outlives nothing it points into. Counted by the digest's array (born with
// count 0; deleted when the count comes back to 0).
class CInfoGroupe : public IInfoGroupe {
 public:
  // Copies the seven values of the parser's item (null: all empty).
  explicit CInfoGroupe(IInfoGroupe* piSource);
  virtual ~CInfoGroupe();

  const wchar_t* vpszGetAlias() override { return m_strAlias.pszGet(); }
  int bIsAvecTable() override { return m_bAvecTable; }
  const wchar_t* pszGetNomTable() override { return m_strTable.pszGet(); }
  const wchar_t* pszGetNomRubrique() override { return m_strItem.pszGet(); }
  _stPositionSQL stGetPosition() override { return m_stPosition; }
  const wchar_t* pszGetNomFichier() override { return m_strFile.pszGet(); }
  const wchar_t* pszGetNomRubriqueAlias() override { return m_strItemAlias.pszGet(); }

  void AddRef() { ++m_nRefCount; }
  // The new count; deleted at 0.
  int nRelease();

 private:
  int m_nRefCount = 0;
  CTString m_strAlias;
  int m_bAvecTable = 0;
  CTString m_strTable;
  CTString m_strItem;
  _stPositionSQL m_stPosition{};
  CTString m_strFile;
  CTString m_strItemAlias;
};

// The reference operations the reference arrays use on the parser's objects
// (the locked increment for columns and ORDER BY items, slot 0 for FROM
// tables; slot 2, resp. 1, drops) and on the GROUP BY copies (found by
// argument-dependent lookup).
inline void KQAddRef(IInfoFrom* p) { p->AddRef(); }
inline void KQRelease(IInfoFrom* p) { p->Release(); }
inline void KQAddRef(IInfoRubrique* p) { SQLParserAddRefLocked(p); }
inline void KQRelease(IInfoRubrique* p) { p->Release(); }
inline void KQAddRef(IInfoOrderBy* p) { SQLParserAddRefLocked(p); }
inline void KQRelease(IInfoOrderBy* p) { p->Release(); }
inline void KQAddRef(CInfoGroupe* p) { p->AddRef(); }
inline void KQRelease(CInfoGroupe* p) { p->nRelease(); }

class CSQLParserInfo : public CNAParsedQuery {
 public:
  // Room for a physical name, terminator included: a name of this many
  // characters or more is refused.
  static constexpr int kPhysicalNameRoom = 261;

  // Holds one count on the error object (may be null), then Set with the
  // other three. reduced != 0 (a condition's digest) keeps no GROUP BY or
  // ORDER BY items and no HAVING tree.
  CSQLParserInfo(CNAError* pclError, ISQLParserInformation* piInfo,
                 INAQueryParametersValue* piValues, int bReduced);

  // Drops everything held, then holds the new parsed query (may be null)
  // and parameter values (may be null) and digests the query.
  void Set(ISQLParserInformation* piInfo, INAQueryParametersValue* piValues, int bReduced);

  // ---- CNAParsedQuery
  ISQLParserInformation* piGetParserInformationNoRef() const override { return m_piInfo; }
  const wchar_t* pszGetRequete() override;
  int nGetFichierFromNbr() const override { return m_tabFrom.nGetNbElement(); }
  int nGetRubriqueOUTNbr() const override { return m_tabOut.nGetNbElement(); }
  IInfoRubrique* piGetRubriqueOUT(int n) const override;
  IInfoRubrique* piEnumRubriqueOUT(int bFirst) override;
  IInfoFrom* piEnumFichierFrom(int bFirst) override;
  IInfoOrderBy* piEnumRubriqueClauseOrder(int bFirst) override;
  INAItemDescription* piGetItemDescription(const IInfoRubrique* piColumn) override;
  // The physical name of a logical table name (see the file comment); null
  // when the parser knows none, fails, or gives a name that is refused (then
  // with user error 44 in the error object).
  const wchar_t* pszGetPhysicalName(const wchar_t* pszName) override;
  INADataSourceDescription* piGetNADataSourceDescription(const wchar_t* pszName) override;
  int bHOperationAllowed() override;

  // ---- Enumerators (as piEnumRubriqueOUT)
  CInfoGroupe* piEnumRubriqueClauseGroupe(int bFirst);
  IInfoAffectation* piEnumRubriqueUpdate(int bFirst);
  IInfoInsertion* piEnumRubriqueInsert(int bFirst);

  // ---- Lookups
  eTYPEREQUETE eGetTypeRequete() const { return static_cast<eTYPEREQUETE>(m_nQueryKind); }
  int nGetRubriqueClauseGroupeNbr() const { return m_tabGroupBy.nGetNbElement(); }
  int nGetRubriqueClauseOrderNbr() const { return m_tabOrderBy.nGetNbElement(); }
  // First output column of that name (case and accents ignored); null
  // when none.
  IInfoRubrique* piEnumRubriqueOUT(const wchar_t* pszName);
  // Name of the best column; null when the query has no output column.
  const wchar_t* pszGetBestParseItem();
  // Name of the first ORDER BY item's column; null when none.
  const wchar_t* pszGetOrderByItem();
  IInfoRubrique* piGetBestColumnNoRef() const { return m_piBest; }
  IInfoRubrique* piGetUniqueNotNullColumnNoRef() const { return m_piUniqueNotNull; }
  IInfoRubrique* piGetUniqueColumnNoRef() const { return m_piUnique; }
  IInfoRubrique* piGetKeyColumnNoRef() const { return m_piKey; }
  IInfoRubrique* piGetOrderByColumnNoRef() const { return m_piOrderBy; }
  int bRubriqueUnique(const IInfoRubrique* piColumn);
  int bRubriqueUniqueNotNull(const IInfoRubrique* piColumn);
  int bQueryContainIdAuto();
  static int bQueryContainIdAuto(ISQLParserInformation* piInfo);
  // The parameter values with one reference added; null when none.
  INAQueryParametersValue* piGetUserBindVariable();
  int bHPrepareRequeteCalled();
  // The physical name of the column's table (or alias), or that table text
  // itself when the parser knows none.
  const wchar_t* pszGetPhysicalName(IInfoRubrique* piColumn);
  // Into a string: 1 and the name, or 0 (out emptied) when the parser gives
  // none, fails, or the name is too long. Static form for callers without a
  // digest: it has no error object, so a refusal is not reported.
  static int s_bGetPhysicalName(ISQLParserInformation* piInfo, const wchar_t* pszName,
                                CTString* pOut);
  // The output column of that table (or alias) and name, calculated columns
  // skipped; an empty table matches by name alone. Null when none or when
  // the parser fails.
  IInfoRubrique* piGetInfoRubriqueFromAlias(const wchar_t* pszTable, const wchar_t* pszName);
  // Whether the name is an alias of a FROM table. For a FROM table's own
  // name *ppiOut (when given) receives its description; for a name no FROM
  // table has, the parser's description of that name; an alias leaves it.
  // Descriptions carry one external reference.
  int bIsTableAlias(const wchar_t* pszName, INADataSourceDescription** ppiOut);
  // The record's source query; null without record.
  CNAParsedQuery* pclGetQueryParserInfoNoRef() const;
  void SetRecord(CNARecord* pclRecord);
  CNARecord* pclGetRecordNoRef() const { return m_pclRecord; }
  // Whether the query limits its rows itself (asked once, then cached).
  int bQueryResultsetLimited(CNAConnectionDescription* pclConnection);
  CInfoGroupe* piGetRubriqueClauseGroupe(const CNAColumn* pclColumn);
  IInfoOrderBy* piGetRubriqueClauseOrder(const CNAColumn* pclColumn);
  int bRubriqueSourceIsMemo(const CNAColumn* pclColumn);
  // The database table name of FROM table i; empty when the parser has no
  // description of it or i is out of range.
  CTString csGetFichierFrom_DBTableName(int i);
  IExpOpExpression* piGetConditionWhereNoRef() const { return m_piWhere; }
  IExpOpExpression* piGetConditionHavingNoRef() const { return m_piHaving; }
  CNAError* pclGetErrorNoRef() const { return m_pclError; }

  static int s_bIsFunction(eOPEXPRESSION eOperator);
  static int s_bIsGroupmentColumn(eOPEXPRESSION eOperator);

 protected:
  ~CSQLParserInfo() override;

 private:
  void _Empty();
  void _Digest(int bReduced);
  // User error 44 with the message that names the table whose physical name
  // the parser announced with nLength characters but could not hand over.
  void _RaisePhysicalNameRefused(const wchar_t* pszName, int nLength);
  void _ClassifyColumn(IInfoRubrique* piColumn);
  int _bExpressionIsMemo(IExpOpExpression* piExpression, int nDepth);

  CNAError* m_pclError;
  ISQLParserInformation* m_piInfo = nullptr;
  int m_nQueryKind = 0;
  INAQueryParametersValue* m_piValues = nullptr;
  IInfoRubrique* m_piBest = nullptr;
  IInfoRubrique* m_piUniqueNotNull = nullptr;
  IInfoRubrique* m_piUnique = nullptr;
  IInfoRubrique* m_piKey = nullptr;
  IInfoRubrique* m_piOrderBy = nullptr;
  CRefArray<IInfoFrom> m_tabFrom{10, 30};
  int m_nFromCursor = -1;
  CRefArray<IInfoRubrique> m_tabOut{10, 30};
  int m_nOutCursor = -1;
  int m_bHiddenColumn = 0;
  int m_bGroupingColumn = 0;
  CRefArray<CInfoGroupe> m_tabGroupBy{10, 30};
  int m_nGroupByCursor = -1;
  CRefArray<IInfoOrderBy> m_tabOrderBy{10, 30};
  int m_nOrderByCursor = -1;
  CTTableau<IInfoAffectation*> m_tabUpdate{10, 30};
  int m_nUpdateCursor = -1;
  CTTableau<IInfoInsertion*> m_tabInsert{10, 30};
  int m_nInsertCursor = -1;
  IExpOpExpression* m_piWhere = nullptr;
  IExpOpExpression* m_piHaving = nullptr;
  CNARecord* m_pclRecord = nullptr;
  int m_nResultsetLimited = -1;
  // The last physical name answered by pointer.
  CTString m_strPhysicalName;
};

#endif  // KQ230_SQLBUILDER_PARSED_QUERY_INFO_H_
