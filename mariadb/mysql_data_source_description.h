// CMySQLDataSourceDescription: the MariaDB/MySQL form of the data-source
// description. When a table is described from the server, the generic
// description (items/data_source_description.h) asks it for two schema
// queries and hands each one's rows back to it: the column query gives one
// item per column (type, size, NULL rule, default, generated-column
// expression, auto-increment identifier), the index query the key words of
// the items and one composite item per key of several columns.
//
// Column query: the catalogue (INFORMATION_SCHEMA.COLUMNS) on MySQL 5.7.6
// and later and on MariaDB 10.2.7 and later, whose catalogue gives the
// generation expression and tells a NULL default from the text 'NULL' (its
// defaults are SQL literals: quoted texts are unquoted here); "SHOW FULL
// COLUMNS" (4.1 and later) or "SHOW COLUMNS" before. The table and database
// names are written into the catalogue query as the connection's literals,
// which read alike whatever the session's sql_mode: a name with a quote or a
// backslash cannot end the literal early. The catalogue has no row for a
// missing table; the server's own error (1146) is then the description's.
//
// Key words (CNAItemDescription::kKey*): 0x8800 primary, 0x4800 unique,
// 0x2800 with duplicates, plus 0x1000 on a composite key item. A column in
// several indexes keeps its strongest key (primary, then unique, then
// duplicates), whatever order the server lists the indexes in. Index rows
// without a column name (an index over an expression) are skipped. A
// composite key item refuses NULL when all its columns do.
//
// Generated columns: "VIRTUAL" in the column's extra text makes a virtual
// computed item, "STORED GENERATED" or "PERSISTENT" (MariaDB's other name
// for it) a stored one.
//
// Ownership: that of the base; no fields of its own.
// REQUIRES: the connection is a CMySQLConnection, or null (the driver's
// factory makes this description for its own connections only).
// Threads: none; used under the driver lock.
#ifndef KQ230_MARIADB_MYSQL_DATA_SOURCE_DESCRIPTION_H_
#define KQ230_MARIADB_MYSQL_DATA_SOURCE_DESCRIPTION_H_

#include "items/data_source_description.h"

class CAny;
class CMySQLConnection;
class CMySQLStatementSQL;
class CTString;

class CMySQLDataSourceDescription : public CNADataSourceDescription {
 public:
  // File number of the description's debug lines.
  static constexpr int kFile = 103;
  // The client library's field flags read by s_nKeyType(flags).
  static constexpr unsigned int kFieldPrimary = 0x2;
  static constexpr unsigned int kFieldUnique = 0x4;
  static constexpr unsigned int kFieldMultiple = 0x8;

  // Counts on both taken, as the base does.
  CMySQLDataSourceDescription(CNAConnectionDescription* pclConnection, CNAError* pclError);

 protected:
  ~CMySQLDataSourceDescription() override;

 public:
  // ---- The generic description's hooks
  // The column query into *pclQuery; 0 when the table name cannot be
  // formatted or a catalogue literal cannot be written.
  int _bGetQueryShowColumns(CXYStringConcat<wchar_t>* pclQuery) override;
  // One item per row of the executed column query; 0 when a cell cannot be
  // read or an item not made (the items before it stay).
  int _bInitItemFromQueryShowColumns(CNAStatementSQL* pclStatement, int nOption) override;
  // "SHOW INDEX FROM " and the formatted table name.
  int _bGetQueryShowIndex(CXYStringConcat<wchar_t>* pclQuery) override;
  // Key words and composite keys from the rows of the executed index query;
  // then the record layout.
  int _bInitKeysFromQueryShowIndex(CNAStatementSQL* pclStatement) override;
  // Runs the query through the back end's statement (CMySQLStatementSQL) on
  // the description's connection and hands it to the hook. The server's
  // refusal (a missing table: 1146) is the statement's error in the
  // description's error object, and 0.
  int _bRunSchemaQuery(const wchar_t* pszQuery, int bIndexQuery, int nOption) override;

  // ---- Key words
  // "PRI" (its three letters, any case) 0x8800, "UNI" 0x4800, else 0.
  static unsigned short s_nKeyType(const wchar_t* pszKey);
  // From a client field-flag word: primary 0x8800, else unique 0x4800, else
  // multiple 0x2800, else 0.
  static unsigned short s_nKeyType(unsigned int nFlags);
  // The rank of a key word: 3 primary, 2 unique, 1 duplicates, 0 none.
  static int s_nKeyRank(unsigned short wKey);

  // ---- Defaults
  // The value of a MariaDB catalogue default (an SQL literal): a quoted text
  // unquoted ('' and the backslash escapes undone), the bare word NULL a
  // NULL (*pbNull set), anything else (a number, an expression) as it is.
  static void s_DecodeCatalogueDefault(const wchar_t* pszText, CTString* pOut, int* pbNull);
  // Whether the extra text names a stored (2) or virtual (1) generated
  // column; 0 for neither.
  static int s_nGeneratedKind(const wchar_t* pszExtra);

 private:
  CMySQLConnection* _pclMySQL() const;
  // Whether the column query reads the catalogue.
  int _bCatalogueQuery() const;
  // Cell nColumn of the current row as wide text (*pbNull for NULL). 0 with
  // the statement's error when it cannot be read.
  int _bReadCell(CMySQLStatementSQL* pclStatement, unsigned int nColumn, CTString* pOut,
                 int* pbNull);
  // The catalogue literal of a name into the query. 0 with the error.
  int _bAddLiteral(CXYStringConcat<wchar_t>* pclQuery, const wchar_t* pszText);
  // Runs the index query alone: 1 when the server knows the table, else 0
  // with its error (1146 for a table that does not exist).
  int _bCheckTableExists();
  // Gives the key word to one column (strongest wins).
  int _bSettleSingleKey(const wchar_t* pszColumn, unsigned short wKey);
};

#endif  // KQ230_MARIADB_MYSQL_DATA_SOURCE_DESCRIPTION_H_
