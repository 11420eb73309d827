// CNADataAccess: what one file object of a server context opens on a table
// or a query. Its context (driver/na_context.h) keeps it under the server's
// data identifier; the driver makes it through its data-access factory.
//
// What is here: what a context asks of it: its context, whether it is open,
// closing, the lock mode, its names and its connection. Opening, reading,
// browsing, writing and queries come with the statement layer; until then a
// data access is never open, closing it succeeds with nothing to do, and the
// lock mode is only kept.
//
// Names: the logical name is the description's (or "" without one); the
// database table name is that name formatted for the connection when the
// data access is made; the alias is the context's next logical name when
// the data access joins a context that has one, else the logical name.
//
// Ownership: a CInterf; the context's table holds one reference (the table
// object one more, later). It holds one reference on its connection (given
// back through the driver), one on its error (its context's error for data
// accesses a context made), an external one on the description. The context
// pointer is not counted: the context outlives the data accesses it holds
// and clears it when it lets one go.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_TABLES_NA_DATA_ACCESS_H_
#define KQ230_TABLES_NA_DATA_ACCESS_H_

#include "core/wide_string.h"
#include "driver/data_access_interface.h"

class CNAError;
class INADataSourceDescription;

class CNADataAccess : public CNADataAccessBase {
 public:
  // The description (may be null: a query's data access), the connection and
  // the error (either may be null).
  CNADataAccess(INADataSourceDescription* piSource, CNAConnectionDescription* pclConnection,
                CNAError* pclError);
  ~CNADataAccess() override;
  CNADataAccess(const CNADataAccess&) = delete;
  CNADataAccess& operator=(const CNADataAccess&) = delete;

  // ---- CNADataAccessBase
  // Binds it to its context (null: none) and takes the context's next
  // logical name as its alias when there is one.
  void SetContext(CNAContext* pclContext) override;
  // Nothing opens a data access yet: 0.
  int bIsOpened() override { return m_bOpened; }
  // Nothing to close yet: 1.
  int bHFerme() override;
  // Keeps the mode; 1.
  int bHMode(_eNA_HMODE eMode) override;
  const wchar_t* pszGetLogicalName() override { return m_csLogicalName.pszGet(); }
  const wchar_t* pszGetAliasName() override { return m_csAliasName.pszGet(); }
  const wchar_t* pszGetDBTableName() override { return m_csDBTableName.pszGet(); }
  CNAConnectionDescription* pclGetConnection() override { return m_pclConnection; }

  // ---- Read by tests and the later layers
  CNAContext* pclGetContext() const { return m_pclContext; }
  CNAError* pclGetError() const { return m_pclError; }
  INADataSourceDescription* piGetSource() const { return m_piSource; }
  _eNA_HMODE eGetMode() const { return m_eMode; }

 private:
  CNAError* m_pclError;
  CNAConnectionDescription* m_pclConnection;
  INADataSourceDescription* m_piSource;
  CNAContext* m_pclContext = nullptr;
  int m_bOpened = 0;
  _eNA_HMODE m_eMode = static_cast<_eNA_HMODE>(1);
  CTString m_csLogicalName;
  CTString m_csAliasName;
  CTString m_csDBTableName;
};

#endif  // KQ230_TABLES_NA_DATA_ACCESS_H_
