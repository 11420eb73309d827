// CNAExpression: one node of a search-condition tree. A leaf compares one
// column of a record with one value (or is a constant, or a condition parsed
// by the server's SQL parser); an inner node is AND, OR (two operands) or NOT
// (one). Searches and filters (sqlbuilder/record_search.h, filter.h) build
// such trees from the server's record commands; a tree then writes itself
// into a command (sqlbuilder/command.h) as the text of a WHERE condition,
// every value a bound parameter of the search.
//
// On the way it simplifies itself: a comparison that is always true or always
// false for its value becomes a constant (11 "1=1", 10 "0=1"), and constants
// fold away through AND and OR, so a tree may be written in the form an
// earlier write left it in (writing changes operators: constants, inclusive
// comparisons, continuations). It also records, per column, whether the text
// written lets the column's NULL values through (its NULL-selection set),
// which the sort writer reads to know when a unique column orders rows
// totally.
//
// Where the operations live: this file and expression.cc (the tree, folding,
// NOT/AND/OR writing, continuation transform, NULL selection);
// expression_writers.cc (simplifying a leaf and the plain, LIKE, text, date
// range and NULL writers, the range bounds of partial dates and times).
//
// Choices this system makes where the rules leave it open, and faults of the
// rules it does not repeat:
// - A generic difference on a partial date (the values outside [lo, hi)) is
//   written "(c<lo OR c>=hi)": bare OR under an AND would bind wrongly.
// - A difference with NULL is written "c IS NOT NULL".
// - On a boolean column, a value of another type than boolean or 32-bit
//   integer is read by the language's truth (non-zero is true).
// - A partial date or time whose upper bound cannot be made (time "23",
//   year "9999") is written with its lower bound alone ("c>=lo"), never as
//   an equality with the partial text, which finds nothing.
// - A bound past MariaDB's range (after 9999-12-31 23:59:59.999) is never
//   written as a literal the server cannot read: an upper bound past the
//   range is no bound; a lower bound past it is always false.
// - When a filter's lower bound lets NULL through (a value the engine's
//   records use for NULL), its upper bound does too: otherwise the AND of
//   the two is unknown for NULL rows and drops them again.
// - The continuation of a generic partial date or date-time goes past the
//   whole range: forward "c>=hi" (always false when the range reaches the
//   last instant), backward "c<lo"; never a comparison with the partial
//   text, which reads the range again (or which a date-time cannot hold).
//   A time compared as its digits continues as a text prefix.
// - A text is empty (the lowest text, the engine's NULL in a filter's lower
//   bound) only when its length is 0, and a prefix is the whole counted
//   text: a character 0 inside a value is part of it.
// - A generic equality with an empty text writes " LIKE '%'" (with its
//   blank: the column text may end in a letter or digit).
// - A generic difference with an empty 8-bit text writes " NOT LIKE '%'",
//   as the Unicode road does with its pattern "%".
// - NOT over an operand that turned constant is the other constant (never
//   " NOT ()").
// - A partial date or time that names no instant ("2023023", "2023a") is
//   user error 53 with nothing written.
// - Cutting back an operand drops only the parameters it added: a
//   parameter of the left operand stands exactly at the cut.
// - A leaf of operator 9 (a condition parsed by the server's parser) is
//   written by the command's writer of parsed expressions, over the record
//   it filters, in parentheses (it is one operand of the AND or OR above
//   it); the parameters its literals become are the search's too.
// - A column that the record's source query computes is compared as its
//   expression (its literals written in the text from their values), in
//   parentheses so that the comparison takes the whole expression; an
//   expression that cannot be written is user error 8 with nothing written.
//
// Ownership: counted as CInterf (born at 0; the holder adds its reference).
// A node holds one reference on its error object, its operands, its column,
// its value and its source query; it owns its NULL-selection set.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_SQLBUILDER_EXPRESSION_H_
#define KQ230_SQLBUILDER_EXPRESSION_H_

#include "core/counted_string.h"
#include "driver/reference_counted.h"
#include "items/item_types.h"
#include "items/na_operator.h"
#include "kq230/sql_parser_interface.h"

class CAny;
class CColumnNullValueExcluded;
class CNAColumn;
class CNACommand;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class CNARecherche;
class CNARecord;
class CSQLParserInfo;
class CTString;
class ISQLParserInformation;

// Debug-line file number of the condition tree's errors.
inline constexpr int kNAFileExpression = 30;

class CNAExpression : public CInterf {
 public:
  // Bits of the flags word that a node reads (the search's flags word,
  // sqlbuilder/record_search.h, holds the rest).
  static constexpr unsigned int kGeneric = 0x1;          // begins with
  static constexpr unsigned int kLowerBound = 0x40;      // filter's lower bound
  static constexpr unsigned int kUpperBound = 0x80;      // filter's upper bound
  static constexpr unsigned int kComposedKey = 0x100;    // search on a composite key

  // An empty node (operator 0) sharing pclError (one reference; may be null).
  explicit CNAExpression(CNAError* pclError);
  ~CNAExpression() override;
  CNAExpression(const CNAExpression&) = delete;
  CNAExpression& operator=(const CNAExpression&) = delete;

  // ---- Virtual operations (after CInterf's three)
  // A new empty node sharing this node's error object (count 0); null when
  // memory is refused (user error 12 recorded).
  virtual CNAExpression* pclAllocExpression();
  // Writes a leaf (operator not 1 to 3, not 9) into the command; see
  // expression_writers.cc.
  virtual int _bGetSQLFromValue(CNACommand* pclCommand, CNARecherche* pclSearch,
                                int* pbConstant);

  // ---- Building (each new node has count 0; the holder adds its own; null
  // with user error 12 in this node's error object when memory is refused)
  // An operator node over the two operands (one reference each; pclRight
  // null for NOT).
  CNAExpression* pclAllocExpression(eNAOperator eOperator, CNAExpression* pclLeft,
                                    CNAExpression* pclRight, unsigned int nFlags);
  // A comparison leaf (references on the column, the value and the column's
  // source query when it is a parsed query).
  CNAExpression* pclAllocExpression(eNAOperator eOperator, CNAColumn* pclColumn,
                                    CNAConvertVariant* pclValue, unsigned int nFlags);
  // An operator-9 node over a condition parsed by the server's parser.
  CNAExpression* pclAllocExpression(ISQLParserInformation* piCondition, unsigned int nFlags);
  // (operator, this node, pclOther) with this node's flags.
  CNAExpression* pclAddOperation(eNAOperator eOperator, CNAExpression* pclOther);
  // A deep copy: new leaves over the same column and value objects, operator
  // nodes rebuilt over clones of their operands.
  CNAExpression* pclClone();
  // Replaces the operand pclOld (left, else right) by pclNew.
  void Insert(CNAExpression* pclOld, CNAExpression* pclNew);

  // Turns every equality leaf into the comparison that continues a browse
  // beyond it (eOperator 5 forward, 6 backward). A generic date leaf keeps
  // its partial value and generic flag: its writer reads the strict
  // operator as "after / before the whole range". Answers the node that
  // takes the place of the last leaf transformed (a new subtree for a
  // generic text, or a time compared as text, going forward, else the leaf
  // itself); null when none was transformed.
  // pclParent (may be null) is the node whose operand is this one.
  CNAExpression* pclTransformEqualTo(CNARecord* pclRecord, CNAExpression* pclParent,
                                     eNAOperator eOperator);

  // ---- Writing
  // Appends the node's condition to the command's text; parameters are added
  // through pclSearch (may be null: then through the command alone).
  // eParent is the operator of the node above (0 at the root). *pbConstant
  // is set when the node turned constant and wrote nothing. Answers 1, or 0
  // when a parameter or a parsed condition could not be written (the text
  // written so far stays; the error is in the command's error object).
  // REQUIRES: pclCommand and pbConstant non-null.
  int bGetSQL(CNACommand* pclCommand, eNAOperator eParent, CNARecherche* pclSearch,
              int* pbConstant, CNARecord* pclRecord);
  // Whether the condition last written selects the column's NULL values.
  int bColumnValuesNullSelected(const CNAColumn* pclColumn);
  // The node's NULL-selection set of its last write (null before one).
  CColumnNullValueExcluded* pclGetNullSelectionNoRef() const { return m_pclNullSelection; }

  // 5 becomes 7 and 6 becomes 8; answers the operator as it was.
  eNAOperator InfSupToInfEqualSupEqual();
  int bIsGenerique() const { return (m_nFlags & kGeneric) != 0; }

  // ---- Fields
  eNAOperator eGetOperator() const { return m_eOperator; }
  void SetOperator(eNAOperator eOperator) { m_eOperator = eOperator; }
  unsigned int nGetFlags() const { return m_nFlags; }
  // Sets the flags, then clears the generic bit of a composite-key text leaf
  // whose value is missing or empty (a prefix of nothing is no prefix).
  void SetFlags(unsigned int nFlags);
  CNAExpression* pclGetLeftNoRef() const { return m_pclLeft; }
  CNAExpression* pclGetRightNoRef() const { return m_pclRight; }
  CNAColumn* pclGetColumnNoRef() const { return m_pclColumn; }
  CNAConvertVariant* pclGetValueNoRef() const { return m_pclValue; }
  CNAError* pclGetErrorNoRef() const { return m_pclError; }

  // ---- Statics
  // The operator's SQL text ("" outside 0 to 14).
  static const wchar_t* s_pszDumpOp(eNAOperator eOperator);
  // 5 <-> 6, 7 <-> 8; any other value unchanged.
  static eNAOperator s_eInvertOperator(eNAOperator eOperator);
  // The parser's operator of a comparison (9 to 14, 33), else -1.
  static eOPEXPRESSION Convert_eNAOperator_To_eOPEXPRESSION(eNAOperator eOperator);
  // 1 when the record's source query sorts the column descending.
  static int s_eGetSensTriColonne(CNARecord* pclRecord, CNAColumn* pclColumn);
  // Whether the comparison is always true for the value (boolean and text
  // rules; NULL by the connection's NULL order).
  static int s_bExpressionTrue(eNAOperator eOperator, CNAConnectionDescription* pclConnection,
                               const CAny* pValue);
  // The earliest instant the partial text designates, and the first instant
  // after its range, typed by the item type (11 time text, 14 date text,
  // other: date-time). 0 when the text is empty or cannot be read, or when
  // the bound lies past the last instant MariaDB can hold (no such bound).
  static int s_bGetBorneRechercheDateMin(eNA_ITEMTYPE eType, const CAny* pValue, CAny* pResult);
  static int s_bGetBorneRechercheDateMax(eNA_ITEMTYPE eType, const CAny* pValue, CAny* pResult);
  // Both bounds: the minimum, and the maximum only when the minimum was
  // made. Answers 1 when the minimum was made; *pbMax tells whether the
  // maximum was.
  static int s_bGetBorneRechercheDateGenerique(eNA_ITEMTYPE eType, const CAny* pValue,
                                               CAny* pMin, CAny* pMax, int* pbMax);

 protected:
  // The leaf writers of expression_writers.cc.
  void _Process();
  int _bGetSQLFromValueUsingParameter(CNACommand* pclCommand, CNARecherche* pclSearch,
                                      const wchar_t* pszColumn, int bLike, int bNullSelected);
  int _bGetSQLFromValueString(CNACommand* pclCommand, CNARecherche* pclSearch,
                              const wchar_t* pszColumn, int bNullSelected);
  // *pbConstant is set when the range lies past the last instant MariaDB
  // holds (the leaf then turns constant and writes nothing).
  int _bGetSQLFromValueDateTime(CNACommand* pclCommand, CNARecherche* pclSearch,
                                const wchar_t* pszColumn, int bNullSelected, int* pbConstant);
  int _bGetSQLFromValueNULL(CNACommand* pclCommand, const wchar_t* pszColumn, int* pbConstant);
  int _bGetSQLParsedCondition(CNACommand* pclCommand, CNARecherche* pclSearch, CNARecord* pclRecord);
  // The operator nodes of bGetSQL (expression.cc).
  int _bGetSQLNot(CNACommand* pclCommand, CNARecherche* pclSearch, int* pbConstant,
                  CNARecord* pclRecord);
  int _bGetSQLAndOr(CNACommand* pclCommand, eNAOperator eParent, CNARecherche* pclSearch,
                    int* pbConstant, CNARecord* pclRecord);
  // For each filter lower-bound leaf under pclLower whose last write let its
  // column's NULLs through, marks the upper-bound leaves of that column
  // under pclUpper to let them through too; answers how many were marked.
  static int _nMarkUpperBoundsLetNull(CNAExpression* pclLower, CNAExpression* pclUpper);
  static int s_nSetNullLetThrough(CNAExpression* pclNode, const CNAColumn* pclColumn);
  static void s_ClearNullLetThrough(CNAExpression* pclNode);
  // The value read as a wide text into *pOut: 1, or 0 when it cannot be.
  int _bGetValueText(CXYString<wchar_t>* pOut) const;
  // The column's name for a WHERE condition in the operator's context, as
  // the command writes it. 1, or 0 with the error in the command's.
  int _bFormatColumn(CNACommand* pclCommand, eOPEXPRESSION eOperator, CTString* pOut);
  // " OR ", the column (context IS NULL), " IS NULL)".
  int _bWriteNullAlternative(CNACommand* pclCommand);
  // The parameter at the command's text position: through the search when
  // there is one, else through the command alone; bound to pclBound (may be
  // null).
  int _bAddParameter(CNACommand* pclCommand, CNARecherche* pclSearch, CNAConvertVariant* pclValue,
                     CNAColumn* pclBound, unsigned int nOptions);
  // The column, the operator's text and the bound as a parameter typed
  // after the column.
  int _bAddBound(CNACommand* pclCommand, CNARecherche* pclSearch, const wchar_t* pszColumn,
                 eNAOperator eOperator, const CAny* pBound);
  // Records in the node's set whether the leaf's column's NULLs are selected.
  int _bRecordNullChoice(int bNullSelected);
  // User error 8 (not supported) into the command's error object.
  static void _RaiseNotSupported(CNACommand* pclCommand, int nSite);
  // The set, created on first use (0 with user error 12 when refused).
  int _bInitNullSelection();
  // User error 12 into the node's error object.
  void _RaiseNoMemory(int nSite);

  CNAError* m_pclError = nullptr;
  eNAOperator m_eOperator = NA_OP_EMPTY;
  CNAExpression* m_pclLeft = nullptr;
  CNAExpression* m_pclRight = nullptr;
  CNAColumn* m_pclColumn = nullptr;
  CNAConvertVariant* m_pclValue = nullptr;
  unsigned int m_nFlags = 0;
  CSQLParserInfo* m_pclSourceQuery = nullptr;
  CColumnNullValueExcluded* m_pclNullSelection = nullptr;
  // Set by the AND above while it writes this upper-bound leaf after a
  // lower bound that let the column's NULLs through (see the file comment).
  int m_bNullLetThrough = 0;
};

#endif  // KQ230_SQLBUILDER_EXPRESSION_H_
