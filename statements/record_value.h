// CNARecordValue: one row's values: its record buffer, its record
// identifier, the holders of its memo items (memos live outside the buffer,
// which keeps only their defined bit) and a state word (128: deleted). The
// record of a data access keeps its original and current row in two of
// them; the items reach it through CNARecordValueBase
// (items/record_value_interface.h).
//
// Ownership: counted (CInterf, born at 0). It owns its buffer, holds one
// reference on its identifier and on each memo holder, one on its error
// object.
// Threads: none of its own; used under the driver lock.
#ifndef KQ230_STATEMENTS_RECORD_VALUE_H_
#define KQ230_STATEMENTS_RECORD_VALUE_H_

#include "core/growable_array.h"
#include "items/record_value_interface.h"

class CNAError;
class CNAZBRecord;

class CNARecordValue final : public CNARecordValueBase {
 public:
  // No buffer, no identifier, no memo, state 0; one reference on the error
  // object (may be null).
  explicit CNARecordValue(CNAError* pclError);
  ~CNARecordValue() override;
  CNARecordValue(const CNARecordValue&) = delete;
  CNARecordValue& operator=(const CNARecordValue&) = delete;

  // ---- CNARecordValueBase
  CNAZBRecordBase* pclGetNAZBRecord() const override;
  int bCopyNAZBRecord(const CNAZBRecordBase* pclBuffer) override;
  int bShareRecordID(CNARecordIdBase* pclId) override;
  CNARecordIdBase* pclGetRecordIdNoRef() const override { return m_pclRecordId; }
  CNARecordValueBase* pclGetClone(eCOPYFLAGS eFlags) const override;
  int bCopyRecordValue(const CNARecordValueBase* pclOther, eCOPYFLAGS eFlags) override;
  int bEquals(const CNARecordValueBase* pclOther, int bWithMemos) const override;
  int bShareMemoValue(int nMemo, CNAConvertVariant* pclValue) override;
  CNAConvertVariant* pclGetMemoValueNoRef(int nMemo) const override;
  int nGetState() const override { return m_nState; }
  void SetState(int nState) override { m_nState = nState; }

  int nGetMemoCount() const override { return m_pTabMemos != nullptr ? m_pTabMemos->nGetNbElement() : 0; }

 private:
  // Copies the other's memo values into this one's holders (clones where
  // this one has none). 0 when memory runs out.
  int _bCopyMemos(const CNARecordValueBase* pclOther);
  int _bSetError();

  CNAError* m_pclError;
  CNAZBRecord* m_pclBuffer = nullptr;
  CNARecordIdBase* m_pclRecordId = nullptr;
  CRefArray<CNAConvertVariant>* m_pTabMemos = nullptr;
  int m_nState = 0;
};

#endif  // KQ230_STATEMENTS_RECORD_VALUE_H_
