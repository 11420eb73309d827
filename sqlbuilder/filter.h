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
// one by reference count; it owns a copy of the bounds it was set with.
// CNAFilterSave holds one reference on its saved filter.
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
  // descending item, AND the parsed condition (may be null). Equal bounds,
  // both included, give one equality; equal bounds of which one is excluded
  // keep both comparisons (no row has such a value). Bounds that cross are
  // written as given (no row). nFlags: 0 from the statement; 0x8 with no
  // bounds for the duplicate check (equality with the record's value). The
  // lower part carries the flags | 0x44, the upper one | 0x84, the AND nodes
  // made here | 0x4.
  // Answers 1 when a condition was made or none is needed (nothing asked,
  // every bound at its extreme: the filter then has no condition); 0 when a
  // part could not be made (memory, a bound the item cannot hold: user
  // error 53; the error is recorded and the filter has no condition).
  int bSetFilter(CNARecord* pclRecord, INAItemDescription* piItem, const CAny* pLower,
                 int bLowerIncluded, const CAny* pUpper, int bUpperIncluded,
                 ISQLParserInformation* piCondition, unsigned int nFlags);
  void ActivateFilter(int bActive);
  int bIsFilterActive() const { return nGetState() != 0; }
  // The same object; or equal searches (CNARecherche::bEqualsSearch) set
  // with the same bounds (the language's equality), inclusive flags and
  // flags, neither with a parsed condition. A filter keeps its own
  // parameters only when it writes itself, so the search's equality alone
  // would take two filters of one item with different bounds for the same
  // filter; a parsed condition cannot be compared, so it makes a distinct
  // filter differ (a needless re-read, never rows of another filter).
  int bEqualsFilter(const CNAFilter* pclOther) const;
  // Both absent: true; one absent: whether the other is inactive.
  static int g_bEqualsFilter(const CNAFilter* pclA, const CNAFilter* pclB);

 private:
  // What the last bSetFilter was given (bounds as given, before a
  // descending item exchanges them), for bEqualsFilter; copied by clones.
  CAny m_Lower;
  CAny m_Upper;
  int m_bHasLower = 0;
  int m_bHasUpper = 0;
  int m_bLowerIncluded = 0;
  int m_bUpperIncluded = 0;
  int m_bParsedCondition = 0;
  unsigned int m_nFilterFlags = 0;
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
