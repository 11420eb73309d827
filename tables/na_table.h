// CNATable: the table object that the server holds (as INATable) for one
// database table, or for the kept result of one query. The driver makes it
// through its table factory and keeps it in its table of table objects under
// its identification ("Table=%s;%s" for a table shared by all contexts,
// "CTX=%u;Table=%s;%s" for a query result private to one context).
//
// What is here: the two counts, the identification, the connection, the
// error, the data-source description, and the two notifications of the
// connection's transaction (only counted). The record commands, closing,
// lock modes, deleting the table and running queries come with the browse
// and query layers: until then bHFerme, bHMode, bSupprimeFichier and
// bExecuteQuery fail with user error 8 ("not built yet") in the table's
// error. Tests and later layers derive from it to replace them.
//
// Counts: the internal one is the driver's (its table of table objects holds
// one, each running operation one more), the external one the server's. The
// object dies when both are 0. The server's last release while only the
// driver's table still holds it unregisters it through the driver
// (CNADriver::nReleaseTable), which destroys it. The server may release it
// after the driver object is gone: then nothing is asked of the driver.
//
// Ownership: one reference on its connection (given back through the driver
// so that a closed connection that only the table kept alive is closed), one
// on the error (the driver's current error when the driver made it), one
// external reference on the description.
// Threads: the server's operations take the driver lock; AddRef and nRelease
// take none (the driver calls them under its lock).
#ifndef KQ230_TABLES_NA_TABLE_H_
#define KQ230_TABLES_NA_TABLE_H_

#include "core/wide_string.h"
#include "driver/table_interface.h"

class INADataSourceDescription;

class CNATable : public CNATableBase {
 public:
  // The error file number of the table's debug lines.
  static constexpr int kErrorFile = 6;

  // Both counts 0. Takes one reference on the connection and on the error
  // (either may be null) and an external one on the description (null for a
  // query table).
  CNATable(const wchar_t* pszIdentification, INADataSourceDescription* piSource,
           CNAConnectionDescription* pclConnection, CNAError* pclError);
  CNATable(const CNATable&) = delete;
  CNATable& operator=(const CNATable&) = delete;

  // ---- INATable
  int nGetVersion() override { return 11; }
  int nGetCompatSince() override { return 8; }
  // Under the driver lock: one more external reference.
  void ExternalAddRef() override;
  // Under the driver lock: one external reference less (nothing below 0;
  // answers 0 then). At 0 with only the driver's table holding it, it is
  // unregistered and destroyed (0); at 0 with no holder at all it is
  // destroyed. Otherwise the new external count.
  int nExternalRelease() override;

  // ---- CNATableBase
  void AddRef() override { ++m_nInternalCount; }
  // One internal reference less (nothing below 0). At 0 with no external
  // reference the object is destroyed. The new internal count.
  int nRelease() override;
  const wchar_t* pszGetIdentification() override { return m_csIdentification.pszGet(); }
  CNAConnectionDescription* pclGetConnection() override { return m_pclConnection; }
  CNAError* pclGetError() override { return m_pclError; }
  // The description's logical name, "" without a description.
  const wchar_t* pszGetLogicalName() override;
  // No parameter set is kept yet: 0.
  int bQueryPrepared() override { return 0; }
  // Not built yet: user error 8 in the table's error; 0.
  int bHFerme(INAContext* piContext) override;
  int bHMode(INAContext* piContext, _eNA_HMODE eMode) override;
  int bSupprimeFichier(INAContext* piContext) override;
  int bExecuteQuery(int* pbKept, INAContext* piContext, const wchar_t* pszQuery,
                    ISQLParserInformation* piParsed, unsigned int dwFlags,
                    const INAQueryExecution* piExecution) override;
  // Counted only: the data accesses that would react come later.
  void SetTransactionTermined() override { ++m_nTransactionTerminated; }
  void CancelRecordLock(INAConnectionDescription*, CNATransactionBase*) override {
    ++m_nCancelRecordLock;
  }

  // ---- Read by tests
  int nGetInternalCount() const { return m_nInternalCount; }
  int nGetExternalCount() const { return m_nExternalCount; }
  int nGetTransactionTerminatedCount() const { return m_nTransactionTerminated; }
  int nGetCancelRecordLockCount() const { return m_nCancelRecordLock; }
  INADataSourceDescription* piGetSource() const { return m_piSource; }

 protected:
  ~CNATable() override;
  // The answer of an operation not built yet: user error 8 (type 7, the
  // logical name as table name, file 6, nSite) with the debug text
  // "<pszOperation>: not built yet" in the table's error; 0.
  int _nNotBuiltYet(const wchar_t* pszOperation, int nSite);

 private:
  int m_nInternalCount = 0;
  int m_nExternalCount = 0;
  CNAError* m_pclError;
  CNAConnectionDescription* m_pclConnection;
  INADataSourceDescription* m_piSource;
  CTString m_csIdentification;
  CTString m_csLogicalName;
  int m_nTransactionTerminated = 0;
  int m_nCancelRecordLock = 0;
};

#endif  // KQ230_TABLES_NA_TABLE_H_
