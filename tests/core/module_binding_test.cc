// What the binding stores, checked in process: the framework is linked into
// this test and started against the stand-in virtual machine.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cwchar>

#include "core/memory_recycler.h"
#include "core/module_entry.h"
#include "core/numbered_messages.h"
#include "host/harness/host_harness.h"

namespace {

class ModuleBinding : public testing::Test {
 protected:
  void SetUp() override {
    m_hVM = dlopen(CHostHarness::pszDefaultVMPath(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_hVM, nullptr) << dlerror();
    auto pfn = reinterpret_cast<PFNSTANDINGETCONTROL>(dlsym(m_hVM, "StandIn_pGetControl"));
    ASSERT_NE(pfn, nullptr);
    m_pControl = pfn();
    m_pControl->Reset();
  }
  void TearDown() override {
    for (int i = 0; i < 8; ++i) ModuleEntry_nExecution(4875, nullptr);
    CBaseExecutionDLL::s_TermineMoiMeme();
    CInformationDLL::_s_ResetServices();
    if (m_hVM) dlclose(m_hVM);
  }
  int Start(ILibShop* piLibShop = nullptr) {
    _stModuleInitRecord stRecord = {sizeof stRecord, static_cast<HINSTANCE>(m_hVM), 3, 4,
                                    piLibShop};
    return ModuleEntry_nExecution(3985, &stRecord);
  }

  void* m_hVM = nullptr;
  const _stStandInControl* m_pControl = nullptr;
};

TEST_F(ModuleBinding, StoresTheServersServicesAndProductValues) {
  ASSERT_EQ(Start(), 1);
  EXPECT_EQ(CInformationModule::ms_piStrMemAlloc, m_pControl->piGetStrMemAlloc());
  EXPECT_EQ(CInformationDLL::ms_piInfoLocale, m_pControl->piGetInfoLocale(0));
  EXPECT_EQ(CInformationDLL::ms_piLibShop, m_pControl->piGetLibShop(0));
  ASSERT_NE(CInformationDLL::ms_piGlobalFactory, nullptr);
  ASSERT_NE(CInformationDLL::ms_pbMultithread, nullptr);
  EXPECT_EQ(*CInformationDLL::ms_pbMultithread, 1);
  EXPECT_NE(CInformationDLL::ms_piCollecteurTopo, nullptr);
  EXPECT_NE(CInformationDLL::ms_piInformationComposante, nullptr);
  EXPECT_EQ(CInformationDLL::ms_IDThreadPrincipal, kStandInMainThreadId);
  EXPECT_EQ(CInformationDLL::ms_nCodeProduitExecution, kStandInProductCode);
  EXPECT_EQ(CInformationDLL::ms_nCodeProduitReel, kStandInRealProductCode);
  EXPECT_EQ(CInformationDLL::ms_nLangueInterne, kStandInLanguage);
  EXPECT_STREQ(CInformationDLL::ms_pszNomProduit, kStandInProductName);
  EXPECT_EQ(CInformationDLL::ms_dwOptions, kStandInOptions);
  EXPECT_EQ(CInformationDLL::ms_dwVersionActive, kStandInActiveVersion);
  EXPECT_EQ(CBaseExecutionDLL::s_hGetHinstanceVM(), m_hVM);
}

TEST_F(ModuleBinding, KeepsTheLibraryShopOfTheRecord) {
  ASSERT_EQ(Start(m_pControl->piGetLibShop(1)), 1);
  EXPECT_EQ(CInformationDLL::ms_piLibShop, m_pControl->piGetLibShop(1));
}

TEST_F(ModuleBinding, TheActiveVersionOnlyGrows) {
  CInformationDLL::ms_dwVersionActive = 30;
  ASSERT_EQ(Start(), 1);
  EXPECT_EQ(CInformationDLL::ms_dwVersionActive, 30u);
}

TEST_F(ModuleBinding, ALocaleChangeSwapsTheLocaleService) {
  ASSERT_EQ(Start(), 1);
  IInfoLocale* piOther = m_pControl->piGetInfoLocale(1);
  EXPECT_EQ(ModuleEntry_nExecution(4878, piOther), 1);
  EXPECT_EQ(CInformationDLL::ms_piInfoLocale, piOther);
}

TEST_F(ModuleBinding, AFailedStartLeavesNoServiceBehind) {
  m_pControl->SetServiceAvailable(13, 0);
  EXPECT_EQ(Start(), 0);
  EXPECT_EQ(gpclExecutionDLL76, nullptr);
  EXPECT_EQ(CInformationDLL::ms_piInfoLocale, nullptr);
  EXPECT_EQ(CInformationDLL::ms_piGlobalFactory, nullptr);
}

TEST_F(ModuleBinding, TheLastStopEmptiesTheMemoryRecyclers) {
  CRecycleurMemoire recycler(32);
  recycler.Recycle(recycler.pNew());
  ASSERT_EQ(Start(), 1);
  ModuleEntry_nExecution(4875, nullptr);
  EXPECT_EQ(recycler.nGetCachedCount(), 0);
}

TEST_F(ModuleBinding, StaticsTalkToTheVirtualMachineOnlyWhileBound) {
  EXPECT_EQ(CBaseExecutionDLL::s_DebutThread(), 0);
  EXPECT_EQ(m_pControl->nGetLogCount(), 0);
  ASSERT_EQ(Start(), 1);
  m_pControl->Reset();
  EXPECT_EQ(CBaseExecutionDLL::s_DebutThread(), 1);
  EXPECT_EQ(CBaseExecutionDLL::s_FinThread(), 1);
  wchar_t szStack[8];
  EXPECT_TRUE(CBaseExecutionDLL::s_bRemplitPileC(1, szStack, 8, 0));
  EXPECT_STREQ(szStack, L"standin");
  CBaseExecutionDLL::s_eGetModeSmartphone();
  CBaseExecutionDLL::_bUtiliseNET();
  int nCode;
  intptr_t nArgument;
  const int expected[][2] = {{3645, 0}, {3795, 0}, {3053, 11}, {3053, 6}};
  ASSERT_EQ(m_pControl->nGetLogCount(), 5);
  ASSERT_TRUE(m_pControl->bGetLogEntry(2, &nCode, &nArgument));
  EXPECT_EQ(nCode, 3184);
  for (int i = 0; i < 4; ++i) {
    m_pControl->bGetLogEntry(i < 2 ? i : i + 1, &nCode, &nArgument);
    EXPECT_EQ(nCode, expected[i][0]);
    EXPECT_EQ(nArgument, expected[i][1]);
  }
}

TEST_F(ModuleBinding, CommonTermTellsTheServerOnlyWhenTheServerStartedUs) {
  ASSERT_EQ(CMainCommun76::bInitLibraryCommon(reinterpret_cast<HINSTANCE>(m_hVM)), 1);
  EXPECT_EQ(CMainCommun76::bInitLibraryCommon(nullptr), 1);  // idempotent
  EXPECT_EQ(CMainCommun76::ghModule, m_hVM);
  EXPECT_TRUE(DLLRES_bIsInitialised());
  ASSERT_EQ(Start(), 1);
  m_pControl->Reset();
  EXPECT_EQ(CMainCommun76::bTermLibraryCommon(), 1);
  EXPECT_EQ(gpclExecutionDLL76, nullptr);
  EXPECT_FALSE(DLLRES_bIsInitialised());
  int nCode;
  ASSERT_EQ(m_pControl->nGetLogCount(), 1);
  m_pControl->bGetLogEntry(0, &nCode, nullptr);
  EXPECT_EQ(nCode, 3052);
  EXPECT_EQ(CMainCommun76::bTermLibraryCommon(), 1);  // idempotent
}

TEST_F(ModuleBinding, ALibraryThatStartedItselfEndsWithoutTellingTheServer) {
  ASSERT_EQ(CBaseExecutionDLL::s_bInitialiseMoiMeme(reinterpret_cast<HINSTANCE>(m_hVM)), 1);
  EXPECT_EQ(CBaseExecutionDLL::s_bInitialiseMoiMeme(nullptr), 1);  // already there
  m_pControl->Reset();
  CBaseExecutionDLL::s_TermineDLL();
  EXPECT_EQ(CBaseExecutionDLL::s_DechargeDLL(), 0);
  EXPECT_EQ(m_pControl->nGetLogCount(), 0);
  CBaseExecutionDLL::s_TermineMoiMeme();
  EXPECT_EQ(gpclExecutionDLL76, nullptr);
}

}  // namespace
