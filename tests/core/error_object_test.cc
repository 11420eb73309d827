// CXError: the error object. Bound to the stand-in server because the labels
// and messages are formatted through the framework's strings and locale.
#include "core/error_object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/wide_string.h"
#include "tests/core/failing_heap.h"
#include "tests/support/bound_framework.h"

namespace {

using kqtest::FailingHeap;

const std::wstring kEOL = L"\r\n";

std::wstring Dump(const CXError& e, uint32_t dwMask) {
  CTString s;
  e.StringDump(s, dwMask);
  return s.pszGet();
}

// A counted object that reports its death.
class CCounted : public CKQUnknown {
 public:
  explicit CCounted(int* pnDeaths) : m_pnDeaths(pnDeaths) {}
  ~CCounted() override { ++*m_pnDeaths; }

 private:
  int* m_pnDeaths;
};

class ErrorObject : public kqtest::BoundFrameworkTest {
 protected:
  // An error with something in every section but the sub-errors.
  static void Fill(CXError& e) {
    e.SetUserError(&gstMyModuleInfo76, 65, 7, 8);
    e.SetUserErrorCode55(55);
    e.SetSystemErrorMessage(2u, L"No such file");
    e.AddDebugMessageNoFormat(L"dbg");
    e.SetFunctionName(L"HOpen", 2);
    e.SetVMContext(L"Caption", L"OBJ", 0, 5, 12, 3);
    e.AddInfo(CXError::EIT_ITEMNAME, L"NAME");
  }
};

TEST_F(ErrorObject, ANewErrorIsEmptyAndItsTextsReadAsEmpty) {
  _CXErrorModule76 e;
  EXPECT_EQ(e.eGetErrorLevel(), CXError::EL_NOERROR);
  EXPECT_EQ(e.nGetModuleId(), 76u);
  EXPECT_STREQ(e.pszGetUserMessage(), L"");
  EXPECT_STREQ(e.pszGetSystemErrorMessage(), L"");
  EXPECT_EQ(e.dwGetIdCode(), 0xFFFFFFFFu);
  EXPECT_EQ(e.dwGetTypeKQFile(), 0u);
  EXPECT_EQ(e.pclGetSubError(0), nullptr);
}

TEST_F(ErrorObject, ReleasingTheLastReferenceDestroysTheObject) {
  int nDeaths = 0;
  auto* p = new CCounted(&nDeaths);
  p->dwAddRef();
  p->dwAddRef();
  EXPECT_EQ(p->dwRelease(), 1u);
  EXPECT_EQ(nDeaths, 0);
  EXPECT_EQ(p->dwRelease(), 0u);
  EXPECT_EQ(nDeaths, 1);
}

TEST_F(ErrorObject, AUserErrorTakesTheRowsMessageDetailLevelAndModule) {
  _CXErrorModule76 e;
  e.SetUserError(&gstMyModuleInfo76, 65, 7, 8);
  EXPECT_EQ(e.nGetUserErrorCode(), 65u);
  EXPECT_EQ(e.nGetDetailId(), 65u);
  EXPECT_EQ(e.eGetErrorLevel(), CXError::EL_ERROR);
  EXPECT_STREQ(e.pszGetUserMessage(), L"The operation failed with code 7 (8).");
  EXPECT_STREQ(e.pszGetModName(), L"kq230maria.so");
  EXPECT_STREQ(e.pszGetModVersion(), L"23.0.2.0");
  ASSERT_EQ(e.nNumErrorId(), 1);
  EXPECT_EQ(e.nGetErrorId(0), 25298u);
}

TEST_F(ErrorObject, ACodeMissingFromTheTableAddsOneDebugLineAndKeepsTheCode) {
  _CXErrorModule76 e;
  e.SetUserErrorCode(61);
  e.ChangeUserError(&gstMyModuleInfo76, 3);
  EXPECT_EQ(e.nGetUserErrorCode(), 61u);
  EXPECT_EQ(e.eGetErrorLevel(), CXError::EL_ERROR);
  EXPECT_STREQ(e.pszGetDebugMessage(),
               L"##(CXError)-Pas de definition d'erreur dans gstErrorDef pour l'identifiant <3>##");
  EXPECT_STREQ(e.pszGetUserMessage(), L"");
}

TEST_F(ErrorObject, AMessageMissingFromTheTableIsReportedInTheDebugMessage) {
  _CXErrorModule76 e;
  EXPECT_FALSE(e.AddUserMessage(&gstMyModuleInfo76, 1u));
  EXPECT_STREQ(e.pszGetDebugMessage(), L"##(CXError)-Ressource <1> non chargée##");
  EXPECT_EQ(e.nGetErrorId(0), 1u);
  EXPECT_STREQ(e.pszGetUserMessage(), L"");
  EXPECT_FALSE(e.AddDebugMessage(&gstMyModuleInfo76, 0xFFFFFFFFu));
  e.SetSystemErrorMessage(&gstMyModuleInfo76, 1u);
  EXPECT_STREQ(e.pszGetSystemErrorMessage(), L"##(CXError)-Ressource <1> non chargée##");
  EXPECT_EQ(e.dwGetSystemErrorCode(), 0u);
}

TEST_F(ErrorObject, ChangingTheErrorPutsTheNewMessageInFrontAndSettingReplacesIt) {
  _CXErrorModule76 e;
  e.SetUserError(&gstMyModuleInfo76, 61);
  e.SetUserError(&gstMyModuleInfo76, 63);
  EXPECT_STREQ(e.pszGetUserMessage(), L"The date is invalid.");
  e.ChangeUserError(&gstMyModuleInfo76, 61);
  EXPECT_STREQ(e.pszGetUserMessage(),
               L"The value has no representation in the requested type.\r\nThe date is invalid.");
}

TEST_F(ErrorObject, SetAnyErrorMapsEachKindToItsUserError) {
  struct Case {
    int nKind;
    unsigned int nCode;
    uint32_t nLevel;
    const wchar_t* pszMessage;
  };
  const Case kCases[] = {
      {0, 0, 1, L""},
      {1, 65, 3, L"The operation failed with code 7 (8)."},
      {100, 0, 3, L"Not enough memory to complete the operation."},
      {101, 61, 3, L"The value has no representation in the requested type."},
      {104, 66, 3, L"The binary value of 7 bytes does not convert to a value of 8 bytes."},
      {105, 60, 3,
       L"The operation does not apply to the type of the value, or the conversion gave nothing."},
      {106, 64, 3, L"The value 7 is out of range (limit 8)."},
      {107, 63, 3, L"The date is invalid."},
      // Unknown kinds leave the error as it was.
      {2, 62, 3, L"A NULL value cannot be used in this operation."},
      {-1, 62, 3, L"A NULL value cannot be used in this operation."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.nKind);
    _CXErrorModule76 e;
    e.SetUserError(&gstMyModuleInfo76, 62);
    e.SetAnyError(&gstMyModuleInfo76, c.nKind, 7, 8);
    EXPECT_EQ(e.nGetUserErrorCode(), c.nCode);
    EXPECT_EQ(static_cast<uint32_t>(e.eGetErrorLevel()), c.nLevel);
    EXPECT_STREQ(e.pszGetUserMessage(), c.pszMessage);
  }
}

// The server reads the level to know that a call failed: an out-of-memory
// error must not read as "no error".
TEST_F(ErrorObject, OutOfMemoryIsAFailureLevelWithSystemCode12AndNoSystemText) {
  _CXErrorModule76 e;
  Fill(e);
  e.SetErrorNoMemory();
  EXPECT_EQ(e.eGetErrorLevel(), CXError::EL_ERROR);
  EXPECT_EQ(e.dwGetSystemErrorCode(), 12u);
  EXPECT_STREQ(e.pszGetSystemErrorMessage(), L"");
  EXPECT_STREQ(e.pszGetUserMessage(), L"Not enough memory to complete the operation.");
  EXPECT_EQ(e.nNumInfo(), 0);
}

TEST_F(ErrorObject, SettingLevelOneResetsTheWholeError) {
  _CXErrorModule76 e;
  Fill(e);
  e.SetErrorLevel(CXError::EL_NOERROR);
  EXPECT_EQ(Dump(e, CXError::XEI_ALL | CXError::XEI_SKIPEMPTY),
            L"User error code: 0\r\nLevel: no error\r\n");
  EXPECT_EQ(e.nGetModuleId(), 76u);
}

TEST_F(ErrorObject, EachDumpSectionWritesItsGoldenText) {
  struct Case {
    uint32_t dwBit;
    const wchar_t* pszFull;
    const wchar_t* pszEmpty;
  };
  const Case kCases[] = {
      {0x2,
       L"Context:\r\nProcessing Caption (OBJ), line 12 (thread 3)\r\nFunction HOpen, syntax 2\r\n",
       L""},
      {0x80, L"User message:\r\nThe operation failed with code 7 (8).\r\n",
       L"User message: none\r\n"},
      {0x8, L"User error code: 65\r\n", L"User error code: 0\r\n"},
      {0x4, L"Level: error\r\n", L"Level: no error\r\n"},
      {0x10, L"Secondary error code: 55\r\n", L"Secondary error code: 0\r\n"},
      {0x20, L"System error code: 2\r\n", L"System error code: none\r\n"},
      {0x40, L"System message:\r\nNo such file", L"System message: none\r\n"},
      {0x1, L"Module: kq230maria.so, version 23.0.2.0\r\n", L"Module: none\r\n"},
      {0x400, L"Detail id: 65\r\n", L"Detail id: none\r\n"},
      {0x100, L"Debug information:\r\ndbg\r\n", L"Debug information: none\r\n"},
      {0x200,
       L"Information items:\r\nEIT_TYPE_KQFILE : <0>\r\nEIT_IDCODE : <5>\r\nEIT_ITEMNAME : <NAME>",
       L"Information items: none\r\n"},
      {0x800, L"", L""},
  };
  _CXErrorModule76 full;
  Fill(full);
  _CXErrorModule76 empty;
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << std::hex << "bit 0x" << c.dwBit);
    EXPECT_EQ(Dump(full, c.dwBit), c.pszFull);
    EXPECT_EQ(Dump(empty, c.dwBit), c.pszEmpty);
    const bool bAlways = c.dwBit == 0x8 || c.dwBit == 0x4;
    EXPECT_EQ(Dump(empty, c.dwBit | CXError::XEI_SKIPEMPTY), bAlways ? c.pszEmpty : L"");
  }
}

TEST_F(ErrorObject, TheDumpFollowsTheSectionOrderWithAnEmptyLineBetweenGroups) {
  _CXErrorModule76 e;
  Fill(e);
  _CXErrorModule76 sub;
  sub.SetUserError(&gstMyModuleInfo76, 63);
  e.AddSubErrorNoUserMessage(&sub);
  const std::wstring kExpected =
      L"Context:\r\nProcessing Caption (OBJ), line 12 (thread 3)\r\nFunction HOpen, syntax 2\r\n"
      L"\r\n"
      L"User message:\r\nThe operation failed with code 7 (8).\r\n"
      L"\r\n"
      L"User error code: 65\r\nLevel: error\r\nSecondary error code: 55\r\n"
      L"\r\n"
      L"System error code: 2\r\nSystem message:\r\nNo such file"
      L"\r\n"
      L"Module: kq230maria.so, version 23.0.2.0\r\nDetail id: 65\r\nDebug information:\r\ndbg\r\n"
      L"\r\n"
      L"Information items:\r\nEIT_TYPE_KQFILE : <0>\r\nEIT_IDCODE : <5>\r\nEIT_ITEMNAME : <NAME>"
      L"\r\n"
      L"\r\n----- Error 1 -----\r\n\r\n"
      L"User message:\r\nThe date is invalid.\r\n"
      L"\r\n"
      L"User error code: 63\r\nLevel: error\r\n"
      L"\r\n"
      L"Module: kq230maria.so, version 23.0.2.0\r\nDetail id: 63\r\n"
      L"\r\n";
  EXPECT_EQ(Dump(e, 0xFFFu | CXError::XEI_SKIPEMPTY), kExpected);
}

TEST_F(ErrorObject, AUserMessageOnlyDumpSeparatesTheMessageFromTheCodeLine) {
  _CXErrorModule76 e;
  e.AddUserMessage(L"msg");
  EXPECT_EQ(Dump(e, 0x80000088u), L"User message:\r\nmsg\r\n\r\nUser error code: 0\r\n");
  EXPECT_EQ(Dump(e, 0xC0000080u), L"msg\r\n");
}

TEST_F(ErrorObject, TheContextWithoutALineNamesOnlyTheThread) {
  _CXErrorModule76 e;
  e.SetVMContext(L"Caption", L"", 0, 5, 65535, 3);
  EXPECT_EQ(Dump(e, 0x2), L"Context:\r\nProcessing Caption (thread 3)\r\n");
}

TEST_F(ErrorObject, EveryInformationTypeDumpsItsKey) {
  struct Case {
    CXError::eERRORINFOTYPE eType;
    const wchar_t* pszDump;
  };
  const int n = -4;
  const long long ll = 1234567890123LL;
  const Case kCases[] = {
      {CXError::EIT_SRCFILE, L"EIT_SRCFILE : <v>"},
      {CXError::EIT_RECNUM, L"EIT_RECNUM : <1234567890123>"},
      {CXError::EIT_NATIVECODE, L"EIT_NATIVECODE : <-4>"},
      {CXError::EIT_PILEVX, L"EIT_PILEVX :\r\nv"},
      {CXError::EIT_DATEHEURE, L"EIT_DATEHEURE : v"},
      {CXError::EIT_COMPOSANT, L"EIT_COMPOSANT :\r\nv"},
      {CXError::EIT_HLOCKTIME, L"EIT_HLOCKTIME : <1234567890123>"},
      {CXError::EIT_CODEHTTP, L"EIT_CODEHTTP : <-4>"},
      {CXError::EIT_POINTER, L""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "type " << c.eType);
    _CXErrorModule76 e;
    const void* pValue = L"v";
    if (c.eType == CXError::EIT_RECNUM || c.eType == CXError::EIT_HLOCKTIME) pValue = &ll;
    if (c.eType == CXError::EIT_NATIVECODE || c.eType == CXError::EIT_CODEHTTP) pValue = &n;
    e.AddInfo(c.eType, pValue);
    ASSERT_EQ(e.nNumInfo(), 1);
    EXPECT_EQ(Dump(e, 0x200), std::wstring(L"Information items:") +
                                  (*c.pszDump ? kEOL + c.pszDump : std::wstring()));
  }
}

TEST_F(ErrorObject, InformationItemsOfUnknownTypesOrWithoutValueAreNotStored) {
  _CXErrorModule76 e;
  const int n = 1;
  for (uint32_t nType : {0u, 34u, 35u, 45u, 1000u, 0x80000000u}) {
    e.AddInfo(static_cast<CXError::eERRORINFOTYPE>(nType), &n);
  }
  e.AddInfo(CXError::EIT_NATIVECODE, nullptr);
  EXPECT_EQ(e.nNumInfo(), 0);
  CXError::eERRORINFOTYPE eType = CXError::EIT_SRCFILE;
  const void* pValue = nullptr;
  e.GetInfo(0, &eType, &pValue);
  EXPECT_EQ(eType, CXError::EIT_NONE);
  EXPECT_FALSE(e.bGetInfo(static_cast<CXError::eERRORINFOTYPE>(34), &pValue));
  CTString s;
  CXError::DumpInfo(static_cast<CXError::eERRORINFOTYPE>(99), &n, &s);
  EXPECT_EQ(s.nTaille(), 0);
}

TEST_F(ErrorObject, AddingATypeTwiceReplacesItsValueInPlace) {
  _CXErrorModule76 e;
  int n = 1;
  e.AddInfo(CXError::EIT_NATIVECODE, &n);
  e.AddInfo(CXError::EIT_ITEMNAME, L"A");
  n = 2;
  e.AddInfo(CXError::EIT_NATIVECODE, &n);
  e.AddInfo(CXError::EIT_ITEMNAME, L"B");
  ASSERT_EQ(e.nNumInfo(), 2);
  const void* pValue = nullptr;
  ASSERT_TRUE(e.bGetInfo(CXError::EIT_NATIVECODE, &pValue));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(pValue), 2u);
  ASSERT_TRUE(e.bGetInfo(CXError::EIT_ITEMNAME, &pValue));
  EXPECT_STREQ(static_cast<const wchar_t*>(pValue), L"B");
  // A 64-bit item is copied into the caller's 8 bytes.
  const long long ll = -5;
  e.AddInfo(CXError::EIT_RECNUM, &ll);
  long long llOut = 0;
  pValue = &llOut;
  ASSERT_TRUE(e.bGetInfo(CXError::EIT_RECNUM, &pValue));
  EXPECT_EQ(llOut, -5);
  e.__SetXInfo(0x6, 1);
  e.__SetXInfo(0x2, 0);
  EXPECT_TRUE(e.__bGetXInfo(0x4));
  EXPECT_FALSE(e.__bGetXInfo(0x2));
}

TEST_F(ErrorObject, ADataAccessItemHoldsOneReferenceUntilItGoes) {
  int nDeaths = 0;
  auto* pObject = new CCounted(&nDeaths);
  pObject->dwAddRef();
  {
    _CXErrorModule76 e;
    e.AddInfo(CXError::EIT_DATAACCESS, pObject);
    e.AddInfo(CXError::EIT_DATAACCESS, pObject);
    EXPECT_EQ(pObject->nGetRefCount(), 2);
    _CXErrorModule76 same;
    same.Copy(e);
    EXPECT_EQ(pObject->nGetRefCount(), 3);
    CXError other(77u, &e, 0);  // another module: the item is not copied
    EXPECT_FALSE(other.bHasInfo(CXError::EIT_DATAACCESS));
    CXError light(77u, &same, 1);  // nor taken over
    EXPECT_FALSE(light.bHasInfo(CXError::EIT_DATAACCESS));
    EXPECT_EQ(pObject->nGetRefCount(), 2);
  }
  EXPECT_EQ(pObject->nGetRefCount(), 1);
  pObject->dwRelease();
  EXPECT_EQ(nDeaths, 1);
}

TEST_F(ErrorObject, ACopyIsDeepAndKeepsItsOwnModuleId) {
  _CXErrorModule76 source;
  Fill(source);
  CXError copy(77u, &source, 0);
  EXPECT_EQ(copy.nGetModuleId(), 77u);
  EXPECT_EQ(Dump(copy, 0xFFF & ~0x200u), Dump(source, 0xFFF & ~0x200u));
  EXPECT_NE(copy.pszGetUserMessage(), source.pszGetUserMessage());
  source.RAZ();
  EXPECT_STREQ(copy.pszGetUserMessage(), L"The operation failed with code 7 (8).");
  EXPECT_EQ(copy.nNumInfo(), 3);
}

TEST_F(ErrorObject, ALightCopyTakesTheContentsAndLeavesTheSourceReset) {
  _CXErrorModule76 source;
  Fill(source);
  source.AddSubErrorNoUserMessage(&source);
  const std::wstring kBefore = Dump(source, 0xFFF);
  _CXErrorModule76 target;
  target.SetUserError(&gstMyModuleInfo76, 63);
  target.LightCopy(&source);
  EXPECT_EQ(Dump(target, 0xFFF), kBefore);
  EXPECT_EQ(source.eGetErrorLevel(), CXError::EL_NOERROR);
  EXPECT_EQ(source.nGetUserErrorCode(), 0u);
  EXPECT_EQ(source.nNumInfo(), 0);
  EXPECT_EQ(source.nGetNbSubError(), 0);
  EXPECT_EQ(Dump(source, 0xFFF | CXError::XEI_SKIPEMPTY),
            L"User error code: 0\r\nLevel: no error\r\n");
}

// Callers that collect failures rely on the copies coming after what the
// target already holds.
TEST_F(ErrorObject, CopyKeepsTheTargetsEarlierSubErrorsAndAppendsTheSources) {
  _CXErrorModule76 a, b, target, source;
  a.SetUserError(&gstMyModuleInfo76, 61);
  b.SetUserError(&gstMyModuleInfo76, 63);
  target.AddSubError(&a);
  source.AddSubError(&b);
  target.Copy(source);
  ASSERT_EQ(target.nGetNbSubError(), 2);
  EXPECT_EQ(target.pclGetSubError(0)->nGetUserErrorCode(), 61u);
  EXPECT_EQ(target.pclGetSubError(1)->nGetUserErrorCode(), 63u);
}

TEST_F(ErrorObject, OnlyTheFirstSubErrorsMessageJoinsTheParents) {
  _CXErrorModule76 a, b, parent;
  a.SetUserError(&gstMyModuleInfo76, 61);
  b.SetUserError(&gstMyModuleInfo76, 63);
  parent.AddUserMessage(L"top");
  parent.AddSubError(&a);
  parent.AddSubError(&b);
  EXPECT_STREQ(parent.pszGetUserMessage(),
               L"top\r\nThe value has no representation in the requested type.");
}

TEST_F(ErrorObject, ASubErrorChainCopiedOntoItselfStaysFiniteAndSound) {
  _CXErrorModule76 root;
  root.SetUserError(&gstMyModuleInfo76, 61);
  root.AddSubError(&root);  // a copy of itself as its own sub-error
  root.AddSubError(&root);  // now a chain of depth two
  ASSERT_EQ(root.nGetNbSubError(), 2);
  EXPECT_EQ(root.pclGetSubError(1)->nGetNbSubError(), 1);
  const std::wstring kBefore = Dump(root, 0xFFF);

  root.Copy(&root);
  EXPECT_EQ(Dump(root, 0xFFF), kBefore);

  // A parent copied into its own sub-error, and a sub-error into its parent.
  CXError* pSub = root.pclGetSubError(1);
  pSub->Copy(root);
  EXPECT_EQ(pSub->nGetNbSubError(), 1 + 2);
  root.Copy(*root.pclGetSubError(0));
  EXPECT_EQ(root.nGetNbSubError(), 2);

  // A light copy from its own sub-error takes that error's contents over.
  root.LightCopy(root.pclGetSubError(1));
  EXPECT_EQ(root.nGetUserErrorCode(), 61u);
  EXPECT_EQ(root.nGetNbSubError(), 3);
  EXPECT_FALSE(Dump(root, 0xFFF).empty());
}

TEST_F(ErrorObject, NoAllocationFailureCrashesLeaksOrLeavesAHalfItem) {
  // Everything the error owns comes from the heap, which refuses one
  // allocation after another; every run must end in a sound error.
  auto build = [](CXError& e) {
    Fill(e);
    _CXErrorModule76 sub;
    sub.SetUserError(&gstMyModuleInfo76, 63);
    e.AddSubError(&sub);
    e.AddSubErrorLight(&sub);
    CXError copy(&gstMyModuleInfo76, e);
    copy.AddInfo(CXError::EIT_ITEMNAME, L"OTHER");
    e.Copy(copy);
    CTString s;
    e.StringDump(s, 0xFFFu);
    e.SetErrorNoMemory();
  };
  int nRefused = 0;
  kqtest::ForEachRefusedAllocation([] {},
                                   [&] {
                                     _CXErrorModule76 e;
                                     build(e);
                                     EXPECT_EQ(e.eGetErrorLevel(), CXError::EL_ERROR);
                                     EXPECT_EQ(e.dwGetSystemErrorCode(), 12u);
                                     EXPECT_EQ(e.nNumInfo(), 0);
                                     EXPECT_EQ(e.nGetNbSubError(), 0);
                                   },
                                   [&](int k) { nRefused = k; });
  EXPECT_GT(nRefused, 20);
}

TEST_F(ErrorObject, ATextItemWhoseCopyFailsIsNotAdded) {
  _CXErrorModule76 e;
  FailingHeap::Arm(1);
  e.AddInfo(CXError::EIT_ITEMNAME, L"NAME");
  FailingHeap::Disarm();
  EXPECT_EQ(e.nNumInfo(), 0);
  e.AddUserMessage(L"first");
  FailingHeap::Arm(1);
  e.AddUserMessage(L"second");  // the separator cannot be added: nothing is
  FailingHeap::Disarm();
  EXPECT_STREQ(e.pszGetUserMessage(), L"first");
}

}  // namespace
