// CNASqlElt: one located element of a query's text: what kind of piece it
// is (a clause or a piece of one), where it starts and where it ends in the
// text, and a text of its own. The command collects the pieces that the
// server's parser located into an array, sorts them by start with
// pfnCmpELT and then copies the query text from piece to piece, rewriting
// each piece for the dialect.
//
// Ownership: counted (CInterf), born with count 0 and hold flag 0; the
// arrays that collect elements hold one reference each.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_ITEMS_SQL_ELEMENT_H_
#define KQ230_ITEMS_SQL_ELEMENT_H_

#include "core/wide_string.h"
#include "driver/reference_counted.h"

class CNASqlElt : public CInterf {
 public:
  // The kind of a located piece; also the clause in which an expression
  // stands when the expression writers are told where they write.
  enum eSQLELT : int {
    SQLELT_SELECT = 0,          // the SELECT keyword's place (no writer)
    SQLELT_SELECT_LIST = 1,     // an output column of the select list
    SQLELT_FROM = 2,            // a table of the FROM clause
    SQLELT_WHERE = 3,           // the WHERE clause
    SQLELT_GROUPBY = 4,         // the GROUP BY clause
    SQLELT_HAVING = 5,          // the HAVING clause
    SQLELT_ORDERBY = 6,         // the ORDER BY clause
    SQLELT_PARAMETER = 7,       // a parameter marker of an unparsed query
    SQLELT_JOIN = 8,            // a join condition
    SQLELT_UNUSED = 9,          // no writer
    SQLELT_ASSIGNMENT = 10,     // the items of an INSERT, the assignments of an UPDATE
  };

  CNASqlElt() = default;
  CNASqlElt(eSQLELT eKind, unsigned int nStart, unsigned int nEnd)
      : m_eKind(eKind), m_nStart(nStart), m_nEnd(nEnd) {}
  ~CNASqlElt() override;
  CNASqlElt(const CNASqlElt&) = delete;
  CNASqlElt& operator=(const CNASqlElt&) = delete;

  eSQLELT eGetKind() const { return m_eKind; }
  unsigned int nGetStart() const { return m_nStart; }
  unsigned int nGetEnd() const { return m_nEnd; }
  const wchar_t* pszGetText() const { return m_strText.pszGet(); }
  void Set(eSQLELT eKind, unsigned int nStart, unsigned int nEnd) {
    m_eKind = eKind;
    m_nStart = nStart;
    m_nEnd = nEnd;
  }
  void SetText(const wchar_t* psz) { m_strText = CTString(psz); }

  // Orders two elements by start, as unsigned numbers: -1 when the first
  // starts before the second, 0 when both start at the same place, 1
  // otherwise. The signature is the one the standard quick sort calls with
  // the addresses of two elements of an array of element pointers.
  // REQUIRES: both addresses and both elements non-null.
  static int pfnCmpELT(CNASqlElt* const* ppA, CNASqlElt* const* ppB);
  // The same through untyped addresses, for qsort.
  static int s_nCompareForSort(const void* pA, const void* pB);

 private:
  eSQLELT m_eKind = SQLELT_SELECT;
  unsigned int m_nStart = 0;
  unsigned int m_nEnd = 0;
  CTString m_strText;
};

#endif  // KQ230_ITEMS_SQL_ELEMENT_H_
