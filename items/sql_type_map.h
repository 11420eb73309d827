// The SQL type map of a connection: from item type to the SQL type text that
// creates a column able to hold the item (VARCHAR(40), NUMERIC(12,2) ...).
// CNAMapConvertType holds one CNATypeInfo per item type: a type text and
// whether it takes the item's size (or precision and scale). _Init makes the
// generic defaults; a back end then replaces entries with Add and drops the
// ones its server lacks with Remove (mariadb/: CMySQLConnection's final map).
//
// Type texts with the takes-size flag hold "%d" placeholders that are filled
// here by plain substitution, never by a printf of the text: a registered text
// with any other "%" sequence is written as it is ("%%" gives "%").
//
// Ownership: the map holds one CInterf reference of each entry; bFormat holds
// another while it writes. The map belongs to its connection.
// Threads: none; one connection's map is used under the driver lock.
#ifndef KQ230_ITEMS_SQL_TYPE_MAP_H_
#define KQ230_ITEMS_SQL_TYPE_MAP_H_

#include "core/counted_string.h"
#include "core/hash_table_bounce.h"
#include "core/wide_string.h"
#include "driver/reference_counted.h"
#include "items/item_types.h"

// What the type text of an item is made from: its type, its sizes and digits
// (as the item description answers them).
struct stNATypeItemFacts {
  eNA_ITEMTYPE eItemType = NA_IT_EMPTY;
  int nItemSize = 0;     // bytes of the item in the record
  int nLogicalSize = 0;  // characters (texts) or bytes (binaries)
  int nIntegerPart = 0;  // decimal digits before the point
  int nDecimalPart = 0;  // decimal digits after the point
};

// One entry: the type text and the takes-size flag.
class CNATypeInfo : public CInterf {
 public:
  CNATypeInfo(const wchar_t* pszText, int bTakesSize);
  ~CNATypeInfo() override;

  const wchar_t* pszGetText() const { return m_csText.pszGet(); }
  int bTakesSize() const { return m_bTakesSize; }

  // The SQL type text of the item into *pOut. Without the takes-size flag
  // the text itself. With it, by item type: NA_IT_HEURE one number, the item
  // size - 7 (fraction digits of HHMMSS + fraction + terminator) clamped to
  // 0..6; NA_IT_DECIMAL two numbers, integer + decimal part and the decimal
  // part; any other one number, the logical size. 1, or 0 when *pOut could
  // not take the text (then unchanged).
  // REQUIRES: pOut non-null; the string allocator is bound.
  int Format(const stNATypeItemFacts& stItem, CXYString<wchar_t>* pOut) const;

  // The text with each "%d" replaced by the next of the n numbers (0 once
  // they run out) and "%%" by "%"; anything else copied.
  static void s_Substitute(const wchar_t* pszText, const int* pnNumbers, int n, CTString* pOut);

 private:
  CTString m_csText;
  int m_bTakesSize;
};

class CNAMapConvertType : public CNARefHashTable<eNA_ITEMTYPE, CNATypeInfo*> {
 public:
  // An empty map (no entry until _Init or Add).
  CNAMapConvertType();
  ~CNAMapConvertType() override;

  // The generic defaults: 30 entries, none for 0, 8, 16 and 18.
  virtual void _Init();

  // Replaces the entry of eType by a new one with a copy of the text. 1, or
  // 0 when no memory was had (the old entry is then kept).
  int Add(eNA_ITEMTYPE eType, const wchar_t* pszText, int bTakesSize);
  // Drops the entry of eType; 1 when there was one.
  int Remove(eNA_ITEMTYPE eType);
  // The entry of eType (not counted for the caller), or null.
  CNATypeInfo* pclGet(eNA_ITEMTYPE eType) const;

  // The type text of the item. 1 when its type has an entry (and the text
  // was written), 0 otherwise with *pOut untouched.
  int bFormat(const stNATypeItemFacts& stItem, CXYString<wchar_t>* pOut) const;
  // The same for an item as the server or the driver describes it.
  // REQUIRES: piItem non-null.
  int bFormat(const INAItemDescription* piItem, CXYString<wchar_t>* pOut) const;
};

#endif  // KQ230_ITEMS_SQL_TYPE_MAP_H_
