// CNARecherche: a search of the server's record commands (read the records
// whose item equals a value or begins with it; position on the current
// record; browse on from a found record) as search-condition trees
// (sqlbuilder/expression.h) and, on request, as the WHERE condition of a
// command with its parameters.
//
// It keeps three trees: the search's own condition, and the two conditions
// that continue a browse beyond the searched records, forward (greater than)
// and backward (less than), so that a browse that has read the last matching
// record goes on in key order outside the search while its found state turns
// false. The statements create it and, with the data accesses, drive it; the
// filter (sqlbuilder/filter.h) derives from it.
//
// Directions (kq230/parse_direction.h): a search continues forward for
// NA_PARSE_FIRST (0) and backward for NA_PARSE_LAST (1); the data access
// maps next to first and previous to last before asking.
//
// States: 0 inactive (nothing is written), 1 searching (the search condition
// is current; found is always true), 2 continuing (a continuation condition
// is current; found is the found flag). A continuation switch goes 1 -> 2
// (direction 1: the backward condition, any other: the forward one) and any
// other state -> 1; the direction is recorded either way. A continuation is
// allowed only when its tree exists (none with flag 0x10): without one the
// search would write no condition and read every row.
//
// Where the operations live: this file and record_search.cc (set-up, one-
// column, key and bound comparisons, states, bGetSQL, equality, clone);
// record_search_composite.cc (composite-key comparisons: component lists,
// composite equality, lexicographic comparison, cutting a composite value
// into its components); record_search_extremes.cc (the types' extreme
// values and their test).
//
// Extreme values: every extreme that s_SetAnyToMin / s_SetAnyToMax make is
// recognised by eCheckValue (a filter bound at an extreme is no bound); the
// money minimum is the most negative amount, so a filter from the minimum
// keeps negative amounts; the date-time maximum is the last instant of
// 9999-12-31, the last day MariaDB holds.
//
// Ownership: counted as CInterf (born at 0). The search holds one reference
// on its error object, its connection, each tree and each parameter, and one
// external reference on its fetch item.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_SQLBUILDER_RECORD_SEARCH_H_
#define KQ230_SQLBUILDER_RECORD_SEARCH_H_

#include "core/growable_array.h"
#include "driver/reference_counted.h"
#include "items/column.h"
#include "items/na_operator.h"
#include "kq230/parse_direction.h"
#include "sqlbuilder/expression.h"
#include "sqlbuilder/parameter.h"
#include "values/any.h"

class CNACommand;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class CNAFilter;
class CNARecord;
class INAItemDescription;

// Debug-line file number of the search's errors.
inline constexpr int kNAFileRecordSearch = 31;

// Whether the server's item is a key that never holds NULL: a primary key;
// not a unique item; for an interface version above 8, unless its
// constraint allows NULL; below, the automatic identifiers (item types 1 and
// 28). False for a null item.
int g_bItemUniqueNotNull(INAItemDescription* piItem);

class CNARecherche : public CInterf {
 public:
  // Search flags.
  static constexpr unsigned int kGeneric = 0x1;         // the item begins with the value
  static constexpr unsigned int kOnRecord = 0x2;        // positioned on the current record
  static constexpr unsigned int kBound = 0x4;           // values are a filter's bounds
  static constexpr unsigned int kRecordValues = 0x8;    // values are the record's own
  static constexpr unsigned int kNoContinuation = 0x10; // no continuation trees
  static constexpr unsigned int kLowerBound = 0x40;
  static constexpr unsigned int kUpperBound = 0x80;
  static constexpr unsigned int kComposedKey = 0x100;

  // Inactive, direction 4, no trees, no fetch item, an empty value; one
  // reference on each (both may be null).
  CNARecherche(CNAError* pclError, CNAConnectionDescription* pclConnection);
  // For clones: everything empty.
  CNARecherche();
  ~CNARecherche() override;
  CNARecherche(const CNARecherche&) = delete;
  CNARecherche& operator=(const CNARecherche&) = delete;

  // ---- Virtual operations (after CInterf's three)
  // Resets the command (ResetCommand(0)), drops the search's parameters and
  // writes the current condition, joined as AND(filter, search) with an
  // active filter's condition (0x100 on a composite-key search). Nothing to
  // write: 1 and an empty command. A condition that turned always false in
  // an empty command is written as "0=1". Answers 1, or 0 when a parameter
  // could not be written.
  // REQUIRES: pclCommand non-null.
  virtual int bGetSQL(CNACommand* pclCommand, CNAFilter* pclFilter, CNARecord* pclRecord);
  // A copy sharing the error object, the connection and the four trees;
  // state, direction, found flag, flags, parameters and searched value
  // copied; no fetch item. Count 0; null when memory is refused.
  virtual CNARecherche* pclClone();
  // A new empty node sharing the search's error object.
  virtual CNAExpression* pclAllocExpression();
  // A new empty object of this class (for clones).
  virtual CNARecherche* _pclAllocRecherche();

  // ---- Set-up
  // A search of the item for the value: generic when bExact is 0. The last
  // argument is not used. Answers the set-up's result (1: the set-up does
  // not fail; an item the record does not hold leaves the search inactive).
  int bSetRecherche(CNARecord* pclRecord, INAItemDescription* piItem, const CAny* pValue,
                    eNA_PARSEDIRECTION eDirection, int bExact, int nUnused);
  // A search positioned on the current record: flags 0x1A when
  // bNoContinuation, else 0x0A; pTabColumns (may be null) replaces the
  // record's order columns for composite positioning.
  int bRechercheEnreg(CNARecord* pclRecord, INAItemDescription* piItem,
                      eNA_PARSEDIRECTION eDirection, int bNoContinuation,
                      const CNARefArray<CNAColumn>* pTabColumns);
  // One more comparison joined with eJoin into the three trees; an inactive
  // search drops its old trees first; the search becomes state 1.
  int bAddExpression(CNARecord* pclRecord, INAItemDescription* piItem, eNAOperator eOperator,
                     const CAny* pValue, int bGeneric, eNAOperator eJoin, int bBound);

  // ---- States
  void Activate();
  void Desactivate();
  void Cancel() { m_bFound = 1; }
  int bHTrouve() const { return m_nState == 1 ? 1 : m_bFound; }
  int bPeutContinuerParcours(eNA_PARSEDIRECTION eDirection) const;
  int bSetContinueParcours(eNA_PARSEDIRECTION eDirection);
  int bReviensParcoursPrecedent(eNA_PARSEDIRECTION eDirection);
  int nGetState() const { return m_nState; }
  eNA_PARSEDIRECTION eGetDirection() const { return m_eDirection; }
  void SetDirection(eNA_PARSEDIRECTION eDirection) { m_eDirection = eDirection; }
  unsigned int nGetFlags() const { return m_nFlags; }
  // Not positioned on the record and the fetch item is a composite key.
  int bIsComposedKeySearch() const;

  // ---- Trees and parameters
  // The search condition with a reference added; null when none.
  CNAExpression* pclGetExpression() const;
  CNAExpression* pclGetCurrentExpressionNoRef() const { return m_pclCurrent; }
  CNAExpression* pclGetForwardExpressionNoRef() const { return m_pclForward; }
  CNAExpression* pclGetBackwardExpressionNoRef() const { return m_pclBackward; }
  int nGetNbParameter() const { return m_tabParameters.nGetNbElement(); }
  // With a reference added; null outside the range.
  CNAParameter* pclGetParameter(int n) const;
  INAItemDescription* piGetFetchItemNoRef() const { return m_piFetchItem; }
  const CAny* pGetSearchedValue() const { return &m_Value; }

  // ---- Equality
  int bEqualsSearch(const CNARecherche* pclOther) const;
  static int g_bEqualsSearch(const CNARecherche* pclA, const CNARecherche* pclB);

  // ---- Called by the trees while writing
  // A parameter through the driver at nPosition, bound to the column (may be
  // null), appended to the search. Null with user error 12 when refused.
  CNAParameter* _pclAddParameter(CNAColumn* pclColumn, CNAConvertVariant* pclValue,
                                 unsigned int nPosition, unsigned int nOptions);
  // Drops, from the end, every parameter whose position is not below nPosition.
  void _RemoveParameterByPos(unsigned int nPosition);
  // Appends the command's parameters from index nFrom on.
  void GetParameterFromQuery(CNACommand* pclCommand, unsigned int nFrom);

  // ---- Statics
  // The type's minimum and maximum (record_search_extremes.cc); types
  // without extremes are left unchanged.
  static void s_SetAnyToMin(CAny* pValue);
  static void s_SetAnyToMax(CAny* pValue);
  // 0 an ordinary value (and NULL), 1 the type's minimum, 2 its maximum.
  static int eCheckValue(const CAny* pValue);
  // Tab, line feed, carriage return and space.
  static int s_bEspaceSQL(wchar_t c);

 protected:
  // The set-up shared by bSetRecherche and bRechercheEnreg.
  int _bSetRecherche(CNARecord* pclRecord, INAItemDescription* piItem, const CAny* pValue,
                     eNA_PARSEDIRECTION eDirection, unsigned int nFlags,
                     const CNARefArray<CNAColumn>* pTabColumns);
  // One comparison of the item (count 0; null: no condition, or memory
  // refused with the error recorded).
  CNAExpression* _pclAddExpression(CNARecord* pclRecord, INAItemDescription* piItem,
                                   eNAOperator eOperator, const CAny* pValue, unsigned int nFlags,
                                   const CNARefArray<CNAColumn>* pTabColumns);
  CNAExpression* _pclAddExpression_OneItem(CNARecord* pclRecord, CNAColumn* pclColumn,
                                           eNAOperator eOperator, const CAny* pValue,
                                           unsigned int nFlags);
  // The comparisons of columns [nFirst, nLast] with their values, joined by
  // eJoin; pclComposite (may be null) is the composite key they are the
  // components of (its descending flags apply).
  CNAExpression* _pclAddKeyExpression(CNARecord* pclRecord,
                                      const CNARefArray<CNAColumn>* pTabColumns,
                                      CTTableau<CAny*>* pTabValues, CNAColumn* pclComposite,
                                      int nFirst, int nLast, eNAOperator eOperator,
                                      unsigned int nFlags, eNAOperator eJoin);
  CNAExpression* _pclAddBorne(CNARecord* pclRecord, const CNARefArray<CNAColumn>* pTabColumns,
                              CTTableau<CAny*>* pTabValues, CNAColumn* pclComposite, int nIndex,
                              eNAOperator eOperator, unsigned int nFlags, eNAOperator eJoin);
  // Examines a filter bound on the column: 0 no bound (drop the
  // comparison); else 1 with *peOperator and *pbGeneric possibly changed and
  // pValue cut. A minimum is no bound for a lower bound (operators 5, 7) and
  // a maximum none for an upper bound (6, 8); the other way round the value
  // still bounds ("c >= the maximum" is not every row).
  int _GetValue(CNAColumn* pclColumn, CAny* pValue, eNAOperator* peOperator, int* pbGeneric);
  // The column of the item in the record; null when the record does not
  // hold the item (over a table, the column at the item's index must carry
  // the item or its name).
  static CNAColumn* _pclGetColumnOfItem(CNARecord* pclRecord, INAItemDescription* piItem);
  // The first unique column with a defined value: among pTabColumns when
  // given, else the record's (CNARecord::pclGetUniqueKeyNotNullNoRef).
  static CNAColumn* _pclGetUniqueKeyWithValue(CNARecord* pclRecord,
                                              const CNARefArray<CNAColumn>* pTabColumns);
  // The continuation tree of the search condition for eOperator (5 or 6):
  // built like it, or a clone transformed by pclTransformEqualTo. One
  // reference for the caller; null when none.
  CNAExpression* _pclBuildContinuation(CNARecord* pclRecord, INAItemDescription* piItem,
                                       const CAny* pValue, eNAOperator eOperator,
                                       const CNARefArray<CNAColumn>* pTabColumns, int bRebuild);

  // record_search_composite.cc
  CNAExpression* _pclAddExpression_MultipleItems(CNARecord* pclRecord, CNAColumn* pclColumn,
                                                 eNAOperator eOperator, const CAny* pValue,
                                                 unsigned int nFlags,
                                                 const CNARefArray<CNAColumn>* pTabColumns);
  CNAExpression* _pclAddKeyExpressionEq(CNARecord* pclRecord,
                                        const CNARefArray<CNAColumn>* pTabColumns,
                                        CTTableau<CAny*>* pTabValues, CNAColumn* pclComposite,
                                        unsigned int nFlags);
  CNAExpression* _pclAddKeyExpressionInfSup(CNARecord* pclRecord,
                                            const CNARefArray<CNAColumn>* pTabColumns,
                                            CTTableau<CAny*>* pTabValues,
                                            CNAColumn* pclComposite, int nCount,
                                            eNAOperator eOperator, unsigned int nFlags);
  // The searched column (or its components) first, then the record's order
  // columns up to and including the unique key, each once.
  int _AddAllItem(CNARecord* pclRecord, CNAColumn* pclColumn, CNARefArray<CNAColumn>* pTabOut);
  static int _bGenericSearchDueTohValMax(CAny* pValue);
  // Cuts the composite value's bytes into one value per component (new
  // CAny objects appended to pTabValues, owned by the caller). *pbMin /
  // *pbMax report a last partial component marked minimal / maximal.
  int _GetComponentValue(const CNARefArray<CNAColumn>* pTabComponents, const CAny* pValue,
                         CTTableau<CAny*>* pTabValues, int* pbMin, int* pbMax, int bBound);

  // A new conversion holder of the driver holding pValue, typed by the
  // column (or by the value when pclColumn is null). Count 0; null with
  // user error 12 when refused, or user error 53 (from the holder) when the
  // value cannot become the column's type; either marks the build failed.
  CNAConvertVariant* _pclNewVariant(CNAColumn* pclColumn, const CAny* pValue);
  void _ReleaseTrees();
  // User error 12; marks the build failed.
  void _RaiseNoMemory(int nSite);

  // ---- Text extremes (record_search_extremes.cc)
  // A text value whose last character is the high marker of searches (the
  // counted texts' flag, the wide unit 0xFFFFFFFF, the byte 0xFF of the
  // 8-bit texts other than the counted one).
  static int _bIsMaximalText(const CAny* pValue);
  // Drops the last character of a text value (a counted or zero-terminated
  // text becomes a counted one of its width; date and time texts keep their
  // type). 0 when nothing would remain (the value is then unchanged).
  static int _bCutHighMarker(CAny* pValue);
  // A text value whose last character is 0 (a generic search for it is an
  // exact one).
  static int _bEndsWithZeroCharacter(const CAny* pValue);

  CNAError* m_pclError = nullptr;
  int m_nState = 0;
  eNA_PARSEDIRECTION m_eDirection = NA_PARSE_CURRENT;
  int m_bFound = 0;
  unsigned int m_nFlags = 0;
  CNAExpression* m_pclSearch = nullptr;
  CNAExpression* m_pclForward = nullptr;
  CNAExpression* m_pclBackward = nullptr;
  CNAExpression* m_pclCurrent = nullptr;
  CRefArray<CNAParameter> m_tabParameters{10, 30};
  CAny m_Value;
  INAItemDescription* m_piFetchItem = nullptr;
  CNAConnectionDescription* m_pclConnection = nullptr;
  // Set when a comparison could not be built (memory, a value the column
  // cannot hold), so that "no condition" is not taken for "every row".
  int m_bBuildFailed = 0;
};

#endif  // KQ230_SQLBUILDER_RECORD_SEARCH_H_
