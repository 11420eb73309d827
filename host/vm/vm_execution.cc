// The stand-in virtual-machine library: its Execution entry, the services it
// lends, the log of calls and the control panel of standin_control.h.
//
// Where the real server would decide (product values, which thread is the
// main one, what code 3052 does), the stand-in answers fixed values and logs
// the call, so that tests can assert what the library asked for and in which
// order.
#include <cstdint>
#include <mutex>
#include <vector>

#include "host/vm/database_engine.h"
#include "host/vm/decimal_factory.h"
#include "host/vm/locale_info.h"
#include "host/vm/standin_control.h"
#include "host/vm/standin_services.h"
#include "host/vm/str_mem_alloc.h"
#include "host/vm/vm_calc_entries.h"
#include "host/vm/vm_conversion_entries.h"

namespace {

class CStandInFactory final : public IGlobalFactory {
 public:
  int vnGetLevel() override { return m_nLevel; }
  int m_nLevel = 0;
};

class CStandInLibShop final : public ILibShop {
 public:
  int vnGetVersionLibShop() override { return 1; }
};

struct StandInState {
  std::mutex mutex;
  std::vector<std::pair<int, intptr_t>> log;
  bool available[32];
  int nMultithread = 1;
  int nTopology = 0;          // opaque services: only their address matters
  int nComponentInfo = 0;
  CStandInFactory factory;
  CStandInLibShop libShop[2];
  CStandInInfoLocale locale[2];
  CStandInStrMemAlloc allocator;

  StandInState() { ResetSettings(); }
  void ResetSettings() {
    for (bool& b : available) b = true;
    factory.m_nLevel = 0;
    for (auto& l : locale) l.SetCurrentCodePage(1252);
  }
};

// Never destroyed: the driver may release strings while the process exits,
// after static destructors would have run.
StandInState& State() {
  static StandInState* pState = new StandInState();
  return *pState;
}
// Made when the library loads, so that a program that loads the stand-in
// before main counts it in its start, not against the first test.
[[maybe_unused]] const bool gbStateMadeAtLoad = (State(), true);

intptr_t Service(StandInState& s, int nService) {
  if (nService <= 0 || nService >= 32 || !s.available[nService]) return 0;
  switch (nService) {
    case SERVICE_PRODUCT_CODE: return kStandInProductCode;
    case SERVICE_INTERNAL_LANGUAGE: return kStandInLanguage;
    case SERVICE_PRODUCT_NAME: return reinterpret_cast<intptr_t>(kStandInProductName);
    case SERVICE_OPTIONS: return kStandInOptions;
    case SERVICE_REAL_PRODUCT_CODE: return kStandInRealProductCode;
    case SERVICE_DOTNET: return 0;
    case SERVICE_LIB_SHOP: return reinterpret_cast<intptr_t>(static_cast<ILibShop*>(&s.libShop[0]));
    case SERVICE_ACTIVE_VERSION: return kStandInActiveVersion;
    case SERVICE_GLOBAL_FACTORY:
      return reinterpret_cast<intptr_t>(static_cast<IGlobalFactory*>(&s.factory));
    case SERVICE_TOPOLOGY: return reinterpret_cast<intptr_t>(&s.nTopology);
    case SERVICE_SMARTPHONE: return 0;
    case SERVICE_LOCALE: return reinterpret_cast<intptr_t>(static_cast<IInfoLocale*>(&s.locale[0]));
    case SERVICE_STR_MEM_ALLOC:
      return reinterpret_cast<intptr_t>(static_cast<IStrMemAlloc*>(&s.allocator));
    case SERVICE_MULTITHREAD_FLAG: return reinterpret_cast<intptr_t>(&s.nMultithread);
    case SERVICE_COMPONENT_INFO: return reinterpret_cast<intptr_t>(&s.nComponentInfo);
    case SERVICE_MAIN_THREAD_ID: return kStandInMainThreadId;
    default: return 0;
  }
}

void Reset() {
  StandInState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::vector<std::pair<int, intptr_t>>().swap(s.log);  // give the memory back too
  s.ResetSettings();
  s.allocator.Reset();
  standin_values::StandInResetDecimalSettings();
  standin_values::StandInResetConversionSettings();
  standin_values::StandInResetCalcSettings();
}

int nGetLogCount() {
  StandInState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return static_cast<int>(s.log.size());
}

int bGetLogEntry(int nIndex, int* pnCode, intptr_t* pnArgument) {
  StandInState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (nIndex < 0 || static_cast<size_t>(nIndex) >= s.log.size()) return 0;
  if (pnCode) *pnCode = s.log[nIndex].first;
  if (pnArgument) *pnArgument = s.log[nIndex].second;
  return 1;
}

void SetServiceAvailable(int nService, int bAvailable) {
  StandInState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (nService > 0 && nService < 32) s.available[nService] = bAvailable != 0;
}

void SetFactoryLevel(int nLevel) { State().factory.m_nLevel = nLevel; }

void SetCurrentCodePage(int nCodePage) {
  for (auto& l : State().locale) l.SetCurrentCodePage(nCodePage);
}

IStrMemAlloc* piGetStrMemAlloc() { return &State().allocator; }
IInfoLocale* piGetInfoLocale(int nWhich) { return &State().locale[nWhich == 1 ? 1 : 0]; }
ILibShop* piGetLibShop(int nWhich) { return &State().libShop[nWhich == 1 ? 1 : 0]; }
int nLiveStrBuffers() { return State().allocator.nLive(); }
int nStrAllocations() { return State().allocator.nAllocations(); }
int nBadStrReleases() { return State().allocator.nBadReleases(); }
void FailStrAllocationAt(int n) { State().allocator.FailAllocationAt(n); }

const _stStandInControl gstControl = {
    Reset,          nGetLogCount,       bGetLogEntry,   SetServiceAvailable,
    SetFactoryLevel, SetCurrentCodePage, piGetStrMemAlloc, piGetInfoLocale,
    piGetLibShop,   nLiveStrBuffers,    nStrAllocations, nBadStrReleases,
    FailStrAllocationAt,
    standin_values::StandInLiveDecimals,
    standin_values::StandInLiveConversionStrings,
    standin_values::StandInConversionCalls,
    standin_values::StandInFinConversionCalls,
    standin_values::StandInCalcCalls,
    standin_values::StandInForceNextConversionResult,
    standin_values::StandInForceNextCalcResult,
    standin_values::StandInFailDecimalCreateAt,
    standin_zb::StandInZBForNA,
};

}  // namespace

namespace standin_values {
IStrMemAlloc* StandInStrAllocator() { return &State().allocator; }
IInfoLocale* StandInInfoLocale() { return &State().locale[0]; }
}  // namespace standin_values

// The entry that the driver finds with dlsym(handle, "Execution").
KQ_EXPORT intptr_t Execution(int nCode, intptr_t nArgument) {
  StandInState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.log.emplace_back(nCode, nArgument);
  switch (nCode) {
    case VM_CODE_SERVICE:
      return Service(s, static_cast<int>(nArgument));
    case VM_CODE_LIBRARY_END:
    case VM_CODE_THREAD_BEGIN:
    case VM_CODE_THREAD_END:
      return 1;
    case VM_CODE_NATIVE_STACK: {
      // A fixed text stands for the server's call stack.
      auto* pst = reinterpret_cast<_stNativeStackRequest*>(nArgument);
      if (pst == nullptr || pst->pszBuffer == nullptr || pst->nCapacity <= 0) return 0;
      const wchar_t kStack[] = L"standin!frame";
      int i = 0;
      for (; i + 1 < pst->nCapacity && kStack[i] != L'\0'; ++i) pst->pszBuffer[i] = kStack[i];
      pst->pszBuffer[i] = L'\0';
      return 1;
    }
    default:
      return 0;
  }
}

KQ_EXPORT const _stStandInControl* StandIn_pGetControl() { return &gstControl; }
