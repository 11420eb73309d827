// CNAIDAuto: the values of a table's automatic identifier, read from the
// database by a SELECT MAX query run as an internal query
// (sqlbuilder/internal_parse.h):
//   next value:       "SELECT MAX(" item ")+1 FROM " table   (1 on an empty table)
//   current maximum:  "SELECT MAX(" item ") FROM " table      (NULL on an empty table)
// On a table the item is the column's formatted name in the database and
// the table the data access's formatted table name; on a query source, the
// item's name in its source and its source table, formatted by the data
// access's connection.
//
// What the two values are NOT: neither one is the identifier of a row this
// connection inserts. Between the query and an INSERT any other session may
// insert, so
//   - the next value is a forecast, to show the user a likely identifier
//     before the row exists; it must never be written into the row (two
//     sessions would write the same identifier). A column the database
//     numbers itself (AUTO_INCREMENT) gets its value from the server;
//   - the current maximum may be another session's row. The identifier of
//     the row just inserted is the connection's last insert id
//     (mysql_insert_id on the connection that inserted), never
//     bGetMaxCurrentValue: a row read back by MAX could be someone else's,
//     and later updates of "our" row would hit it.
//
// Each data access holds one CNAIDAuto, made on first use through the
// driver's factory (CNADriver::pclAllocIDAuto). The internal query of a
// request lives only for that request.
//
// Failures: a next value that cannot be had answers 0 with the numbered
// message 28576 ("... next value of <table>.<item>:") put in front of the
// error's user messages, the underlying error (the query's, the read's)
// kept behind it. A query that gives no row (MAX always gives one: the
// query was not what it should be) is user error 59 naming the table and
// the item, for either value: a next value made up then could collide.
//
// Ownership: counted (CInterf, born at 0). It holds an internal query only
// during a request (one reference, dropped before the request returns).
// The data access, column and error object of a request are borrowed.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_SQLBUILDER_ID_AUTO_H_
#define KQ230_SQLBUILDER_ID_AUTO_H_

#include "core/string_concat.h"
#include "driver/reference_counted.h"

class CAny;
class CNAColumn;
class CNAError;
class CNAInternalParse;
class CNAItemsDataAccess;

class CNAIDAuto : public CInterf {
 public:
  // File number and site of the current-maximum error's debug line.
  static constexpr int kErrorFile = 14;
  static constexpr int kSiteNoMaximum = 1;
  // User error of a current maximum without a row; message put in front of
  // a failed next value's error.
  static constexpr unsigned int kErrNoCurrentMaximum = 59;
  static constexpr unsigned int kMessageNextValueFailed = 28576;

  CNAIDAuto() = default;
  ~CNAIDAuto() override;
  CNAIDAuto(const CNAIDAuto&) = delete;
  CNAIDAuto& operator=(const CNAIDAuto&) = delete;

  // The next identifier of pclColumn into *pValue: the server's MAX(item)+1
  // as it types it, or the 64-bit integer 1 when the table holds no row. A
  // forecast only (see the file comment). 1, or 0 with message 28576 first
  // in pclError (may be null: nothing recorded).
  // REQUIRES: pclDataAccess, pclColumn and pValue non-null.
  virtual int bGetNextValue(CNAItemsDataAccess* pclDataAccess, CNAColumn* pclColumn,
                            CNAError* pclError, CAny* pValue);
  // The current maximum of pclColumn into *pValue (NULL when the table holds
  // no row). Not the identifier of a row this connection inserted (see the
  // file comment). 1, or 0 with the error: the query's, or user error 59
  // when it gave no row.
  // REQUIRES: as bGetNextValue.
  virtual int bGetMaxCurrentValue(CNAItemsDataAccess* pclDataAccess, CNAColumn* pclColumn,
                                  CNAError* pclError, CAny* pValue);

 protected:
  // Append the next-value and the current-maximum queries to pText. 1, or 0
  // when the text could not grow (it must then not run).
  virtual int _bBuildQueryGetNextValue(CXYStringConcat<wchar_t>* pText,
                                       CNAItemsDataAccess* pclDataAccess, CNAColumn* pclColumn);
  virtual int _bBuildQueryGetMaxCurrentValue(CXYStringConcat<wchar_t>* pText,
                                             CNAItemsDataAccess* pclDataAccess,
                                             CNAColumn* pclColumn);
  // Puts message 28576 with the data access's logical name and the column's
  // name in front of the error's user messages (nothing without an error).
  virtual void _PrefixMessageErreur(CNAError* pclError, CNAItemsDataAccess* pclDataAccess,
                                    CNAColumn* pclColumn);

  // "SELECT MAX(" item ")" ["+1" when bNextValue] " FROM " table; a name the
  // connection cannot format is left out. 1, or 0 when the text could not
  // grow.
  int _bBuildQueryGetMax(CXYStringConcat<wchar_t>* pText, CNAItemsDataAccess* pclDataAccess,
                         CNAColumn* pclColumn, int bNextValue);
  void _CloseInternalParseNextValue();
  void _CloseInternalParseMaxCurrentValue();

 private:
  // Runs pText on the data access's connection and holds the internal query
  // in *ppParse (one reference); 0 when none results (or the text is
  // incomplete: out of memory).
  static int _bRun(const CXYStringConcat<wchar_t>& clText, CNAItemsDataAccess* pclDataAccess,
                   CNAError* pclError, CNAInternalParse** ppParse);
  // User error 59 naming the table and the item (the query gave no row); 0.
  static int _nRaiseNoRow(CNAItemsDataAccess* pclDataAccess, CNAColumn* pclColumn,
                          CNAError* pclError);

  CNAInternalParse* m_pclParseNextValue = nullptr;
  CNAInternalParse* m_pclParseMaxCurrentValue = nullptr;
};

#endif  // KQ230_SQLBUILDER_ID_AUTO_H_
