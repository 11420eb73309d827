// CNADataAccess: a table (or a query's result) as one server context sees
// it. Its context (driver/na_context.h) keeps it under the server's data
// identifier; the driver makes it through its data-access factory. It owns
// the statements that browse the table, one per browse item, and the
// current record they fill; the statements call back into it through
// CNAStatementsDataAccess (statements/statements_data_access_interface.h).
//
// Opening (bHOuvre): the table's description is read from the database and
// must hold every item of the server's description (user error 20 names the
// first missing one); it becomes the imported description, and the record is
// laid out from the server's description with the imported items beside
// them. A failure leaves the data access closed with the error at level 2.
// Closing (bHFerme) closes and lets go of every statement, their caches and
// the record; closing a closed data access does nothing.
//
// Existence (bFichierExiste) asks the server for the table by
// SHOW TABLES LIKE: the name is written as a pattern that matches only
// itself in every sql_mode (see the .cc).
//
// Names: the logical name is the description's (or "" without one); the
// database table name is the description's database name (its logical name
// when it has none) formatted for the connection when the data access is
// made; the alias is the context's next logical name when the data access
// joins a context that has one (again when it opens), else the logical
// name.
//
// Ownership: a CInterf; the context's table holds one reference (the table
// object one more, later). It holds one reference on its connection (given
// back through the driver), one on its error (its context's error for data
// accesses a context made), an external one on the server's description,
// an internal one on the imported description, one on its record and one
// on each statement of its table. Objects answered by the pclAlloc
// operations belong to the caller. The context pointer is not counted: the
// context outlives the data accesses it holds and clears it when it lets
// one go.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_TABLES_NA_DATA_ACCESS_H_
#define KQ230_TABLES_NA_DATA_ACCESS_H_

#include "core/hash_table_bounce.h"
#include "core/wide_string.h"
#include "kq230/connection_description_interface.h"
#include "statements/record_id.h"
#include "statements/statement.h"
#include "statements/statements_data_access_interface.h"

class CNADataSourceDescription;
class CNAError;
class CNARecord;
class INADataSourceDescription;

class CNADataAccess : public CNAStatementsDataAccess {
 public:
  // File number of the data access's errors in their debug line.
  static constexpr int kErrorFile = 23;
  // What the data access cannot do without a connection or a result: user
  // error 8 of the driver's module.
  static constexpr unsigned int kErrNotOffered = 8;
  // The error level of a failed opening.
  static constexpr int kOpenFailureLevel = 2;

  // The description (may be null: a query's data access), the connection and
  // the error (either may be null).
  CNADataAccess(INADataSourceDescription* piSource, CNAConnectionDescription* pclConnection,
                CNAError* pclError);
  // Closes (bHFerme), then lets go of everything it holds.
  ~CNADataAccess() override;
  CNADataAccess(const CNADataAccess&) = delete;
  CNADataAccess& operator=(const CNADataAccess&) = delete;

  // ---- CNADataAccessBase
  // Binds it to its context (null: none) and takes the context's next
  // logical name as its alias when there is one.
  void SetContext(CNAContext* pclContext) override;
  int bIsOpened() override { return m_bOpened; }
  // Closes every statement (its result and cache), lets them go, and drops
  // the record and the imported description. Not opened afterwards; 1, also
  // when it was not open.
  int bHFerme() override;
  // Keeps the mode; 1.
  int bHMode(_eNA_HMODE eMode) override;
  const wchar_t* pszGetLogicalName() override { return m_csLogicalName.pszGet(); }
  const wchar_t* pszGetAliasName() override { return m_csAliasName.pszGet(); }
  const wchar_t* pszGetDBTableName() override { return m_csDBTableName.pszGet(); }
  CNAConnectionDescription* pclGetConnection() override { return m_pclConnection; }

  // ---- CNAItemsDataAccess
  // A table's data access: 0.
  int bSourceIsQuery() const override { return 0; }
  CNAParsedQuery* pclGetSourceQueryNoRef() const override { return nullptr; }
  // A CNAZBRecord laid out for the description; over the server's own
  // description always zeroed (its items are never asked a default).
  CNAZBRecordBase* pclAllocZBRecord(CNAError* pclError, INADataSourceDescription* piSource,
                                    eINITTYPE eInit) override;
  // A CNARecordValue without buffer.
  CNARecordValueBase* pclAllocRecordValue(CNAError* pclError) override;
  // An empty CNARecordId of the record-values kind (MariaDB has no row
  // identifier); null when memory runs out.
  CNARecordIdBase* pclAllocRecordID(const CNARecordValueBase* pclValue) override;

  // ---- CNAStatementsDataAccess
  // The server's description, else the imported one.
  INADataSourceDescription* piGetDataSourceNoRef() const override;
  CNARecord* pclGetRecordNoRef() const override { return m_pclRecord; }
  int bHasDataSourceDescription() const override { return piGetDataSourceNoRef() != nullptr; }
  // A data access with a description has nothing to import: 1. Otherwise the
  // imported description is made from the columns of the statement's
  // result (its logical name the data access's); 0 with the error when the
  // statement has no result or memory runs out.
  int bInitImportedDataSourceDesc(CNAStatement* pclStatement) override;
  // The current statement closing its result stays current (its item is
  // still browsed); nothing else derives from it yet.
  void ClosingStatement(CNAStatement* pclStatement) override;
  // Nothing derives from the record yet: 1.
  int bOnRecordRefreshed(CNAStatement* pclStatement) override;
  void RaiseLongestRow(int nBytes) override {
    if (nBytes > m_nLongestRow) m_nLongestRow = nBytes;
  }
  unsigned int nGetUserCode() const override { return m_nUserCode; }

  // ---- Opening, closing, existence
  // Opens the table for the context with the access the server asks
  // (pszName, the name the server opens it under, is kept; may be null).
  // An open data access answers 1 at once. 1, or 0 with the error (level 2).
  virtual int bHOuvre(_eNA_ACCESS eAccess, const wchar_t* pszName);
  // Whether the table pszName exists on the connection's database, into
  // *pbExists. 1, or 0 with the server's error (*pbExists then 0).
  // REQUIRES: pbExists non-null.
  virtual int bFichierExiste(const wchar_t* pszName, int* pbExists);
  // Whether counting the rows needs a browse of them. Base: 1.
  virtual int bNbEnrNeedParse() { return 1; }
  // The description of table pszName read from the database, with one
  // (internal) reference for the caller; null with the error. The connection
  // is opened first when it is not open.
  virtual CNADataSourceDescription* pclGetDataSourceDescriptionFromDB(const wchar_t* pszName);
  // Makes the current record: laid out from the server's description with
  // the imported items and the connection, and the record identifier's
  // layout chosen for it. 1, or 0 with the error (no record then).
  virtual int _bInitCurrentRecord();
  // The imported description (one internal reference taken; null: none).
  virtual void _SetImportedDataSourceDesc(CNADataSourceDescription* pclImported);
  // A new statement of this data access on its error (count 0): the
  // driver's (pclAllocStatement) when it makes one, else the generic one;
  // null when memory runs out.
  virtual CNAStatement* _pclAllocStatement();
  // A new record of this data access (count 0); null when memory runs out.
  virtual CNARecord* _pclAllocRecord();

  // ---- Statements by browse item (names compared without regard to case)
  // The statement of the item; null when it has none.
  CNAStatement* pclGetItemStatementNoRef(const wchar_t* pszItem) const;
  // The statement of the item, made and entered in the table when it has
  // none (it becomes the current statement). Null with the error when it
  // cannot be made.
  CNAStatement* _pclInitStatement(const wchar_t* pszItem);
  int nGetStatementCount() const { return static_cast<int>(m_tabStatements.dwGetNumElement()); }
  CNAStatement* pclGetCurrentStatementNoRef() const { return m_pclCurrentStatement; }

  // ---- Read by tests and the later layers
  CNAContext* pclGetContext() const { return m_pclContext; }
  CNAError* pclGetError() const { return m_pclError; }
  INADataSourceDescription* piGetSource() const { return m_piSource; }
  CNADataSourceDescription* pclGetImportedNoRef() const { return m_pclImported; }
  const CNARecordIdLayout* pclGetRecordIdLayout() const { return &m_clRecordIdLayout; }
  _eNA_HMODE eGetMode() const { return m_eMode; }
  _eNA_ACCESS eGetAccess() const { return m_eAccess; }
  int nGetLongestRow() const { return m_nLongestRow; }
  void SetUserCode(unsigned int nCode) { m_nUserCode = nCode; }

 protected:
  // Every item of the server's description must exist in the database's
  // description; that description becomes the imported one. 1, or 0 with
  // the error (20 for an item the table lacks).
  int _bCheckCompatibility();
  // Closes, detaches and releases every statement.
  void _CloseStatements();
  // The name the database knows the table by: the description's database
  // name, else its logical name.
  const wchar_t* _pszGetRawTableName() const;
  int _nRaise(int nSite, unsigned int nCode, const wchar_t* pszItem);

 private:
  void _ReleaseRecord();

  CNAError* m_pclError;
  CNARecord* m_pclRecord = nullptr;
  CNAConnectionDescription* m_pclConnection;
  INADataSourceDescription* m_piSource;
  CNADataSourceDescription* m_pclImported = nullptr;
  int m_bOpened = 0;
  CRefStringHashTable<CNAStatement*> m_tabStatements{7};
  // One of the table's statements (not counted again).
  CNAStatement* m_pclCurrentStatement = nullptr;
  CTString m_csDBTableName;
  CNAContext* m_pclContext = nullptr;
  unsigned int m_nUserCode = 0;
  _eNA_HMODE m_eMode = static_cast<_eNA_HMODE>(1);
  _eNA_ACCESS m_eAccess = static_cast<_eNA_ACCESS>(0);
  int m_nLongestRow = 0;
  CTString m_csLogicalName;
  CTString m_csAliasName;
  CTString m_csOpenName;
  CNARecordIdLayout m_clRecordIdLayout;
};

#endif  // KQ230_TABLES_NA_DATA_ACCESS_H_
