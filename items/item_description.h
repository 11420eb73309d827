// CNAItemDescription: the driver's description of one item of a data source
// (a column of a table or query result, or a key; a composed key is an item
// of its own whose components are other items). It answers the server
// through INAItemDescription exactly as the server's own items do, and keeps
// what the driver needs besides: the item's place in the record buffer, the
// database's type code and name, source table and column, computed-column
// expression and default value.
//
// Sizes: item size and dimension are 32-bit on the boundary; every product
// and sum is made in 64 bits, and an item whose total size would pass
// 2^31 - 1 bytes is refused by bInit / bAddComponent (answer 0), so the
// record layout never wraps.
//
// Ownership: two counts, internal (AddRef / nRelease) and external
// (ExternalAddRef / nExternalRelease); the item deletes itself when the count
// it decrements reaches 0 while the other is 0. Components hold one internal
// reference each; the enumeration and combination objects one reference each.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_ITEMS_ITEM_DESCRIPTION_H_
#define KQ230_ITEMS_ITEM_DESCRIPTION_H_

#include <cstdint>

#include "core/counted_string.h"
#include "core/wide_string.h"
#include "core/growable_array.h"
#include "items/sql_type_map.h"
#include "kq230/item_description_interface.h"
#include "values/any.h"

class CNAConnectionDescription;
class CNADataSourceDescription;
class IInfoRubrique;

class CNAItemDescription : public INAItemDescription {
 public:
  // Key flags.
  static constexpr unsigned short kKeyPrimary = 0x8000;
  static constexpr unsigned short kKeyUnique = 0x4000;
  static constexpr unsigned short kKeyDuplicates = 0x2000;
  static constexpr unsigned short kKeyComposed = 0x1000;
  static constexpr unsigned short kKeyAscending = 0x0800;
  static constexpr unsigned short kKeyDescending = 0x0400;
  static constexpr unsigned short kKeyIgnoreCase = 0x0080;
  static constexpr unsigned short kKeyIgnorePunctuation = 0x0040;
  static constexpr unsigned short kKeyIgnoreAccent = 0x0020;
  // Options.
  static constexpr unsigned int kOptAutoIncrement = 0x01;
  static constexpr unsigned int kOptNotNull = 0x02;
  static constexpr unsigned int kOptNotUpdatable = 0x04;
  static constexpr unsigned int kOptSpacePadding = 0x08;
  static constexpr unsigned int kOptVariableScale = 0x10;
  static constexpr unsigned int kOptComputedPersisted = 0x20;
  // The largest item or record the driver lays out.
  static constexpr long long kMaxSize = 0x7FFFFFFFLL;

  // Clone kinds: bit 0 makes a non-key a key with duplicates, bit 1 turns
  // dates and date-times into text.
  enum eCLONEDESC : int { CLONE_PLAIN = 0, CLONE_AS_KEY = 1, CLONE_DATE_AS_TEXT = 2 };

  // A new item from the driver object's factory (null when it makes none:
  // the generic driver, or memory running out); without a driver object
  // (tools and tests of this layer) a plain one. No reference taken; the
  // caller records the out-of-memory error on null.
  static CNAItemDescription* s_pclNew();

  CNAItemDescription();

  // ---- INAItemDescription
  int nGetVersion() override { return 12; }
  int nGetCompatSince() override { return 1; }
  INAItemDescription* ExternalAddRef() override;
  int nExternalRelease() override;
  const wchar_t* pszGetName() override { return m_strName.pszGet(); }
  int nGetDimension() override { return m_nDimension; }
  int nGetItemSize() override { return m_nItemSize; }
  int nGetLogicalSize(int n) override;
  int nGetTotalSize() override;
  eNA_ITEMTYPE eNAGetItemType() override { return static_cast<eNA_ITEMTYPE>(m_nType); }
  int nGetPhysicalIndice() override { return m_nPhysicalIndex; }
  int bIsKey() override { return m_wKeyFlags > 0x0FFF; }
  int bMemo() override { return g_bIsMemo(m_nType); }
  int bMemoText() override { return g_bIsMemoText(m_nType); }
  int bMemoBinary() override { return g_bIsMemoBinary(m_nType); }
  int bNumerical() override;
  int bLiteral() override { return m_nType == 2; }
  int nGetKeyIndice() override { return m_nKeyIndex; }
  int nGetNumComponents() override { return m_tabComponents.nGetNbElement(); }
  int bPrimary() override { return (m_wKeyFlags & kKeyPrimary) != 0; }
  int bUnique() override { return (m_wKeyFlags & (kKeyUnique | kKeyPrimary)) != 0; }
  int bDuplicates() override { return (m_wKeyFlags & kKeyDuplicates) != 0; }
  int bIsComposedKey() override { return (m_wKeyFlags & kKeyComposed) != 0; }
  int bGetAscendant(int) override { return bIsKey() && !bGetDescendant(-1); }
  int bGetDescendant(int) override { return (m_wKeyFlags & kKeyDescending) != 0; }
  int bGetIgnoreCase(int) override { return (m_wKeyFlags & kKeyIgnoreCase) != 0; }
  int bGetIgnorePunctuation(int) override { return (m_wKeyFlags & kKeyIgnorePunctuation) != 0; }
  int bGetIgnoreAccent(int) override { return (m_wKeyFlags & kKeyIgnoreAccent) != 0; }
  // Null for n outside 1 .. component count.
  INAItemDescription* piGetItemComponent(int n) override;
  // Offset of element n; a result past 2^31 - 1 (or before 0) answers -1.
  int nGetOffset(int n) override;
  CAny* pclGetDefaultValue(int) override { return &m_clDefault; }
  const wchar_t* pszGetExtendedInfo() override { return m_strExtendedInfo.pszGet(); }
  const wchar_t* pszGetCaption() override { return m_strCaption.pszGet(); }
  const wchar_t* pszGetDBType() override { return m_strDBType.pszGet(); }
  const wchar_t* pszGetXBaseIndexPath() override { return nullptr; }
  const wchar_t* pszGetXBaseKeyExpression() override { return nullptr; }
  int nGetIntegerPart() override { return m_nIntegerDigits; }
  int nGetDecimalPart() override { return m_nDecimalDigits; }
  const wchar_t* pszGetNameInSource() override { return m_strNameInSource.pszGet(); }
  const wchar_t* pszGetSourceName() override { return m_strSourceName.pszGet(); }
  int nGetKeySize() override { return 0; }
  void SetKeySize(unsigned int) override {}
  int nGetComponentKeySize(int) override { return 0; }
  void SetComponentKeySize(unsigned int, int) override {}
  int bUpdatable() override { return (m_dwOptions & kOptNotUpdatable) == 0; }
  void SetUpdatable(int bUpdatable) override;
  INALink* piGetPrimaryLink(INAContext*, INADataSourceDescription**) override { return nullptr; }
  INALink* piGetForeignLink(unsigned int, INAContext*, INADataSourceDescription**) override {
    return nullptr;
  }
  int nGetNumForeignLink() override { return 0; }
  const wchar_t* pszGetUnicodeLocale() override { return nullptr; }
  int vbConstraintNullAllowed() override { return (m_dwOptions & kOptNotNull) == 0; }
  IEnumerationVM* vpiGetEnumerationVM() override { return m_piEnumeration; }
  ICombinaisonVM* vpiGetCombinaisonVM() override { return m_piCombination; }
  int vbGetDefaultExpression(unsigned int nOption, CXYString<wchar_t>& strExpression,
                             int& nKind) override;
  int vbIsComputedColumnAll() override { return m_strComputed.nTaille() != 0; }
  const wchar_t* vpszGetComputedColumnExpression() override { return m_strComputed.pszGet(); }
  int vbComputedColumnPersist() override {
    return m_strComputed.nTaille() != 0 && (m_dwOptions & kOptComputedPersisted) != 0;
  }
  int vbIsComputedColumnExpressionUnicode() override { return 0; }

  // ---- Own virtual operations
 protected:
  virtual ~CNAItemDescription();

 public:
  virtual int nGetSubItemRecordIndice(int n) { return m_nFirstElement + n; }
  virtual void SetIntegerPart(int n) { m_nIntegerDigits = n; }
  virtual void SetDecimalPart(int n) { m_nDecimalDigits = n; }
  // A copy for the target description (see the .cc); null when memory runs
  // out. No reference taken. A component whose name the target lacks is
  // reported there (error 26) and makes the whole clone fail: a key never
  // keeps a hole.
  // REQUIRES: pclTarget non-null.
  virtual CNAItemDescription* pclGetCloneItemDescription(CNADataSourceDescription* pclTarget,
                                                         eCLONEDESC eKind);

  // ---- Counts
  void AddRef() { ++m_nRefCount; }
  int nRelease();
  int nGetRef() const { return m_nRefCount; }
  int nGetExternalRef() const { return m_nExternalRefCount; }

  // ---- Filling. bInit answers 0 (changing nothing) for a negative size,
  // a dimension below 1, a total size past 2^31 - 1, or a size below the
  // type's minimum (text 1, Unicode 2, binary 2 unless composed).
  int bInit(const wchar_t* pszName, const wchar_t* pszSourceName, const wchar_t* pszNameInSource,
            int nDimension, int nItemSize, int nType, int nPhysicalIndex, int nKeyIndex,
            unsigned short wKeyFlags, int nIntegerDigits, int nDecimalDigits,
            IEnumerationVM* piEnumeration, ICombinaisonVM* piCombination);
  int bSetName(const wchar_t* pszName);
  int bSetKey(int nKeyIndex, unsigned short wKeyFlags);
  int bSetKeyIndice(int nKeyIndex);
  unsigned short wGetKeyFlags() const { return m_wKeyFlags; }
  void SetSensTri(int eSens);
  void SetIgnoreCase(int b);
  // Appends a component (one internal reference); a composed key grows by
  // its logical size (doubled for Unicode: UTF-16 bytes). 0, nothing
  // changed, for a null component or a size past 2^31 - 1.
  int bAddComponent(CNAItemDescription* pclComponent);
  CNAItemDescription* pclGetComponent(int i) const { return m_tabComponents[i]; }
  void SetNullable(int b);
  int bNullable() const { return (m_dwOptions & kOptNotNull) == 0; }
  void SetNotUpdatable() { SetUpdatable(0); }
  void SetAutoIncrement();
  int bAutoIncrement() const { return (m_dwOptions & kOptAutoIncrement) != 0; }
  void SetSpacePadding() { m_dwOptions |= kOptSpacePadding; }
  int bSpacePadding() const { return (m_dwOptions & kOptSpacePadding) != 0; }
  void SetVariableScale() { m_dwOptions |= kOptVariableScale; }
  int bGetVariableScale() const { return (m_dwOptions & kOptVariableScale) != 0; }
  unsigned int dwGetOptions() const { return m_dwOptions; }
  int nGetPrecision() const { return m_nIntegerDigits + m_nDecimalDigits; }
  int nGetScale() const { return m_nDecimalDigits; }
  // The value, cast to the item's language type; the cast's result code (0
  // when it converts). A value that does not convert leaves an empty NULL
  // value of the item's type, never one of another type.
  int SetDefaultValue(const CAny* pclValue, int nUnused);
  void SetDefaultExpression(const wchar_t* pszExpression);
  void SetComputedColumnExpression(const CXYString<wchar_t>& strExpression, int bPersisted);
  unsigned short eGetItemVXType() const;
  int bChangeTypeMemo(int nType);
  int bChangeType(INAItemDescription* piOther, int bKeepAutoId);
  int bChangeType(CNAItemDescription* pclOther, int bKeepAutoId);
  int bCompleteDescription(INAItemDescription* piOther, int bExact, unsigned int nKeyIndex);
  // Completes a computed column of a query from the parser's output column:
  // no source, its engine type turned into the item's type and size.
  int bCompleteDescriptionCalcul(IInfoRubrique* piColumn);
  int bTypeMatch(INAItemDescription* piOther, int bAnsi, int bLenient);
  int eNAGetDBType(CNAConnectionDescription* pclConnection);

  // ---- Driver-side fields
  void SetExtendedInfo(const wchar_t* psz) { m_strExtendedInfo = CTString(psz); }
  void SetCaption(const wchar_t* psz) { m_strCaption = CTString(psz); }
  void SetNativeType(const wchar_t* pszName, int nCode) {
    m_strDBType = CTString(pszName);
    m_nDBTypeCode = nCode;
  }
  int nGetNativeTypeCode() const { return m_nDBTypeCode; }
  void SetPhysicalIndice(int n) { m_nPhysicalIndex = n; }
  int nGetDBIndice() const { return m_nDBIndex; }
  void SetDBIndice(int n) { m_nDBIndex = n; }
  int nGetRecordOffset() const { return m_nRecordOffset; }
  int nGetFirstElement() const { return m_nFirstElement; }
  void SetLayout(int nOffset, int nFirstElement) {
    m_nRecordOffset = nOffset;
    m_nFirstElement = nFirstElement;
  }
  const wchar_t* pszGetSourceTable() const { return m_strSourceTable.pszGet(); }
  void SetSourceTable(const wchar_t* psz) { m_strSourceTable = CTString(psz); }
  int bGetCalculated() const { return m_bCalculated; }
  void SetCalculated(int b) { m_bCalculated = b; }
  // Total size in 64 bits (dimension x item size).
  long long llGetTotalSize() const {
    return static_cast<long long>(m_nDimension) * static_cast<long long>(m_nItemSize);
  }

  // ---- Static operations on bare types
  static int g_bIsMemo(int nType) { return nType == 15 || nType == 18 || nType == 30; }
  static int g_bIsMemoText(int nType) { return nType == 15 || nType == 30; }
  static int g_bIsMemoBinary(int nType) { return nType == 18; }
  static void s_Type2Ansi(int* pnType, unsigned int* pnSize);
  static void s_GetTypeFromFormat(int nIntegerDigits, int nDecimalDigits, int* pnType,
                                  unsigned int* pnSize);
  static int s_bGetDecimalInfo(unsigned short wLanguageType, int* pnDigits, int* pnDecimals);
  // Size in the database engine's own record, in 64 bits (a length near
  // 2^32 never wraps). Unicode items count UTF-16: 2 bytes a character and a
  // 2-byte terminator.
  static long long s_nGetZBSize(int nType, unsigned int nLength, int nDigits);
  // Bytes of a decimal of n digits (1 .. 38); 0 outside.
  static int s_nDecimalSize(int nDigits);
  static int bIsComponentOf(INAItemDescription* piKey, INAItemDescription* piItem);
  // The language type of an item type and size.
  static unsigned short s_wLanguageType(int nType, unsigned int nSize);
  // What the connection's type map writes an item's SQL type from (type,
  // item size, logical size of one element, digits), read through the
  // interface, so that the server's items and the driver's give the same
  // text. A null item gives empty facts (type 0).
  static stNATypeItemFacts s_stGetTypeFacts(INAItemDescription* piItem);

 private:
  void ReleaseExternalObjects();
  void SetEnumeration(IEnumerationVM* pi);
  void SetCombination(ICombinaisonVM* pi);
  void ResetDefaultValue();
  void UpdateDefaultValueType();

  CTString m_strName;
  CTString m_strExtendedInfo;
  CTString m_strCaption;
  CTString m_strDBType;
  int m_nDBTypeCode = 0;
  int m_nDimension = 1;
  int m_nItemSize = 0;
  int m_nKeyIndex = 0;
  int m_nType = 0;
  int m_nPhysicalIndex = -1;
  int m_nDBIndex = -1;
  unsigned short m_wKeyFlags = 0;
  int m_nRefCount = 0;
  int m_nExternalRefCount = 0;
  int m_nRecordOffset = -1;
  int m_nFirstElement = -1;
  CAny m_clDefault;
  CTString m_strDefaultExpression;
  int m_nIntegerDigits = 0;
  int m_nDecimalDigits = 0;
  CTString m_strSourceName;
  CTString m_strNameInSource;
  CTString m_strSourceTable;
  IEnumerationVM* m_piEnumeration = nullptr;
  ICombinaisonVM* m_piCombination = nullptr;
  CTString m_strComputed;
  int m_bCalculated = 0;
  unsigned int m_dwOptions = 0;
  CTTableauPtr<CNAItemDescription> m_tabComponents{1};
};

// The reference operations of the reference arrays: the driver's arrays of
// items hold external references.
inline void KQAddRef(CNAItemDescription* p) {
  if (p != nullptr) p->ExternalAddRef();
}
inline void KQRelease(CNAItemDescription* p) {
  if (p != nullptr) p->nExternalRelease();
}

#endif  // KQ230_ITEMS_ITEM_DESCRIPTION_H_
