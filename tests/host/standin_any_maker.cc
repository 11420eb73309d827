#include "tests/host/standin_any_maker.h"

#include "values/any.h"

namespace kqtest {

int StandInAnyMaker::bSet(CAny* pclDest, const StandInValue& value) {
  if (pclDest == nullptr) return 0;
  switch (value.eKind) {
    case StandInValue::Kind::kText:
      pclDest->__SetType(VX_PSTRW, 0);
      pclDest->pclGetIntern()->SetValue(value.strText.c_str());
      return 1;
    case StandInValue::Kind::kInteger:
      if (value.llInteger >= -2147483648LL && value.llInteger <= 2147483647LL)
        pclDest->SetI4(static_cast<int>(value.llInteger));
      else
        pclDest->SetI8(value.llInteger);
      return 1;
    case StandInValue::Kind::kReal:
      pclDest->SetR8(value.dReal);
      return 1;
    case StandInValue::Kind::kNull:
      pclDest->__SetType(VX_PSTRW, 0);
      pclDest->pclGetIntern()->SetValue(L"");
      pclDest->SetNull(true);
      return 1;
  }
  return 0;
}

CAny* StandInAnyMaker::pclNew(const StandInValue& value) {
  CAny* p = new CAny;
  if (!bSet(p, value)) {
    delete p;
    return nullptr;
  }
  ++m_nLive;
  return p;
}

void StandInAnyMaker::Delete(CAny* pclValue) {
  if (pclValue == nullptr) return;
  --m_nLive;
  delete pclValue;
}

}  // namespace kqtest
