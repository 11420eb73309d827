// CColumnList: the comma-separated list of column names that a statement
// writes into a SELECT, an INSERT or an index creation. Names are appended
// as given (already formatted for the connection); the list keeps how many
// columns it was given, empty names included, because the statements
// number the defines of a SELECT by that count.
//
// Ownership: the list owns its text buffer (XMALLOC_ blocks).
// Threads: none of its own; used under the driver lock.
// Invariant: the text is zero-terminated whenever the buffer exists;
// length < capacity; capacity is a multiple of the growth step.
#ifndef KQ230_ITEMS_COLUMN_LIST_H_
#define KQ230_ITEMS_COLUMN_LIST_H_

class CNAStatementBase;

class CColumnList {
 public:
  // Growth step of the text buffer, in characters.
  static constexpr int kGrowthStep = 1024;

  CColumnList() = default;
  ~CColumnList();
  CColumnList(const CColumnList&) = delete;
  CColumnList& operator=(const CColumnList&) = delete;

  // Back to no text and no column; the buffer is kept.
  void Empty();

  // Appends "," when a column was added before, then the name when it is
  // neither null nor empty; the column count grows by one in every case.
  // Answers 1, or 0 when the buffer cannot grow (or the text would pass
  // 2^31 - 1 characters): the list is then unchanged.
  int AddColumn(const wchar_t* pszName);

  // For each column of the statement's record in record order: its
  // formatted name when the column must be defined under the statement's
  // bind/define flags (CNAColumn::bMustDefine) and, unless bWithIdAuto is
  // set, it is no automatic identifier. Answers 1, or 0 when the text
  // cannot grow (the columns added so far stay).
  // REQUIRES: pclStatement non-null.
  int BuildColumnList(CNAStatementBase* pclStatement, int bWithIdAuto);

  // The text ("" before any name) and its length in characters.
  const wchar_t* pszGetText() const { return m_pszText != nullptr ? m_pszText : L""; }
  int nGetLength() const { return m_nLength; }
  int nGetCapacity() const { return m_nCapacity; }
  int nGetColumnCount() const { return m_nColumnCount; }

 private:
  // Room for nNeeded characters plus the terminator.
  int _bReserve(long long nNeeded);
  int _bAppend(const wchar_t* psz, int n);

  wchar_t* m_pszText = nullptr;
  int m_nLength = 0;
  int m_nCapacity = 0;
  int m_nGrowthStep = kGrowthStep;
  int m_nColumnCount = 0;
};

#endif  // KQ230_ITEMS_COLUMN_LIST_H_
