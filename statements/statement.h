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
// and on its error object; the record is not counted (the data access owns
// both). The cells are copied.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_STATEMENTS_STATEMENT_H_
#define KQ230_STATEMENTS_STATEMENT_H_

#include "items/statement_interface.h"

class CNAConnectionDescription;
class CNAError;

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

 private:
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
};

#endif  // KQ230_STATEMENTS_STATEMENT_H_
