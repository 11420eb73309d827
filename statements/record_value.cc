#include "statements/record_value.h"

#include <new>

#include "driver/na_error.h"
#include "items/convert_variant.h"
#include "statements/record_buffer.h"

CNARecordValue::CNARecordValue(CNAError* pclError) : m_pclError(pclError) {
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNARecordValue::~CNARecordValue() {
  delete m_pTabMemos;
  if (m_pclRecordId != nullptr) m_pclRecordId->dwRelease();
  delete m_pclBuffer;
  if (m_pclError != nullptr) m_pclError->nRelease();
}

int CNARecordValue::_bSetError() {
  if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
  return 0;
}

CNAZBRecordBase* CNARecordValue::pclGetNAZBRecord() const { return m_pclBuffer; }

int CNARecordValue::bCopyNAZBRecord(const CNAZBRecordBase* pclBuffer) {
  if (pclBuffer == nullptr) return 0;
  if (pclBuffer == m_pclBuffer) return 1;
  if (m_pclBuffer != nullptr && m_pclBuffer->nGetBufferLength() == pclBuffer->nGetBufferLength() &&
      m_pclBuffer->nGetFlagFieldSize() == pclBuffer->nGetFlagFieldSize()) {
    m_pclBuffer->Copy(pclBuffer);
    return 1;
  }
  // Another layout (or none yet): a clone of the given buffer.
  CNAZBRecordBase* pclClone = pclBuffer->pclGetCloneBase();
  if (pclClone == nullptr) return _bSetError();
  delete m_pclBuffer;
  // Every buffer of the system is a CNAZBRecord: the clone of one is one.
  m_pclBuffer = static_cast<CNAZBRecord*>(pclClone);
  return 1;
}

int CNARecordValue::bShareRecordID(CNARecordIdBase* pclId) {
  if (pclId == m_pclRecordId) return 1;
  if (pclId != nullptr) pclId->dwAddRef();
  CNARecordIdBase* pclOld = m_pclRecordId;
  m_pclRecordId = pclId;
  if (pclOld != nullptr) pclOld->dwRelease();
  return 1;
}

CNARecordValueBase* CNARecordValue::pclGetClone(eCOPYFLAGS eFlags) const {
  CNARecordValue* pclClone = new (std::nothrow) CNARecordValue(m_pclError);
  if (pclClone == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  if (!pclClone->bCopyRecordValue(this, eFlags)) {
    delete pclClone;
    return nullptr;
  }
  return pclClone;
}

int CNARecordValue::_bCopyMemos(const CNARecordValueBase* pclOther) {
  const int nCount = pclOther->nGetMemoCount();
  for (int i = 0; i < nCount; ++i) {
    CNAConvertVariant* pclFrom = pclOther->pclGetMemoValueNoRef(i);
    CNAConvertVariant* pclTo = pclGetMemoValueNoRef(i);
    if (pclTo != nullptr) {
      // A shared holder (the column's) keeps being shared: only its value
      // changes.
      if (pclFrom != nullptr) {
        pclTo->bCopyVariant(pclFrom);
      } else {
        pclTo->SetNull();
      }
      continue;
    }
    if (pclFrom == nullptr) continue;
    CNAConvertVariant* pclClone = pclFrom->pclGetCloneVariant();
    if (pclClone == nullptr) return _bSetError();
    pclClone->AddRef();
    const int bOk = bShareMemoValue(i, pclClone);
    pclClone->nRelease();
    if (!bOk) return 0;
  }
  return 1;
}

int CNARecordValue::bCopyRecordValue(const CNARecordValueBase* pclOther, eCOPYFLAGS) {
  if (pclOther == nullptr) return 0;
  if (pclOther == this) return 1;
  if (pclOther->pclGetNAZBRecord() != nullptr && !bCopyNAZBRecord(pclOther->pclGetNAZBRecord()))
    return 0;
  bShareRecordID(pclOther->pclGetRecordIdNoRef());
  m_nState = pclOther->nGetState();
  return _bCopyMemos(pclOther);
}

int CNARecordValue::bEquals(const CNARecordValueBase* pclOther, int bWithMemos) const {
  if (pclOther == nullptr) return 0;
  if (pclOther == this) return 1;
  if (m_pclBuffer == nullptr || !m_pclBuffer->bEquals(pclOther->pclGetNAZBRecord())) return 0;
  if (!bWithMemos) return 1;
  const int nOther = pclOther->nGetMemoCount();
  const int nCount = nGetMemoCount() > nOther ? nGetMemoCount() : nOther;
  for (int i = 0; i < nCount; ++i) {
    if (!CNAVariant::g_bEqualsNAVariant(pclGetMemoValueNoRef(i), pclOther->pclGetMemoValueNoRef(i)))
      return 0;
  }
  return 1;
}

int CNARecordValue::bShareMemoValue(int nMemo, CNAConvertVariant* pclValue) {
  if (nMemo < 0) return 0;
  if (m_pTabMemos == nullptr) {
    m_pTabMemos = new (std::nothrow) CRefArray<CNAConvertVariant>(1, 30);
    if (m_pTabMemos == nullptr) return _bSetError();
  }
  while (m_pTabMemos->nGetNbElement() <= nMemo) {
    if (!m_pTabMemos->Ajoute(nullptr)) return _bSetError();
  }
  m_pTabMemos->SetAt(pclValue, nMemo);
  return 1;
}

CNAConvertVariant* CNARecordValue::pclGetMemoValueNoRef(int nMemo) const {
  if (m_pTabMemos == nullptr || nMemo < 0 || nMemo >= m_pTabMemos->nGetNbElement()) return nullptr;
  return (*m_pTabMemos)[nMemo];
}
