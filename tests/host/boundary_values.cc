#include "tests/host/boundary_values.h"

#include "values/any.h"

namespace kqtest {

namespace {

// The value's bytes: the length it uses when it keeps one, else its size.
std::string RawBytes(const CAny& clValue) {
  const CAny_Intern* pclIntern = clValue.pclGetIntern();
  void* pData = nullptr;
  unsigned int nBytes = 0;
  pclIntern->nGetDataAdr(&pData);
  if (pclIntern->nGetUtilDataSize(&nBytes) != 0) pclIntern->nGetDataSize(&nBytes);
  if (pData == nullptr) return std::string();
  return std::string(static_cast<const char*>(pData), nBytes);
}

}  // namespace

int nTypeOf(const CAny& clValue) { return clValue.nGetTypeCode(); }

bool bIsNullValue(const CAny& clValue) { return clValue.bIsNull(); }

std::wstring WideTextOf(const CAny& clValue) {
  switch (clValue.nGetTypeCode()) {
    case VX_DSTRW:
    case VX_PSTRW:
    case VX_CARW: {
      const std::string strBytes = RawBytes(clValue);
      std::wstring str(strBytes.size() / sizeof(wchar_t), L'\0');
      if (!str.empty()) str.assign(reinterpret_cast<const wchar_t*>(strBytes.data()), str.size());
      // A zero-terminated form may count its terminator.
      while (!str.empty() && str.back() == L'\0' && clValue.nGetTypeCode() == VX_PSTRW)
        str.pop_back();
      return str;
    }
    default:
      return L"<not a wide text>";
  }
}

std::string TextOf(const CAny& clValue) {
  std::string str;
  for (wchar_t c : WideTextOf(clValue)) str += c >= 0 && c < 128 ? char(c) : '?';
  return str;
}

std::string BytesOf(const CAny& clValue) {
  if (clValue.nGetTypeCode() != VX_BIN) return std::string();
  return RawBytes(clValue);
}

}  // namespace kqtest
