// CNADefine: where one value of a SELECT list goes.
#include "items/define.h"

#include "items/column.h"
#include "items/convert_variant.h"

CNADefine::CNADefine(CNAColumn* pclColumn) : m_pclColumn(pclColumn) {
  if (m_pclColumn == nullptr) return;
  m_pclColumn->AddRef();
  m_pclValue = m_pclColumn->pclGetNAValue();
  KQAddRef(m_pclValue);
}

CNADefine::CNADefine(const wchar_t* pszName, CNAConvertVariant* pclValue)
    : m_strName(pszName != nullptr ? pszName : L""), m_pclValue(pclValue) {
  KQAddRef(m_pclValue);
}

CNADefine::~CNADefine() {
  // The holder of a column define is the column's own: released first so
  // that the column, when this was its last holder, dies after it.
  KQRelease(m_pclValue);
  m_pclValue = nullptr;
  KQRelease(m_pclColumn);
  m_pclColumn = nullptr;
}

int CNADefine::bIsCursor() const { return 0; }

const wchar_t* CNADefine::pszGetName() const {
  if (m_pclColumn != nullptr) return m_pclColumn->pszGetName();
  return m_strName.pszGet();
}

CNAConnectionDescription* CNADefine::pclGetCnx() const {
  return m_pclValue != nullptr ? m_pclValue->pclGetCnx() : nullptr;
}
