// The value holders: the typed holder (checksum, ordering, emptiness, files)
// and the conversion holder (modes, setters bounded by the capacity, round
// trips through CAny, the conversion error that leaves the value as it was).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/na_error.h"
#include "items/convert_variant.h"
#include "items/item_description.h"
#include "items/na_variant.h"
#include "tests/values/bound_values.h"
#include "values/date_time_base.h"

namespace {

class ValueHolders : public kqtest::BoundValuesTest {};

// A holder with one reference, released at scope end.
struct Holder {
  explicit Holder(CNAError* pclError = nullptr) : p(new CNAConvertVariant(pclError, nullptr)) {
    p->AddRef();
  }
  ~Holder() { p->nRelease(); }
  CNAConvertVariant* operator->() const { return p; }
  CNAConvertVariant* p;
};

struct Error {
  Error() : p(new CNAError) { p->AddRef(); }
  ~Error() { p->nRelease(); }
  CNAError* p;
};

// An item description of a type and size, one internal reference held.
struct Item {
  Item(eNA_ITEMTYPE e, int nSize, int nInt = 0, int nDec = 0) : p(new CNAItemDescription) {
    p->AddRef();
    p->bInit(L"item", L"table", L"item", 1, nSize, e, 0, 0, 0, nInt, nDec, nullptr, nullptr);
  }
  ~Item() { p->nRelease(); }
  CNAItemDescription* p;
};

// A slot of exactly the capacity on the heap (ASan sees any byte past it)
// inside a guarded copy checked after each write.
class Slot {
 public:
  explicit Slot(unsigned int nCapacity)
      : m_n(nCapacity), m_p(new unsigned char[nCapacity == 0 ? 1 : nCapacity]) {
    std::memset(m_p.get(), 0xAB, nCapacity == 0 ? 1 : nCapacity);
  }
  unsigned char* p() { return m_n == 0 ? nullptr : m_p.get(); }
  unsigned int n() const { return m_n; }

 private:
  unsigned int m_n;
  std::unique_ptr<unsigned char[]> m_p;
};

unsigned int Sum(const std::vector<unsigned char>& bytes) {
  Holder h;
  h->InitTypeVariantAny(VX_BIN, 0);
  h->bSetValue(bytes.data(), static_cast<unsigned int>(bytes.size()));
  return h->nChecksum32();
}

TEST_F(ValueHolders, ChecksumAddsLittleEndianWordsThenTheTrailingBytes) {
  EXPECT_EQ(Sum({1, 0, 0, 0, 0xFF}), 256u);
  EXPECT_EQ(Sum({1, 2, 3}), 6u);
  EXPECT_EQ(Sum({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 2}), 0u);  // wraps
  Holder empty;
  EXPECT_EQ(empty->nChecksum32(), 0u);
}

TEST_F(ValueHolders, SameTypeValuesOrderByteByByteOtherTypesByTheLanguage) {
  CNAVariant a, b;
  a.bSetValue(256);
  b.bSetValue(1);
  // Kept on purpose: callers only test equality, so 256 ordering before 1 is
  // harmless.
  EXPECT_LT(a.nCmp(&b), 0);
  EXPECT_EQ(a.nCmp(&a), 0);
  CNAVariant c;
  c.bSetValue(2.0);
  EXPECT_GT(c.nCmp(&b), 0);  // R8 2.0 against I4 1: the language's order
}

TEST_F(ValueHolders, EqualityTreatsMissingAndNullAlike) {
  Holder a, b;
  EXPECT_TRUE(CNAVariant::g_bEqualsNAVariant(nullptr, nullptr));
  a->InitTypeVariantAny(VX_I4, 0);
  a->SetNull();
  EXPECT_TRUE(CNAVariant::g_bEqualsNAVariant(nullptr, a.p));
  b->InitTypeVariantAny(VX_I4, 0);
  b->bSetValue(5);
  EXPECT_FALSE(CNAVariant::g_bEqualsNAVariant(nullptr, b.p));
  a->bSetValue(5);
  EXPECT_TRUE(CNAVariant::g_bEqualsNAVariant(a.p, b.p));
  CAny clNull;
  clNull.SetI4(0);
  clNull.SetNull(true);
  CNAVariant empty;
  EXPECT_TRUE(empty.bEqualsNAVariant(&clNull));
}

TEST_F(ValueHolders, EmptinessTestsFollowTheirTypeSets) {
  CNAVariant v;
  CAny a;
  a.SetDATEA("");
  v.bSetValue(&a);
  EXPECT_FALSE(v.bIsEmptyString());
  EXPECT_TRUE(v.bIsEmptyStringEx());
  CNAVariant i4;
  i4.bSetValue(0);
  EXPECT_TRUE(i4.bIsNumeric0());
  CNAVariant r8;
  r8.bSetValue(0.0);
  EXPECT_TRUE(r8.bIsNumeric0());
  CNAVariant r8b;
  r8b.bSetValue(0.5);
  EXPECT_FALSE(r8b.bIsNumeric0());
  CNAVariant text;
  text.pclGetValue()->__SetType(VX_DSTRA, 0);
  text.pclGetValue()->SetValueByte("0", 1);
  EXPECT_FALSE(text.bIsNumeric0());
}

// ---- Files

std::string TempPath(const char* pszName) {
  return std::string("/tmp/kq_holder_") + std::to_string(getpid()) + "_" + pszName;
}
std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST_F(ValueHolders, AMissingFileRaisesFifteenAndLeavesTheValue) {
  Error err;
  Holder h(err.p);
  h->InitTypeVariantAny(VX_I4, 0);
  h->bSetValue(42);
  std::wstring path = Wide(TempPath("missing"));
  EXPECT_FALSE(h->bLoadFile(path.c_str(), err.p, 1));
  EXPECT_EQ(err.p->nGetUserErrorCode(), 15u);
  EXPECT_NE(std::wstring(err.p->pszGetError()).find(path), std::wstring::npos);
  int n = 0;
  ASSERT_EQ(h->pclGetValue()->nGetINT(&n), 0);
  EXPECT_EQ(n, 42);
}

TEST_F(ValueHolders, AnEmptyFileLoadsAsAnEmptyValueAndContentsRoundTrip) {
  std::string path = TempPath("file");
  for (int bBinary : {0, 1}) {
    SCOPED_TRACE(bBinary);
    std::string content = bBinary ? std::string("\0\1\2\xff memo", 9) : std::string(20000, 'x');
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    Error err;
    Holder h(err.p);
    h->InitTypeVariantAny(VX_I4, 0);
    ASSERT_TRUE(h->bLoadFile(Wide(path).c_str(), err.p, bBinary));
    EXPECT_EQ(h->nGetVXType(), bBinary ? VX_BIN : VX_DSTRA);
    EXPECT_EQ(h->nGetUtilDataSize(), 0u);
    EXPECT_EQ(err.p->eGetErrorType(), -1);

    CNAVariant src;
    src.pclGetValue()->__SetType(bBinary ? VX_BIN : VX_DSTRA, 0);
    src.pclGetValue()->SetValueByte(content.data(), static_cast<unsigned int>(content.size()));
    ASSERT_TRUE(src.bStoreFile(Wide(path).c_str(), err.p));
    ASSERT_TRUE(h->bLoadFile(Wide(path).c_str(), err.p, bBinary));
    ASSERT_EQ(h->nGetUtilDataSize(), content.size());
    EXPECT_EQ(std::memcmp(h->pGetData(), content.data(), content.size()), 0);
  }
  std::remove(path.c_str());
}

// ---- The conversion holder

TEST_F(ValueHolders, RawBytesStopAtTheCapacityLessTheTerminator) {
  const unsigned char kBytes[5] = {0x31, 0x32, 0x33, 0x34, 0x35};
  struct Case {
    unsigned short nType;
    unsigned int nCapacity;
    unsigned int nUsed;
  };
  const Case cases[] = {{VX_DSTRA, 4, 3}, {VX_DSTRW, 4, 2}, {VX_DSTRA, 1, 0}, {VX_DSTRW, 1, 0},
                        {VX_DSTRW, 0, 0}, {VX_I4, 3, 3},    {VX_DSTRA, 9, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.nType << " cap " << c.nCapacity);
    Slot slot(c.nCapacity);
    Holder h;
    ASSERT_TRUE(h->bInitTypeVariant(NA_VT_BUFFER, slot.p(), slot.n(), c.nType));
    ASSERT_TRUE(h->bSetValue(kBytes, 5));
    EXPECT_EQ(h->nGetUsedLength(), c.nUsed);
    for (unsigned int i = 0; i < c.nCapacity; ++i)
      EXPECT_EQ(slot.p()[i], i < c.nUsed ? kBytes[i] : 0) << i;
  }
}

// Every setter into every raw type at every small capacity: nothing is
// written past the capacity (the slot is exactly that big: ASan sees it), and
// what fits reads back.
TEST_F(ValueHolders, EverySetterStaysInsideEveryCapacity) {
  const unsigned short kTypes[] = {VX_BOOL, VX_UI1, VX_I2, VX_I4, VX_UI4, VX_I8, VX_R4, VX_R8,
                                   VX_CY,   VX_DSTRA, VX_PSTRA, VX_DSTRW, VX_PSTRW, VX_CARA,
                                   VX_DATETIME, VX_DATEA, VX_TIMEA, VX_BIN, VX_DUREE};
  CDateTime clDate;
  clDate.Set(2024, 2, 29, 13, 45, 7, 125);
  CAny clText;
  clText.__SetType(VX_DSTRW, 0);
  const wchar_t kWide[] = L"caf\u00e9 \U0001F600 long text";
  clText.SetValueByte(kWide, static_cast<unsigned int>(std::wcslen(kWide) * sizeof(wchar_t)));
  const unsigned char kBytes[24] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12,
                                    13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
  using Setter = std::function<int(CNAConvertVariant*)>;
  const std::pair<const char*, Setter> setters[] = {
      {"int", [](CNAConvertVariant* h) { return h->bSetValue(123456); }},
      {"double", [](CNAConvertVariant* h) { return h->bSetValue(2.5); }},
      {"long long", [](CNAConvertVariant* h) { return h->bSetValue(-9000000000LL); }},
      {"bool", [](CNAConvertVariant* h) { return h->bSetValue(true); }},
      {"unsigned char", [](CNAConvertVariant* h) { return h->bSetValue(static_cast<unsigned char>(200)); }},
      {"date-time", [&](CNAConvertVariant* h) { return h->bSetValue(&clDate); }},
      {"wide text", [&](CNAConvertVariant* h) { return h->bSetValue(kWide, static_cast<unsigned int>(-1)); }},
      {"8-bit text", [](CNAConvertVariant* h) { return h->bSetValue("20240229134507125xyz", static_cast<unsigned int>(-1)); }},
      {"bytes", [&](CNAConvertVariant* h) { return h->bSetValue(kBytes, sizeof kBytes); }},
      {"CAny text", [&](CNAConvertVariant* h) { return h->bSetValue(&clText); }},
      {"binary string", [&](CNAConvertVariant* h) { return h->bSetValueBinaryString(kBytes, sizeof kBytes); }},
  };
  for (unsigned short nType : kTypes) {
    for (const auto& setter : setters) {
      for (unsigned int nCap = 0; nCap <= 12; ++nCap) {
        for (eNAVARTYPE eMode : {NA_VT_BUFFER, NA_VT_OWN_BUFFER}) {
          SCOPED_TRACE(testing::Message() << "type " << nType << " setter " << setter.first
                                          << " cap " << nCap << " mode " << eMode);
          Error err;
          Slot slot(nCap);
          Holder h(err.p);
          if (eMode == NA_VT_BUFFER)
            ASSERT_TRUE(h->bInitTypeVariant(NA_VT_BUFFER, slot.p(), slot.n(), nType));
          else
            ASSERT_TRUE(h->bInitTypeVariantBuffer(nType, nCap));
          setter.second(h.p);
          EXPECT_LE(h->nGetUsedLength(), nCap);
          CAny out;
          h->bGetValue(&out);
          CNAConvertVariant* pclClone = h->pclGetCloneVariant();
          ASSERT_NE(pclClone, nullptr);
          pclClone->AddRef();
          pclClone->nRelease();
        }
      }
    }
  }
}

TEST_F(ValueHolders, TypedSettersWithNowhereToStoreAnswerFalse) {
  Holder empty;
  EXPECT_FALSE(empty->bSetValue(5));
  unsigned char aby[8] = {};
  Holder byRef;
  byRef->bInitTypeVariant(NA_VT_REFERENCE, aby, sizeof aby, VX_I4);
  EXPECT_FALSE(byRef->bSetValue(5));
  // Raw bytes by reference keep the caller's pointer.
  const unsigned char kBytes[3] = {1, 2, 3};
  EXPECT_TRUE(byRef->bSetValue(kBytes, 3));
  EXPECT_EQ(byRef->pGetData(), kBytes);
  EXPECT_EQ(byRef->nGetSize(), 3u);
}

// Values of each kind go into a raw slot and come back unchanged.
TEST_F(ValueHolders, ValuesRoundTripThroughARawSlot) {
  std::vector<CAny> values(9);
  values[0].SetI4(-123456);
  values[1].SetI8(-9223372036854775807LL - 1);
  values[2].SetUI4(4294967295u);
  values[3].SetR8(0.1234567890123);
  values[4].SetBOOL(1);
  values[5].__SetType(VX_DSTRA, 0);
  values[5].SetValueByte("caf\xE9", 4);
  values[6].__SetType(VX_DSTRW, 0);
  const wchar_t kWide[] = L"\u00e9\U0001F600\u4e2d";
  values[6].SetValueByte(kWide, 3 * sizeof(wchar_t));
  CDateTime clDate;
  clDate.Set(9999, 12, 31, 23, 59, 59, 999);
  values[7].SetDATETIME(clDate);
  values[8].SetUI8(18446744073709551615ull);
  for (const CAny& v : values) {
    SCOPED_TRACE(static_cast<int>(v.nGetTypeCode()));
    Slot slot(64);
    Holder h;
    ASSERT_TRUE(h->bInitTypeVariant(NA_VT_BUFFER, slot.p(), slot.n(), v.nGetTypeCode()));
    ASSERT_TRUE(h->bSetValue(&v));
    CAny out;
    ASSERT_TRUE(h->bGetValue(&out));
    ASSERT_EQ(out.nGetTypeCode(), v.nGetTypeCode());
    int bEqual = 0;
    ASSERT_EQ(nEgalite(v, out, &bEqual, 0), 0);
    EXPECT_TRUE(bEqual);
    // And through a holder in mode 1.
    Holder any;
    any->InitTypeVariantAny(0, 0);
    ASSERT_TRUE(any->bSetValue(&out));
    CAny back;
    ASSERT_TRUE(any->bGetValue(&back));
    ASSERT_EQ(nEgalite(v, back, &bEqual, 0), 0);
    EXPECT_TRUE(bEqual);
  }
}

TEST_F(ValueHolders, UnicodeSlotsHoldUtf16WithATwoByteTerminator) {
  Slot slot(10);
  Holder h;
  h->bInitTypeVariant(NA_VT_BUFFER, slot.p(), slot.n(), VX_DSTRW);
  // A 4-byte character takes a surrogate pair; a pair that does not fit is
  // left out whole.
  ASSERT_TRUE(h->bSetValue(L"a\U0001F600bc", 4));
  const unsigned char kExpected[10] = {'a', 0, 0x3D, 0xD8, 0x00, 0xDE, 'b', 0, 0, 0};
  EXPECT_EQ(std::memcmp(slot.p(), kExpected, 10), 0);
  EXPECT_EQ(h->nGetUtilDataSize(), 4u);
  CAny out;
  h->bGetValue(&out);
  const wchar_t* psz = nullptr;
  out.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_EQ(std::wstring(psz), L"a\U0001F600b");
}

TEST_F(ValueHolders, ADateTimeIntoDateAndTimeSlotsIsTheSlotsEightBitText) {
  CDateTime clDate;
  clDate.Set(2024, 2, 29, 13, 45, 7, 125);
  CAny v;
  v.SetDATETIME(clDate);
  struct Case {
    eNA_ITEMTYPE eItem;
    unsigned int nCap;
    const char* pszExpected;
  };
  const Case cases[] = {{NA_IT_DATE8, 9, "20240229"}, {NA_IT_DATE8, 4, "202"},
                        {NA_IT_DATE8, 1, ""},          {NA_IT_DATE8, 0, ""},
                        {NA_IT_HEURE, 10, "134507125"}, {NA_IT_HEURE, 7, "134507"},
                        {NA_IT_HEURE, 2, "1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.eItem << " cap " << c.nCap);
    Item item(c.eItem, static_cast<int>(c.nCap < 2 ? 2 : c.nCap));
    Slot slot(c.nCap);
    Holder h;
    h->bInitTypeVariant(NA_VT_BUFFER, slot.p(), slot.n(), VX_DATETIME);
    h->SetItemDesc(item.p, nullptr);
    // The item retypes the holder to its own language type; give it back the
    // date-time type the column reads it as.
    h->pclGetValue()->__SetType(VX_DATETIME, 0);
    ASSERT_TRUE(h->bSetValue(&v));
    if (c.nCap > 0) {
      EXPECT_EQ(std::string(reinterpret_cast<char*>(slot.p())), c.pszExpected);
      for (unsigned int i = static_cast<unsigned int>(std::strlen(c.pszExpected)); i < c.nCap; ++i)
        EXPECT_EQ(slot.p()[i], 0) << i;
    }
    h->SetItemDesc(nullptr, nullptr);
  }
}

TEST_F(ValueHolders, AFailedConversionRaisesFiftyThreeAndKeepsTheValue) {
  Error err;
  Item item(NA_IT_I4, 4);
  for (eNAVARTYPE eMode : {NA_VT_ANY, NA_VT_BUFFER}) {
    SCOPED_TRACE(eMode);
    err.p->Reset();
    Slot slot(4);
    Holder h(err.p);
    if (eMode == NA_VT_ANY)
      h->InitTypeVariantAny(VX_I4, 0);
    else
      h->bInitTypeVariant(NA_VT_BUFFER, slot.p(), slot.n(), VX_I4);
    h->SetItemDesc(item.p, nullptr);
    ASSERT_TRUE(h->bSetValue(7));
    CAny text;
    text.__SetType(VX_DSTRW, 0);
    text.SetValueByte(L"abc", 3 * sizeof(wchar_t));
    EXPECT_FALSE(h->bSetValue(&text));
    EXPECT_EQ(err.p->nGetUserErrorCode(), 53u);
    std::wstring dump = err.p->pszGetError();
    EXPECT_NE(dump.find(L"16"), std::wstring::npos) << "the source language type";
    EXPECT_NE(dump.find(L"abc"), std::wstring::npos) << "the source text";
    CAny out;
    ASSERT_TRUE(h->bGetValue(&out));
    int n = 0;
    ASSERT_EQ(out.nGetINT(&n), 0);
    EXPECT_EQ(n, 7);
    h->SetItemDesc(nullptr, nullptr);
  }
}

TEST_F(ValueHolders, CopiesKeepTheValueAndTheNotReadState) {
  Holder src, dst;
  src->InitTypeVariantAny(VX_I4, 0);
  src->bSetValue(99);
  ASSERT_TRUE(dst->bCopyVariant(src.p));
  EXPECT_TRUE(dst->bEqualsNAVariant(src.p));
  EXPECT_TRUE(dst->bCopyVariant(nullptr));
  EXPECT_TRUE(dst->bIsNull());
  src->SetNotRead();
  ASSERT_TRUE(dst->bCopyVariant(src.p));
  EXPECT_EQ(dst->eGetVarType(), NA_VT_NOT_READ);
  EXPECT_TRUE(dst->bIsNull());
  Holder other;
  other->InitTypeVariantAny(VX_I4, 0);
  other->SetNotRead();
  EXPECT_FALSE(dst->bEqualsNAVariant(other.p) && !dst->bIsNull());
}

}  // namespace

// Text of either width reaches a holder of every text type, the date and
// time texts included, through one road: the language's cast (this used to
// bounce between the two setters until the stack ran out).
TEST_F(ValueHolders, TextOfEitherWidthReachesEveryTextTypeOfAnAnyHolder) {
  const unsigned short aTypes[] = {16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 81, 110, 128, 129, 134};
  for (unsigned short nType : aTypes) {
    SCOPED_TRACE(nType);
    Error err;
    Holder wide(err.p);
    wide->InitTypeVariantAny(nType, 0);
    const bool bWide = wide->bSetValue(L"20240229", 8u) != 0;
    Holder narrow(err.p);
    narrow->InitTypeVariantAny(nType, 0);
    const bool bNarrow = narrow->bSetValue("20240229", 8u) != 0;
    // Either stored or refused with the conversion error, never anything else.
    if (!bWide || !bNarrow) {
      EXPECT_EQ(err.p->nGetUserErrorCode(), 53u);
    }
    if (nType == 24 || nType == 128) {
      CAny out;
      ASSERT_TRUE(bWide && bNarrow);
      ASSERT_TRUE(wide->bGetValue(&out));
      EXPECT_EQ(out.nGetTypeCode(), nType);
      ASSERT_LT(out.__nCastTo(VX_DSTRW, nullptr, 1), 100);
      void* pData = nullptr;
      unsigned int nBytes = 0;
      out.pclGetIntern()->nGetDataAdr(&pData);
      out.pclGetIntern()->nGetUtilDataSize(&nBytes);
      ASSERT_NE(pData, nullptr);
      EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(pData), nBytes / sizeof(wchar_t)),
                L"20240229");
    }
  }
}
