// kqhost: the stand-in application server on the command line. It loads
// kq230maria.so as the server does, starts it, reports what the driver
// offers, and stops it. Each call between the two sides is printed with its
// number and its name (host/harness/call_names.h).
//
//   kqhost [path/to/kq230maria.so]
//
// Exit status 0 when the driver loaded, started and stopped.
#include <cstdio>
#include <string>

#include "host/harness/call_names.h"
#include "host/harness/host_harness.h"

namespace {

// Every name the server binds in a native-access driver.
const char* const kExports[] = {
    "bExternalInitLibrary", "ExternalTermLibrary", "piQueryInterface", "CheckVersion",
    "bDLLCompatible",       "Execution",           "CommandeComposante",
    "DLLRES_pLoadResourceModule", "bInitVXConvFromVM", "bInitVXCalcFromVM",
    "STRG_pszCreate",       "STRG_nGetChar",       "STRG_nGetLine",
};

// The interface version and compatibility level of the value entries that
// the stand-in announces.
constexpr int kValueInterfaceVersion = 2;

// The out-of-memory message: every driver has it.
constexpr unsigned int kSampleMessage = 25193;

// Prints the calls the stand-in logged from entry nFrom on, one a line, and
// answers the count logged so far.
int PrintCallsSince(const CHostHarness& harness, int nFrom) {
  const int nCount = harness.Control().nGetLogCount();
  if (nFrom >= nCount) std::printf("  (nothing)\n");
  for (int i = nFrom; i < nCount; ++i) {
    int nCode = 0;
    intptr_t nArgument = 0;
    if (harness.Control().bGetLogEntry(i, &nCode, &nArgument))
      std::printf("  %s\n", strDescribeVMCall(nCode, nArgument).c_str());
  }
  return nCount;
}

}  // namespace

int main(int argc, char** argv) {
  CHostHarness harness;
  std::string strError;
  if (!harness.bLoad(&strError, argc > 1 ? argv[1] : nullptr)) {
    std::fprintf(stderr, "kqhost: %s\n", strError.c_str());
    return 1;
  }
  std::printf("kqhost: loaded %s\n", argc > 1 ? argv[1] : CHostHarness::pszDefaultDriverPath());
  int nMissing = 0;
  for (const char* pszName : kExports) {
    const bool bHere = harness.pSymbol(pszName) != nullptr;
    nMissing += !bHere;
    std::printf("  %-28s %s\n", pszName, bHere ? "exported" : "not yet");
  }

  const int nStarted = harness.nStart();
  if (!nStarted) {
    std::fprintf(stderr, "kqhost: Execution(%u, %s) refused the start\n", MODULE_CODE_INIT,
                 pszModuleCodeName(MODULE_CODE_INIT));
    return 1;
  }
  std::printf("kqhost: Execution(%u, %s) answers %d; the driver asked the server for:\n",
              MODULE_CODE_INIT, pszModuleCodeName(MODULE_CODE_INIT), nStarted);
  int nLogged = PrintCallsSince(harness, 0);
  // A numbered message, asked for as the server asks for one.
  wchar_t szMessage[256];
  _stLoadStringRequest stRequest = {sizeof stRequest, kSampleMessage, szMessage, 256, 0};
  if (harness.nCommandeComposante(COMPONENT_LOAD_STRING, &stRequest) > 0) {
    std::string strMessage;
    for (const wchar_t* p = szMessage; *p; ++p) strMessage += *p < 128 ? static_cast<char>(*p) : '?';
    std::printf("kqhost: message %u reads \"%s\"\n", kSampleMessage, strMessage.c_str());
  } else {
    std::printf("kqhost: message %u not found\n", kSampleMessage);
  }
  // The server hands its value entries to the driver right after the start:
  // conversions and the decimal factory, then comparison and arithmetic.
  typedef int (*PFNBINDVALUES)(void* hLibrary, int nVersion, int nCompat);
  const char* const kBindings[] = {"bInitVXConvFromVM", "bInitVXCalcFromVM"};
  for (const char* pszName : kBindings) {
    auto pfnBind = reinterpret_cast<PFNBINDVALUES>(harness.pSymbol(pszName));
    if (pfnBind == nullptr) continue;
    std::printf("kqhost: %s(version 2, compatibility 2) answers %d\n", pszName,
                pfnBind(harness.hVM(), kValueInterfaceVersion, kValueInterfaceVersion));
  }
  std::printf("kqhost: counted string buffers live: %d\n", harness.Control().nLiveStrBuffers());
  const int nStopped = harness.nStop();
  std::printf("kqhost: Execution(%u, %s) answers %d; the driver asked the server for:\n",
              MODULE_CODE_TERM, pszModuleCodeName(MODULE_CODE_TERM), nStopped);
  nLogged = PrintCallsSince(harness, nLogged);
  std::printf("kqhost: stopped; %d of %zu entry points not offered yet\n", nMissing,
              sizeof kExports / sizeof kExports[0]);
  return 0;
}

// In a sanitized build run under qemu's user-mode emulator, LeakSanitizer
// cannot stop the world (it needs ptrace) and would hang the program at exit;
// the tests check leaks their own way there (tests/support/leak_check.h).
#ifdef KQ_NO_LEAK_SANITIZER
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
  return "detect_leaks=0";
}
#endif
