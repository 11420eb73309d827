// The driver's own queries as the SQL builder runs them. An internal query
// (sqlbuilder/internal_parse.h) goes the road of the server's queries: a
// data access without description runs the text through its statement, the
// statement learns the columns from the result, and the data access's
// record holds the row. The data access and its statement live two floors
// above the SQL builder, so the builder declares here the little it calls:
//
// CNAInternalQueryDataAccess: what a data access without description offers
// (tables/na_data_access.h implements it). A data access made by the
// driver's factory is reached through it by a cross-cast.
//
// CNAInternalQueryStatement: the statement of one internal query, with the
// moves and reads of its rows.
//
// Ownership: a CNAInternalQueryStatement is counted (CInterf); the one
// handed out by bExecuteQueryInternal carries one reference for the caller.
// It keeps its statement alive, but the rows and the record belong to the
// data access: release the statement before the data access.
// Threads: none of their own; used under the driver lock.
#ifndef KQ230_SQLBUILDER_INTERNAL_QUERY_INTERFACE_H_
#define KQ230_SQLBUILDER_INTERNAL_QUERY_INTERFACE_H_

#include "driver/reference_counted.h"
#include "kq230/parse_direction.h"

class CAny;
class CNARecord;

class CNAInternalQueryStatement : public CInterf {
 public:
  // Moves one row in the direction (first, next, ...) and fills the data
  // access's record from the row reached. *pbOutOfRange (may be null)
  // receives whether the statement stands outside the rows. 1, or 0 with the
  // error (a row that could not be read).
  virtual int bFetch(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange) = 0;
  // bFetch, then the row's first min(nCount, columns) columns into pValues[0..].
  virtual int bFetchData(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange, CAny* pValues,
                         int nCount) = 0;
  // Whether the statement stands outside the rows.
  virtual int bIsOutOfRange() const = 0;
  // Switches the statement's record cache on or off.
  virtual void EnableCache(int bOn) = 0;
  // Runs the query's text again; the rows start over. 1, or 0 with the error.
  virtual int bReExecute() = 0;
  // The record the rows are read into (null when the query gave no column).
  virtual CNARecord* pclGetRecordNoRef() const = 0;
};

class CNAInternalQueryDataAccess {
 public:
  // Runs pszText on the data access's connection as the internal query
  // pszName (the name its errors and its description take), with no record
  // cache: the statement learns the columns from the result, and the record
  // is laid out after them. *ppStatement receives the query's statement
  // with one reference for the caller (null on failure).
  // 1, or 0 with the error in the data access's error object.
  // REQUIRES: ppStatement non-null; the data access has no description of
  // its own (one that has answers user error 8: its rows would be read by
  // the table's layout).
  virtual int bExecuteQueryInternal(CNAInternalQueryStatement** ppStatement,
                                    const wchar_t* pszName, const wchar_t* pszText) = 0;

 protected:
  ~CNAInternalQueryDataAccess() = default;
};

#endif  // KQ230_SQLBUILDER_INTERNAL_QUERY_INTERFACE_H_
