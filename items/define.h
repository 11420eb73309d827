// CNADefine: one output define of a command, that is, where one value of
// the SELECT list goes: a column of the record (its value holder then
// receives the value), or a named value holder of the caller's.
//
// Ownership: counted (CInterf), born at 0; the command's define array holds
// one reference. The define holds one reference on its column and one on
// its value holder (the column's own holder for a column define).
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_ITEMS_DEFINE_H_
#define KQ230_ITEMS_DEFINE_H_

#include "core/wide_string.h"
#include "driver/reference_counted.h"

class CNAColumn;
class CNAConnectionDescription;
class CNAConvertVariant;

class CNADefine : public CInterf {
 public:
  // No column, no name, no holder.
  CNADefine() = default;
  // The column (counted) and, when it is not null, its value holder
  // (counted; none when the column has no holder yet).
  explicit CNADefine(CNAColumn* pclColumn);
  // A copy of the name (null reads as "") and the holder (counted; null
  // allowed).
  CNADefine(const wchar_t* pszName, CNAConvertVariant* pclValue);
  // Releases the holder, then the column.
  ~CNADefine() override;
  CNADefine(const CNADefine&) = delete;
  CNADefine& operator=(const CNADefine&) = delete;

  // ---- Virtual operations after CInterf's
  // A define of this class is never a cursor: 0.
  virtual int bIsCursor() const;

  // The column's name when a column is bound, else the define's own name.
  const wchar_t* pszGetName() const;
  // The value holder's connection; null without holder.
  CNAConnectionDescription* pclGetCnx() const;
  CNAColumn* pclGetColumnNoRef() const { return m_pclColumn; }
  CNAConvertVariant* pclGetValueNoRef() const { return m_pclValue; }

 private:
  CNAColumn* m_pclColumn = nullptr;
  CTString m_strName;
  CNAConvertVariant* m_pclValue = nullptr;
};

#endif  // KQ230_ITEMS_DEFINE_H_
