// The stand-in server's own descriptions: what its analysis says of a file
// (INADataSourceDescription) and of each item and key of it
// (INAItemDescription), built from a small declaration, with the server's
// enumeration and combination objects (IEnumerationVM, ICombinaisonVM) that
// an item may carry. The driver reads them as it reads the real server's:
// to check its own description of a table against them, to complete the
// columns of a query, to choose the item to browse on.
//
// An item declares itself as version 8 or 12. A version-8 item is one of an
// older analysis: it has no NULL rule, and asking it (slot 54) aborts the
// process, since the driver must ask only items above version 8.
//
// Strictness: slots whose answer the stand-in cannot give in the server's
// form (an item's default value, slot 34) abort, naming the interface and
// the slot; every other slot answers as the server does.
//
// Counting: every object (description, item, enumeration, combination) is
// born with one reference, its creator's, and deletes itself at its last
// release; g_nLive counts the objects not yet deleted, process-wide, and
// nGetRefCount the references of one. A release past 0 aborts.
// Ownership: a description holds one reference on each of its items; a
// composed key holds one on each component; an item holds one on its
// enumeration and combination. Items handed out (slots 16-19, 22, 31) carry
// one reference for the caller.
// Threads: one thread at a time.
#ifndef KQ230_HOST_HARNESS_STANDIN_DESCRIPTIONS_H_
#define KQ230_HOST_HARNESS_STANDIN_DESCRIPTIONS_H_

#include <string>
#include <vector>

#include "kq230/data_source_description_interface.h"
#include "host/harness/standin_enumeration.h"
#include "kq230/item_description_interface.h"

// Counts shared by every stand-in description object.
struct StandInDescriptionCounts {
  // Objects made and not yet deleted.
  static int g_nLive;
};

// One item of the declaration. Types and key flags are the native access's
// numbers (item types 0-33; keys 0x8000 primary, 0x4000 unique, 0x2000 with
// duplicates, 0x1000 composed, 0x0800 ascending, 0x0400 descending, 0x0080
// ignore case, 0x0040 ignore punctuation, 0x0020 ignore accent).
struct StandInItemDecl {
  std::wstring name;
  int type = 0;
  int size = 0;
  int dimension = 1;
  int integerDigits = 0;
  int decimalDigits = 0;
  unsigned short keyFlags = 0;
  bool nullAllowed = true;
  std::vector<std::wstring> components;  // a composed key's items, by name
  std::wstring nameInSource;
  std::wstring sourceName;
  std::wstring caption;
  std::wstring extendedInfo;
  std::wstring dbType;
  IEnumerationVM* enumeration = nullptr;  // a reference is taken
  ICombinaisonVM* combination = nullptr;  // a reference is taken
};

class CStandInItem final : public INAItemDescription {
 public:
  // One reference, the creator's. nVersion is 8 or 12.
  static CStandInItem* pclNew(const StandInItemDecl& decl, int nVersion);

  int nGetVersion() override { return m_nVersion; }
  int nGetCompatSince() override { return 1; }
  INAItemDescription* ExternalAddRef() override;
  int nExternalRelease() override;
  const wchar_t* pszGetName() override { return m_decl.name.c_str(); }
  int nGetDimension() override { return m_decl.dimension; }
  int nGetItemSize() override { return m_decl.size; }
  int nGetLogicalSize(int n) override;
  int nGetTotalSize() override { return m_decl.size * m_decl.dimension; }
  eNA_ITEMTYPE eNAGetItemType() override { return static_cast<eNA_ITEMTYPE>(m_decl.type); }
  int nGetPhysicalIndice() override { return m_nPhysicalIndex; }
  int bIsKey() override { return m_decl.keyFlags > 0x0FFF; }
  int bMemo() override;
  int bMemoText() override;
  int bMemoBinary() override { return m_decl.type == 18; }
  int bNumerical() override;
  int bLiteral() override { return m_decl.type == 2; }
  int nGetKeyIndice() override { return m_nKeyIndex; }
  int nGetNumComponents() override { return static_cast<int>(m_components.size()); }
  int bPrimary() override { return (m_decl.keyFlags & 0x8000) != 0; }
  int bUnique() override { return (m_decl.keyFlags & 0xC000) != 0; }
  int bDuplicates() override { return (m_decl.keyFlags & 0x2000) != 0; }
  int bIsComposedKey() override { return (m_decl.keyFlags & 0x1000) != 0; }
  int bGetAscendant(int) override { return bIsKey() && (m_decl.keyFlags & 0x0400) == 0; }
  int bGetDescendant(int) override { return (m_decl.keyFlags & 0x0400) != 0; }
  int bGetIgnoreCase(int) override { return (m_decl.keyFlags & 0x0080) != 0; }
  int bGetIgnorePunctuation(int) override { return (m_decl.keyFlags & 0x0040) != 0; }
  int bGetIgnoreAccent(int) override { return (m_decl.keyFlags & 0x0020) != 0; }
  INAItemDescription* piGetItemComponent(int n) override;
  int nGetOffset(int n) override { return m_nOffset + n * m_decl.size; }
  CAny* pclGetDefaultValue(int n) override;
  const wchar_t* pszGetExtendedInfo() override { return m_decl.extendedInfo.c_str(); }
  const wchar_t* pszGetCaption() override { return m_decl.caption.c_str(); }
  const wchar_t* pszGetDBType() override { return m_decl.dbType.c_str(); }
  const wchar_t* pszGetXBaseIndexPath() override { return nullptr; }
  const wchar_t* pszGetXBaseKeyExpression() override { return nullptr; }
  int nGetIntegerPart() override { return m_decl.integerDigits; }
  int nGetDecimalPart() override { return m_decl.decimalDigits; }
  const wchar_t* pszGetNameInSource() override { return m_decl.nameInSource.c_str(); }
  const wchar_t* pszGetSourceName() override { return m_decl.sourceName.c_str(); }
  int nGetKeySize() override { return 0; }
  void SetKeySize(unsigned int) override {}
  int nGetComponentKeySize(int) override { return 0; }
  void SetComponentKeySize(unsigned int, int) override {}
  int bUpdatable() override { return 1; }
  void SetUpdatable(int) override {}
  INALink* piGetPrimaryLink(INAContext*, INADataSourceDescription**) override { return nullptr; }
  INALink* piGetForeignLink(unsigned int, INAContext*, INADataSourceDescription**) override {
    return nullptr;
  }
  int nGetNumForeignLink() override { return 0; }
  const wchar_t* pszGetUnicodeLocale() override { return nullptr; }
  // Aborts for a version-8 item.
  int vbConstraintNullAllowed() override;
  IEnumerationVM* vpiGetEnumerationVM() override { return m_decl.enumeration; }
  ICombinaisonVM* vpiGetCombinaisonVM() override { return m_decl.combination; }
  int vbGetDefaultExpression(unsigned int, CXYString<wchar_t>&, int&) override { return 0; }
  int vbIsComputedColumnAll() override { return 0; }
  const wchar_t* vpszGetComputedColumnExpression() override { return nullptr; }
  int vbComputedColumnPersist() override { return 0; }
  int vbIsComputedColumnExpressionUnicode() override { return 0; }

  int nGetRefCount() const { return m_nRefCount; }
  // Set by the description that lays the item out.
  void SetPlace(int nPhysicalIndex, int nKeyIndex, int nOffset) {
    m_nPhysicalIndex = nPhysicalIndex;
    m_nKeyIndex = nKeyIndex;
    m_nOffset = nOffset;
  }
  // Takes one reference on the component.
  void AddComponent(CStandInItem* pclComponent);

 private:
  CStandInItem(const StandInItemDecl& decl, int nVersion);
  ~CStandInItem();

  StandInItemDecl m_decl;
  int m_nVersion;
  int m_nRefCount = 1;
  int m_nPhysicalIndex = 0;
  int m_nKeyIndex = -1;
  int m_nOffset = 0;
  std::vector<CStandInItem*> m_components;
};

// The description of a server file from its items' declarations: items in
// declaration order, keys in the order they are declared, memos; composed
// keys' components are found by name among the items declared before them.
class CStandInDescription final : public INADataSourceDescription {
 public:
  // One reference, the creator's; null when a component names no item
  // declared before its key. nItemVersion (8 or 12) is every item's.
  static CStandInDescription* pclNew(const wchar_t* pszLogicalName,
                                     const std::vector<StandInItemDecl>& items, int nItemVersion);

  int nGetVersion() override { return 6; }
  int nGetCompatSince() override { return 1; }
  void ExternalAddRef() override { ++m_nRefCount; }
  int nExternalRelease() override;
  const wchar_t* pszGetLogicalName() override { return m_strName.c_str(); }
  const wchar_t* pszGetPhysicalName() override { return m_strName.c_str(); }
  const wchar_t* pszGetDefaultDirectory() override { return L""; }
  int nGetDiskRecordSize() override { return m_nDiskSize; }
  int nGetNumItems() override { return static_cast<int>(m_items.size()); }
  int nGetNumKeys() override { return static_cast<int>(m_keys.size()); }
  int nGetNumMemos() override { return static_cast<int>(m_memos.size()); }
  int nGetNumItemPhysicallyInFic() override { return nGetNumItems(); }
  INAItemDescription* piNAGetItem(const wchar_t* pszName) override;
  INAItemDescription* piNAGetItem(unsigned int n) override;
  INAItemDescription* piNAGetKey(unsigned int n) override;
  INAItemDescription* piNAGetMemo(unsigned int n) override;
  int eGetNASubDataType() override { return 0; }
  const wchar_t* pszGetDBTableName() override { return m_strName.c_str(); }
  // The first key, else the first item (null without items).
  INAItemDescription* piGetBestParseItemDesc() override;
  const wchar_t* pszGetExtendedInfo() override { return L""; }
  const wchar_t* pszGetType() override { return L""; }
  const wchar_t* pszGetOwner() override { return L""; }
  const wchar_t* pszGetDefaultDatabase() override { return nullptr; }
  const wchar_t* pszGetExtension() override { return nullptr; }
  const wchar_t* pszGetCaption() override { return nullptr; }
  int bGetNullSupported() override { return 1; }

  int nGetRefCount() const { return m_nRefCount; }
  // The item (no reference added), null outside the items.
  CStandInItem* pclGetItem(int i) const;

 private:
  explicit CStandInDescription(const wchar_t* pszLogicalName);
  ~CStandInDescription();

  std::wstring m_strName;
  int m_nRefCount = 1;
  int m_nDiskSize = 0;
  std::vector<CStandInItem*> m_items;
  std::vector<CStandInItem*> m_keys;
  std::vector<CStandInItem*> m_memos;
};

#endif  // KQ230_HOST_HARNESS_STANDIN_DESCRIPTIONS_H_
