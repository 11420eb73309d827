// The extreme values of the language's types, as searches and filters use
// them: s_SetAnyToMin / s_SetAnyToMax make a type's lowest and highest value,
// eCheckValue tells whether a value is one of them, and the maximal-text
// helpers read and cut the high marker that ends an upper bound of a text.
//
// One rule ties the two directions together: every extreme that
// s_SetAnyToMin or s_SetAnyToMax makes is recognised by eCheckValue, so a
// filter bound made from an extreme is never written as a comparison. The
// extremes are those of what MariaDB can hold where the language's own range
// is wider: the last date is 9999-12-31 (a date-time maximum of 3000-12-31
// would drop every later row from a filter "up to the maximum"), and the
// money minimum is the most negative amount (a minimum of 0 would drop the
// negative amounts from a filter "from the minimum").
#include <cfloat>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>

#include "core/counted_string.h"
#include "kq230/host_services.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/record_search.h"
#include "values/any.h"
#include "values/date_time_base.h"
#include "values/money.h"
#include "values/value_calc.h"

namespace {

// The last instant MariaDB holds: 9999-12-31 23:59:59.999.
constexpr uint32_t kLastDateWord = (9999u << 16) | (12u << 8) | 31u;
constexpr uint32_t kLastMilli = 86399999u;
// A date-time whose time is the last millisecond of a day after this date
// counts as the maximum (the server's own maximum lies in those days).
constexpr uint32_t kMaxThresholdDateWord = (9999u << 16) | (12u << 8) | 29u;

// Texts of the date and time extremes.
constexpr wchar_t kDateMaxW[] = L"99991231";
constexpr wchar_t kTimeMinW[] = L"0000";
constexpr wchar_t kTimeMaxW[] = L"235959999";
constexpr char kDateMaxA[] = "99991231";
constexpr char kTimeMinA[] = "0000";
constexpr char kTimeMaxA[] = "235959999";

// The widest decimal the server's factory makes: 38 digits.
constexpr wchar_t kDecimalMin[] = L"-99999999999999999999999999999999999999";
constexpr wchar_t kDecimalMax[] = L"99999999999999999999999999999999999999";

template <typename T>
T ReadArea(const CAny* pValue) {
  T v;
  std::memcpy(&v, pValue->pbyGetValeur(), sizeof v);
  return v;
}

// Sets the value to the type with the content at p (the type's own
// representation), flags cleared.
void SetFixed(CAny* pValue, unsigned short nType, const void* p) {
  pValue->__SetType(nType, 0);
  pValue->pclGetIntern()->SetValue(p);
  pValue->SetTypeWord(static_cast<unsigned short>(pValue->wGetType() & kVXClearFlagsMask));
}

// The most negative money amount this system writes: the negation of the
// highest, so that both extremes have the same magnitude.
CMoney MoneyMin() {
  CMoney m;
  SetMonetaireToMax(&m);
  NegMonetaire(&m);
  return m;
}

// A decimal made from its text through the server's conversion; 0 when the
// conversion is not available.
int bMakeDecimal(const wchar_t* pszText, CAny* pOut) {
  CAny clText;
  clText.__SetType(VX_DSTRW, 0);
  clText.SetValueByte(pszText, static_cast<unsigned int>(std::wcslen(pszText) * sizeof(wchar_t)));
  if (clText.__nCastTo(VX_DECIMAL, nullptr, 0) > kVXLastSuccess) return 0;
  if (clText.nGetTypeCode() != VX_DECIMAL) return 0;
  pOut->swap(clText);
  return 1;
}

// A text value's characters, as they are stored for its type.
struct STextView {
  const wchar_t* pWide = nullptr;      // wide texts
  const unsigned char* pNarrow = nullptr;  // 8-bit texts
  unsigned int nLength = 0;            // in characters
  bool bHighMarkerFlag = false;        // counted texts: the header's bit 0
};

// Reads the text of a value of a text type: 0 for other types (and for the
// text types whose layout this system does not hold).
int bGetTextView(const CAny* pValue, STextView* pView) {
  *pView = STextView();
  switch (pValue->nGetTypeCode()) {
    case VX_DSTRW:
    case VX_DSTRA: {
      auto* pData = static_cast<unsigned char*>(pValue->pGetPointeur());
      if (pData == nullptr) return 1;
      const _stStrMemHeader* pHeader = StrMemHeader(pData);
      pView->bHighMarkerFlag = (pHeader->dwFlags & kCountedFlagHighMarker) != 0;
      if (pValue->nGetTypeCode() == VX_DSTRW) {
        pView->pWide = reinterpret_cast<const wchar_t*>(pData);
        pView->nLength = pHeader->nLength / sizeof(wchar_t);
      } else {
        pView->pNarrow = pData;
        pView->nLength = pHeader->nLength;
      }
      return 1;
    }
    case VX_PSTRW: {
      auto* psz = static_cast<const wchar_t*>(pValue->pGetPointeur());
      pView->pWide = psz;
      pView->nLength = psz != nullptr ? static_cast<unsigned int>(std::wcslen(psz)) : 0;
      return 1;
    }
    case VX_PSTRA: {
      auto* psz = static_cast<const unsigned char*>(pValue->pGetPointeur());
      pView->pNarrow = psz;
      pView->nLength =
          psz != nullptr ? static_cast<unsigned int>(std::strlen(reinterpret_cast<const char*>(psz)))
                         : 0;
      return 1;
    }
    case VX_DATEW:
    case VX_TIMEW: {
      const unsigned int nMax = pValue->nGetTypeCode() == VX_DATEW ? 8 : 9;
      auto* p = reinterpret_cast<const wchar_t*>(pValue->pbyGetValeur());
      pView->pWide = p;
      while (pView->nLength < nMax && p[pView->nLength] != 0) ++pView->nLength;
      return 1;
    }
    case VX_DATEA:
    case VX_TIMEA: {
      const unsigned int nMax = pValue->nGetTypeCode() == VX_DATEA ? 8 : 9;
      const unsigned char* p = pValue->pbyGetValeur();
      pView->pNarrow = p;
      while (pView->nLength < nMax && p[pView->nLength] != 0) ++pView->nLength;
      return 1;
    }
    case VX_CARW:
      pView->pWide = reinterpret_cast<const wchar_t*>(pValue->pbyGetValeur());
      pView->nLength = 1;
      return 1;
    case VX_CARA:
      pView->pNarrow = pValue->pbyGetValeur();
      pView->nLength = 1;
      return 1;
    default:
      return 0;
  }
}

bool bTextEquals(const STextView& view, const wchar_t* pszWide, const char* pszNarrow) {
  if (view.pWide != nullptr || view.pNarrow == nullptr) {
    const size_t n = std::wcslen(pszWide);
    return view.nLength == n && (n == 0 || std::wmemcmp(view.pWide, pszWide, n) == 0);
  }
  const size_t n = std::strlen(pszNarrow);
  return view.nLength == n && std::memcmp(view.pNarrow, pszNarrow, n) == 0;
}

// The last character is the high marker of searches: the flag of a counted
// text, the unit 0xFFFFFFFF of a wide text (never a character), the byte
// 0xFF of the 8-bit texts that the language marks so (not the counted one,
// where 0xFF is a character and only the flag counts).
bool bEndsWithHighMarker(unsigned char nType, const STextView& view) {
  if (view.bHighMarkerFlag) return true;
  if (view.nLength == 0) return false;
  if (view.pWide != nullptr) return view.pWide[view.nLength - 1] == kHighMarkerW;
  if (nType == VX_DSTRA) return false;
  return view.pNarrow != nullptr && view.pNarrow[view.nLength - 1] == kHighMarkerA;
}

// A value compared with a decimal extreme: <0, 0, >0; 0 and *pbDone false
// when the comparison is not available.
int nCompareDecimal(const CAny* pValue, const wchar_t* pszExtreme, bool* pbDone) {
  *pbDone = false;
  CAny clExtreme;
  if (!bMakeDecimal(pszExtreme, &clExtreme)) return 0;
  int nResult = 0;
  if (nCompare(*pValue, clExtreme, &nResult, 0) != 0) return 0;
  *pbDone = true;
  return nResult;
}

}  // namespace

void CNARecherche::s_SetAnyToMin(CAny* pValue) {
  if (pValue == nullptr) return;
  switch (pValue->nGetTypeCode()) {
    case VX_BOOL:
      pValue->SetBOOL(0);
      break;
    case VX_UI1:
      pValue->SetUI1(0);
      break;
    case VX_UI2:
      pValue->SetUI2(0);
      break;
    case VX_UI4:
      pValue->SetUI4(0);
      break;
    case VX_UIX: {
      const uint32_t n = 0;
      SetFixed(pValue, VX_UIX, &n);
      break;
    }
    case VX_UI8:
      pValue->SetUI8(0);
      break;
    case VX_I1:
      pValue->SetI1(static_cast<char>(SCHAR_MIN));
      break;
    case VX_I2:
      pValue->SetI2(SHRT_MIN);
      break;
    case VX_I4:
      pValue->SetI4(INT_MIN);
      break;
    case VX_I8:
      pValue->SetI8(LLONG_MIN);
      break;
    case VX_CY: {
      const CMoney m = MoneyMin();
      SetFixed(pValue, VX_CY, &m);
      break;
    }
    case VX_R4:
      pValue->SetR4(-FLT_MAX);
      break;
    case VX_R8:
      pValue->SetR8(-DBL_MAX);
      break;
    case VX_DECIMAL:
      bMakeDecimal(kDecimalMin, pValue);
      break;
    case VX_DATEW:
      pValue->SetDATEW(L"");
      break;
    case VX_TIMEW:
      pValue->SetTIMEW(kTimeMinW);
      break;
    case VX_DATETIME: {
      CDateTimeBase dt;
      dt.InitDate();
      SetFixed(pValue, VX_DATETIME, &dt);
      break;
    }
    case VX_DUREE: {
      const long long ll = LLONG_MIN;
      SetFixed(pValue, VX_DUREE, &ll);
      break;
    }
    case VX_DATEA:
      pValue->SetDATEA("");
      break;
    case VX_TIMEA:
      pValue->SetTIMEA(kTimeMinA);
      break;
    default:
      break;
  }
}

void CNARecherche::s_SetAnyToMax(CAny* pValue) {
  if (pValue == nullptr) return;
  switch (pValue->nGetTypeCode()) {
    case VX_BOOL:
      pValue->SetBOOL(1);
      break;
    case VX_UI1:
      pValue->SetUI1(UCHAR_MAX);
      break;
    case VX_UI2:
      pValue->SetUI2(USHRT_MAX);
      break;
    case VX_UI4:
      pValue->SetUI4(UINT_MAX);
      break;
    case VX_UIX: {
      const uint32_t n = UINT32_MAX;
      SetFixed(pValue, VX_UIX, &n);
      break;
    }
    case VX_UI8:
      pValue->SetUI8(ULLONG_MAX);
      break;
    case VX_I1:
      pValue->SetI1(static_cast<char>(SCHAR_MAX));
      break;
    case VX_I2:
      pValue->SetI2(SHRT_MAX);
      break;
    case VX_I4:
      pValue->SetI4(INT_MAX);
      break;
    case VX_I8:
      pValue->SetI8(LLONG_MAX);
      break;
    case VX_CY: {
      CMoney m;
      SetMonetaireToMax(&m);
      SetFixed(pValue, VX_CY, &m);
      break;
    }
    case VX_R4:
      pValue->SetR4(FLT_MAX);
      break;
    case VX_R8:
      pValue->SetR8(DBL_MAX);
      break;
    case VX_DECIMAL:
      bMakeDecimal(kDecimalMax, pValue);
      break;
    case VX_DATEW:
      pValue->SetDATEW(kDateMaxW);
      break;
    case VX_TIMEW:
      pValue->SetTIMEW(kTimeMaxW);
      break;
    case VX_DATETIME: {
      CDateTimeBase dt;
      dt.Set(9999, 12, 31, 23, 59, 59, 999);
      SetFixed(pValue, VX_DATETIME, &dt);
      break;
    }
    case VX_DUREE: {
      const long long ll = LLONG_MAX;
      SetFixed(pValue, VX_DUREE, &ll);
      break;
    }
    case VX_DATEA:
      pValue->SetDATEA(kDateMaxA);
      break;
    case VX_TIMEA:
      pValue->SetTIMEA(kTimeMaxA);
      break;
    default:
      break;
  }
}

int CNARecherche::eCheckValue(const CAny* pValue) {
  if (pValue == nullptr || pValue->bIsNull()) return 0;
  const unsigned char nType = pValue->nGetTypeCode();
  switch (nType) {
    case VX_BOOL:
      return ReadArea<int>(pValue) != 0 ? 2 : 1;
    case VX_UI1: {
      const auto n = ReadArea<unsigned char>(pValue);
      return n == 0 ? 1 : n == UCHAR_MAX ? 2 : 0;
    }
    case VX_UI2: {
      const auto n = ReadArea<unsigned short>(pValue);
      return n == 0 ? 1 : n == USHRT_MAX ? 2 : 0;
    }
    case VX_UI4:
    case VX_UIX: {
      const auto n = ReadArea<uint32_t>(pValue);
      return n == 0 ? 1 : n == UINT32_MAX ? 2 : 0;
    }
    case VX_UI8: {
      const auto n = ReadArea<unsigned long long>(pValue);
      return n == 0 ? 1 : n == ULLONG_MAX ? 2 : 0;
    }
    case VX_I1: {
      const auto n = ReadArea<signed char>(pValue);
      return n == SCHAR_MIN ? 1 : n == SCHAR_MAX ? 2 : 0;
    }
    case VX_I2: {
      const auto n = ReadArea<short>(pValue);
      return n == SHRT_MIN ? 1 : n == SHRT_MAX ? 2 : 0;
    }
    case VX_I4: {
      const auto n = ReadArea<int>(pValue);
      return n == INT_MIN ? 1 : n == INT_MAX ? 2 : 0;
    }
    case VX_I8: {
      const auto n = ReadArea<long long>(pValue);
      return n == LLONG_MIN ? 1 : n == LLONG_MAX ? 2 : 0;
    }
    case VX_CY: {
      const auto m = ReadArea<CMoney>(pValue);
      CMoney clMin = MoneyMin();
      CMoney clMax;
      SetMonetaireToMax(&clMax);
      // At or below the minimum: the one amount beyond it (-2^79 millionths)
      // is no bound either.
      if (nCmpMonetaire(&m, &clMin) <= 0) return 1;
      return nCmpMonetaire(&m, &clMax) >= 0 ? 2 : 0;
    }
    case VX_R4: {
      const auto f = ReadArea<float>(pValue);
      return f <= -FLT_MAX ? 1 : f >= FLT_MAX ? 2 : 0;
    }
    case VX_R8: {
      const auto d = ReadArea<double>(pValue);
      return d <= -DBL_MAX ? 1 : d >= DBL_MAX ? 2 : 0;
    }
    case VX_DECIMAL: {
      bool bDone = false;
      if (nCompareDecimal(pValue, kDecimalMin, &bDone) <= 0 && bDone) return 1;
      if (nCompareDecimal(pValue, kDecimalMax, &bDone) >= 0 && bDone) return 2;
      return 0;
    }
    case VX_DATETIME: {
      const auto dt = ReadArea<CDateTimeBase>(pValue);
      const uint32_t dwDate = dt.dwGetDate();
      const uint32_t dwMilli = dt.dwGetMilli();
      if (dwDate == 0 && dwMilli == 0) return 1;
      if (dwMilli > kLastMilli) return 2;
      if (dwMilli == kLastMilli && dwDate > kMaxThresholdDateWord) return 2;
      return 0;
    }
    case VX_DUREE: {
      // Exactly the extremes: a duration of 0 is an ordinary value (a filter
      // from 0 ms must not keep the negative durations).
      const auto ll = ReadArea<long long>(pValue);
      if (ll == LLONG_MIN) return 1;
      if (ll == LLONG_MAX) return 2;
      // The server's own maximum: the high half past the last millisecond
      // of a day, as for a date-time.
      const auto nHigh = static_cast<int32_t>(static_cast<unsigned long long>(ll) >> 32);
      const auto dwLow = static_cast<uint32_t>(static_cast<unsigned long long>(ll));
      if (nHigh > static_cast<int32_t>(kLastMilli)) return 2;
      if (nHigh == static_cast<int32_t>(kLastMilli) && dwLow > kMaxThresholdDateWord) return 2;
      return 0;
    }
    default:
      break;
  }
  STextView view;
  if (!bGetTextView(pValue, &view)) return 0;
  switch (nType) {
    case VX_DATEW:
    case VX_DATEA:
      if (view.nLength == 0) return 1;
      if (bTextEquals(view, kDateMaxW, kDateMaxA)) return 2;
      break;
    case VX_TIMEW:
    case VX_TIMEA:
      if (bTextEquals(view, kTimeMinW, kTimeMinA)) return 1;
      if (bTextEquals(view, kTimeMaxW, kTimeMaxA)) return 2;
      break;
    default:
      break;
  }
  return bEndsWithHighMarker(nType, view) ? 2 : 0;
}

int CNARecherche::_bIsMaximalText(const CAny* pValue) {
  if (pValue == nullptr || pValue->bIsNull()) return 0;
  STextView view;
  if (!bGetTextView(pValue, &view)) return 0;
  return bEndsWithHighMarker(pValue->nGetTypeCode(), view) ? 1 : 0;
}

int CNARecherche::_bCutHighMarker(CAny* pValue) {
  STextView view;
  if (pValue == nullptr || !bGetTextView(pValue, &view) || view.nLength == 0) return 0;
  const unsigned char nType = pValue->nGetTypeCode();
  const unsigned int nKept = view.nLength - 1;
  if (nKept == 0) return 0;
  // Copied out first: the new text replaces the buffer it is read from.
  if (view.pWide != nullptr) {
    wchar_t aSmall[16];
    wchar_t* pCopy = nKept < 16 ? aSmall : new (std::nothrow) wchar_t[nKept + 1];
    if (pCopy == nullptr) return 0;
    std::wmemcpy(pCopy, view.pWide, nKept);
    pCopy[nKept] = 0;
    if (nType == VX_DATEW) {
      pValue->SetDATEW(pCopy);
    } else if (nType == VX_TIMEW) {
      pValue->SetTIMEW(pCopy);
    } else {
      CAny clText;
      clText.__SetType(VX_DSTRW, 0);
      clText.SetValueByte(pCopy, nKept * static_cast<unsigned int>(sizeof(wchar_t)));
      pValue->swap(clText);
    }
    if (pCopy != aSmall) delete[] pCopy;
    return 1;
  }
  char aSmall[16];
  char* pCopy = nKept < 16 ? aSmall : new (std::nothrow) char[nKept + 1];
  if (pCopy == nullptr) return 0;
  std::memcpy(pCopy, view.pNarrow, nKept);
  pCopy[nKept] = 0;
  if (nType == VX_DATEA) {
    pValue->SetDATEA(pCopy);
  } else if (nType == VX_TIMEA) {
    pValue->SetTIMEA(pCopy);
  } else {
    CAny clText;
    clText.__SetType(VX_DSTRA, 0);
    clText.SetValueByte(pCopy, nKept);
    pValue->swap(clText);
  }
  if (pCopy != aSmall) delete[] pCopy;
  return 1;
}

int CNARecherche::_bEndsWithZeroCharacter(const CAny* pValue) {
  STextView view;
  if (pValue == nullptr || pValue->bIsNull() || !bGetTextView(pValue, &view) ||
      view.nLength == 0)
    return 0;
  if (view.pWide != nullptr) return view.pWide[view.nLength - 1] == 0;
  return view.pNarrow != nullptr && view.pNarrow[view.nLength - 1] == 0;
}
