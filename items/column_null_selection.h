// CColumnNullValueExcluded: while a search condition is written as SQL, the
// set of columns whose NULL values the condition decides about, each with
// a flag: 1 when the condition lets the column's NULL values through, 0
// when it excludes them. A column absent from the set counts as 1 (nothing
// is known to exclude its NULLs). The sets of two operands are combined
// under AND and OR as the condition tree is walked; the sort writer then
// asks whether a unique column's NULLs are excluded, which decides whether
// that column alone orders the rows totally or an IS NULL alternative is
// needed.
//
// Combining a column's flag F into the set under an operator O:
//   present with flag G: AND gives G and F, any other operator G or F;
//   absent:              AND with F = 0 appends the column with 0,
//                        otherwise nothing changes (absent already counts 1).
//
// Ownership: the set holds column pointers without references: it lives
// only while one condition of one record is written, and the record keeps
// its columns alive for longer.
// Threads: none of its own; used under the driver lock.
// Invariant: the two arrays have the same length; a column appears at most
// once unless bCopyColumnValuesNullSelected was given overlapping sets.
#ifndef KQ230_ITEMS_COLUMN_NULL_SELECTION_H_
#define KQ230_ITEMS_COLUMN_NULL_SELECTION_H_

#include "core/growable_array.h"
#include "items/na_operator.h"

class CNAColumn;

class CColumnNullValueExcluded {
 public:
  CColumnNullValueExcluded() = default;
  ~CColumnNullValueExcluded();
  CColumnNullValueExcluded(const CColumnNullValueExcluded&) = delete;
  CColumnNullValueExcluded& operator=(const CColumnNullValueExcluded&) = delete;

  // Both arrays emptied.
  void Reset();
  int nGetCount() const { return m_tabColumns.nGetNbElement(); }
  CNAColumn* pclGetColumnNoRef(int i) const { return m_tabColumns[i]; }
  int bGetFlag(int i) const { return m_tabNullSelected[i]; }

  // The column's flag; 1 when the column is not in the set.
  int bColumnValuesNullSelected(const CNAColumn* pclColumn) const;
  // The flag of the first column whose original name (pszGetOriginalName)
  // equals pszName ignoring case; 1 when none (or for a null name).
  int bColumnValuesNullSelected(const wchar_t* pszName) const;
  // Position in the set; -1 when absent.
  int _nGetColumnValuesNullSelectedIndice(const CNAColumn* pclColumn) const;
  int _nGetColumnValuesNullSelectedIndice(const wchar_t* pszName) const;

  // Sets the column's flag, appending the column when absent; a null column
  // is ignored. Answers 1, or 0 when the arrays cannot grow (set unchanged).
  int bSetColumnValuesNullSelected(CNAColumn* pclColumn, int bNullSelected);

  // The rule of the header for one column. Answers 1, or 0 when the arrays
  // cannot grow (set unchanged).
  int bCombineColumnValuesNullSelected(eNAOperator eOperator, CNAColumn* pclColumn,
                                       int bNullSelected);
  // Every entry of pclOther combined in by the rule, in order. A null other
  // set under OR empties this set (every column then lets NULLs through);
  // under AND it changes nothing. pclOther may be this set. Answers 1, or 0
  // when the arrays cannot grow (the entries combined so far stay).
  int bCombineColumnValuesNullSelected(eNAOperator eOperator, CColumnNullValueExcluded* pclOther);
  // This set (expected empty) from the two operand sets of a node: nothing
  // when both are null, or under OR when one is null (the node then lets
  // every NULL through); else a copy of A, into which B is combined under
  // the operator, or a copy of B when A is null. Answers 1, or 0 when the
  // arrays cannot grow.
  int bCombineColumnValuesNullSelected(eNAOperator eOperator, CColumnNullValueExcluded* pclA,
                                       CColumnNullValueExcluded* pclB);
  // Appends every entry of pclOther in order, its flag negated when bNegate
  // is set; no test for columns already present; null or empty adds
  // nothing. pclOther may be this set (its entries are then doubled).
  // Answers 1, or 0 when the arrays cannot grow (the entries appended so
  // far stay).
  int bCopyColumnValuesNullSelected(CColumnNullValueExcluded* pclOther, int bNegate);

 private:
  int _bAppend(CNAColumn* pclColumn, int bNullSelected);

  CTTableau<CNAColumn*> m_tabColumns{10, 30};
  CTTableau<int> m_tabNullSelected{10, 30};
};

#endif  // KQ230_ITEMS_COLUMN_NULL_SELECTION_H_
