// CNAColumnSQL: the description of one result column of a statement of the
// handle-level SQL interface, as the back end reads it from the client
// library (its field description): the column's name in the result, its
// table and its name in that table, the item type and size the connection
// gives it, its digits, its key flags, and the database's own type name and
// type code. The data-source description of a statement result makes one
// item of each (CNADataSourceDescription::bInitDataSourceDescriptionFromStatement).
//
// A plain record: no base, no count. The statement owns an array of them,
// one per result column, made when its result is opened and destroyed when
// the result is reset.
//
// Texts are wide (the back end converts the client library's names from the
// connection's code page when it fills the record) and kept exactly as given:
// quotes, backquotes, backslashes, "%", "_" and characters outside the basic
// plane are not touched.
//
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_ITEMS_COLUMN_SQL_H_
#define KQ230_ITEMS_COLUMN_SQL_H_

#include <cstdint>

#include "core/wide_string.h"
#include "items/item_types.h"

class CNAColumnSQL {
 public:
  // The client library's field flags that say a column takes part in a key.
  static constexpr unsigned int kFieldPrimaryKey = 0x0002;
  static constexpr unsigned int kFieldUniqueKey = 0x0004;
  static constexpr unsigned int kFieldMultipleKey = 0x0008;

  // Everything zero, texts empty.
  CNAColumnSQL() = default;
  virtual ~CNAColumnSQL() = default;
  CNAColumnSQL(const CNAColumnSQL&) = delete;
  CNAColumnSQL& operator=(const CNAColumnSQL&) = delete;

  // ---- What a description reads
  const wchar_t* pszGetName() const { return m_strName.pszGet(); }
  // The table the column comes from (empty for a computed column).
  const wchar_t* pszGetTableName() const { return m_strTableName.pszGet(); }
  // The column's name in that table (empty for a computed column).
  const wchar_t* pszGetNameInTable() const { return m_strNameInTable.pszGet(); }
  int nGetItemSize() const { return m_nItemSize; }
  eNA_ITEMTYPE eGetItemType() const { return m_eItemType; }
  int nGetIntegerDigits() const { return m_nIntegerDigits; }
  int nGetDecimalDigits() const { return m_nDecimalDigits; }
  unsigned short wGetKeyFlags() const { return m_wKeyFlags; }
  const wchar_t* pszGetNativeTypeName() const { return m_strNativeTypeName.pszGet(); }
  int nGetNativeTypeCode() const { return m_nNativeTypeCode; }
  // The column's length as the client library gives it (64-bit: a LONGBLOB
  // says 4 GB) and its field flags.
  long long llGetLength() const { return m_llLength; }
  unsigned int dwGetFieldFlags() const { return m_dwFieldFlags; }
  int nGetCharsetNumber() const { return m_nCharsetNumber; }

  // ---- Filling (the back end's statement)
  void SetNames(const wchar_t* pszName, const wchar_t* pszTableName,
                const wchar_t* pszNameInTable) {
    m_strName = pszName;
    m_strTableName = pszTableName;
    m_strNameInTable = pszNameInTable;
  }
  void SetItemType(eNA_ITEMTYPE eType, int nItemSize, int nIntegerDigits, int nDecimalDigits) {
    m_eItemType = eType;
    m_nItemSize = nItemSize;
    m_nIntegerDigits = nIntegerDigits;
    m_nDecimalDigits = nDecimalDigits;
  }
  void SetNativeType(const wchar_t* pszName, int nCode) {
    m_strNativeTypeName = pszName;
    m_nNativeTypeCode = nCode;
  }
  // The length, the field flags (the key flags follow them, see
  // s_wKeyFlagsFromFieldFlags) and the character set.
  void SetField(long long llLength, unsigned int dwFieldFlags, int nCharsetNumber) {
    m_llLength = llLength;
    m_dwFieldFlags = dwFieldFlags;
    m_wKeyFlags = s_wKeyFlagsFromFieldFlags(dwFieldFlags);
    m_nCharsetNumber = nCharsetNumber;
  }
  void SetKeyFlags(unsigned short wKeyFlags) { m_wKeyFlags = wKeyFlags; }

  // The item key flags of a column with these field flags: primary key,
  // unique key or key with duplicates, each ascending; 0 for a column of no
  // key. A column that is in several keys takes the strongest.
  static unsigned short s_wKeyFlagsFromFieldFlags(unsigned int dwFieldFlags);

 private:
  CTString m_strName;
  long long m_llLength = 0;
  int m_nItemSize = 0;
  int m_nIntegerDigits = 0;
  int m_nDecimalDigits = 0;
  int m_nNativeTypeCode = 0;
  CTString m_strTableName;
  int m_nCharsetNumber = 0;
  unsigned int m_dwFieldFlags = 0;
  eNA_ITEMTYPE m_eItemType = NA_IT_EMPTY;
  unsigned short m_wKeyFlags = 0;
  CTString m_strNameInTable;
  CTString m_strNativeTypeName;
};

#endif  // KQ230_ITEMS_COLUMN_SQL_H_
