// CNAResultColumns: what a data-source description reads of an executed
// statement to describe its result: the number of result columns and each
// column's description (CNAColumnSQL).
//
// Why an interface of its own: the statements sit above the items in the
// folder order (items <- sqlbuilder <- statements), so the item layer cannot
// name the statement class. The description fills itself from this
// interface, and the back end's statement base (CNAStatementSQL,
// statements/statement_sql.h) implements it, so a statement converts to it
// wherever the statement is known.
//
// Ownership: the columns belong to the statement; a pointer answered here is
// valid until the statement is reset, executed again or destroyed.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_ITEMS_RESULT_COLUMNS_H_
#define KQ230_ITEMS_RESULT_COLUMNS_H_

class CNAColumnSQL;

class CNAResultColumns {
 public:
  // *pnCount := the number of result columns of the executed statement.
  // 1, or 0 with the error recorded on the statement's error object.
  virtual int bGetColumnNbr(int* pnCount, unsigned int nFlags) = 0;
  // Result column i (from 0), or null with the error recorded (an index
  // outside 0 .. count - 1, or a column table that cannot be built).
  virtual CNAColumnSQL* pclGetNAColumnSQL(int i) = 0;

 protected:
  ~CNAResultColumns() = default;
};

#endif  // KQ230_ITEMS_RESULT_COLUMNS_H_
