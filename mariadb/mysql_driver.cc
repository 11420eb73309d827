// The MariaDB driver object: the generic driver with the back end's
// connection factory, record limit and fatal-error note.
#include "mariadb/mysql_driver.h"

#include "mariadb/mysql_driver_sql.h"
#include "mariadb/mysql_na_statement.h"
#include "statements/statements_data_access_interface.h"

#include <new>

#include "core/mixed_width_concat.h"
#include "driver/connection_description.h"
#include "driver/driver_lock.h"
#include "driver/na_error.h"
#include "items/item_services.h"
#include "kq230/vm_values.h"
#include "items/convert_variant.h"
#include "items/data_source_description.h"
#include "items/column.h"
#include "items/item_description.h"
#include "mariadb/mysql_connection.h"
#include "mariadb/mysql_data_access.h"
#include "mariadb/mysql_data_source_description.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/id_auto.h"
#include "sqlbuilder/parameter.h"
#include "tables/na_data_access.h"
#include "tables/na_table.h"

namespace {

// Debug message: the oldest client library supported, the one loaded.
constexpr unsigned int kMessageClientLibraryFailed = 3355;
constexpr const wchar_t* kOldestClientLibrary = L"3.23.52";
constexpr int64_t kDefaultRecordLimit = 100;
// Sites of user error 14 (file 5): the lock of a table, of a parsed query.
constexpr int kSiteLockTable = 1;
constexpr int kSiteLockQuery = 2;

// The lock on the found connection: outside a transaction the connection's
// hook refuses at once (nothing to open for it); inside one the connection
// is opened when needed (refused when the lost connection ended the
// transaction) and locked.
template <class Lock>
int bLockOn(CNAConnectionDescription* pclConnection, CNAError* pclError, Lock lock) {
  if (pclConnection->_bTransactionOpened() && !pclConnection->bOpen(pclError)) return 0;
  return lock();
}

}  // namespace

CMySQLDriver::CMySQLDriver() {
  _SetDefaultRecordLimit(kDefaultRecordLimit);
  SetItemServices(g_pclGetItemServices());
}

CMySQLDriver::~CMySQLDriver() = default;

CNADriverSQLBase* CMySQLDriver::_pclAllocDriverSQL(CNAError* pclError) {
  return new (std::nothrow) CMySQLDriverSQL(this, pclError);
}

int CMySQLDriver::_bTableExists(int* pbExists, const wchar_t* pszTable,
                                CNAConnectionDescription* pclConnection) {
  *pbExists = 0;
  // Servers before INFORMATION_SCHEMA: the description answers.
  const int nMajor = pclConnection->nGetServerVersionMajor();
  if (nMajor >= 0 && nMajor <= 4)
    return CNADriver::_bTableExists(pbExists, pszTable, pclConnection);
  CNAError* pclError = pclGetCurrentError();
  auto* pclSQL = static_cast<CNADriverSQL*>(pclGetDriverSQL());
  if (pclSQL == nullptr) return CNADriver::_bTableExists(pbExists, pszTable, pclConnection);

  // The names are compared as values, never spliced in as names: each goes
  // through the connection's literal writer, which no quote, backquote,
  // backslash, ";" or "--" in a name can leave.
  CTString csCatalog;
  CTString csDatabase;
  CTString csTable;
  CNAConnectionDescription::DecomposeTableName(&csCatalog, &csDatabase, &csTable,
                                               pszTable != nullptr ? pszTable : L"");
  pclConnection->UnFormatItemName(csDatabase.pszGet(), &csDatabase);
  pclConnection->UnFormatItemName(csTable.pszGet(), &csTable);
  CTStringConcatAW clQuery(kConcatModeWide);
  CTStringConcatAW clLiteral(kConcatModeWide);
  auto bLiteral = [&](const CTString& cs) {
    return pclConnection->_bEscapeString(
        pclError, &clLiteral, VX_PSTRW,
        reinterpret_cast<unsigned char*>(const_cast<wchar_t*>(cs.pszGet())),
        static_cast<unsigned int>(cs.nTaille()) * sizeof(wchar_t));
  };
  clQuery.Add(L"SELECT 1 FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = ");
  if (csDatabase.nTaille() == 0) {
    clQuery.Add(L"SCHEMA()");
  } else {
    if (!bLiteral(csDatabase)) return 0;
    clQuery.Add(clLiteral.pszGetW());
  }
  clQuery.Add(L" AND TABLE_NAME = ");
  if (!bLiteral(csTable)) return 0;
  clQuery.Add(clLiteral.pszGetW());
  clQuery.Add(L" LIMIT 1");
  if (clQuery.bEchec() || clLiteral.bEchec()) {
    if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  CNAStatementSQL* pclStatement = nullptr;
  int bResult = pclSQL->bExecute(pclError, &pclStatement, pclConnection, clQuery.pszGetW(),
                                 nullptr, 0);
  if (!bResult || pclStatement == nullptr) return bResult;
  bResult = pclStatement->bFetch(0);
  if (bResult && !pclStatement->bIsEndOfData()) *pbExists = 1;
  pclStatement->bReset();
  pclStatement->nRelease();
  if (!bResult) *pbExists = 0;
  return bResult;
}

void* CMySQLDriver::pclAllocStatement(CNADataAccessBase* pclAccess, CNAConnectionDescription*,
                                      CNAError* pclError) const {
  auto* pclOwner = dynamic_cast<CNAStatementsDataAccess*>(pclAccess);
  if (pclOwner == nullptr) return nullptr;
  return static_cast<CNAStatement*>(new (std::nothrow) CMySQLStatement(pclOwner, pclError));
}

void CMySQLDriver::OnFatalErrorAddDebugMessage(CNAError* pclError,
                                               CNAConnectionDescription* pclConnection) {
  if (pclError == nullptr) return;
  const wchar_t* pszLoaded =
      pclConnection != nullptr ? CNAConnectionDescription::m_csClientVersion.pszGet() : L"";
  pclError->AddDebugMessage(kMessageClientLibraryFailed, kOldestClientLibrary, pszLoaded);
}

CNAConnectionDescription* CMySQLDriver::_pclAllocConnectionDescription(
    const wchar_t* pszIdentification, INAConnectionDescription* piHost) {
  if (piHost == nullptr) return nullptr;
  return new (std::nothrow) CMySQLConnection(pszIdentification, piHost);
}

CNATableBase* CMySQLDriver::_pclAllocTable(const wchar_t* pszIdentification,
                                           INADataSourceDescription* piSource,
                                           CNAConnectionDescription* pclConnection,
                                           CNAError* pclError) {
  return new (std::nothrow) CNATable(pszIdentification, piSource, pclConnection, pclError);
}

CNADataAccessBase* CMySQLDriver::pclAllocDataAccess(INADataSourceDescription* piSource,
                                                    CNAConnectionDescription* pclConnection,
                                                    CNAError* pclError) const {
  return new (std::nothrow) CMySQLDataAccess(piSource, pclConnection, pclError);
}

void* CMySQLDriver::pclAllocVariant(CNAError* pclError, CNAConnectionDescription* pclConnection) {
  if (pclError == nullptr) pclError = pclGetCurrentError();
  auto* p = new (std::nothrow) CNAConvertVariant(pclError, pclConnection);
  if (p == nullptr && pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
  return p;
}

void* CMySQLDriver::pclAllocDataSourceDescription(CNAConnectionDescription* pclConnection,
                                                  CNAError* pclError) const {
  // Handed over as the base class the callers cast the answer back to.
  CNADataSourceDescription* pclSource =
      new (std::nothrow) CMySQLDataSourceDescription(pclConnection, pclError);
  return pclSource;
}

INADataSourceDescription* CMySQLDriver::_piReadTableDesc(const wchar_t* pszTable,
                                                         CNAConnectionDescription* pclConnection) {
  CNAError* pclError = pclGetCurrentError();
  auto* pclSource = static_cast<CNADataSourceDescription*>(
      pclAllocDataSourceDescription(pclConnection, pclError));
  if (pclSource == nullptr) {
    if (pclError != nullptr) pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  pclSource->AddRef();
  if (!pclSource->bInitDataSourceDescriptionFromDB(pszTable, 0)) {
    pclSource->nRelease();
    return nullptr;
  }
  pclSource->ExternalAddRef();
  pclSource->nRelease();
  return pclSource;
}

void* CMySQLDriver::pclAllocItemDescription() {
  return new (std::nothrow) CNAItemDescription();
}

void* CMySQLDriver::pclAllocColumn(CNAError* pclError, void* piItem) const {
  auto* piDescription = static_cast<INAItemDescription*>(piItem);
  if (piDescription == nullptr) return nullptr;
  const int eType = piDescription->eNAGetItemType();
  if (eType < 1 || eType > 31 || eType == 8) return nullptr;
  return new (std::nothrow) CNASQLColumn(pclError, piDescription);
}

void* CMySQLDriver::pclAllocCommand(CNAError* pclError,
                                    CNAConnectionDescription* pclConnection) const {
  if (pclConnection == nullptr) return nullptr;
  return new (std::nothrow) CNACommand(pclError, pclConnection);
}

void* CMySQLDriver::pclAllocIDAuto() { return new (std::nothrow) CNAIDAuto; }

void* CMySQLDriver::pclAllocParameter(void* pclVariant, unsigned int nIndex, unsigned int nFlags,
                                      const wchar_t* pszName) {
  return new (std::nothrow)
      CNAParameter(static_cast<CNAConvertVariant*>(pclVariant), nIndex, nFlags, pszName);
}

int CMySQLDriver::g_NATermModule() {
  CMySQLConnection::g_TermNativeLibrary();
  return CNADriver::g_NATermModule();
}

int CMySQLDriver::bSQLBloqueTable(INAConnectionDescription* piConnection,
                                  const wchar_t* pszTable) {
  CNADriverLockFrame clFrame;
  CNAError* pclError = pclGetCurrentError();
  if (pclError != nullptr) pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclFindConnection(piConnection);
  if (pclConnection == nullptr) return _nConnectionNotRegistered(piConnection, kSiteLockTable);
  const int bResult = bLockOn(pclConnection, pclError,
                              [&] { return pclConnection->bSQLBloque(pclError, pszTable); });
  pclConnection->nRelease();
  return bResult;
}

int CMySQLDriver::bSQLBloqueRequete(INAConnectionDescription* piConnection,
                                    ISQLParserInformation* piParsed) {
  CNADriverLockFrame clFrame;
  CNAError* pclError = pclGetCurrentError();
  if (pclError != nullptr) pclError->Reset();
  CNAConnectionDescription* pclConnection = _pclFindConnection(piConnection);
  if (pclConnection == nullptr) return _nConnectionNotRegistered(piConnection, kSiteLockQuery);
  const int bResult = bLockOn(pclConnection, pclError,
                              [&] { return pclConnection->bSQLBloque(pclError, piParsed); });
  pclConnection->nRelease();
  return bResult;
}
