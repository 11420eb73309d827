// CNARecordId and CNARecordIdLayout: how the driver finds a row again.
//
// A record identifier is the record cache's and the record values' name for
// one row: either the server's own row identifier (row-id kind, for servers
// that have one) or bytes built from the row's values (record-values kind:
// MariaDB and MySQL give no row identifier). The layout says which items
// make those bytes for a record and builds them from a record buffer; equal
// identifiers mean the same row as far as the server's keys can tell.
//
// Layout choice, strongest first: the primary key (a composed one by its
// components); else the first unique key that refuses NULL (plain keys
// first, then composed ones); else every column that is neither a memo nor
// a composed key, and then the identifier names the whole row: two rows with
// the same values cannot be told apart, so a write through it must add
// LIMIT 1 (bIsWholeRow).
//
// Bytes of an identifier: per item of the layout, in order, one byte 1 or 0
// (a value is present or NULL), then for a present value its slot: a text
// (8-bit or Unicode) up to its terminator with trailing blanks dropped,
// behind its 32-bit little-endian byte count so that two texts can never
// shift into each other; a binary item its length word and the bytes it
// counts; a date or time text up to its terminator; any other item its
// whole slot. Whatever follows a value in its slot therefore never changes
// the bytes, and blanks the server's PAD SPACE comparison ignores do not
// either.
//
// Heap: nBuild calls no allocator (it runs once per row read); bInit takes
// one block for the item table.
//
// Ownership: a CNARecordId is counted through CKQUnknown (born at 0) and owns
// a copy of its bytes. A layout holds one reference on each column it uses
// (the columns keep their items), none on the record.
// Threads: none of their own; used under the driver lock.
#ifndef KQ230_STATEMENTS_RECORD_ID_H_
#define KQ230_STATEMENTS_RECORD_ID_H_

#include "core/growable_array.h"
#include "items/column.h"
#include "items/record_value_interface.h"

class CNARecord;
class CNAZBRecordBase;
class INAItemDescription;

class CNARecordId final : public CNARecordIdBase {
 public:
  enum eKIND : int { KIND_ROWID = 1, KIND_RECORD_VALUES = 2 };
  // Bytes up to this size are kept inside the object (no block).
  static constexpr unsigned int kInlineBytes = 32;

  explicit CNARecordId(eKIND eKind) : m_eKind(eKind) {}
  ~CNARecordId() override;
  CNARecordId(const CNARecordId&) = delete;
  CNARecordId& operator=(const CNARecordId&) = delete;

  // "<prefix><kind> <hex bytes>", kind "rowid" or "values".
  void RecordIdToString(CXYString<wchar_t>* pOut, const wchar_t* pszPrefix,
                        int bFlag) const override;

  eKIND eGetKind() const { return m_eKind; }
  // Replaces the bytes by a copy of n bytes at p (null: none). 0, the
  // identifier unchanged, when the block cannot be had.
  int bSetBytes(const unsigned char* p, unsigned int n);
  const unsigned char* pbyGetBytes() const { return m_pBytes != nullptr ? m_pBytes : m_abyInline; }
  unsigned int nGetSize() const { return m_nSize; }
  // Same kind and same bytes; 0 for null.
  int bEquals(const CNARecordId* pclOther) const;

 private:
  eKIND m_eKind;
  unsigned int m_nSize = 0;
  unsigned char* m_pBytes = nullptr;  // null: the bytes are inline
  unsigned char m_abyInline[kInlineBytes] = {};
};

class CNARecordIdLayout {
 public:
  CNARecordIdLayout() = default;
  ~CNARecordIdLayout();
  CNARecordIdLayout(const CNARecordIdLayout&) = delete;
  CNARecordIdLayout& operator=(const CNARecordIdLayout&) = delete;

  // Chooses the identifier items of the record (see the top of this file).
  // 1, or 0 when memory runs out or the record is null (the layout is then
  // empty and names the whole row).
  int bInit(const CNARecord* pclRecord);
  // Whether no key identifies a row: writes through the identifier then
  // touch at most one row (LIMIT 1).
  int bIsWholeRow() const { return m_bWholeRow; }
  int nGetItemCount() const { return m_nItems; }
  // Column n of the layout. REQUIRES: 0 <= n < nGetItemCount().
  CNAColumn* pclGetColumnNoRef(int n) const { return m_tabColumns[n]; }
  // The largest identifier any row can give: a buffer of this size is
  // always enough for nBuild.
  unsigned int nGetMaxSize() const { return m_nMaxSize; }

  // Writes the identifier bytes of the row in pclBuffer to pbyOut and
  // answers their count; 0 when they need more than nCap bytes (nothing
  // useful written: the caller retries with nGetMaxSize()), the buffer is
  // null, or the layout has no item. A slot that lies outside the buffer
  // counts as NULL. No heap call.
  // REQUIRES: pbyOut holds nCap bytes; the buffer is laid out for the
  // record the layout was made for.
  unsigned int nBuild(const CNAZBRecordBase* pclBuffer, unsigned char* pbyOut,
                      unsigned int nCap) const;

 private:
  enum eSLOT : int { SLOT_WHOLE = 0, SLOT_TEXT, SLOT_UNICODE, SLOT_TERMINATED, SLOT_BINARY };
  struct stItem {
    INAItemDescription* piItem;  // the column's (the column holds it)
    unsigned int nSlot;          // bytes of the slot
    eSLOT eSlot;
  };

  void _Clear();
  int _bAdd(CNAColumn* pclColumn);
  // A key column, or its components for a composed key.
  int _bAddKey(CNAColumn* pclColumn);

  CNARefArray<CNAColumn> m_tabColumns{4, 30};
  stItem* m_pItems = nullptr;
  int m_nItems = 0;
  int m_bWholeRow = 1;
  unsigned int m_nMaxSize = 0;
};

#endif  // KQ230_STATEMENTS_RECORD_ID_H_
