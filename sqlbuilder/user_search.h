// CNAUserSearch: the user's own current search (item, value, mode), kept to
// tell whether the current record still matches it.
//
// Mode bit 0 compares case-insensitively, by the language's rule; the
// comparison is otherwise exact.
//
// Ownership: a plain object (owned by its statement); it holds one external
// reference on its item and owns its value.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_SQLBUILDER_USER_SEARCH_H_
#define KQ230_SQLBUILDER_USER_SEARCH_H_

#include "values/any.h"

class CNARecord;
class INAItemDescription;

class CNAUserSearch {
 public:
  static constexpr unsigned int kIgnoreCase = 0x1;

  CNAUserSearch() = default;
  virtual ~CNAUserSearch();
  CNAUserSearch(const CNAUserSearch&) = delete;
  CNAUserSearch& operator=(const CNAUserSearch&) = delete;

  // Cancels the previous search, keeps the item (external reference), copies
  // the value and the mode. A null item is no search.
  void SetUserSearch(INAItemDescription* piItem, const CAny* pValue, unsigned int nMode);
  // Releases the item, empties the value, mode 0.
  void CancelUserSearch();
  // The other's item, value and mode, or a cancel when the other has none.
  void Copy(CNAUserSearch* pclOther);
  // True when there is no user search; otherwise whether the record's column
  // for the item holds the searched value (false when the record has no such
  // column).
  int bGetHTrouve(CNARecord* pclRecord);

  INAItemDescription* piGetItemNoRef() const { return m_piItem; }
  const CAny* pGetValue() const { return &m_Value; }
  unsigned int nGetMode() const { return m_nMode; }

 private:
  CAny m_Value;
  unsigned int m_nMode = 0;
  INAItemDescription* m_piItem = nullptr;
};

#endif  // KQ230_SQLBUILDER_USER_SEARCH_H_
