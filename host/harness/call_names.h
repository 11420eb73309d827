// Names of the codes that pass between the application server and the driver,
// so that kqhost's report reads "3053:13 string allocator IStrMemAlloc" rather
// than bare numbers.
//
// Three families: the codes of the driver's own Execution entry (what the
// server asks of the library), the codes the driver sends to the virtual
// machine's Execution, and the service numbers of the virtual machine's code
// 3053. Each name is the server's word for the code, followed by the place
// where the driver keeps or handles the answer, in the framework's own names
// (ms_piStrMemAlloc, vChangeLangue, ...).
//
// Ownership: every answer is a static text; the caller frees nothing.
// Threads: no state; any thread may call at any time.
#ifndef KQ230_HOST_HARNESS_CALL_NAMES_H_
#define KQ230_HOST_HARNESS_CALL_NAMES_H_

#include <cstdint>
#include <string>

// The text that every function below answers for a code it does not know.
inline constexpr const char* kUnknownCallName = "unknown";

// A code of the driver's Execution entry (3985 "start: bind services", ...).
const char* pszModuleCodeName(unsigned int nCode);

// A code that the driver sends to the virtual machine's Execution (3053
// "service", 3052 "the library ends", ...).
const char* pszVMCodeName(int nCode);

// A service number of the virtual machine's code 3053 (13 "string allocator
// IStrMemAlloc (ms_piStrMemAlloc)", ...).
const char* pszServiceName(int nService);

// One call that the stand-in logged, as kqhost prints it: "3053:13 string
// allocator IStrMemAlloc (ms_piStrMemAlloc)" for a service, "3052 the library
// ends (s_TermineDLL, s_DechargeDLL)" for any other code.
std::string strDescribeVMCall(int nCode, intptr_t nArgument);

#endif  // KQ230_HOST_HARNESS_CALL_NAMES_H_
