// CNADataSourceDescription: the driver's description of one data source (a
// table of the database or the result of a query): the ordered items, the
// keys and the memos, the record sizes and names, and the best item to
// browse on. The server reads it through INADataSourceDescription as it reads
// its own descriptions; the driver fills it from the database through four
// hooks that the back end overrides (and a fifth, _bRunSchemaQuery, that runs
// their queries on the back end's statement), copies it and checks the
// server's description of a table against it.
//
// Record layout: UpdateRecordSize places the items one after another; sums
// are 64-bit and a record past 2^31 - 1 bytes is refused (answer 0 and an
// out-of-memory error), never wrapped into a small size that buffers would
// be allocated with.
//
// Server-facing getters check their index: an index at or above the count
// answers null.
//
// Ownership: two counts (internal AddRef / nRelease, external
// ExternalAddRef / nExternalRelease); the description dies when the count it
// decrements reaches 0 while the other is 0. It holds one count on its
// connection and on its error object, and one external reference on each
// entry of its arrays and on the cached best item.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_ITEMS_DATA_SOURCE_DESCRIPTION_H_
#define KQ230_ITEMS_DATA_SOURCE_DESCRIPTION_H_

#include "core/counted_string.h"
#include "core/growable_array.h"
#include "core/wide_string.h"
#include "items/item_description.h"
#include "kq230/data_source_description_interface.h"

class CNAConnectionDescription;
class CNAError;
class CNAParsedQuery;
class IInfoRubrique;
class CNAResultColumns;
class CNAStatementSQL;
template <class T>
class CXYStringConcat;

class CNADataSourceDescription : public INADataSourceDescription {
 public:
  // File number of the description's errors in their debug line.
  static constexpr int kErrorFile = 8;
  enum eORIGIN : int { ORIGIN_NEW = 0, ORIGIN_DATABASE = 1, ORIGIN_STATEMENT = 2 };

  // Counts on both taken (either may be null).
  CNADataSourceDescription(CNAConnectionDescription* pclConnection, CNAError* pclError);

  // ---- INADataSourceDescription
  int nGetVersion() override { return 6; }
  int nGetCompatSince() override { return 1; }
  void ExternalAddRef() override { ++m_nExternalRefCount; }
  int nExternalRelease() override;
  const wchar_t* pszGetLogicalName() override { return m_strLogicalName.pszGet(); }
  const wchar_t* pszGetPhysicalName() override { return m_strLogicalName.pszGet(); }
  const wchar_t* pszGetDefaultDirectory() override { return L""; }
  int nGetDiskRecordSize() override { return m_nDiskRecordSize; }
  int nGetNumItems() override { return m_tabItems.nGetNbElement(); }
  int nGetNumKeys() override { return m_tabKeys.nGetNbElement(); }
  int nGetNumMemos() override { return m_tabMemos.nGetNbElement(); }
  int nGetNumItemPhysicallyInFic() override { return nGetNumItems(); }
  INAItemDescription* piNAGetItem(const wchar_t* pszName) override;
  INAItemDescription* piNAGetItem(unsigned int n) override;
  INAItemDescription* piNAGetKey(unsigned int n) override;
  INAItemDescription* piNAGetMemo(unsigned int n) override;
  int eGetNASubDataType() override { return 1; }
  const wchar_t* pszGetDBTableName() override { return m_strDBName.pszGet(); }
  INAItemDescription* piGetBestParseItemDesc() override;
  const wchar_t* pszGetExtendedInfo() override { return m_strExtendedInfo.pszGet(); }
  const wchar_t* pszGetType() override { return m_strType.pszGet(); }
  const wchar_t* pszGetOwner() override { return m_strOwner.pszGet(); }
  const wchar_t* pszGetDefaultDatabase() override;
  const wchar_t* pszGetExtension() override { return nullptr; }
  const wchar_t* pszGetCaption() override { return nullptr; }
  int bGetNullSupported() override { return 1; }

  // ---- Own virtual operations
 protected:
  virtual ~CNADataSourceDescription();

 public:
  virtual int nGetMemoryRecordSize() { return m_nMemoryRecordSize; }
  // The first item of that name (case and accents ignored); option bit 0
  // strips trailing blanks of both names first. No reference added.
  virtual CNAItemDescription* pclNAGetItem(const wchar_t* pszName, int nOptions);
  // Every item of the other description (composed keys exempt) has an item
  // of the same name here; else error 20 and 0.
  virtual int bAreDescriptionCompatible(INADataSourceDescription* piOther);
  virtual void MakeNewName(CTString* pOut, const wchar_t* pszName, int n);
  // A copy (null when memory runs out or an item cannot be copied). No
  // reference taken.
  virtual CNADataSourceDescription* pclGetCloneDataSourceDescription(
      CNAItemDescription::eCLONEDESC eKind);
  virtual int _bGetDataSourceInfo(int nOption);
  // The back end's hooks; here they do nothing and answer 0.
  virtual int _bGetQueryShowColumns(CXYStringConcat<wchar_t>* pclQuery);
  virtual int _bInitItemFromQueryShowColumns(CNAStatementSQL* pclStatement, int nOption);
  virtual int _bGetQueryShowIndex(CXYStringConcat<wchar_t>* pclQuery);
  virtual int _bInitKeysFromQueryShowIndex(CNAStatementSQL* pclStatement);
  // Runs one query written by the hooks above and hands its rows to
  // _bInitItemFromQueryShowColumns(statement, nOption) (bIndexQuery 0) or to
  // _bInitKeysFromQueryShowIndex (1); a query that yields no rows is a
  // success with nothing read. The statements sit above the items, so the
  // back end, which knows its statement class, runs them; here there is none
  // to run: 1 and nothing read.
  virtual int _bRunSchemaQuery(const wchar_t* pszQuery, int bIndexQuery, int nOption);

  // ---- Counts
  void AddRef() { ++m_nRefCount; }
  int nRelease();
  int nGetRef() const { return m_nRefCount; }
  int nGetExternalRef() const { return m_nExternalRefCount; }

  // ---- Names and state
  void SetLogicalName(const wchar_t* psz) { m_strLogicalName = psz; }
  void SetDBName(const wchar_t* psz) { m_strDBName = psz; }
  void SetExtendedInfo(const wchar_t* psz) { m_strExtendedInfo = psz; }
  void SetType(const wchar_t* psz) { m_strType = psz; }
  void SetOwner(const wchar_t* psz) { m_strOwner = psz; }
  int nGetOrigin() const { return m_nOrigin; }
  int nGetElementCount() const { return m_nElementCount; }
  CNAError* pclGetError() const { return m_pclError; }
  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
  CNAItemDescription* pclGetItem(int i) const { return m_tabItems[i]; }
  CNAItemDescription* pclGetKey(int i) const { return m_tabKeys[i]; }

  // Both names := name, origin database, then _bGetDataSourceInfo.
  int bInitDataSourceDescriptionFromDB(const wchar_t* pszName, int nOption);
  // One item per result column of an executed statement (the back end's
  // statement converts to CNAResultColumns), then the layout. Origin
  // statement; an empty logical name becomes (both names) the decimal text
  // of the statement's address. The answer of _bInitItems.
  int bInitDataSourceDescriptionFromStatement(CNAResultColumns* piStatement);
  // Completes the description from the server's parsed query: the items
  // the description holds (one per result column, or none) are completed,
  // the missing ones appended, one per output column in order; the first
  // ORDER BY item's item becomes the best item and every ORDER BY item's
  // item takes its direction; then the layout. Origin statement. A query
  // without parts changes nothing else and answers 1. Keys and memos stay
  // in step with the items: every key's index is its place among the keys.
  int bCompleteDescription(CNAParsedQuery* pclInfo);
  // A new item from the driver's factory, initialised with these values (a
  // physical index of -1 becomes the item count) and added whatever bInit
  // answered; answers bInit's answer. 0 and the out-of-memory error when no
  // item can be had.
  int bAddItem(const wchar_t* pszName, const wchar_t* pszSourceName,
               const wchar_t* pszNameInSource, int nDimension, int nItemSize, int nType,
               int nPhysicalIndex, int nKeyIndex, unsigned short wKeyFlags, int nIntegerDigits,
               int nDecimalDigits);

  // The first key of that name (trailing blanks removed); one external
  // reference added; null when none.
  CNAItemDescription* pclNAGetKey(const wchar_t* pszName);
  // The first item whose database index is n; one external reference added.
  CNAItemDescription* pclNAGetItemByPhysicalIndiceDB(unsigned int n);
  // pclNAGetItem(name, 2) with one external reference added; error 26 and
  // null when none.
  CNAItemDescription* pclNAGetCorrespondingItem(const wchar_t* pszName);

  // ---- Building
  // Adds an item (named, renamed when taken, placed by its physical index,
  // added to keys and memos). 0 for a null item or memory running out.
  int _AddItem(CNAItemDescription* pclItem);
  int _AddKey(CNAItemDescription* pclItem);
  // Removes an item from the keys; the keys after it move down one place.
  void _RemoveKey(CNAItemDescription* pclItem);
  int _bSetKeyType(CNAItemDescription* pclItem, unsigned short wKeyFlags);
  int _bSetKeyType(unsigned int nIndex, unsigned short wKeyFlags);
  int _bSetKeyType(const wchar_t* pszName, unsigned short wKeyFlags);
  int _bAddItemComponent(CNAItemDescription* pclKey, unsigned int nIndex);
  int _bAddItemComponent(CNAItemDescription* pclKey, const wchar_t* pszName);
  // Lays the items out; 0 (sizes left at 0, out-of-memory error) when the
  // record would pass 2^31 - 1 bytes.
  int UpdateRecordSize();
  void _SetBestParseItem(INAItemDescription* piItem);
  int _SetBestParseItem(const wchar_t* pszName);

  // Engine type code to item type.
  static int g_eGetNAItemType(int eZBType);

 private:
  int _bInitItems(CNAResultColumns* piStatement);
  // One output column i of a parsed query: completes item i or appends one.
  int _bCompleteItemDescription(CNAParsedQuery* pclInfo, int bExact, IInfoRubrique* piColumn,
                                int i);
  // Item i completed from the server's item (may be null).
  int _bCompleteExistingItem(CNAParsedQuery* pclInfo, int bExact, IInfoRubrique* piColumn,
                             INAItemDescription* piServerItem, CNAItemDescription* pclItem);
  // A new item from the server's item of an output column.
  int _bAjouteItemDescription(INAItemDescription* piServerItem, CNAParsedQuery* pclInfo,
                              IInfoRubrique* piColumn, int bExact);
  // A new item from an output column alone.
  int _bAjouteItemDescription(IInfoRubrique* piColumn);
  // The source table of a query column (none for a computed one).
  void _SetSourceTable(CNAItemDescription* pclItem, CNAParsedQuery* pclInfo,
                       IInfoRubrique* piColumn);
  void _RemoveMemo(CNAItemDescription* pclItem);
  // The item factory's answer, or 0 with the out-of-memory error.
  CNAItemDescription* _pclNewItem();
  int _bImportItems(int nOption);
  int _bImportIndex();
  INAItemDescription* _piChooseBestItem();
  // Errors 20 (logical name, item name), 26 (database table name, item
  // name) and 30 (logical name), each with its site.
  void _RaiseItemMissingHere(const wchar_t* pszItem);
  void _RaiseItemNotFound(const wchar_t* pszItem);
  void _RaiseNoColumn();

  CNAError* m_pclError;
  int m_nRefCount = 0;
  int m_nExternalRefCount = 0;
  CNAConnectionDescription* m_pclConnection;
  CTString m_strLogicalName;
  CTString m_strDBName;
  CTString m_strExtendedInfo;
  CTString m_strType;
  CTString m_strOwner;
  int m_nDiskRecordSize = 0;
  int m_nMemoryRecordSize = 0;
  int m_nElementCount = 0;
  CRefArray<CNAItemDescription> m_tabItems{20, 30};
  CRefArray<CNAItemDescription> m_tabKeys{10, 30};
  CRefArray<CNAItemDescription> m_tabMemos{10, 30};
  INAItemDescription* m_piBestItem = nullptr;
  int m_nOrigin = ORIGIN_NEW;
};

#endif  // KQ230_ITEMS_DATA_SOURCE_DESCRIPTION_H_
