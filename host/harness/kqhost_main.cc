// kqhost: the stand-in application server on the command line. It loads
// kq230maria.so as the server does, starts it, reports what the driver
// offers, and stops it.
//
//   kqhost [path/to/kq230maria.so]
//
// Exit status 0 when the driver loaded, started and stopped.
#include <cstdio>
#include <string>

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

  if (!harness.nStart()) {
    std::fprintf(stderr, "kqhost: Execution(3985) refused the start\n");
    return 1;
  }
  std::printf("kqhost: started; the driver asked the server for: %s\n", harness.strLog().c_str());
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
  harness.nStop();
  std::printf("kqhost: stopped; %d of %zu entry points not offered yet\n", nMissing,
              sizeof kExports / sizeof kExports[0]);
  return 0;
}
