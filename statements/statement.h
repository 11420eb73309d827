// CNAStatement: the statement of a data access: it holds the data access's
// record and hands the cells of its current row to the record's columns.
// The items reach it through CNAStatementBase (items/statement_interface.h).
//
// So far it holds what the columns call: the record, the bind and define
// flags, and the current row as the client library delivered it (8-bit
// cells of the connection's code page, a null cell for SQL NULL), which the
// code that fetched the row hands over with SetCurrentRow. Running its SQL,
// fetching, searching and filtering come with the data access's reads.
//
// Ownership: counted (CInterf, born at 0). One reference on its connection
// and on its error object, and on its current command, search and filter;
// the record is not counted (the data access owns both). The cells are
// copied.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_STATEMENTS_STATEMENT_H_
#define KQ230_STATEMENTS_STATEMENT_H_

#include "core/wide_string.h"
#include "driver/reference_counted.h"
#include "items/statement_interface.h"

class CNAColumn;
class CNACommand;
class CNAConnectionDescription;
class CNAError;
class CNAFilter;
class CNARecherche;
class CNARecordValueBase;
class CSQLParserInfo;
template <class T>
class CNARefArray;
template <class T>
class CTTableau;

class CNAStatement : public CNAStatementBase {
 public:
  // User errors of its cell reads: no current row, no such column.
  static constexpr unsigned int kErrNoCurrentRow = 7;
  static constexpr unsigned int kErrNoSuchColumn = 50;

  CNAStatement(CNAConnectionDescription* pclConnection, CNAError* pclError);
  ~CNAStatement() override;
  CNAStatement(const CNAStatement&) = delete;
  CNAStatement& operator=(const CNAStatement&) = delete;

  // ---- CNAStatementBase
  // The cell as database text of the connection's code page
  // (CNAConvertVariant::bSetValueDB); a null cell makes the holder NULL.
  int bGetSQLColumnValue(CNAConvertVariant* pclValue, unsigned int nColumn) override;
  unsigned int nGetBindDefineFlag() const override { return m_nBindDefineFlag; }
  CNARecord* pclGetRecordNoRef() const override { return m_pclRecord; }

  void SetRecord(CNARecord* pclRecord) { m_pclRecord = pclRecord; }
  void SetBindDefineFlag(unsigned int nFlags) { m_nBindDefineFlag = nFlags; }
  // The row just fetched: nCount cells (apCells[i] null for SQL NULL) of
  // anLengths[i] bytes in code page nCodePage. 0 (the row forgotten) when
  // memory runs out.
  int SetCurrentRow(const char* const* apCells, const unsigned long* anLengths, int nCount,
                    unsigned int nCodePage);
  // No current row (the end of the rows).
  void ClearCurrentRow();
  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
  CNAError* pclGetError() const { return m_pclError; }

  // ---- The browse's SELECT and its ORDER BY (statement_select.cc)
  // The statement writes the SELECT of a browse on its record's table into a
  // command: the select list, " FROM " and the data access's table text, the
  // WHERE of a search or filter, and an ORDER BY on the browse item
  // completed with the record's order columns until no two rows can tie, so
  // that a browse cut into windows and continued from its last row neither
  // skips nor repeats one. The data access then sets the row limit and start
  // offset on the same command.

  // User error of an unknown browse item.
  static constexpr unsigned int kErrUnknownItem = 6;
  // Options: complete the ORDER BY to a unique order on an ascending (bit 0)
  // and on a descending (bit 1) browse. Both are set at construction.
  static constexpr unsigned int kOptionUniqueOrderAscending = 0x1;
  static constexpr unsigned int kOptionUniqueOrderDescending = 0x2;
  // Read flags that act on the ORDER BY: keep a query's own order; write no
  // completion to a unique order.
  static constexpr unsigned int kReadKeepQueryOrder = 0x20000;
  static constexpr unsigned int kReadNoUniqueOrder = 0x100000;

  // Makes pclCommand the statement's current command (one reference) and
  // writes into it "SELECT " (no DISTINCT on a table), the record's select
  // list, then _bBuildQuerySELECTFromTable. pszItem (null or empty: no
  // ORDER BY) is the browse item's name; pclWhere (may be null) a condition
  // from bGetClauseWHERE. A query data access is refused (user error 8): its
  // form is not built yet. 1, or 0 with the error in the statement's error
  // object; the command then holds what was written before the failure.
  // REQUIRES: pclCommand non-null, on the statement's connection.
  virtual int bBuildQuerySELECT(CNACommand* pclCommand, unsigned int nFlags,
                                const wchar_t* pszItem, int bAscending, CNACommand* pclWhere);
  // Writes into pclCommand the condition of the active search joined with
  // the active filter's; without either, 1 and nothing written.
  virtual int bGetClauseWHERE(CNACommand* pclCommand);
  // A new search of the statement's connection (count 0); null when memory
  // runs out.
  virtual CNARecherche* pclAllocRecherche();
  // The text of one ORDER BY item into *pOut: with bFormatedNames the
  // column's formatted name; else its position in the select list (from 1)
  // when the connection sorts by position and the column is selected; else
  // its formatted select name. 0 when no text can be had.
  virtual int _FormatItemORDERBY(CNACommand* pclCommand, CNAColumn* pclColumn,
                                 int bFormatedNames, CTString* pOut);

  // The part after the select list: query kind SELECT, " FROM " and the
  // table text, the connection's record-lock hint, " WHERE " and pclWhere's
  // text and parameters (with its NULL selection), then, with bOrderBy, the
  // ORDER BY.
  int _bBuildQuerySELECTFromTable(CNACommand* pclCommand, unsigned int nFlags,
                                  const wchar_t* pszItem, int bAscending, CNACommand* pclWhere,
                                  int bOrderBy);
  // The ORDER BY of the browse item and the command's inverted-order flag
  // (set when the rows come sorted descending). An item the record does not
  // hold is user error 6.
  int _bFormatOrderBy(CNACommand* pclCommand, int bOnTable, CSQLParserInfo* pclInfo,
                      unsigned int nFlags, const wchar_t* pszItem, int bAscending,
                      int bFormatedNames);
  // Writes "\r\nORDER BY " and the list: the column (a composed key: its
  // components), then the completion to a unique order. pclColumn may be
  // null (the completion alone). Nothing at all when no item is left.
  int _FormatORDERBYList(CNACommand* pclCommand, CNAColumn* pclColumn, int bAscending,
                         CSQLParserInfo* pclInfo, int bFormatedNames, unsigned int nFlags);
  // Closes a sub-query: ")" and, for the server kinds 2, 4 and 7,
  // " KQ_SUBQUERY".
  int _bCloseSubQuery(CNACommand* pclCommand);
  // Whether the SELECT of a table says DISTINCT: never.
  int _bAddDistinct(unsigned int nFlags) const;
  // The condition that finds the row this statement read last again, after
  // " WHERE " when bAddWhere: the row as read is put in the record for the
  // time of the writing, then the record's current values come back. A row
  // never read is user error 7. pTabColumns (may be null) replaces the
  // record's order columns. Identifiers here are never of the row-id kind.
  int _bAddWHERELatestRead(CNACommand* pclCommand, int bAddWhere,
                           const CNARefArray<CNAColumn>* pTabColumns);
  // The condition that finds the record's current row: a search positioned
  // on the record (its unique key) writes it with its parameters. A row no
  // condition can tell (no unique key with a value) is user error 8: an
  // empty condition would find every row.
  int _bAddWHERECurrentRecord(CNACommand* pclCommand, int bAddWhere,
                              const CNARefArray<CNAColumn>* pTabColumns);

  unsigned int nGetOptions() const { return m_nOptions; }
  void SetOptions(unsigned int nOptions) { m_nOptions = nOptions; }
  // The current command; null before the first SELECT was built.
  CNACommand* pclGetCommandNoRef() const;
  // The search and the filter that bGetClauseWHERE writes (one reference
  // each; null: none). The filter counts only while active.
  void SetRecherche(CNARecherche* pclSearch);
  CNARecherche* pclGetRechercheNoRef() const;
  void SetFilter(CNAFilter* pclFilter);
  CNAFilter* pclGetFilterNoRef() const;
  // The row as this statement read it last (one reference; null: none
  // read yet).
  void SetOriginalRecordValue(CNARecordValueBase* pclValue);
  CNARecordValueBase* pclGetOriginalRecordValueNoRef() const;

 private:
  // One item of an ORDER BY being written.
  struct stOrderItem {
    CNAColumn* pclColumn;  // the record's (the record keeps it alive)
    int bAscending;
  };
  // Appends the column unless the list holds it already (same source and
  // column names) or it is a memo the connection cannot sort on; then tells
  // whether the list now orders the rows uniquely. 0 when memory runs out.
  int _bAddOrderItem(CNACommand* pclCommand, CTTableau<stOrderItem>* pTabItems,
                     CNAColumn* pclColumn, int bAscending, int* pbUnique);
  int _nRaiseSelect(int nSite, unsigned int nCode, const wchar_t* pszItem);

  struct stCell {
    char* pText;  // null: SQL NULL
    unsigned int nLength;
  };

  CNAConnectionDescription* m_pclConnection;
  CNAError* m_pclError;
  CNARecord* m_pclRecord = nullptr;
  unsigned int m_nBindDefineFlag = 0;
  stCell* m_pCells = nullptr;
  int m_nCells = -1;  // -1: no current row
  unsigned int m_nCodePage = 0;

  // ---- The browse's SELECT (statement_select.cc)
  unsigned int m_nOptions = kOptionUniqueOrderAscending | kOptionUniqueOrderDescending;
  // Held as CInterf so that this header needs only their declarations.
  CInterfRef<CInterf> m_refCommand;
  CInterfRef<CInterf> m_refRecherche;
  CInterfRef<CInterf> m_refFilter;
  CInterfRef<CInterf> m_refOriginalValue;
};

#endif  // KQ230_STATEMENTS_STATEMENT_H_
