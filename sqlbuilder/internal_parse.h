// CNAInternalParse: one SQL query of the driver's own (the automatic
// identifiers' MAX queries above all), run on a connection outside any table
// the server has opened. It goes the road of the server's queries: a data
// access without description made by the driver's factory runs the text as
// the internal query "$KQInternal" with no record cache; the statement learns
// the columns from the result and the data access's record holds the row.
// The caller reads the rows: the first columns of a row as language values
// (bFetchData), or rows appended to a text (bFetchAll).
//
// Single use: made and executed by s_pclGetNAInternalParse, read, released.
//
// Failures: a query that cannot run gives no object; a row that cannot be
// read makes the read (and bFetchAll, and s_bDoInternalParse) answer 0: a
// result cut short is never handed on as the whole. Without record cache
// the rows reach the client when the query runs, so a server-side error
// among them (or a link lost while they come) fails the query itself. The
// detail is in the error object given at creation.
//
// Ownership: counted through CKQUnknown: s_pclGetNAInternalParse answers it
// with count 0, the caller takes the first reference (dwAddRef) and drops it
// with dwRelease. It holds one reference on its data access and one on its
// statement (released statement first); the error object and the connection
// are borrowed and must outlive it.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_SQLBUILDER_INTERNAL_PARSE_H_
#define KQ230_SQLBUILDER_INTERNAL_PARSE_H_

#include "core/kq_unknown.h"
#include "core/string_concat.h"
#include "kq230/parse_direction.h"

class CAny;
class CNAColumn;
class CNAConnectionDescription;
class CNADataAccessBase;
class CNAError;
class CNAInternalQueryStatement;

class CNAInternalParse : public CKQUnknown {
 public:
  // The name every internal query runs under.
  static constexpr const wchar_t* kQueryName = L"$KQInternal";

  // Keeps both (borrowed); no data access, no statement, count 0.
  CNAInternalParse(CNAError* pclError, CNAConnectionDescription* pclConnection);
  // Releases the statement, then the data access.
  ~CNAInternalParse() override;
  CNAInternalParse(const CNAInternalParse&) = delete;
  CNAInternalParse& operator=(const CNAInternalParse&) = delete;

  // A new internal query that ran pszQuery on the connection, with count 0
  // (the caller takes the first reference); null with the error in pclError
  // when the data access could not be made or the query failed.
  static CNAInternalParse* s_pclGetNAInternalParse(const wchar_t* pszQuery, CNAError* pclError,
                                                   CNAConnectionDescription* pclConnection);
  // Runs pszQuery and appends all its rows to pText (bFetchAll). 1, or 0
  // when the query could not run or a row could not be read (the rows
  // before it stay appended).
  static int s_bDoInternalParse(const wchar_t* pszQuery, CNAError* pclError,
                                CNAConnectionDescription* pclConnection,
                                CXYStringConcat<wchar_t>* pText, const wchar_t* pszRowSeparator,
                                const wchar_t* pszColumnSeparator);

  // Moves in the direction and, when a row is there, reads its first
  // min(nCount, columns) columns into pValues[0..]. *pbOutOfRange (may be
  // null) receives whether the statement stands outside the rows. 0 without
  // a statement.
  int bFetchData(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange, CAny* pValues, int nCount);
  // Moves in the direction and appends the row reached to pText: the row
  // separator first when the text is not empty, then every column's value
  // as text (NULL and values without text: an empty field) with the column
  // separator between them (either separator may be null or empty: none).
  // Outside the rows nothing is appended and the answer is the move's.
  // 0 without a statement, when the move failed or a value could not be read
  // (the row may then be partly appended).
  int bFetchData(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange,
                 CXYStringConcat<wchar_t>* pText, const wchar_t* pszRowSeparator,
                 const wchar_t* pszColumnSeparator);
  // Appends the first row, then each next one, until the rows end. 1 when
  // every row was appended (also none); 0 without a statement or when a row
  // could not be read or appended: a result cut short is no result.
  int bFetchAll(CXYStringConcat<wchar_t>* pText, const wchar_t* pszRowSeparator,
                const wchar_t* pszColumnSeparator);
  // Moves in the direction. Without a statement: *pbOutOfRange 1, answer 1.
  int bFetch(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange);
  // Runs the query again; the rows start over. 0 without a statement.
  int bReExecute();
  // The columns of the record (0 without a statement or record).
  int nGetColumnNbr() const;
  // A column of the record by name (case and accents ignored) or by index;
  // null when there is none (an index outside the columns included).
  CNAColumn* pclGetColumnNoRef(const wchar_t* pszName) const;
  CNAColumn* pclGetColumnNoRef(int nIndex) const;

 protected:
  // A data access without description on the connection, from the driver's
  // factory, with one reference. 0 with the error when none can be had
  // (user error 8 without a driver object).
  int _bAllocate();
  // Runs pszQuery on the data access as kQueryName and keeps its statement,
  // record cache off. The execution's result (user error 8 when the
  // driver's data access runs no internal query).
  int _bExecute(const wchar_t* pszQuery);

 private:
  CNAError* m_pclError;
  CNAConnectionDescription* m_pclConnection;
  CNADataAccessBase* m_pclDataAccess = nullptr;
  CNAInternalQueryStatement* m_pclStatement = nullptr;
};

#endif  // KQ230_SQLBUILDER_INTERNAL_PARSE_H_
