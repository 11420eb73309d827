// CMySQLDriver: the MariaDB/MySQL driver object, the one that piQueryInterface
// hands to the server. It specialises the generic driver (driver/na_driver.h)
// through its factories: connections are CMySQLConnection objects, table
// objects CNATable and data accesses CNADataAccess (tables/); browsing
// SELECTs get a default record limit of 100; value holders, item and
// data-source descriptions are the item layer's. The factories of later
// layers (statements, the handle-level SQL interface) are placeholders that
// answer null until those layers exist.
//
// Ownership and threads: those of CNADriver; the static g_NATermModule runs
// once, from the library's last termination, under the driver lock.
#ifndef KQ230_MARIADB_MYSQL_DRIVER_H_
#define KQ230_MARIADB_MYSQL_DRIVER_H_

#include "driver/na_driver.h"

class CNAConnectionDescription;
class CNAError;
class INAConnectionDescription;

class CMySQLDriver : public CNADriver {
 public:
  // Default record limit 100.
  CMySQLDriver();
  ~CMySQLDriver() override;

  // Adds debug message 3355 to the error with the inserts "3.23.52" (the
  // oldest client library supported) and the loaded library's version (empty
  // when none is loaded); nothing for a null error.
  void OnFatalErrorAddDebugMessage(CNAError* pclError,
                                   CNAConnectionDescription* pclConnection) override;

  // A new CMySQLConnection for the identification and the server's
  // description, with no reference taken yet; null when memory runs out.
  CNAConnectionDescription* _pclAllocConnectionDescription(
      const wchar_t* pszIdentification, INAConnectionDescription* piHost) override;

  // A new CNATable (tables/na_table.h) with no reference taken; null when
  // memory runs out.
  CNATableBase* _pclAllocTable(const wchar_t* pszIdentification,
                               INADataSourceDescription* piSource,
                               CNAConnectionDescription* pclConnection,
                               CNAError* pclError) override;
  // A new CNADataAccess (tables/na_data_access.h) with no reference taken;
  // null when memory runs out.
  CNADataAccessBase* pclAllocDataAccess(INADataSourceDescription* piSource,
                                        CNAConnectionDescription* pclConnection,
                                        CNAError* pclError) const override;

  // The item layer's objects, each answered as void* (the driver core
  // cannot name their classes) with no reference taken, null when memory
  // runs out:
  // a CNAConvertVariant (items/convert_variant.h) on the error (the current
  // error when null; that error gets the out-of-memory error on failure) and
  // the connection;
  void* pclAllocVariant(CNAError* pclError, CNAConnectionDescription* pclConnection) override;
  // a CMySQLDataSourceDescription (mariadb/mysql_data_source_description.h)
  // on the connection and error;
  void* pclAllocDataSourceDescription(CNAConnectionDescription* pclConnection,
                                      CNAError* pclError) const override;
  // The table's description read from the server by a
  // CMySQLDataSourceDescription, one external reference; null with the
  // current error when it cannot be read (a missing table: the server's
  // 1146).
  INADataSourceDescription* _piReadTableDesc(const wchar_t* pszTable,
                                             CNAConnectionDescription* pclConnection) override;
  // a CNAItemDescription (items/item_description.h).
  void* pclAllocItemDescription() override;
  // a CNASQLColumn (items/column.h) of the item piItem (an
  // INAItemDescription*) on the error, for the item types 1 to 31 but 8;
  // null for any other type.
  void* pclAllocColumn(CNAError* pclError, void* piItem) const override;
  // The SQL builder's objects, likewise: a CNACommand (sqlbuilder/command.h)
  // on the error and connection (null without a connection);
  void* pclAllocCommand(CNAError* pclError, CNAConnectionDescription* pclConnection) const override;
  // a CNAParameter (sqlbuilder/parameter.h) holding pclVariant, a
  // CNAConvertVariant (counted by the parameter), at the position, with the
  // flags and the name.
  // The handle-level SQL interface: a CMySQLDriverSQL on the error (counts
  // 0); null when memory runs out.
  CNADriverSQLBase* _pclAllocDriverSQL(CNAError* pclError) override;
  // One existence query (INFORMATION_SCHEMA.TABLES) for the database and
  // table of DecomposeTableName (the current database when none), both
  // written as escaped literals (the connection's literal writer: quotes
  // doubled, a name with a backslash or a zero as a hexadecimal literal);
  // no description is built. Found: 1; not found: 0; the result 1 unless
  // the query failed. A server before INFORMATION_SCHEMA (major version 4
  // or lower) answers through the table's description instead.
  int _bTableExists(int* pbExists, const wchar_t* pszTable,
                    CNAConnectionDescription* pclConnection) override;
  // A CMySQLStatement (statements of data accesses; count 0) for a data
  // access of this back end; null for another or when memory runs out.
  void* pclAllocStatement(CNADataAccessBase* pclAccess, CNAConnectionDescription* pclConnection,
                          CNAError* pclError) const override;
  void* pclAllocParameter(void* pclVariant, unsigned int nIndex, unsigned int nFlags,
                          const wchar_t* pszName) override;
  // a CNAIDAuto (sqlbuilder/id_auto.h), the automatic identifier's values.
  void* pclAllocIDAuto() override;

  // Locks a table (bSQLBloqueTable) or the tables of a parsed query
  // (bSQLBloqueRequete) on a registered connection until its transaction
  // ends. Unregistered connection: user error 14 (sites 1 and 2). Outside a
  // transaction: user error 29 (the table named), and the connection is not
  // opened for it. Otherwise the connection is opened when needed and its
  // bSQLBloque runs (mariadb/mysql_connection.h).
  int bSQLBloqueTable(INAConnectionDescription* piConnection, const wchar_t* pszTable) override;
  int bSQLBloqueRequete(INAConnectionDescription* piConnection,
                        ISQLParserInformation* piParsed) override;

  // Ends the back end's use of the client library
  // (CMySQLConnection::g_TermNativeLibrary), then the generic driver's
  // termination; answers the latter's result.
  static int g_NATermModule();
};

#endif  // KQ230_MARIADB_MYSQL_DRIVER_H_
