// CNAFilter: the filter the server sets on a browse: an item between a lower
// and an upper bound, optionally narrowed by a condition parsed by the
// server's SQL parser. It is a search (sqlbuilder/record_search.h) whose
// search condition is the filter condition; while active, that condition is
// joined by AND to every search written for the same statement.
// CNAFilterSave keeps a filter with whether it was active, so that a
// statement or a saved position can tell later whether the filter in force
// is still the same one.
//
// A filter's state 0 is inactive and any other state active. bSetFilter
// does not change the state: the caller activates the filter. Deactivating
// releases the current condition but keeps the filter condition.
//
// Ownership: CNAFilter is counted as CInterf (born at 0); statements share
// one by reference count. CNAFilterSave holds one reference on its saved
// filter.
// Threads: none of their own; used under the driver lock.
#ifndef KQ230_SQLBUILDER_FILTER_H_
#define KQ230_SQLBUILDER_FILTER_H_

#include "sqlbuilder/record_search.h"

class ISQLParserInformation;

class CNAFilter : public CNARecherche {
 public:
  // An empty, inactive filter of the connection.
  CNAFilter(CNAError* pclError, CNAConnectionDescription* pclConnection);
  // For clones.
  CNAFilter() = default;
  ~CNAFilter() override;

  // ---- Virtual operations (after CNARecherche's)
  // pclCloneFilter.
  CNARecherche* pclClone() override;
  // A new empty CNAFilter.
  CNARecherche* _pclAllocRecherche() override;
  // A clone made by CNARecherche::pclClone (of class CNAFilter).
  virtual CNAFilter* pclCloneFilter();

  // Replaces the filter condition: the item between the bounds (either may
  // be null; a bound at its type's extreme makes no part), swapped on a
  // descending item, equal bounds giving one equality, AND the parsed
  // condition (may be null). nFlags: 0 from the statement; 0x8 with no
  // bounds for the duplicate check (equality with the record's value).
  // Answers 1 when a condition was made or nothing was asked; 0 when parts
  // were asked and none could be made.
  int bSetFilter(CNARecord* pclRecord, INAItemDescription* piItem, const CAny* pLower,
                 int bLowerIncluded, const CAny* pUpper, int bUpperIncluded,
                 ISQLParserInformation* piCondition, unsigned int nFlags);
  void ActivateFilter(int bActive);
  int bIsFilterActive() const { return nGetState() != 0; }
  int bEqualsFilter(const CNAFilter* pclOther) const;
  // Both absent: true; one absent: whether the other is inactive.
  static int g_bEqualsFilter(const CNAFilter* pclA, const CNAFilter* pclB);
};

class CNAFilterSave {
 public:
  // Empty, then SetFilter when a filter is given.
  explicit CNAFilterSave(CNAFilter* pclFilter = nullptr);
  ~CNAFilterSave();
  CNAFilterSave(const CNAFilterSave&) = delete;
  CNAFilterSave& operator=(const CNAFilterSave&) = delete;

  // A different filter replaces the saved one (its active state recorded);
  // the saved filter given again changes nothing, not even the state.
  void SetFilter(CNAFilter* pclFilter);
  // The other's filter, then the other's recorded active flag.
  void Copy(CNAFilterSave& clOther);
  // Whether the filter in force (may be null) is the saved one, in the same
  // active state.
  int bFilterEquals(CNAFilter* pclFilter) const;
  CNAFilter* pclGetFilterNoRef() const { return m_pclFilter; }
  int bGetSavedActive() const { return m_bActive; }

 private:
  CNAFilter* m_pclFilter = nullptr;
  int m_bActive = 0;
};

#endif  // KQ230_SQLBUILDER_FILTER_H_
