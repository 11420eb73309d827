// CNAColumn: one item of the record of a data access. It joins the item as
// the server's analysis describes it (INAItemDescription), the same item as
// the database reports it (the imported CNAItemDescription, optional), the
// item's value in the current and original record buffers of its record
// (items/record.h), and a value holder (CNAConvertVariant) that converts
// that value for the database. It answers the SQL builder's and the data
// access's questions about the item: names formatted for SQL, key, memo and
// NULL properties, whether the value was modified, and the value itself as a
// language value. CNASQLColumn is the column whose value is read from a
// result column of a statement.
//
// A plain item's holder works in place on the item's slot of the current
// record buffer (holder mode 3); a memo's holder keeps the value itself and
// is shared with the current record value (the buffer only holds the memo's
// defined bit).
//
// Names: the item name and the name in source go through the connection's
// name writer (CNAConnectionDescription::bFormatItemName), which doubles
// inner quotes and trusts only one well-formed quoted name; a name it
// refuses fails bFormatName / vbInit.
//
// Ownership: counted (CInterf, born at 0). It holds one external reference on
// the analysis item and on the imported item, one counted reference on its
// error object, its value holder and each component of a composed key. The
// record is not counted: the record owns its columns.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_ITEMS_COLUMN_H_
#define KQ230_ITEMS_COLUMN_H_

#include "core/growable_array.h"
#include "core/wide_string.h"
#include "driver/reference_counted.h"
#include "items/item_types.h"

class CAny;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class CNAItemDescription;
class CNAParsedQuery;
class CNARecord;
class CNAStatementBase;
class CNAVariant;
class CNAZBRecordBase;
class INAItemDescription;
template <class T>
class CXYStringConcat;

class CNAColumn : public CInterf {
 public:
  // Flag of bSameValue: trailing bytes of the column's data past the given
  // value need not be zero.
  static constexpr unsigned int kSameValuePrefix = 0x1000;
  // File number of the column's errors in their debug line.
  static constexpr int kErrorFile = 12;

  // Takes a counted reference on the error object and an external one on
  // the item (either may be null).
  CNAColumn(CNAError* pclError, INAItemDescription* piItem);
  ~CNAColumn() override;
  CNAColumn(const CNAColumn&) = delete;
  CNAColumn& operator=(const CNAColumn&) = delete;

  // ---- Virtual operations after CInterf's, in slot order
  // Keeps the record, formats the names, takes the imported item, and
  // (unless a composed key) makes the value holder. 0 on the first failure.
  virtual int vbInit(CNARecord* pclRecord, CNAItemDescription* pclImported);
  virtual int bInitVariant(CNARecord* pclRecord);
  virtual int bSetImportedItemDesc(CNAItemDescription* pclImported);
  // bInitVariant again after the record's buffers were made anew.
  virtual int bUpdateChangedTypeInCurrentRecord();
  virtual int bIsAutoIncrementOnDataBase() const;
  virtual const wchar_t* pszGetAliasNomTable() const;
  virtual const wchar_t* pszGetFormatedAliasNomTable() const;
  // The value as a language value (a composed key: its bytes as a binary
  // value). 0 when it cannot be read.
  virtual int bGetCurrentValue(CAny* pValue, unsigned int nFlags);
  virtual int bGetOriginalValue(CAny* pValue, unsigned int nFlags);
  // Replaces the builder's text with the trace text of the value (with
  // bWithName: "<name> = <value>"). Answers the value read's result.
  virtual int bCurrentValueToString(CXYStringConcat<wchar_t>* pText, int bWithName);
  // Stores a value read or set, not marking it modified.
  virtual int bSetValue(const CAny* pValue, unsigned int nFlags);
  virtual int bValueModified();
  virtual int bValueDefined();
  virtual int bOriginalValueDefined();
  virtual int bSameValue(const CAny* pValue, unsigned int nFlags);
  virtual int bCheckAndCorrectZBRecordValues();
  // Base: 0 (a column of this class reads nothing from a statement).
  virtual int bSetValueFromDB(CNAStatementBase* pclStatement, unsigned int nFlags);
  virtual int bHAttacheMemo(const wchar_t* pszPath);
  virtual int bHExtraitMemo(const wchar_t* pszPath);
  virtual int bGetBLOB(CAny* pValue);
  virtual int bMustDefine(unsigned int nFlags);
  virtual int bMustBind(unsigned int nFlags);
  virtual int bGetCacheValue(CAny* pValue, unsigned int nFlags);
  virtual CNAConvertVariant* pclGetNAValue() const;
  // A clone of the holder (count 0, the caller's); null without holder.
  virtual CNAConvertVariant* pclGetVariantClone() const;
  // Back to the given original holder's value (none: NULL); not modified.
  virtual int bRestaureOriginalValue(CNAConvertVariant* pclOriginal);

  // ---- Names (texts owned by the column or its items; "" when none)
  const wchar_t* pszGetName() const;
  // The name in source when not empty, else the name.
  const wchar_t* pszGetOriginalName() const;
  const wchar_t* pszGetSourceName() const;
  const wchar_t* pszGetFormatedName() const { return m_strFormattedName.pszGet(); }
  const wchar_t* pszGetFormatedOriginalName() const { return m_strFormattedOriginalName.pszGet(); }
  // The record's table name; "" without record.
  const wchar_t* pszGetTableName() const;
  // The cached select name: bFormatedName != 0 gives the formatted name;
  // else, over a query, "alias." (or "source.") before the formatted
  // original name. The first call decides the cached form.
  const wchar_t* pszGetFormatedSelectName(int bFormatedName);
  int bFormatName();
  // Sets the table alias and its form formatted as a table name by the
  // connection (the data access over a query). 0 when the connection
  // refuses the name.
  int bSetAliasNomTable(const wchar_t* pszAlias);

  // ---- Item properties (analysis item)
  int nGetPhysicalIndice() const;
  int bIsComposedKey() const;
  int bIsMemo() const;
  int bIsMemoText() const;
  int bIsMemoBin() const;
  int bLiteral() const;
  int nGetItemSize() const;
  int nGetValueSize() const { return nGetItemSize(); }
  int nGetLogicalSize() const;
  int nGetIntegerPart() const;
  int nGetDecimalPart() const;
  eNA_ITEMTYPE eNAGetItemType() const;
  int bGetDescendantComponent(int n) const;
  unsigned short eGetVXType() const;
  int bBinaryString() const { return eNAGetItemType() == NA_IT_BINAIRE; }
  int bIsIdAuto() const;

  // ---- Imported item first
  int bIsMemoDB() const;
  int bUpdatable() const;
  int nGetLogicalSizeOnDatabase() const;
  eNA_ITEMTYPE eNAGetItemTypeOnDatabaseEx() const;
  eNA_ITEMTYPE eNAGetItemTypeOnDatabase() const;
  int nGetDBType() const;
  int bGetIgnoreCase(int n) const;
  int bIsUnique() const;
  int bUnique() const { return bIsUnique(); }
  int bPrimary() const;

  // ---- NULL rules
  int bIsNullable() const;
  int bIsNullableOnDataBase() const;
  int bUniqueNotNull() const;
  // Whether the column's own value counts as NULL.
  int bNullOrEquivalent();
  // Whether a value counts as NULL for this column (null: yes).
  int bNullOrEquivalent(const CAny* pValue) const;
  int bNullOrEquivalent(const CNAVariant* pclValue) const;
  // The current value carries the NULL flag.
  int bNull();
  // The item's defined bit in the current row's buffer (0 without buffer).
  int bDefinedInCurrent() const { return _bItemDefinedInCurrent(); }

  // ---- Composed keys
  // Appends a component (counted). 0 when the array cannot grow.
  int AddCompositeKey(CNAColumn* pclComponent);
  // The components; null for a column that has none.
  CNARefArray<CNAColumn>* pclGetTabComponent() const { return m_pTabComponents; }
  int bIsComposedKeyComponent(const CNAColumn* pclColumn) const;

  // ---- Links
  // The analysis item with one external reference for the caller.
  INAItemDescription* piGetItem() const;
  INAItemDescription* piGetItemNoRef() const { return m_piItem; }
  CNAItemDescription* piGetImportedItemDescNoRef() const { return m_pclImported; }
  CNARecord* pclGetRecordNoRef() const { return m_pclRecord; }
  CNAError* pclGetError() const { return m_pclError; }
  CNAConnectionDescription* pclGetCnx() const;
  CNAParsedQuery* pclGetSourceQueryNoRef() const;
  int bSourceIsQuery() const;
  // Over a query, whether the item is a computed expression (non-zero), as
  // the driver's own (imported) description of it says; else 0.
  int eGetTypeColonne() const;
  // Index among the record's memo columns; -1 when absent.
  int nGetMemoIndice() const;

  // ---- Values
  unsigned char* pGetValuePtr(CNAZBRecordBase* pclBuffer) const;
  // In the record's current buffer (the column's own record when null).
  unsigned char* pGetValuePtr(CNARecord* pclRecord) const;
  int bSetValueNULL();
  // Stores a value that goes to the database (a memo: modified when it
  // differs).
  int bSetValueToDB(const CAny* pValue, unsigned int nFlags);
  int bConvertDataToDB();
  // Types the given holder (not the column's) as a language value of
  // nVXType (the item's when 0) for this item.
  int bInitVariant_NV_Any(CNAError* pclError, CNAConvertVariant* pclValue,
                          unsigned short nVXType) const;
  void SetValueIsUnreadYet();
  int bValueIsUnreadYet() const;
  // A memo: not modified, no attached file.
  void SetNotModified();
  int bMemoModified() const { return m_bMemoModified; }
  const wchar_t* pszGetAttachedMemoFile() const { return m_strAttachedFile.pszGet(); }
  void _SetItemValueDefinedInZBRecord(int bDefined, unsigned int nFlags);

 protected:
  CNAZBRecordBase* _pclGetCurrentBuffer() const;
  CNAZBRecordBase* _pclGetOriginalBuffer() const;
  int _bItemDefinedInCurrent() const;
  int _bSetValueMemoToDB(const CAny* pValue, unsigned int nFlags);
  int _bGetComposedKeyValue(CAny* pValue, unsigned int nFlags);
  // The conversion error (user error 53) for a value the item cannot hold;
  // answers 0.
  int _SetConversionError(const CAny* pValue);

 private:
  INAItemDescription* m_piItem = nullptr;
  // The item's physical index, memo and composed-key marks as bInitVariant
  // last read them (m_bItemKnown 0: not read yet, ask the item).
  int m_nPhysicalIndex = -1;
  int m_nMemo = 0;
  int m_nComposed = 0;
  int m_bItemKnown = 0;
  CNAItemDescription* m_pclImported = nullptr;
  CNAError* m_pclError = nullptr;
  CTString m_strFormattedName;
  CNARecord* m_pclRecord = nullptr;
  CNARefArray<CNAColumn>* m_pTabComponents = nullptr;
  CTString m_strAlias;
  CTString m_strFormattedAlias;
  CTString m_strFormattedOriginalName;
  CTString m_strSelectName;
  CNAConvertVariant* m_pclValue = nullptr;
  int m_bMemoModified = 0;
  CTString m_strAttachedFile;
};

// CNASQLColumn: the column whose value is read from the statement's result
// column at the item's physical index.
class CNASQLColumn : public CNAColumn {
 public:
  CNASQLColumn(CNAError* pclError, INAItemDescription* piItem) : CNAColumn(pclError, piItem) {}
  int bSetValueFromDB(CNAStatementBase* pclStatement, unsigned int nFlags) override;
};

#endif  // KQ230_ITEMS_COLUMN_H_
