// CNARecord: the record layout and the record values of one data access:
// one column (CNAColumn) per item of the data source, in item order; the
// special columns that identify a row (the automatic identifier, the first
// unique key, the unique composed keys); the order list, the columns whose
// values fix a row's position while browsing; and the row buffers: a
// template buffer made from the description, the original row as read and
// the current row being read or edited (a clone of the original).
// The SQL builder reads names and values from it; the data access and the
// statements fill it.
//
// Order list: an automatic identifier alone; else the first unique key
// that refuses NULL alone; else every unique key (NULL allowed), then the
// keys with duplicates, then the other non-memo columns, never more than
// the connection allows in an ORDER BY; a composed key contributes its
// components. Over a parsed query its ORDER BY items come first.
//
// The row buffers and record values belong to the statements (one floor
// up): the record makes them through its data access
// (items/items_data_access_interface.h) and reads them through the
// interfaces the items declare (items/record_buffer_interface.h,
// items/record_value_interface.h).
//
// Ownership: counted (CInterf, born at 0); the data access holds it. It
// holds one reference on its error object, its connection (given back
// through the driver's nReleaseConnection), every column (the columns
// array, and again each secondary array and special column), the original
// and the current record values; it owns the template buffer. The data
// access is its owner and is not counted.
// Threads: none of its own; used under the driver lock.
// Invariants: every column of the secondary arrays and both special columns
// are also in the columns array; a column's index there is its item's
// index in the data source.
#ifndef KQ230_ITEMS_RECORD_H_
#define KQ230_ITEMS_RECORD_H_

#include "core/growable_array.h"
#include "driver/reference_counted.h"
#include "items/column.h"

class CColumnNullValueExcluded;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNADataSourceDescription;
class CNAError;
class CNAItemDescription;
class CNAItemsDataAccess;
class CNAParsedQuery;
class CNAPosition;
class CNARecordValueBase;
class CNAZBRecordBase;
class INADataSourceDescription;
class INAItemDescription;
template <class T>
class CXYStringConcat;

class CNARecord : public CInterf {
 public:
  // File number of the record's errors in their debug line.
  static constexpr int kErrorFile = 11;

  // Empty arrays, no connection, no special column, no buffer. One
  // reference on the error object; the data access (may be null: a record
  // without one has no buffers and no query) is borrowed.
  CNARecord(CNAError* pclError, CNAItemsDataAccess* pclDataAccess);
  ~CNARecord() override;
  CNARecord(const CNARecord&) = delete;
  CNARecord& operator=(const CNARecord&) = delete;

  // ---- Virtual operations after CInterf's, in slot order
  // The first column whose item name equals pszName (case and accents
  // ignored); null when none.
  virtual CNAColumn* pclGetColumnNoRef(const wchar_t* pszName) const;
  // Builds the layout: keeps the connection, makes the row buffers, one
  // column per item of piSource (with the imported item of the same name
  // from pclImported when given), the composed keys and the order list.
  // An empty description is user error 1 naming the data source. 0 on the
  // first failure (the columns added so far stay).
  virtual int bInitRecord(INADataSourceDescription* piSource, CNADataSourceDescription* pclImported,
                          CNAConnectionDescription* pclConnection);
  // The current row's state becomes deleted (128).
  virtual void SetDeleted();
  // A new column (count 0) through the driver's factory; without a driver
  // object a plain CNASQLColumn. Null when none can be had.
  virtual CNAColumn* _pclAllocColumn(CNAError* pclError, INAItemDescription* piItem);

  // ---- Columns
  int nGetColumnNbr() const { return m_tabColumns.nGetNbElement(); }
  // REQUIRES: 0 <= n < nGetColumnNbr() (no bound test: callers pass valid
  // indexes).
  CNAColumn* pclGetColumnNoRef(int n) const { return m_tabColumns[n]; }
  // The column of an item: over a table, the column at the item's physical
  // index (null when outside); over a query, by names (see the .cc).
  CNAColumn* pclGetColumnNoRef(INAItemDescription* piItem) const;
  const CNARefArray<CNAColumn>* pclGetTabColumn() const { return &m_tabColumns; }
  int nGetColumnOrderNbr() const { return m_tabOrder.nGetNbElement(); }
  // Null outside the order list.
  CNAColumn* pclGetColumnOrderNoRef(int n) const;
  const CNARefArray<CNAColumn>* pclGetTabColumnOrder() const { return &m_tabOrder; }
  CNAColumn* pclGetColumnIDAutoNoRef() const { return m_pclIdAuto; }
  CNAColumn* pclGetUniqueKeyNoRef() const { return m_pclUniqueKey; }
  // The first column whose value the database numbers itself; null when
  // none.
  CNAColumn* pclGetNAColumnIdentityNoRef() const;
  // A unique column with a defined value: the unique key, else the first
  // order column, else the first in record order; null when none.
  CNAColumn* pclGetUniqueKeyNotNullNoRef() const;
  const CNARefArray<CNAColumn>* pclGetTabColumnMemo() const { return &m_tabMemos; }
  const CNARefArray<CNAColumn>* pclGetTabUniqueComposedKey() const { return &m_tabUniqueComposed; }
  // A column for the item, appended to the columns (and to the memos or the
  // unique composed keys), then initialised on this record. 0 when it
  // cannot be made or initialised (it is then still in the arrays).
  int bAddColumn(INAItemDescription* piItem, CNAItemDescription* pclImported);
  // Releases and removes every column of the columns array, last first.
  void DeleteAllColumn();

  // ---- Links
  CNAError* pclGetError() const { return m_pclError; }
  CNAItemsDataAccess* pclGetDataAccessNoRef() const { return m_pclDataAccess; }
  CNAConnectionDescription* pclGetConnectionNoRef() const { return m_pclConnection; }
  // The data access's parsed query; null without data access.
  CNAParsedQuery* pclGetSourceQueryNoRef() const;
  // 0 without data access.
  int bSourceIsQuery() const;
  // The data access's logical name; "" without data access.
  const wchar_t* pszGetTableName() const;
  // A record keeps no position of its own: 1, nothing filled.
  int bGetPosition(CNAPosition* pclPosition) const;

  // ---- Row values
  // The current row's buffer (null before bInitRecord made it).
  CNAZBRecordBase* pclGetNAZBRecord() const;
  CNAZBRecordBase* pclGetTemplateNoRef() const { return m_pclTemplate; }
  CNARecordValueBase* pclGetCurrentRecordNoRef() const { return m_pclCurrent; }
  CNARecordValueBase* pclGetOriginalRecordNoRef() const { return m_pclOriginal; }
  // Copies the buffer into the current row, then OnNAZBRecordChanged. 0
  // without current row or when the copy fails.
  int bSetNAZBRecord(const CNAZBRecordBase* pclBuffer);
  // The column holders' NULL flags follow the current buffer's defined bits
  // (memos and composed keys excepted).
  void OnNAZBRecordChanged();
  // The current row compared with another.
  int bEquals(const CNARecordValueBase* pclOther, int bWithMemos) const;
  int bCopyToCurrentRecord(const CNARecordValueBase* pclValue);
  int bCopyOriginalRecordToCurrentRecord();
  int bCopyCurrentRecordToOriginalRecord();
  // The current row keeps the holder for the column's memo index; 1 when
  // the column is no memo column of this record.
  int bShareCurrentRecordMemoValue(CNAColumn* pclColumn, CNAConvertVariant* pclValue);
  // Makes the row buffers anew from the description (its types changed),
  // then each column retypes its holder. 0 on the first failure.
  int bUpdateChangedTypeInCurrentRecord(INADataSourceDescription* piSource);

  // Whether the column just added (the one at nCount - 1 in pTabColumns)
  // completes a unique composed key whose NULLs are excluded: by the key
  // refusing NULL, by the condition set excluding the NULLs of one of its
  // components, or (without a set) by one component holding a value. False
  // for a count below 2.
  int bComposedKeyUniqueNotNullAdded(const CNARefArray<CNAColumn>* pTabColumns, int nCount,
                                     CColumnNullValueExcluded* pclNullSet) const;

  // Replaces the builder's text with the current row's trace: the record
  // identifier, the defined-flags bytes in binary, then each column's
  // "<name> = <value>" up to the first composed key.
  void CurrentRecordToString(CXYStringConcat<wchar_t>* pText) const;

 private:
  int _bAllocRecordsBuffer(INADataSourceDescription* piSource);
  void _FreeRecordsBuffer();
  void _InitCompositeKey();
  void _InitOrderBy();
  // Appends the column (a composed key: its components) unless the list is
  // full or already holds it; answers 1 when the column itself (or its
  // components) went in.
  int _AddColumnOrder(CNAColumn* pclColumn, int nMax);
  int _bOrderHolds(const CNAColumn* pclColumn) const;
  void _SetSpecialColumn(CNAColumn** ppSlot, CNAColumn* pclColumn);
  void _ReleaseConnection();

  CNAError* m_pclError = nullptr;
  CNAItemsDataAccess* m_pclDataAccess = nullptr;
  CNAConnectionDescription* m_pclConnection = nullptr;
  CNARefArray<CNAColumn> m_tabColumns{20, 30};
  CNAColumn* m_pclIdAuto = nullptr;
  CNAColumn* m_pclUniqueKey = nullptr;
  CNAZBRecordBase* m_pclTemplate = nullptr;
  CNARecordValueBase* m_pclOriginal = nullptr;
  CNARecordValueBase* m_pclCurrent = nullptr;
  CNARefArray<CNAColumn> m_tabOrder{10, 30};
  CNARefArray<CNAColumn> m_tabMemos{1, 30};
  CNARefArray<CNAColumn> m_tabUniqueComposed{1, 30};
};

#endif  // KQ230_ITEMS_RECORD_H_
