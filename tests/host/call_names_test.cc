// The names kqhost prints beside the codes that pass between the server and
// the driver.
#include "host/harness/call_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/harness/host_harness.h"
#include "kq230/host_services.h"
#include "kq230/module_exports.h"

namespace {

TEST(CallNames, EveryCallTheDriverMakesAtStartAndStopHasAName) {
  CHostHarness harness;
  std::string strError;
  ASSERT_TRUE(harness.bLoad(&strError)) << strError;
  ASSERT_EQ(harness.nStart(), 1);
  ASSERT_EQ(harness.nStop(), 1);
  const int nCount = harness.Control().nGetLogCount();
  ASSERT_GT(nCount, 0);
  for (int i = 0; i < nCount; ++i) {
    int nCode = 0;
    intptr_t nArgument = 0;
    ASSERT_TRUE(harness.Control().bGetLogEntry(i, &nCode, &nArgument));
    const std::string strCall = strDescribeVMCall(nCode, nArgument);
    SCOPED_TRACE(strCall);
    EXPECT_EQ(strCall.find(kUnknownCallName), std::string::npos);
  }
}

TEST(CallNames, EveryServiceNumberHasANameOfItsOwn) {
  const int kServices[] = {
      SERVICE_PRODUCT_CODE,   SERVICE_INTERNAL_LANGUAGE, SERVICE_PRODUCT_NAME,
      SERVICE_OPTIONS,        SERVICE_REAL_PRODUCT_CODE, SERVICE_DOTNET,
      SERVICE_LIB_SHOP,       SERVICE_ACTIVE_VERSION,    SERVICE_GLOBAL_FACTORY,
      SERVICE_TOPOLOGY,       SERVICE_SMARTPHONE,        SERVICE_LOCALE,
      SERVICE_STR_MEM_ALLOC,  SERVICE_MULTITHREAD_FLAG,  SERVICE_COMPONENT_INFO,
      SERVICE_MAIN_THREAD_ID,
  };
  std::set<std::string> names;
  for (int nService : kServices) {
    SCOPED_TRACE(nService);
    const std::string strName = pszServiceName(nService);
    EXPECT_NE(strName, kUnknownCallName);
    EXPECT_TRUE(names.insert(strName).second) << "shared with another service: " << strName;
  }
}

TEST(CallNames, CodesNobodySendsAreNamedUnknown) {
  for (int nCode : {-1, 0, 16, 18, 3054}) {
    SCOPED_TRACE(nCode);
    EXPECT_STREQ(pszServiceName(nCode), kUnknownCallName);
    EXPECT_STREQ(pszVMCodeName(nCode), kUnknownCallName);
    EXPECT_STREQ(pszModuleCodeName(static_cast<unsigned int>(nCode)), kUnknownCallName);
  }
}

TEST(CallNames, ALoggedCallReadsAsItsNumberThenItsName) {
  struct Case {
    int nCode;
    intptr_t nArgument;
    const char* pszExpected;
  };
  const Case cases[] = {
      {VM_CODE_SERVICE, SERVICE_STR_MEM_ALLOC,
       "3053:13 string allocator IStrMemAlloc (ms_piStrMemAlloc)"},
      {VM_CODE_SERVICE, SERVICE_LOCALE, "3053:12 locale service IInfoLocale (ms_piInfoLocale)"},
      {VM_CODE_SERVICE, 16, "3053:16 unknown"},
      {VM_CODE_SERVICE, -5, "3053:-5 unknown"},
      {VM_CODE_SERVICE, 0x10000, "3053:65536 unknown"},
      {VM_CODE_LIBRARY_END, 0, "3052 the library ends (s_TermineDLL, s_DechargeDLL)"},
      {1, 0, "1 unknown"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszExpected);
    EXPECT_EQ(strDescribeVMCall(c.nCode, c.nArgument), c.pszExpected);
  }
}

TEST(CallNames, EveryCodeOfTheDriversEntryHasANameOfItsOwn) {
  const unsigned int kCodes[] = {
      MODULE_CODE_INIT,           MODULE_CODE_TERM,       MODULE_CODE_LOCALE_CHANGED,
      MODULE_CODE_LANGUAGE_CHANGED, MODULE_CODE_INIT_DINO_TYPES, MODULE_CODE_DUMP_MEMORY,
      MODULE_CODE_DEACTIVATE,     MODULE_CODE_REACTIVATE,
  };
  std::set<std::string> names;
  for (unsigned int nCode : kCodes) {
    SCOPED_TRACE(nCode);
    const std::string strName = pszModuleCodeName(nCode);
    EXPECT_NE(strName, kUnknownCallName);
    EXPECT_TRUE(names.insert(strName).second) << "shared with another code: " << strName;
  }
}

}  // namespace
