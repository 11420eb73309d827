// The root behaviour class and the fixed-size classes: numbers, characters,
// date and time texts, date-times, durations, points and rectangles. Their
// whole value sits in the 40-byte area. The string and binary classes live in
// values/any_strings.cc, decimals and object references in
// values/any_objects.cc.
#include "values/any_behaviour.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <limits>

#include "core/unicode.h"
#include "core/codepage_conversion.h"
#include "values/any.h"
#include "values/money.h"

namespace {

constexpr unsigned short kBothFlags = kVXNullFlag | kVXSecondFlag;
// The code page of the conversions that name none.
constexpr unsigned int kDefaultCodePage = 1252;

template <typename T>
T Read(const unsigned char* pbyArea) {
  T v;
  std::memcpy(&v, pbyArea, sizeof v);
  return v;
}

template <typename T>
void Write(unsigned char* pbyArea, T v) {
  std::memcpy(pbyArea, &v, sizeof v);
}

// The copy that every derived class makes: the target takes the type code,
// then the content through its own SetValue; flags cleared, then the source's
// two flags copied when the class carries them.
void CopyFixed(const CAny* pSource, CAny* pTarget, unsigned short nCode) {
  pTarget->__SetType(nCode, 0);
  pTarget->pclGetIntern()->SetValue(pSource->pbyGetValeur());
  pTarget->SetTypeWord(static_cast<unsigned short>(
      (pTarget->wGetType() & kVXClearFlagsMask) | (pSource->wGetType() & kBothFlags)));
}

int FillSize(unsigned int* pn, unsigned int n) {
  if (pn != nullptr) *pn = n;
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// CAny_Intern: the untyped value and the defaults of every class.

void CAny_Intern::Duplique(CAny* pTarget) const {
  pTarget->SetTypeWord(static_cast<unsigned short>((pTarget->wGetType() & ~kBothFlags) |
                                                   (pAny()->wGetType() & kBothFlags)));
}

int CAny_Intern::nGetSize(unsigned int* pn) const {
  if (pn != nullptr) *pn = 0;
  return 102;
}
int CAny_Intern::nGetAdr(void** pp) const {
  if (pp != nullptr) *pp = nullptr;
  return 102;
}
int CAny_Intern::nFillBuffer(void*) const { return 102; }
int CAny_Intern::nGetDataSize(unsigned int* pn) const {
  if (pn != nullptr) *pn = 0;
  return 102;
}
int CAny_Intern::nGetDataAdr(void** pp) const {
  if (pp != nullptr) *pp = nullptr;
  return 102;
}
int CAny_Intern::nFillDataBuffer(void*) const { return 102; }
void CAny_Intern::SetValue(const void*) {}
void CAny_Intern::SetValue(const void* p, unsigned int) { SetValue(p); }
int CAny_Intern::nGetPCASTR(const char** pp) const {
  if (pp != nullptr) *pp = nullptr;
  return 105;
}
int CAny_Intern::nGetPCWSTR(const wchar_t** pp) const {
  if (pp != nullptr) *pp = nullptr;
  return 105;
}
int CAny_Intern::nGetSTRLEN(unsigned int* pn) const {
  if (pn != nullptr) *pn = 0;
  return 105;
}
int CAny_Intern::bIsPositive() const { return 1; }
int CAny_Intern::nGetUtilDataSize(unsigned int* pn) const { return nGetDataSize(pn); }
int CAny_Intern::nFillUtilDataBuffer(void* pOut) const { return nFillDataBuffer(pOut); }
int CAny_Intern::nIncremente() { return 105; }
int CAny_Intern::nDecremente() { return 105; }
void CAny_Intern::SetValueFromANSI(const void* p) { SetValue(p); }
void CAny_Intern::SetValueFromANSI(const void* p, unsigned int n) { SetValue(p, n); }
void CAny_Intern::SetValueFromUNICODE(const void* p) { SetValue(p); }
void CAny_Intern::SetValueFromUNICODE(const void* p, unsigned int n) { SetValue(p, n); }
void CAny_Intern::SetValueFromANSI_CP(int, const void* p) { SetValueFromANSI(p); }
void CAny_Intern::SetValueFromANSI_CP(int, const void* p, unsigned int n) {
  SetValueFromANSI(p, n);
}
void CAny_Intern::SetValueFromUNICODE_CP(int, const void* p) { SetValueFromUNICODE(p); }
void CAny_Intern::SetValueFromUNICODE_CP(int, const void* p, unsigned int n) {
  SetValueFromUNICODE(p, n);
}
void CAny_Intern::SetValueOption(const void* p, unsigned int n, unsigned int) { SetValue(p, n); }

// ---------------------------------------------------------------------------
// Fixed-size classes: the area holds kSize bytes of value; the three size
// families all answer kSize, the addresses the area.

#define KQ_DEFINE_FIXED(Class, kCode, kSize)                                                \
  void Class::Duplique(CAny* pTarget) const { CopyFixed(pAny(), pTarget, kCode); }        \
  int Class::nGetSize(unsigned int* pn) const { return FillSize(pn, kSize); }             \
  int Class::nGetAdr(void** pp) const {                                                   \
    if (pp != nullptr) *pp = const_cast<unsigned char*>(pbyArea());                       \
    return 0;                                                                             \
  }                                                                                       \
  int Class::nFillBuffer(void* pOut) const {                                              \
    std::memcpy(pOut, pbyArea(), kSize);                                                  \
    return 0;                                                                             \
  }                                                                                       \
  int Class::nGetDataSize(unsigned int* pn) const { return FillSize(pn, kSize); }         \
  int Class::nGetDataAdr(void** pp) const { return nGetAdr(pp); }                         \
  int Class::nFillDataBuffer(void* pOut) const { return nFillBuffer(pOut); }

#define KQ_DEFINE_FIXED_SETVALUE(Class, kSize) \
  void Class::SetValue(const void* p) {        \
    if (p != nullptr) std::memcpy(pbyArea(), p, kSize); \
  }

KQ_DEFINE_FIXED(CAny_VXBOOL, VX_BOOL, 4)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXBOOL, 4)
KQ_DEFINE_FIXED(CAny_VXUI1, VX_UI1, 1)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXUI1, 1)
KQ_DEFINE_FIXED(CAny_VXUI2, VX_UI2, 2)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXUI2, 2)
KQ_DEFINE_FIXED(CAny_VXUI4, VX_UI4, 4)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXUI4, 4)
KQ_DEFINE_FIXED(CAny_VXUI8, VX_UI8, 8)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXUI8, 8)
KQ_DEFINE_FIXED(CAny_VXI1, VX_I1, 1)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXI1, 1)
KQ_DEFINE_FIXED(CAny_VXI2, VX_I2, 2)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXI2, 2)
KQ_DEFINE_FIXED(CAny_VXI4, VX_I4, 4)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXI4, 4)
KQ_DEFINE_FIXED(CAny_VXI8, VX_I8, 8)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXI8, 8)
KQ_DEFINE_FIXED(CAny_VXCY, VX_CY, 10)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXCY, 10)
KQ_DEFINE_FIXED(CAny_VXR4, VX_R4, 4)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXR4, 4)
KQ_DEFINE_FIXED(CAny_VXR8, VX_R8, 8)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXR8, 8)
KQ_DEFINE_FIXED(CAny_VXUIX, VX_UIX, 4)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXUIX, 4)
KQ_DEFINE_FIXED(CAny_VXDATETIME, VX_DATETIME, 8)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXDATETIME, 8)
KQ_DEFINE_FIXED(CAny_VXDUREE, VX_DUREE, 8)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXDUREE, 8)
KQ_DEFINE_FIXED(CAny_VXPOINT, VX_POINT, 8)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXPOINT, 8)
KQ_DEFINE_FIXED(CAny_VXRECTANGLE, VX_RECTANGLE, 16)
KQ_DEFINE_FIXED_SETVALUE(CAny_VXRECTANGLE, 16)

void CAny_VXBOOL::SetValue(const void* p, unsigned int n) {
  Write<uint32_t>(pbyArea(), 0);
  if (p != nullptr) std::memcpy(pbyArea(), p, n < 4 ? n : 4);
}

// ---------------------------------------------------------------------------
// Steps. Unsigned arithmetic everywhere, so that a wrap is defined; the
// result tells whether the true result left the type's range.

namespace {

template <typename T>
int StepUnsigned(unsigned char* pbyArea, bool bUp) {
  T v = Read<T>(pbyArea);
  T w = bUp ? static_cast<T>(v + 1) : static_cast<T>(v - 1);
  Write<T>(pbyArea, w);
  return bUp ? (w == 0 ? 1 : 0) : (v == 0 ? 1 : 0);
}

// Signed types of at most 32 bits: stepped in their unsigned twin.
template <typename S, typename U>
int StepSigned(unsigned char* pbyArea, bool bUp) {
  S v = Read<S>(pbyArea);
  U u = static_cast<U>(v);
  u = bUp ? static_cast<U>(u + 1) : static_cast<U>(u - 1);
  Write<U>(pbyArea, u);
  if (bUp) return v == std::numeric_limits<S>::max() ? 1 : 0;
  return v == std::numeric_limits<S>::min() ? 1 : 0;
}

}  // namespace

int CAny_VXUI1::bIsPositive() const { return 1; }
int CAny_VXUI1::nIncremente() { return StepUnsigned<uint8_t>(pbyArea(), true); }
int CAny_VXUI1::nDecremente() { return StepUnsigned<uint8_t>(pbyArea(), false); }
int CAny_VXUI2::bIsPositive() const { return 1; }
int CAny_VXUI2::nIncremente() { return StepUnsigned<uint16_t>(pbyArea(), true); }
int CAny_VXUI2::nDecremente() { return StepUnsigned<uint16_t>(pbyArea(), false); }
int CAny_VXUI4::bIsPositive() const { return 1; }
int CAny_VXUI4::nIncremente() { return StepUnsigned<uint32_t>(pbyArea(), true); }
int CAny_VXUI4::nDecremente() { return StepUnsigned<uint32_t>(pbyArea(), false); }
int CAny_VXUI8::bIsPositive() const { return 1; }
// Overflow is reported on the wrap itself (2^64 - 1 + 1, 0 - 1); results at or
// above 2^63 are ordinary UI8 values.
int CAny_VXUI8::nIncremente() { return StepUnsigned<uint64_t>(pbyArea(), true); }
int CAny_VXUI8::nDecremente() { return StepUnsigned<uint64_t>(pbyArea(), false); }

int CAny_VXI1::bIsPositive() const { return Read<int8_t>(pbyArea()) >= 0; }
int CAny_VXI1::nIncremente() { return StepSigned<int8_t, uint8_t>(pbyArea(), true); }
int CAny_VXI1::nDecremente() { return StepSigned<int8_t, uint8_t>(pbyArea(), false); }
int CAny_VXI2::bIsPositive() const { return Read<int16_t>(pbyArea()) >= 0; }
int CAny_VXI2::nIncremente() { return StepSigned<int16_t, uint16_t>(pbyArea(), true); }
int CAny_VXI2::nDecremente() { return StepSigned<int16_t, uint16_t>(pbyArea(), false); }
int CAny_VXI4::bIsPositive() const { return Read<int32_t>(pbyArea()) >= 0; }
int CAny_VXI4::nIncremente() { return StepSigned<int32_t, uint32_t>(pbyArea(), true); }
int CAny_VXI4::nDecremente() { return StepSigned<int32_t, uint32_t>(pbyArea(), false); }
// UIX holds 32 bits whose range is tested as signed; its sign is not asked.
int CAny_VXUIX::bIsPositive() const { return 1; }
int CAny_VXUIX::nIncremente() { return StepSigned<int32_t, uint32_t>(pbyArea(), true); }
int CAny_VXUIX::nDecremente() { return StepSigned<int32_t, uint32_t>(pbyArea(), false); }

// I8 steps wrap silently: callers of the language rely on 0 here.
int CAny_VXI8::bIsPositive() const { return Read<int64_t>(pbyArea()) >= 0; }
int CAny_VXI8::nIncremente() {
  Write<uint64_t>(pbyArea(), Read<uint64_t>(pbyArea()) + 1);
  return 0;
}
int CAny_VXI8::nDecremente() {
  Write<uint64_t>(pbyArea(), Read<uint64_t>(pbyArea()) - 1);
  return 0;
}

// Money steps add exactly one unit in 80 bits; a double would lose millionths
// above about 9 x 10^9.
int CAny_VXCY::bIsPositive() const { return (Read<CMoney>(pbyArea()).w[4] & 0x8000) == 0; }
int CAny_VXCY::nIncremente() {
  CMoney m = Read<CMoney>(pbyArea());
  int bOk = bIncrementeMonetaire(&m);
  Write<CMoney>(pbyArea(), m);
  return bOk ? 0 : 1;
}
int CAny_VXCY::nDecremente() {
  CMoney m = Read<CMoney>(pbyArea());
  int bOk = bDecrementeMonetaire(&m);
  Write<CMoney>(pbyArea(), m);
  return bOk ? 0 : 1;
}

int CAny_VXR4::bIsPositive() const { return Read<float>(pbyArea()) >= 0.0f; }
namespace {
int StepR4(unsigned char* pbyArea, float fStep) {
  float f = Read<float>(pbyArea) + fStep;
  Write<float>(pbyArea, f);
  return (std::isnan(f) || f > FLT_MAX || f < -FLT_MAX) ? 1 : 0;
}
}  // namespace
int CAny_VXR4::nIncremente() { return StepR4(pbyArea(), 1.0f); }
int CAny_VXR4::nDecremente() { return StepR4(pbyArea(), -1.0f); }

int CAny_VXR8::bIsPositive() const { return Read<double>(pbyArea()) >= 0.0; }
int CAny_VXR8::nIncremente() {
  Write<double>(pbyArea(), Read<double>(pbyArea()) + 1.0);
  return 0;
}
int CAny_VXR8::nDecremente() {
  Write<double>(pbyArea(), Read<double>(pbyArea()) - 1.0);
  return 0;
}

// ---------------------------------------------------------------------------
// Characters: one character and a zero in the area.

KQ_DEFINE_FIXED(CAny_VXCARA, VX_CARA, 1)
void CAny_VXCARA::SetValue(const void* p) {
  if (p == nullptr) return;
  pbyArea()[0] = *static_cast<const unsigned char*>(p);
  pbyArea()[1] = 0;
}
int CAny_VXCARA::nGetPCASTR(const char** pp) const {
  if (pp != nullptr) *pp = reinterpret_cast<const char*>(pbyArea());
  return 0;
}
// One character, the zero character included.
int CAny_VXCARA::nGetSTRLEN(unsigned int* pn) const { return FillSize(pn, 1); }

namespace {
// One wide character to one byte of the code page; nothing when it needs more.
void WideToOneByte(unsigned char* pbyArea, int nCodePage, const void* p) {
  if (p == nullptr) return;
  wchar_t wc = Read<wchar_t>(static_cast<const unsigned char*>(p));
  char c;
  if (WideCharToMultiByte(static_cast<unsigned int>(nCodePage), 0, &wc, 1, &c, 1, nullptr,
                          nullptr) == 1) {
    pbyArea[0] = static_cast<unsigned char>(c);
    pbyArea[1] = 0;
  }
}
// One byte to one wide character; nothing when the byte alone does not
// convert (the lead byte of a multi-byte character).
void OneByteToWide(unsigned char* pbyArea, int nCodePage, const void* p) {
  if (p == nullptr) return;
  wchar_t wc;
  if (MultiByteToWideChar(static_cast<unsigned int>(nCodePage), 0, static_cast<const char*>(p), 1,
                          &wc, 1) == 1) {
    Write<wchar_t>(pbyArea, wc);
    Write<wchar_t>(pbyArea + sizeof(wchar_t), 0);
  }
}
}  // namespace

void CAny_VXCARA::SetValueFromUNICODE(const void* p) { WideToOneByte(pbyArea(), kDefaultCodePage, p); }
void CAny_VXCARA::SetValueFromUNICODE_CP(int nCodePage, const void* p) {
  WideToOneByte(pbyArea(), nCodePage, p);
}
void CAny_VXCARA::SetValueFromUNICODE_CP(int nCodePage, const void* p, unsigned int) {
  WideToOneByte(pbyArea(), nCodePage, p);
}

KQ_DEFINE_FIXED(CAny_VXCARW, VX_CARW, 4)
void CAny_VXCARW::SetValue(const void* p) {
  if (p == nullptr) return;
  std::memcpy(pbyArea(), p, sizeof(wchar_t));
  Write<wchar_t>(pbyArea() + sizeof(wchar_t), 0);
}
int CAny_VXCARW::nGetPCWSTR(const wchar_t** pp) const {
  if (pp != nullptr) *pp = reinterpret_cast<const wchar_t*>(pbyArea());
  return 0;
}
int CAny_VXCARW::nGetSTRLEN(unsigned int* pn) const { return FillSize(pn, 1); }
void CAny_VXCARW::SetValueFromANSI(const void* p) { OneByteToWide(pbyArea(), kDefaultCodePage, p); }
void CAny_VXCARW::SetValueFromANSI(const void* p, unsigned int) {
  OneByteToWide(pbyArea(), kDefaultCodePage, p);
}
void CAny_VXCARW::SetValueFromANSI_CP(int nCodePage, const void* p) {
  OneByteToWide(pbyArea(), nCodePage, p);
}
void CAny_VXCARW::SetValueFromANSI_CP(int nCodePage, const void* p, unsigned int) {
  OneByteToWide(pbyArea(), nCodePage, p);
}

void CAny_VXCARW::s_SetFromUTF16(CAny* pAny, const unsigned short* p, int n) {
  if (pAny == nullptr || p == nullptr || n <= 0) return;
  wchar_t wc;
  if (UTF16ToWideChar(p, n, &wc, 1) == 1) {
    Write<wchar_t>(pAny->pbyGetValeur(), wc);
    Write<wchar_t>(pAny->pbyGetValeur() + sizeof(wchar_t), 0);
  }
}

// ---------------------------------------------------------------------------
// Date and time texts: YYYYMMDD (8 characters) and HHMMSSmmm (9), followed
// by a zero, in the area. The useful fills write exactly the useful size
// (without a terminator), so that a buffer sized by nGetUtilDataSize holds
// them.

namespace {

// Copies at most nMax characters of the terminated text p (zero-filling the
// rest) and writes a zero at nMax.
template <typename T>
void StoreText(unsigned char* pbyArea, const void* p, size_t nMax) {
  if (p == nullptr) return;
  T aText[10] = {};
  const T* ps = static_cast<const T*>(p);
  for (size_t i = 0; i < nMax; ++i) {
    T c;
    std::memcpy(&c, ps + i, sizeof c);
    if (c == 0) break;
    aText[i] = c;
  }
  std::memcpy(pbyArea, aText, (nMax + 1) * sizeof(T));
}

template <typename T>
size_t TextLength(const unsigned char* pbyArea, size_t nMax) {
  size_t n = 0;
  while (n < nMax && Read<T>(pbyArea + n * sizeof(T)) != 0) ++n;
  return n;
}

// Code-page text to the wide text of the area (at most nMax characters).
void AnsiToWideText(unsigned char* pbyArea, const char* p, size_t nBytes, size_t nMax) {
  if (p == nullptr) return;
  wchar_t aText[10] = {};
  if (nBytes > nMax) nBytes = nMax;  // one byte per character in code page 1252
  if (nBytes > 0) {
    int n = MultiByteToWideChar(kDefaultCodePage, 0, p, static_cast<int>(nBytes), aText,
                                static_cast<int>(nMax));
    if (n <= 0) return;
  }
  std::memcpy(pbyArea, aText, (nMax + 1) * sizeof(wchar_t));
}

void WideToAnsiText(unsigned char* pbyArea, const wchar_t* p, size_t nMax) {
  if (p == nullptr) return;
  char aText[10] = {};
  size_t n = 0;
  while (n < nMax && p[n] != 0) ++n;
  if (n > 0) {
    char aTemp[10 * 4];
    int nBytes = WideCharToMultiByte(kDefaultCodePage, 0, p, static_cast<int>(n), aTemp,
                                     sizeof aTemp, nullptr, nullptr);
    if (nBytes <= 0) return;
    std::memcpy(aText, aTemp, static_cast<size_t>(nBytes) < nMax ? nBytes : nMax);
  }
  std::memcpy(pbyArea, aText, nMax + 1);
}

}  // namespace

#define KQ_DEFINE_TEXT(Class, kCode, T, kChars)                                                 \
  void Class::Duplique(CAny* pTarget) const { CopyFixed(pAny(), pTarget, kCode); }            \
  int Class::nGetSize(unsigned int* pn) const { return FillSize(pn, (kChars) * sizeof(T)); }  \
  int Class::nGetAdr(void** pp) const {                                                       \
    if (pp != nullptr) *pp = const_cast<unsigned char*>(pbyArea());                           \
    return 0;                                                                                 \
  }                                                                                           \
  int Class::nFillBuffer(void* pOut) const {                                                  \
    std::memcpy(pOut, pbyArea(), (kChars) * sizeof(T));                                       \
    return 0;                                                                                 \
  }                                                                                           \
  int Class::nGetDataSize(unsigned int* pn) const {                                           \
    return FillSize(pn, ((kChars) + 1) * sizeof(T));                                          \
  }                                                                                           \
  int Class::nGetDataAdr(void** pp) const { return nGetAdr(pp); }                             \
  int Class::nFillDataBuffer(void* pOut) const {                                              \
    std::memcpy(pOut, pbyArea(), ((kChars) + 1) * sizeof(T));                                 \
    return 0;                                                                                 \
  }                                                                                           \
  void Class::SetValue(const void* p) { StoreText<T>(pbyArea(), p, kChars); }

KQ_DEFINE_TEXT(CAny_VXDATEA, VX_DATEA, char, 8)
KQ_DEFINE_TEXT(CAny_VXTIMEA, VX_TIMEA, char, 9)
KQ_DEFINE_TEXT(CAny_VXDATEW, VX_DATEW, wchar_t, 8)
KQ_DEFINE_TEXT(CAny_VXTIMEW, VX_TIMEW, wchar_t, 9)

int CAny_VXDATEA::nGetPCASTR(const char** pp) const {
  if (pp != nullptr) *pp = reinterpret_cast<const char*>(pbyArea());
  return 0;
}
int CAny_VXDATEA::nGetUtilDataSize(unsigned int* pn) const { return FillSize(pn, 8); }
int CAny_VXDATEA::nFillUtilDataBuffer(void* pOut) const {
  std::memcpy(pOut, pbyArea(), 8);
  return 0;
}
void CAny_VXDATEA::SetValueFromUNICODE(const void* p) {
  WideToAnsiText(pbyArea(), static_cast<const wchar_t*>(p), 8);
}

int CAny_VXTIMEA::nGetPCASTR(const char** pp) const {
  if (pp != nullptr) *pp = reinterpret_cast<const char*>(pbyArea());
  return 0;
}
int CAny_VXTIMEA::nGetUtilDataSize(unsigned int* pn) const {
  return FillSize(pn, static_cast<unsigned int>(TextLength<char>(pbyArea(), 9)));
}
int CAny_VXTIMEA::nFillUtilDataBuffer(void* pOut) const {
  std::memcpy(pOut, pbyArea(), TextLength<char>(pbyArea(), 9));
  return 0;
}
void CAny_VXTIMEA::SetValueFromUNICODE(const void* p) {
  WideToAnsiText(pbyArea(), static_cast<const wchar_t*>(p), 9);
}

int CAny_VXDATEW::nGetPCWSTR(const wchar_t** pp) const {
  if (pp != nullptr) *pp = reinterpret_cast<const wchar_t*>(pbyArea());
  return 0;
}
int CAny_VXDATEW::nGetUtilDataSize(unsigned int* pn) const { return FillSize(pn, 32); }
int CAny_VXDATEW::nFillUtilDataBuffer(void* pOut) const {
  std::memcpy(pOut, pbyArea(), 32);
  return 0;
}
void CAny_VXDATEW::SetValueFromANSI(const void* p) {
  if (p == nullptr) return;
  AnsiToWideText(pbyArea(), static_cast<const char*>(p), strnlen(static_cast<const char*>(p), 8), 8);
}
void CAny_VXDATEW::SetValueFromANSI(const void* p, unsigned int n) {
  AnsiToWideText(pbyArea(), static_cast<const char*>(p), n, 8);
}

int CAny_VXTIMEW::nGetPCWSTR(const wchar_t** pp) const {
  if (pp != nullptr) *pp = reinterpret_cast<const wchar_t*>(pbyArea());
  return 0;
}
int CAny_VXTIMEW::nGetUtilDataSize(unsigned int* pn) const {
  return FillSize(pn, static_cast<unsigned int>(TextLength<wchar_t>(pbyArea(), 9) * sizeof(wchar_t)));
}
int CAny_VXTIMEW::nFillUtilDataBuffer(void* pOut) const {
  std::memcpy(pOut, pbyArea(), TextLength<wchar_t>(pbyArea(), 9) * sizeof(wchar_t));
  return 0;
}
void CAny_VXTIMEW::SetValueFromANSI(const void* p) {
  if (p == nullptr) return;
  AnsiToWideText(pbyArea(), static_cast<const char*>(p), strnlen(static_cast<const char*>(p), 9), 9);
}
void CAny_VXTIMEW::SetValueFromANSI(const void* p, unsigned int n) {
  AnsiToWideText(pbyArea(), static_cast<const char*>(p), n, 9);
}
