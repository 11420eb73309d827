// CNAError: the native-access error object, its raise sequence and the texts
// of the driver's connection errors. Bound to the stand-in server because the
// messages are formatted through the framework's strings.
#include "driver/na_error.h"

#include <gtest/gtest.h>

#include <string>

#include "core/error_object.h"
#include "core/numbered_messages.h"
#include "core/wide_string.h"
#include "tests/support/bound_framework.h"

namespace {

constexpr eNA_ERRORTYPE kType0 = static_cast<eNA_ERRORTYPE>(0);
constexpr eNA_ERRORTYPE kType2 = static_cast<eNA_ERRORTYPE>(2);
constexpr eNA_ERRORTYPE kType3 = static_cast<eNA_ERRORTYPE>(3);


std::wstring Dump(const CNAError& e) { return e.pszGetError(); }

std::wstring::size_type Find(const std::wstring& text, const std::wstring& part) {
  return text.find(part);
}

class NAError : public kqtest::BoundFrameworkTest {};

TEST_F(NAError, ANewObjectHoldsNoErrorAndAnswersItsVersions) {
  CNAError e;
  EXPECT_EQ(e.nGetVersion(), 1);
  EXPECT_EQ(e.nGetCompatSince(), 1);
  EXPECT_EQ(e.nGetNAVersion(), -1);
  EXPECT_EQ(e.nGetNACompatSince(), -1);
  e.NAVersion_EmptySlot_3();
  e.EmptySlot52();
  e.EmptySlot56();
  EXPECT_EQ(static_cast<int>(e.eGetErrorType()), -1);
  EXPECT_EQ(e.dwGetErrorId(), 0u);
  EXPECT_EQ(static_cast<int>(e.eGetErrorLevel()), 1);
  EXPECT_EQ(e.pszGetLogicalTableName(), nullptr);
  EXPECT_EQ(e.pszGetItemName(), nullptr);
  EXPECT_NE(e.pclGetXError(), nullptr);
  EXPECT_EQ(e.pclGetLastXError(), e.pclGetXError());
  EXPECT_NE(e.pszGetError(), nullptr);
}

TEST_F(NAError, TheRaiseSequenceLeavesCodeNamesNativeCodeAndDebugLine) {
  CNAError e;
  EXPECT_EQ(CNAError::g_nRaise(&e, kType2, 5, 3, nullptr, L"CUSTOMER", L"NAME", 14), 0);
  EXPECT_EQ(static_cast<int>(e.eGetErrorType()), 2);
  EXPECT_EQ(e.dwGetErrorId(), 14u);
  EXPECT_EQ(e.nGetUserErrorCode(), 14u);
  EXPECT_STREQ(e.pszGetLogicalTableName(), L"CUSTOMER");
  EXPECT_STREQ(e.pszGetItemName(), L"NAME");
  const std::wstring dump = Dump(e);
  EXPECT_NE(Find(dump, L"EIT_NATIVECODE : <14>"), std::wstring::npos) << dump;
  EXPECT_NE(Find(dump, L"IEKQMARIA=5.3\r\nModule=<KQMARIA>\r\nVersion=<23.0.2.0>"),
            std::wstring::npos)
      << dump;
  EXPECT_NE(Find(dump, L"EIT_LOGICALTABLENAME : <CUSTOMER>"), std::wstring::npos) << dump;
  // The dump text lives in the object until the next call.
  EXPECT_STREQ(e.pszGetError(), dump.c_str());
}

TEST_F(NAError, ARaiseWithoutTargetIsDroppedAndAnswersZero) {
  EXPECT_EQ(CNAError::g_nRaise(nullptr, kType0, 5, 1, nullptr, nullptr, nullptr, 8), 0);
}

TEST_F(NAError, TheDebugLineNamesModuleFileSiteAndVersion) {
  EXPECT_STREQ(CNAError::g_csDebugLine(9, 2).pszGet(),
               L"IEKQMARIA=9.2\r\nModule=<KQMARIA>\r\nVersion=<23.0.2.0>");
}

TEST_F(NAError, TheFirstErrorGivesTheTypeAndLaterOnesBecomeSubErrors) {
  CNAError e;
  e.AddError(kType3, 5, 1, nullptr, 8u);
  e.AddError(kType2, 5, 2, nullptr, 14u);
  EXPECT_EQ(static_cast<int>(e.eGetErrorType()), 3);
  EXPECT_EQ(e.dwGetErrorId(), 8u);
  ASSERT_EQ(e.pclGetXError()->nGetNbSubError(), 1);
  EXPECT_EQ(e.pclGetLastXError(), e.pclGetXError()->pclGetSubError(0));
  EXPECT_EQ(e.nGetUserErrorCode(), 14u);  // the last framework error
  const std::wstring dump = Dump(e);
  EXPECT_NE(Find(dump, L"IEKQMARIA=5.2"), std::wstring::npos) << dump;
  // The variant without inserts records the same way.
  CNAError f;
  f.AddError(kType0, 8u, 5, 4, nullptr);
  EXPECT_EQ(f.dwGetErrorId(), 8u);
  EXPECT_NE(Find(Dump(f), L"IEKQMARIA=5.4\r\nModule=<KQMARIA>\r\nVersion=<23.0.2.0>"),
            std::wstring::npos);
}

TEST_F(NAError, AddErrorFirstPutsTheNewErrorBeforeTheFormerOne) {
  CNAError e;
  e.AddError(kType0, 5, 1, nullptr, 37u, L"mysql_error");
  e.AddErrorFirst(kType3, 101, 22, nullptr, 79u);
  EXPECT_EQ(static_cast<int>(e.eGetErrorType()), 3);
  EXPECT_EQ(e.dwGetErrorId(), 79u);
  ASSERT_EQ(e.pclGetXError()->nGetNbSubError(), 1);
  EXPECT_EQ(e.pclGetXError()->pclGetSubError(0)->nGetUserErrorCode(), 37u);
  const std::wstring dump = Dump(e);
  const auto nNew = Find(dump, L"(error 79)");
  const auto nFormer = Find(dump, L"mysql_error");
  ASSERT_NE(nNew, std::wstring::npos) << dump;
  ASSERT_NE(nFormer, std::wstring::npos) << dump;
  EXPECT_LT(nNew, nFormer) << dump;
  // On an empty object it is a plain AddError.
  CNAError f;
  f.AddErrorFirst(kType2, 101, 21, nullptr, 78u);
  EXPECT_EQ(static_cast<int>(f.eGetErrorType()), 2);
  EXPECT_EQ(f.pclGetXError()->nGetNbSubError(), 0);
}

TEST_F(NAError, ResetEmptiesTheObject) {
  CNAError e;
  e.AddError(kType2, 5, 1, nullptr, 14u);
  ASSERT_NE(Dump(e).find(L"EIT_NATIVECODE"), std::wstring::npos);
  e.Reset();
  EXPECT_EQ(static_cast<int>(e.eGetErrorType()), -1);
  EXPECT_EQ(e.dwGetErrorId(), 0u);
  EXPECT_EQ(Dump(e).find(L"EIT_NATIVECODE"), std::wstring::npos);
  // Usable again: the next error is a main error again.
  e.AddError(kType3, 5, 2, nullptr, 8u);
  EXPECT_EQ(static_cast<int>(e.eGetErrorType()), 3);
  EXPECT_EQ(e.pclGetXError()->nGetNbSubError(), 0);
}

TEST_F(NAError, OnlyLevelsOneToThreeChangeTheLevel) {
  const struct {
    int nLevel;
    int nExpected;
  } cases[] = {{4, 3}, {0, 3}, {-1, 3}, {0x10001, 3}, {2, 2}, {3, 3}, {1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nLevel);
    CNAError e;
    e.AddError(kType0, 5, 1, nullptr, 14u);
    ASSERT_EQ(static_cast<int>(e.eGetErrorLevel()), 3);
    e.SetErrorLevel(static_cast<eNAERRORLEVEL>(c.nLevel));
    EXPECT_EQ(static_cast<int>(e.eGetErrorLevel()), c.nExpected);
    if (c.nExpected == 1) {
      EXPECT_EQ(e.dwGetErrorId(), 0u);
    }
  }
}

TEST_F(NAError, NamesAreRecordedOnlyWithATableName) {
  const struct {
    const wchar_t* pszTable;
    const wchar_t* pszItem;
    const wchar_t* pszExpectedTable;
    const wchar_t* pszExpectedItem;
  } cases[] = {
      {L"", L"ITEM", nullptr, nullptr},
      {nullptr, L"ITEM", nullptr, nullptr},
      {L"T", L"", L"T", nullptr},
      {L"T", nullptr, L"T", nullptr},
      {L"T", L"ITEM", L"T", L"ITEM"},
  };
  for (const auto& c : cases) {
    CNAError e;
    e.SetInfoNames(c.pszTable, c.pszItem);
    if (c.pszExpectedTable == nullptr) {
      EXPECT_EQ(e.pszGetLogicalTableName(), nullptr);
    } else {
      EXPECT_STREQ(e.pszGetLogicalTableName(), c.pszExpectedTable);
    }
    if (c.pszExpectedItem == nullptr) {
      EXPECT_EQ(e.pszGetItemName(), nullptr);
    } else {
      EXPECT_STREQ(e.pszGetItemName(), c.pszExpectedItem);
    }
  }
}

TEST_F(NAError, AnErrorOfLevelOneIsNotAttached) {
  CNAError e;
  e.AddError(kType0, 5, 1, nullptr, 14u);
  _CXErrorModule76 none;
  e.AddSubError(&none);
  e.AddSubError(nullptr);
  EXPECT_EQ(e.pclGetXError()->nGetNbSubError(), 0);
  _CXErrorModule76 some;
  some.SetUserError(&gstMyModuleInfo76, 8);
  e.AddSubError(&some);
  EXPECT_EQ(e.pclGetXError()->nGetNbSubError(), 1);
}

TEST_F(NAError, CopyTakesTheOthersTypeAndErrorButNotFromItself) {
  CNAError a;
  a.AddError(kType3, 5, 1, nullptr, 14u);
  const std::wstring before = Dump(a);
  a.Copy(&a);
  EXPECT_EQ(Dump(a), before);
  EXPECT_EQ(static_cast<int>(a.eGetErrorType()), 3);
  CNAError b;
  b.AddError(kType2, 5, 2, nullptr, 8u);
  b.Copy(&a);
  EXPECT_EQ(static_cast<int>(b.eGetErrorType()), 3);
  EXPECT_EQ(b.dwGetErrorId(), 14u);
  EXPECT_EQ(Dump(b), before);
}

TEST_F(NAError, AFrameworkErrorIsCopiedInOrAttached) {
  _CXErrorModule76 first;
  first.SetUserError(&gstMyModuleInfo76, 27, L"MariaDB", L"libnothing.so", 32);
  first.SetSystemErrorMessage(L"libnothing.so: cannot open shared object file");
  CNAError e;
  e.AddError(kType0, &first, nullptr);
  EXPECT_EQ(e.dwGetErrorId(), 27u);
  EXPECT_STREQ(e.pszGetSystemErrorMessage(), L"libnothing.so: cannot open shared object file");
  e.AddError(kType3, &first, nullptr);
  EXPECT_EQ(static_cast<int>(e.eGetErrorType()), 0);
  EXPECT_EQ(e.pclGetXError()->nGetNbSubError(), 1);
  e.AddError(kType3, static_cast<const CXError*>(nullptr), nullptr);
  EXPECT_EQ(e.pclGetXError()->nGetNbSubError(), 1);
}

// A server's message is text: its "%1" and "%s" are not inserts.
TEST_F(NAError, TheServersMessageIsKeptVerbatim) {
  const wchar_t* const kMessage = L"Unknown column '%1' in '%s' (100%d)";
  CNAError e;
  e._SetDataBaseError(kType0, nullptr, 22, 1054, kMessage, L"T", L"C");
  EXPECT_EQ(e.dwGetErrorId(), 22u);
  EXPECT_EQ(e.dwGetDataBaseErrorCode(), 1054u);
  EXPECT_STREQ(e.pszGetSystemErrorMessage(), kMessage);
  const std::wstring user = e.pclGetXError()->pszGetUserMessage();
  EXPECT_NE(user.find(kMessage), std::wstring::npos) << user;
  EXPECT_NE(user.find(L"server error 1054"), std::wstring::npos) << user;
  EXPECT_STREQ(e.pszGetLogicalTableName(), L"T");
  EXPECT_STREQ(e.pszGetItemName(), L"C");
  // The second one completes the object as a sub-error, also verbatim.
  e._SetDataBaseError(kType2, nullptr, 22, 0, L"50% done %n", nullptr, nullptr);
  EXPECT_EQ(static_cast<int>(e.eGetErrorType()), 0);
  EXPECT_EQ(e.dwGetDataBaseErrorCode(), 0u);  // no code: item 15 absent
  EXPECT_STREQ(e.pszGetSystemErrorMessage(), L"50% done %n");
  // The completing operations take texts verbatim too.
  e.AddUserMessageNoFormat(L"%1!s! stays");
  e.AddDebugMessageNoFormat(L"%s stays");
  e.SetDataBaseErrorMessage(L"%d stays");
  const std::wstring dump = Dump(e);
  EXPECT_NE(dump.find(L"%1!s! stays"), std::wstring::npos) << dump;
  EXPECT_NE(dump.find(L"%s stays"), std::wstring::npos) << dump;
  EXPECT_NE(dump.find(L"EIT_BASEMESSAGE : <%d stays>"), std::wstring::npos) << dump;
}

TEST_F(NAError, CompletingOperationsApplyToTheLastFrameworkError) {
  CNAError e;
  e.AddError(kType0, 5, 1, nullptr, 8u);
  e.SetDataBaseErrorCode(1045);
  EXPECT_EQ(e.dwGetDataBaseErrorCode(), 1045u);
  e.AddError(kType0, 5, 2, nullptr, 14u);
  EXPECT_EQ(e.dwGetDataBaseErrorCode(), 0u);  // the new last error has none
  e.SetDataBaseErrorCode(2002);
  e.SetSystemErrorCode(111);
  e.AddDebugInfo(9, 7);
  e.AddDebugMessageNoFormatFirst(L"first line");
  EXPECT_EQ(e.dwGetDataBaseErrorCode(), 2002u);
  EXPECT_EQ(e.dwGetSystemErrorCode(), 111u);
  EXPECT_EQ(e.dwGetADOErrorCode(), 0u);
  const CXError* pSub = e.pclGetXError()->pclGetSubError(0);
  EXPECT_EQ(std::wstring(pSub->pszGetDebugMessage()).find(L"first line"), 0u);
  EXPECT_NE(std::wstring(pSub->pszGetDebugMessage()).find(L"IEKQMARIA=9.7"), std::wstring::npos);
  // The main error keeps its own.
  const void* pValue = nullptr;
  ASSERT_TRUE(e.pclGetXError()->bGetInfo(CXError::EIT_BASECODE, &pValue));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(pValue), 1045u);
}

TEST_F(NAError, TheFatalErrorDebugMessageNamesBothVersions) {
  CNAError e;
  e.AddError(kType0, 100, 5, nullptr, 23u, L"MariaDB");
  e.AddDebugMessage(3355, L"3.23.52", L"3.3.20");
  e.AddDebugMessage(0xFFFFFFFFu);  // nothing
  const std::wstring debug = e.pclGetXError()->pszGetDebugMessage();
  EXPECT_NE(debug.find(L"expected: 3.23.52 or later, version loaded: 3.3.20."), std::wstring::npos)
      << debug;
  EXPECT_NE(std::wstring(e.pclGetXError()->pszGetUserMessage()).find(L"MariaDB"),
            std::wstring::npos);
}

// Each connection error formats with the inserts its raisers pass, leaving no
// conversion behind.
TEST_F(NAError, TheConnectionErrorsReadWithTheirInserts) {
  struct Case {
    unsigned int nCode;
    const wchar_t* pszExpected;
    void (*pfnRaise)(CNAError&);
  };
  const Case cases[] = {
      {22, L"The database server db.example refused the request (server error 1045).",
       [](CNAError& e) { e.AddError(kType0, 1, 1, nullptr, 22u, L"db.example", 1045u); }},
      {27, L"The MariaDB client library /x/libmariadb.so (32-bit) could not be loaded.",
       [](CNAError& e) { e.AddError(kType0, 9, 1, nullptr, 27u, L"MariaDB", L"/x/libmariadb.so", 32); }},
      {37, L"The client library has no function mysql_error.",
       [](CNAError& e) { e.AddError(kType0, 9, 2, nullptr, 37u, L"mysql_error"); }},
      {74, L"MariaDB: the client library /a/libmariadb.so.3 is already loaded; /b/lib.so cannot be loaded in the same process.",
       [](CNAError& e) { e.AddError(kType0, 1, 17, nullptr, 74u, L"MariaDB", L"/a/libmariadb.so.3", L"/b/lib.so"); }},
      {75, L"The client library 3.3.20 cannot make SSL connections.",
       [](CNAError& e) { e.AddError(kType0, 100, 1, nullptr, 75u, L"3.3.20"); }},
      {76, L"The client library 3.3.20 cannot set connection options.",
       [](CNAError& e) { e.AddError(kType0, 100, 2, nullptr, 76u, L"3.3.20"); }},
      {77, L"(error 77)", [](CNAError& e) { e.AddError(kType0, 100, 3, nullptr, 77u); }},
      {78, L"could not prepare a connection (error 78)",
       [](CNAError& e) { e.AddError(kType0, 101, 21, nullptr, 78u); }},
      {79, L"could not be made (error 79)",
       [](CNAError& e) { e.AddError(kType0, 101, 23, nullptr, 79u); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nCode);
    CNAError e;
    c.pfnRaise(e);
    EXPECT_EQ(e.dwGetErrorId(), c.nCode);
    const std::wstring user = e.pclGetXError()->pszGetUserMessage();
    EXPECT_NE(user.find(c.pszExpected), std::wstring::npos) << user;
    EXPECT_EQ(user.find(L'%'), std::wstring::npos) << user;
  }
}

TEST_F(NAError, TheLastReleaseDestroysTheObject) {
  auto* p = new CNAError();
  EXPECT_EQ(p->nRelease(), 0);  // count 0: nothing
  p->AddRef();
  p->AddRef();
  EXPECT_EQ(p->nRelease(), 1);
  EXPECT_EQ(p->nRelease(), 0);  // destroyed; the leak check sees the rest
}

}  // namespace
