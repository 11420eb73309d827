// CAny: the type table, copies and flags, copy on write, getters, the raw
// transfer, the BIN casts and the life of DECIMAL objects.
#include "values/any.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "tests/values/any_test_support.h"
#include "values/date_time_base.h"

namespace kqtest {
namespace {

struct Row {
  const std::type_info* pClass;
  unsigned short wType;
  std::string initial;  // the area's first bytes after __SetType(code, 0)
};

std::string Zeros(size_t n) { return std::string(n, '\0'); }

template <typename T>
std::string Text(const T* p, size_t n) {
  return std::string(reinterpret_cast<const char*>(p), n * sizeof(T));
}

// The table of codes, classes, type words and initial contents, with the
// initial date and time texts null (dates empty, times nine '0').
std::map<int, Row> ExpectedTable() {
  std::map<int, Row> m;
  m[1] = {&typeid(CAny_VXBOOL), 1, Zeros(4)};
  m[2] = {&typeid(CAny_VXUI1), 2, Zeros(1)};
  m[3] = {&typeid(CAny_VXUI2), 3, Zeros(2)};
  m[4] = {&typeid(CAny_VXUI4), 4, Zeros(4)};
  m[5] = {&typeid(CAny_VXUI8), 5, Zeros(8)};
  m[6] = {&typeid(CAny_VXI1), 6, Zeros(1)};
  m[7] = {&typeid(CAny_VXI2), 7, Zeros(2)};
  m[8] = {&typeid(CAny_VXI4), 8, Zeros(4)};
  m[9] = {&typeid(CAny_VXI8), 9, Zeros(8)};
  m[10] = {&typeid(CAny_VXCY), 10, Zeros(10)};
  m[11] = {&typeid(CAny_VXR4), 11, Zeros(4)};
  m[12] = {&typeid(CAny_VXR8), 12, Zeros(8)};
  m[13] = {&typeid(CAny_VXDECIMAL), 13, ""};  // a new object: checked apart
  m[14] = {&typeid(CAny_VXUIX), 14, Zeros(4)};
  m[15] = {&typeid(CAny_VXI4), 8, Zeros(4)};
  m[16] = {&typeid(CAny_VXDSTRW), 16, Zeros(4)};
  m[17] = {&typeid(CAny_VXCARA), 17, Zeros(2)};
  m[18] = {&typeid(CAny_VXPSTRA), 18, Zeros(4)};
  m[19] = {&typeid(CAny_VXDSTRA), 19, Zeros(4)};
  m[24] = {&typeid(CAny_VXDATEW), 24, Zeros(36)};
  m[25] = {&typeid(CAny_VXTIMEW), 25, Text(L"000000000", 10)};
  m[26] = {&typeid(CAny_VXDATETIME), 26, Zeros(8)};
  m[27] = {&typeid(CAny_VXDUREE), 27, Zeros(8)};
  m[28] = {&typeid(CAny_VXBIN), 28, Zeros(4)};
  m[29] = {&typeid(CAny_VXBUFFER), 29, Zeros(8)};
  m[30] = {&typeid(CAny_VXMEMOIMG), 30, Zeros(4)};
  m[50] = {&typeid(CAny_VXCONVOYEUR), 50, Zeros(4)};
  m[65] = {&typeid(CAny_VXPOLICE), 65, Zeros(4)};
  m[81] = {&typeid(CAny_VXCARW), 81, Zeros(8)};
  m[83] = {&typeid(CAny_VXTABVALANY), 83, Zeros(4)};
  m[108] = {&typeid(CAny_VXOBJET_BASE), 108, Zeros(4)};
  m[110] = {&typeid(CAny_VXPSTRW), 110, Zeros(4)};
  m[111] = {&typeid(CAny_VXDINO), 111, Zeros(4)};
  m[128] = {&typeid(CAny_VXDATEA), 128, Zeros(9)};
  m[129] = {&typeid(CAny_VXTIMEA), 129, Text("000000000", 10)};
  for (int k : {135, 136, 141, 142, 143})
    m[k] = {&typeid(CAny_VXOBJET_BASE), static_cast<unsigned short>(k), Zeros(4)};
  m[148] = {&typeid(CAny_VXDSTRW), 148, Zeros(4)};
  m[149] = {&typeid(CAny_VXDSTRW), 149, Zeros(4)};
  m[150] = {&typeid(CAny_VXPOINT), 150, Zeros(8)};
  m[151] = {&typeid(CAny_VXRECTANGLE), 151, Zeros(16)};
  return m;
}

// Sets the initial date and time texts for one test.
class InitialTexts {
 public:
  InitialTexts(const wchar_t* pszDate, const wchar_t* pszTime)
      : m_pszDate(CDateTimeBase::ms_pcszValeurInitDate),
        m_pszTime(CDateTimeBase::ms_pcszValeurInitTime) {
    CDateTimeBase::ms_pcszValeurInitDate = pszDate;
    CDateTimeBase::ms_pcszValeurInitTime = pszTime;
  }
  ~InitialTexts() {
    CDateTimeBase::ms_pcszValeurInitDate = m_pszDate;
    CDateTimeBase::ms_pcszValeurInitTime = m_pszTime;
  }

 private:
  const wchar_t* m_pszDate;
  const wchar_t* m_pszTime;
};

TEST_F(DynamicValue, SetTypeInstallsTheClassTypeWordAndInitialContentOfEveryCode) {
  InitialTexts texts(nullptr, nullptr);
  CDateTimeBase dtEmpty;
  dtEmpty.InitDate();
  const std::map<int, Row> table = ExpectedTable();
  for (int code = 0; code < 256; ++code) {
    SCOPED_TRACE(code);
    CAny v;
    std::memset(v.pbyGetValeur(), 0xAB, kVXValueAreaSize);
    v.__SetType(static_cast<unsigned short>(code), 0);
    auto it = table.find(code);
    if (it == table.end()) {
      EXPECT_EQ(typeid(*v.pclGetIntern()), typeid(CAny_Intern));
      EXPECT_EQ(v.wGetType(), 0);
      continue;
    }
    EXPECT_EQ(typeid(*v.pclGetIntern()), *it->second.pClass);
    EXPECT_EQ(v.wGetType(), it->second.wType);
    if (code == VX_DECIMAL) {
      EXPECT_NE(v.pGetPointeur(), nullptr);
    } else if (code == VX_DATETIME) {
      EXPECT_EQ(AreaBytes(v, 8), std::string(reinterpret_cast<const char*>(&dtEmpty), 8));
    } else {
      EXPECT_EQ(AreaBytes(v, it->second.initial.size()), it->second.initial);
    }
  }
}

TEST_F(DynamicValue, TheFirstWordIsZeroAndNoValueOperationChangesIt) {
  CAny a, b;
  const uint32_t* pa = reinterpret_cast<const uint32_t*>(&a);
  const uint32_t* pb = reinterpret_cast<const uint32_t*>(&b);
  EXPECT_EQ(*pa, 0u);
  a.SetI4(5);
  b.SetR8(2.5);
  a.swap(b);
  a = b;
  b.__SetType(VX_DSTRW, 0);
  EXPECT_EQ(*pa, 0u);
  EXPECT_EQ(*pb, 0u);
}

TEST_F(DynamicValue, SetTypeWithTheCurrentTypeWordKeepsTheContent) {
  CAny v;
  v.SetI4(42);
  v.__SetType(VX_I4, 0);
  int n = 0;
  EXPECT_EQ(v.nGetINT(&n), 0);
  EXPECT_EQ(n, 42);
}

TEST_F(DynamicValue, SetTypeWithTheSameCodeUnderAFlagReinitialisesAndClearsTheFlags) {
  CAny v;
  v.SetI4(42);
  v.SetTypeWord(VX_I4 | kVXNullFlag | kVXSecondFlag);
  v.__SetType(VX_I4, 0);
  EXPECT_EQ(v.wGetType(), VX_I4);
  int n = -1;
  EXPECT_EQ(v.nGetINT(&n), 0);
  EXPECT_EQ(n, 0);
}

TEST_F(DynamicValue, SetTypeWithKeepLeavesTheArea) {
  CAny v;
  v.SetI4(7);
  v.__SetType(VX_UI4, 1);
  long long n = 0;
  EXPECT_EQ(v.nGetINT_64(&n), 0);
  EXPECT_EQ(n, 7);
}

TEST_F(DynamicValue, InitialDateAndTimeTextsFollowTheServersTexts) {
  struct Case {
    const wchar_t* pszDate;
    const wchar_t* pszTime;
    const wchar_t* pszDateText;  // 8 characters at most
    const wchar_t* pszTimeText;  // 9 characters
  };
  const Case cases[] = {
      {nullptr, nullptr, L"", L"000000000"},
      {L"", L"", L"", L"000000000"},
      {L"2024", L"1234", L"2024", L"123400000"},
      {L"20240131xyz", L"123456789123", L"20240131", L"123456789"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.pszDate ? "set" : "null"));
    InitialTexts texts(c.pszDate, c.pszTime);
    CAny dw, tw, da, ta;
    dw.__SetType(VX_DATEW, 0);
    tw.__SetType(VX_TIMEW, 0);
    da.__SetType(VX_DATEA, 0);
    ta.__SetType(VX_TIMEA, 0);
    const wchar_t* psz = nullptr;
    dw.pclGetIntern()->nGetPCWSTR(&psz);
    EXPECT_STREQ(psz, c.pszDateText);
    tw.pclGetIntern()->nGetPCWSTR(&psz);
    EXPECT_STREQ(psz, c.pszTimeText);
    const char* pszA = nullptr;
    da.pclGetIntern()->nGetPCASTR(&pszA);
    EXPECT_EQ(std::wstring(c.pszDateText), std::wstring(pszA, pszA + std::strlen(pszA)));
    ta.pclGetIntern()->nGetPCASTR(&pszA);
    EXPECT_EQ(std::wstring(c.pszTimeText), std::wstring(pszA, pszA + std::strlen(pszA)));
  }
}

// Copies carry both flags, except those of the three object classes.
TEST_F(DynamicValue, CopiesKeepTheFlagsExceptForTheObjectClasses) {
  FakeObjetBase object;
  FakeTabValAny tab;
  struct Case {
    const char* pszName;
    unsigned short wType;
    bool bKeepsFlags;
  };
  const Case cases[] = {
      {"untyped", VX_NONE, true},     {"I4", VX_I4, true},           {"R8", VX_R8, true},
      {"CY", VX_CY, true},            {"DSTRW", VX_DSTRW, true},     {"DSTRA", VX_DSTRA, true},
      {"PSTRW", VX_PSTRW, true},      {"BIN", VX_BIN, true},         {"BUFFER", VX_BUFFER, true},
      {"DATEA", VX_DATEA, true},      {"DECIMAL", VX_DECIMAL, true}, {"MEMOIMG", VX_MEMOIMG, true},
      {"OBJET_BASE", VX_OBJET_BASE, false}, {"kind 141", 141, false}, {"DINO", VX_DINO, false},
      {"TABVALANY", VX_TABVALANY, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    for (unsigned short wFlags : {kVXNullFlag, kVXSecondFlag,
                                  static_cast<unsigned short>(kVXNullFlag | kVXSecondFlag)}) {
      CAny source;
      source.__SetType(c.wType, 0);
      if (c.wType == VX_OBJET_BASE || c.wType == 141 || c.wType == VX_DINO)
        source.pclGetIntern()->SetValue(&object);
      if (c.wType == VX_TABVALANY) source.pclGetIntern()->SetValue(&tab);
      source.SetTypeWord(static_cast<unsigned short>(source.wGetType() | wFlags));
      CAny copy(source);
      EXPECT_EQ(copy.nGetTypeCode(), source.nGetTypeCode());
      EXPECT_EQ(copy.wGetType() & (kVXNullFlag | kVXSecondFlag), c.bKeepsFlags ? wFlags : 0);
      EXPECT_EQ(typeid(*copy.pclGetIntern()), typeid(*source.pclGetIntern()));
    }
  }
  EXPECT_EQ(object.nRefs, 1);
  EXPECT_EQ(tab.nRefs, 1);
}

TEST_F(DynamicValue, AssignmentReplacesTheContentAndSelfAssignmentKeepsIt) {
  CAny a, b;
  CXYString<wchar_t> s(L"text");
  a.__SetType(VX_DSTRW, 0);
  a.pclGetIntern()->SetValue(&s);
  b.SetI8(-5);
  b = a;
  EXPECT_EQ(b.wGetType(), VX_DSTRW);
  const wchar_t* psz = nullptr;
  b.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_STREQ(psz, L"text");
  CAny& same = b;
  b = same;
  b.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_STREQ(psz, L"text");
}

TEST_F(DynamicValue, CopiesOfCountedTextsShareOneBuffer) {
  const int nLiveBefore = Control().nLiveStrBuffers();
  {
    CXYString<char> s("abc");
    CAny a;
    a.__SetType(VX_DSTRA, 0);
    a.pclGetIntern()->SetValue(&s);
    CAny b(a), c;
    c = b;
    EXPECT_EQ(a.pGetPointeur(), s.pGetData());
    EXPECT_EQ(b.pGetPointeur(), s.pGetData());
    EXPECT_EQ(c.pGetPointeur(), s.pGetData());
    EXPECT_EQ(Control().nLiveStrBuffers(), nLiveBefore + 1);
  }
  EXPECT_EQ(Control().nLiveStrBuffers(), nLiveBefore);
}

TEST_F(DynamicValue, UnshareCopiesASharedTextAndKeepsAnOwnOne) {
  for (unsigned short wType : std::initializer_list<unsigned short>{VX_DSTRA, VX_DSTRW, 148}) {
    SCOPED_TRACE(wType);
    CAny a;
    a.__SetType(wType, 0);
    if (wType == VX_DSTRA) {
      CXYString<char> s("shared");
      a.pclGetIntern()->SetValue(&s);
    } else {
      CXYString<wchar_t> s(L"shared");
      a.pclGetIntern()->SetValue(&s);
    }
    CAny b(a);
    const void* pShared = a.pGetPointeur();
    EXPECT_EQ(b.pGetPointeur(), pShared);
    EXPECT_EQ(a.nUnshare(), 0);
    EXPECT_NE(a.pGetPointeur(), pShared);
    EXPECT_EQ(b.pGetPointeur(), pShared);
    unsigned int n = 0;
    a.pclGetIntern()->nGetSTRLEN(&n);
    EXPECT_EQ(n, 6u);
    const void* pOwn = a.pGetPointeur();
    EXPECT_EQ(a.nUnshare(), 0);
    EXPECT_EQ(a.pGetPointeur(), pOwn);
  }
}

// Values that copy, write and unshare at random behave as independent
// strings (std::string is the model), and give every buffer back.
TEST_F(DynamicValue, CountedTextsActAsIndependentStringsUnderRandomCopiesAndWrites) {
  const int nLiveBefore = Control().nLiveStrBuffers();
  {
    constexpr int kValues = 5;
    std::vector<CAny> values(kValues);
    std::vector<std::string> model(kValues);
    for (CAny& v : values) v.__SetType(VX_DSTRA, 0);
    std::mt19937 random(20261210);
    for (int step = 0; step < 2000; ++step) {
      const int i = static_cast<int>(random() % kValues);
      const int j = static_cast<int>(random() % kValues);
      switch (random() % 5) {
        case 0:  // copy
          values[i] = values[j];
          model[i] = model[j];
          break;
        case 1: {  // write new bytes
          std::string text(random() % 24, 'a');
          for (char& c : text) c = static_cast<char>('a' + random() % 26);
          values[i].SetValueByte(text.data(), static_cast<unsigned int>(text.size()));
          model[i] = text;
          break;
        }
        case 2:
          ASSERT_EQ(values[i].nUnshare(), 0);
          break;
        case 3: {  // write through the buffer once it is the value's own
          ASSERT_EQ(values[i].nUnshare(), 0);
          char* p = static_cast<char*>(values[i].pGetPointeur());
          if (p != nullptr && !model[i].empty()) {
            p[0] = 'Z';
            model[i][0] = 'Z';
          }
          break;
        }
        case 4: {  // copy construction of a temporary
          CAny copy(values[j]);
          values[i].swap(copy);
          model[i] = model[j];
          break;
        }
      }
      for (int k = 0; k < kValues; ++k) {
        const char* psz = nullptr;
        values[k].pclGetIntern()->nGetPCASTR(&psz);
        ASSERT_EQ(std::string(psz), model[k]) << "value " << k << " at step " << step;
      }
    }
  }
  EXPECT_EQ(Control().nLiveStrBuffers(), nLiveBefore);
}

TEST_F(DynamicValue, UnshareOfOtherTypesAndEmptyTextsDoesNothing) {
  CAny a;
  a.__SetType(VX_DSTRW, 0);
  EXPECT_EQ(a.nUnshare(), 0);
  EXPECT_EQ(a.pGetPointeur(), nullptr);
  a.SetI4(3);
  EXPECT_EQ(a.nUnshare(), 0);
}

TEST_F(DynamicValue, UnshareReportsTheAllocatorsFailureAndKeepsTheSharedText) {
  CXYString<char> s("shared");
  CAny a;
  a.__SetType(VX_DSTRA, 0);
  a.pclGetIntern()->SetValue(&s);
  Control().FailStrAllocationAt(1);
  EXPECT_NE(a.nUnshare(), 0);
  Control().FailStrAllocationAt(0);
  EXPECT_EQ(a.pGetPointeur(), s.pGetData());
}

TEST_F(DynamicValue, ChangingTheTypeReleasesWhatTheValueOwned) {
  const int nLiveBefore = Control().nLiveStrBuffers();
  CAny v;
  {
    CXYString<wchar_t> s(L"owned");
    v.__SetType(VX_DSTRW, 0);
    v.pclGetIntern()->SetValue(&s);
  }
  EXPECT_EQ(Control().nLiveStrBuffers(), nLiveBefore + 1);
  v.SetI4(1);
  EXPECT_EQ(Control().nLiveStrBuffers(), nLiveBefore);
  EXPECT_EQ(typeid(*v.pclGetIntern()), typeid(CAny_VXI4));
}

TEST_F(DynamicValue, SwapExchangesBehaviourTypeAndAreaButNotTheFirstWord) {
  CAny a, b;
  CXYString<wchar_t> s(L"swap");
  a.__SetType(VX_DSTRW, 0);
  a.pclGetIntern()->SetValue(&s);
  b.SetI8(1234567890123LL);
  b.SetNull(true);
  a.swap(b);
  EXPECT_EQ(typeid(*a.pclGetIntern()), typeid(CAny_VXI8));
  EXPECT_EQ(a.wGetType(), VX_I8 | kVXNullFlag);
  EXPECT_EQ(typeid(*b.pclGetIntern()), typeid(CAny_VXDSTRW));
  EXPECT_EQ(b.pGetPointeur(), s.pGetData());
  a.SetNull(false);
  long long n = 0;
  EXPECT_EQ(a.nGetINT_64(&n), 0);
  EXPECT_EQ(n, 1234567890123LL);
}

// --- Typed getters -------------------------------------------------------------

CAny MakeInteger(unsigned short wType, long long n) {
  CAny v;
  v.__SetType(wType, 0);
  std::memcpy(v.pbyGetValeur(), &n, 8);  // little endian: the low bytes first
  return v;
}

TEST_F(DynamicValue, IntegerGettersWidenEachTypeAsItsSignSays) {
  struct Case {
    unsigned short wType;
    long long nStored;
    int nInt;  // 105 when the getter refuses the type
    int rInt;
    long long nInt64;
    int rInt64;
    unsigned long long nBits;
    int rBits;
  };
  const Case cases[] = {
      {VX_BOOL, 1, 1, 0, 1, 0, 0, 105},
      {VX_UI1, 255, 255, 0, 255, 0, 255, 0},
      {VX_UI2, 65535, 65535, 0, 65535, 0, 65535, 0},
      {VX_UI4, 0xFFFFFFFFLL, 0, 105, 4294967295LL, 0, 4294967295ULL, 0},
      {VX_UI8, -1, 0, 105, 0, 105, ~0ULL, 0},
      {VX_I1, -1, -1, 0, -1, 0, ~0ULL, 0},
      {VX_I2, -2, -2, 0, -2, 0, ~1ULL, 0},
      {VX_I4, -3, -3, 0, -3, 0, ~2ULL, 0},
      {VX_I8, -4, 0, 105, -4, 0, ~3ULL, 0},
      {VX_UIX, -5, -5, 0, 0, 105, ~4ULL, 0},
      {VX_R8, 0, 0, 105, 0, 105, 0, 105},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wType);
    CAny v = MakeInteger(c.wType, c.nStored);
    int n = 99;
    EXPECT_EQ(v.nGetINT(&n), c.rInt);
    EXPECT_EQ(n, c.nInt);
    long long ll = 99;
    EXPECT_EQ(v.nGetINT_64(&ll), c.rInt64);
    EXPECT_EQ(ll, c.nInt64);
    unsigned long long u = 99;
    EXPECT_EQ(v.nGetBitField_64(u), c.rBits);
    EXPECT_EQ(u, c.nBits);
  }
}

TEST_F(DynamicValue, RealGetterWidensR4AndRefusesOtherTypes) {
  CAny v;
  double d = 1;
  v.SetR4(1.5f);
  EXPECT_EQ(v.nGetREAL(&d), 0);
  EXPECT_EQ(d, 1.5);
  v.SetR8(-2.25);
  EXPECT_EQ(v.nGetREAL(&d), 0);
  EXPECT_EQ(d, -2.25);
  v.SetI4(3);
  EXPECT_EQ(v.nGetREAL(&d), 105);
  EXPECT_EQ(d, 0);
}

TEST_F(DynamicValue, GettersOnFlaggedValuesAnswer105AndZero) {
  for (unsigned short wFlag : {kVXNullFlag, kVXSecondFlag}) {
    CAny v;
    v.SetI4(17);
    v.SetTypeWord(VX_I4 | wFlag);
    int n = 5;
    EXPECT_EQ(v.nGetINT(&n), 105);
    EXPECT_EQ(n, 0);
    long long ll = 5;
    EXPECT_EQ(v.nGetINT_64(&ll), 105);
    EXPECT_EQ(ll, 0);
    unsigned long long u = 5;
    EXPECT_EQ(v.nGetBitField_64(u), 105);
    EXPECT_EQ(u, 0u);
    v.SetR8(1.0);
    v.SetTypeWord(VX_R8 | wFlag);
    double d = 5;
    EXPECT_EQ(v.nGetREAL(&d), 105);
    EXPECT_EQ(d, 0);
  }
}

TEST_F(DynamicValue, TypedSettersClearBothFlags) {
  CAny v;
  v.SetI4(1);
  v.SetTypeWord(VX_I4 | kVXNullFlag | kVXSecondFlag);
  v.SetI4(2);
  EXPECT_EQ(v.wGetType(), VX_I4);
  v.SetTypeWord(VX_I4 | kVXNullFlag);
  v.SetValueByte("\x09\0\0\0", 4);
  EXPECT_EQ(v.wGetType(), VX_I4);
  int n = 0;
  EXPECT_EQ(v.nGetINT(&n), 0);
  EXPECT_EQ(n, 9);
}

TEST_F(DynamicValue, ManipViewGivesTheBufferOfCountedValuesOnly) {
  CXYString<char> s("view");
  CAny v;
  v.__SetType(VX_DSTRA, 0);
  v.pclGetIntern()->SetValue(&s);
  STManipAUB st = {};
  EXPECT_EQ(v.nGetManipAUB(&st), 0);
  EXPECT_EQ(st.pData, reinterpret_cast<unsigned char*>(s.pGetData()));
  EXPECT_EQ(st.nType, VX_DSTRA);
  EXPECT_EQ(st.dwReserved, 0u);
  EXPECT_EQ(st.nGetLongueur(), 4);

  CAny empty;
  empty.__SetType(VX_BIN, 0);
  EXPECT_EQ(empty.nGetManipAUB(&st), 0);
  EXPECT_EQ(st.pData, nullptr);
  EXPECT_EQ(st.nType, VX_BIN);

  CAny number;
  number.SetI4(1);
  EXPECT_EQ(number.nGetManipAUB(&st), 105);
  EXPECT_EQ(st.pData, nullptr);
}

// Like every typed getter, the view reads the whole type word: a counted value
// under either flag is not handed out.
TEST_F(DynamicValue, ManipViewOfAFlaggedCountedValueAnswers105AndZeroes) {
  CXYString<wchar_t> wide(L"wide");
  CXYString<char> narrow("narrow");
  const unsigned char abyBytes[3] = {1, 2, 3};
  for (unsigned short wType : std::initializer_list<unsigned short>{VX_DSTRW, VX_DSTRA, VX_BIN, 148, 149}) {
    for (unsigned short wFlag : {kVXNullFlag, kVXSecondFlag}) {
      SCOPED_TRACE(testing::Message() << wType << " flag 0x" << std::hex << wFlag);
      CAny v;
      v.__SetType(wType, 0);
      if (wType == VX_DSTRA)
        v.pclGetIntern()->SetValue(&narrow);
      else if (wType == VX_BIN)
        v.SetValueByte(abyBytes, sizeof abyBytes);
      else
        v.pclGetIntern()->SetValue(&wide);
      v.SetTypeWord(static_cast<unsigned short>(v.wGetType() | wFlag));
      STManipAUB st = {reinterpret_cast<unsigned char*>(&st), 77, 77};
      EXPECT_EQ(v.nGetManipAUB(&st), 105);
      EXPECT_EQ(st.pData, nullptr);
      EXPECT_EQ(st.nType, 0);
      EXPECT_EQ(st.dwReserved, 0u);
    }
  }
}

// The object of kind 141 whose 48th operation answers its processing.
struct FakeTraitement {
#define KQ_UNUSED_SLOT(n) \
  virtual void* Unused##n() { return nullptr; }
  KQ_UNUSED_SLOT(1) KQ_UNUSED_SLOT(2) KQ_UNUSED_SLOT(3) KQ_UNUSED_SLOT(4) KQ_UNUSED_SLOT(5)
  KQ_UNUSED_SLOT(6) KQ_UNUSED_SLOT(7) KQ_UNUSED_SLOT(8) KQ_UNUSED_SLOT(9) KQ_UNUSED_SLOT(10)
  KQ_UNUSED_SLOT(11) KQ_UNUSED_SLOT(12) KQ_UNUSED_SLOT(13) KQ_UNUSED_SLOT(14) KQ_UNUSED_SLOT(15)
  KQ_UNUSED_SLOT(16) KQ_UNUSED_SLOT(17) KQ_UNUSED_SLOT(18) KQ_UNUSED_SLOT(19) KQ_UNUSED_SLOT(20)
  KQ_UNUSED_SLOT(21) KQ_UNUSED_SLOT(22) KQ_UNUSED_SLOT(23) KQ_UNUSED_SLOT(24) KQ_UNUSED_SLOT(25)
  KQ_UNUSED_SLOT(26) KQ_UNUSED_SLOT(27) KQ_UNUSED_SLOT(28) KQ_UNUSED_SLOT(29) KQ_UNUSED_SLOT(30)
  KQ_UNUSED_SLOT(31) KQ_UNUSED_SLOT(32) KQ_UNUSED_SLOT(33) KQ_UNUSED_SLOT(34) KQ_UNUSED_SLOT(35)
  KQ_UNUSED_SLOT(36) KQ_UNUSED_SLOT(37) KQ_UNUSED_SLOT(38) KQ_UNUSED_SLOT(39) KQ_UNUSED_SLOT(40)
  KQ_UNUSED_SLOT(41) KQ_UNUSED_SLOT(42) KQ_UNUSED_SLOT(43) KQ_UNUSED_SLOT(44) KQ_UNUSED_SLOT(45)
  KQ_UNUSED_SLOT(46) KQ_UNUSED_SLOT(47)
#undef KQ_UNUSED_SLOT
  virtual void* pTraitement() { return &nMarker; }
  int nMarker = 0;
};

TEST_F(DynamicValue, ProcessingOfKind141ComesFromThe48thOperation) {
  FakeTraitement object;
  CAny v;
  v.__SetType(141, 0);
  EXPECT_EQ(v.piGetTraitement(), nullptr);  // no object yet
  v.SetPointeur(&object);
  EXPECT_EQ(v.piGetTraitement(), &object.nMarker);
  v.SetTypeWord(141 | kVXNullFlag);
  EXPECT_EQ(v.piGetTraitement(), nullptr);
  v.SetTypeWord(141);
  v.SetPointeur(nullptr);  // not ours to release
  CAny other;
  other.__SetType(108, 0);
  EXPECT_EQ(other.piGetTraitement(), nullptr);
}

// --- Raw transfer and BIN casts --------------------------------------------------

TEST_F(DynamicValue, TransferReleasesTheOldContentAndTakesOverTheArea) {
  const int nLiveBefore = Control().nLiveStrBuffers();
  CAny v;
  {
    CXYString<wchar_t> s(L"old");
    v.__SetType(VX_DSTRW, 0);
    v.pclGetIntern()->SetValue(&s);
  }
  // An area that owns a counted buffer of its own.
  unsigned char abyArea[kVXValueAreaSize] = {};
  {
    CXYString<wchar_t> s(L"new");
    CXYString<wchar_t> held(s);
    std::memcpy(abyArea, &held, sizeof(void*));
    std::memset(static_cast<void*>(&held), 0, sizeof held);  // the area owns that reference now
  }
  v.SetTypeWord(VX_DSTRW | kVXSecondFlag);
  v.__TransfertValeurInterne(VX_DSTRW, abyArea);
  EXPECT_EQ(v.wGetType(), VX_DSTRW);
  const wchar_t* psz = nullptr;
  v.pclGetIntern()->nGetPCWSTR(&psz);
  EXPECT_STREQ(psz, L"new");
  EXPECT_EQ(Control().nLiveStrBuffers(), nLiveBefore + 1);
}

TEST_F(DynamicValue, TransferIntoAnObjectValueReleasesTheHeldObject) {
  FakeObjetBase object;
  CAny v;
  v.__SetType(VX_OBJET_BASE, 0);
  v.pclGetIntern()->SetValue(&object);
  EXPECT_EQ(object.nRefs, 2);
  unsigned char abyArea[kVXValueAreaSize] = {};
  v.__TransfertValeurInterne(VX_OBJET_BASE, abyArea);
  EXPECT_EQ(object.nRefs, 1);
  EXPECT_EQ(v.pGetPointeur(), nullptr);
}

TEST_F(DynamicValue, TransferOfADecimalTakesTheObjectAndFreesTheOldOne) {
  const int nLive = Control().nLiveDecimals();
  CAny v;
  v.__SetType(VX_DECIMAL, 0);
  IVXDecimal* pNew = gpiVMFactory->pCreateDecimal(0);
  EXPECT_EQ(Control().nLiveDecimals(), nLive + 2);
  unsigned char abyArea[kVXValueAreaSize] = {};
  std::memcpy(abyArea, &pNew, sizeof pNew);
  v.__TransfertValeurInterne(VX_DECIMAL, abyArea);
  EXPECT_EQ(v.pGetPointeur(), pNew);
  EXPECT_EQ(Control().nLiveDecimals(), nLive + 1);
}

TEST_F(DynamicValue, BinCastsTakeExactlyEightBytes) {
  struct Case {
    int nLength;  // -1: not a BIN value
    int nResult;
  };
  const Case cases[] = {{0, 104}, {7, 104}, {8, 0}, {9, 104}, {-1, 104}};
  const unsigned char aby[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  for (const Case& c : cases) {
    for (int bDate = 0; bDate < 2; ++bDate) {
      SCOPED_TRACE(testing::Message() << c.nLength << (bDate ? " date-time" : " duration"));
      CAny v;
      if (c.nLength >= 0)
        v.SetBIN(aby, static_cast<unsigned int>(c.nLength));
      else
        v.SetI8(5);
      v.SetTypeWord(static_cast<unsigned short>(v.wGetType() | kVXSecondFlag));
      const unsigned short wBefore = v.wGetType();
      const std::string before = AreaBytes(v, 8);
      const int nResult =
          bDate ? v.nCastFrom_BIN_DATEHEURE_To_DATEHEURE() : v.nCastFrom_BIN_DUREE_To_DUREE();
      EXPECT_EQ(nResult, c.nResult);
      if (c.nResult == 0) {
        EXPECT_EQ(v.wGetType(), bDate ? VX_DATETIME : VX_DUREE);
        EXPECT_EQ(AreaBytes(v, 8), std::string(reinterpret_cast<const char*>(aby), 8));
      } else {
        EXPECT_EQ(v.wGetType(), wBefore);
        EXPECT_EQ(AreaBytes(v, 8), before);
      }
    }
  }
}

// --- DECIMAL objects ---------------------------------------------------------------

TEST_F(DynamicValue, EveryDecimalValueOwnsOneObjectUntilItsTypeChanges) {
  const int nLive = Control().nLiveDecimals();
  {
    CAny a;
    a.__SetType(VX_DECIMAL, 0);
    EXPECT_EQ(Control().nLiveDecimals(), nLive + 1);
    CAny b(a), c;
    c = a;
    EXPECT_EQ(Control().nLiveDecimals(), nLive + 3);
    EXPECT_NE(b.pGetPointeur(), a.pGetPointeur());
    EXPECT_NE(c.pGetPointeur(), a.pGetPointeur());
    c.SetI4(1);
    EXPECT_EQ(Control().nLiveDecimals(), nLive + 2);
  }
  EXPECT_EQ(Control().nLiveDecimals(), nLive);
}

TEST_F(DynamicValue, ACopiedDecimalHoldsTheSameNumber) {
  unsigned char abyForm[kVXDecimalFormSize] = {10, 2};  // precision 10, scale 2
  abyForm[2] = 0x39;  // coefficient 12345 = 0x3039: 123.45
  abyForm[3] = 0x30;
  CAny a;
  a.__SetType(VX_DECIMAL, 0);
  a.SetValueByte(abyForm, sizeof abyForm);
  CAny b(a);
  unsigned char abyCopy[kVXDecimalFormSize] = {};
  EXPECT_EQ(b.pclGetIntern()->nFillDataBuffer(abyCopy), 0);
  EXPECT_EQ(std::memcmp(abyCopy, abyForm, sizeof abyForm), 0);
  EXPECT_TRUE(b.pclGetIntern()->bIsPositive());
}

TEST_F(DynamicValue, ANegativeDecimalIsNotPositive) {
  unsigned char abyForm[kVXDecimalFormSize];
  std::memset(abyForm, 0xFF, sizeof abyForm);  // coefficient -1
  abyForm[0] = 5;
  abyForm[1] = 0;
  CAny v;
  v.__SetType(VX_DECIMAL, 0);
  v.SetValueByte(abyForm, sizeof abyForm);
  EXPECT_FALSE(v.pclGetIntern()->bIsPositive());
}

TEST_F(DynamicValue, AFactoryThatThrowsLeavesTheBaseClassUnderType13) {
  const int nLive = Control().nLiveDecimals();
  CAny v;
  v.SetI4(4);
  Control().FailDecimalCreateAt(1);
  EXPECT_THROW(v.__SetType(VX_DECIMAL, 0), CStandInDecimalCreateFailure);
  EXPECT_EQ(typeid(*v.pclGetIntern()), typeid(CAny_Intern));
  EXPECT_EQ(v.wGetType(), VX_DECIMAL);
  EXPECT_EQ(Control().nLiveDecimals(), nLive);
  // The next type change finds nothing to release.
  v.SetI4(1);
  EXPECT_EQ(v.wGetType(), VX_I4);
  EXPECT_EQ(Control().nLiveDecimals(), nLive);
}

TEST_F(DynamicValue, ACopyWhoseDecimalCannotBeMadeFailsWithoutLeaking) {
  const int nLive = Control().nLiveDecimals();
  CAny a;
  a.__SetType(VX_DECIMAL, 0);
  Control().FailDecimalCreateAt(1);
  CAny b;
  EXPECT_THROW(b = a, CStandInDecimalCreateFailure);
  EXPECT_EQ(Control().nLiveDecimals(), nLive + 1);
}

TEST_F(DynamicValue, WithoutAFactoryADecimalValueHoldsNoObjectAndStaysSafe) {
  IVXDecimalFactory* piFactory = gpiVMFactory;
  gpiVMFactory = nullptr;
  {
    CAny v;
    v.__SetType(VX_DECIMAL, 0);
    EXPECT_EQ(v.pGetPointeur(), nullptr);
    unsigned char abyForm[kVXDecimalFormSize] = {};
    v.SetValueByte(abyForm, sizeof abyForm);
    EXPECT_EQ(v.pclGetIntern()->nFillDataBuffer(abyForm), 105);
    CAny copy(v);
    EXPECT_EQ(copy.pGetPointeur(), nullptr);
  }
  gpiVMFactory = piFactory;
}

TEST_F(DynamicValue, AReleaseThatThrowsStillLeavesTheBaseClass) {
  FakeObjetBase object;
  CAny v;
  v.__SetType(VX_OBJET_BASE, 0);
  v.pclGetIntern()->SetValue(&object);
  object.bThrowOnRelease = true;
  EXPECT_THROW(v.__SetType(VX_I4, 0), std::runtime_error);
  EXPECT_EQ(typeid(*v.pclGetIntern()), typeid(CAny_Intern));
  EXPECT_EQ(v.pGetPointeur(), nullptr);
  EXPECT_EQ(object.nRefs, 1);
  object.bThrowOnRelease = false;
}

}  // namespace
}  // namespace kqtest
