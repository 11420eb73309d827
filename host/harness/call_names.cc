#include "host/harness/call_names.h"

#include <span>

#include "kq230/host_services.h"
#include "kq230/module_exports.h"

namespace {

struct CodeName {
  int nCode;
  const char* pszName;
};

const CodeName kModuleCodes[] = {
    {MODULE_CODE_INIT, "start: bind services"},
    {MODULE_CODE_TERM, "stop: end the binding, counted"},
    {MODULE_CODE_LOCALE_CHANGED, "the locale service changes (ms_piInfoLocale)"},
    {MODULE_CODE_LANGUAGE_CHANGED, "the language changes (vChangeLangue)"},
    {MODULE_CODE_INIT_DINO_TYPES, "initialise the language types (vbInitialiseTypeDINO)"},
    {MODULE_CODE_DUMP_MEMORY, "dump memory (vbDumpMemoire)"},
    {MODULE_CODE_DEACTIVATE, "the application is deactivated (vDesactiveApplication)"},
    {MODULE_CODE_REACTIVATE, "the application is reactivated (vReactiveApplication)"},
};

const CodeName kVMCodes[] = {
    {VM_CODE_SERVICE, "service"},
    {VM_CODE_LIBRARY_END, "the library ends (s_TermineDLL, s_DechargeDLL)"},
    {VM_CODE_THREAD_BEGIN, "a thread begins its use of the library (s_DebutThread)"},
    {VM_CODE_THREAD_END, "a thread ends its use of the library (s_FinThread)"},
    {VM_CODE_NATIVE_STACK, "native call-stack text (s_bRemplitPileC)"},
};

// The server's word for each service, then where the framework keeps the
// answer, or the static that asks for it when nothing keeps it.
const CodeName kServices[] = {
    {SERVICE_PRODUCT_CODE, "execution product code (ms_nCodeProduitExecution)"},
    {SERVICE_INTERNAL_LANGUAGE, "internal language (ms_nLangueInterne)"},
    {SERVICE_PRODUCT_NAME, "product name (ms_pszNomProduit)"},
    {SERVICE_OPTIONS, "options (ms_dwOptions)"},
    {SERVICE_REAL_PRODUCT_CODE, "real product code (ms_nCodeProduitReel)"},
    {SERVICE_DOTNET, "flag: .NET in use (_bUtiliseNET)"},
    {SERVICE_LIB_SHOP, "library shop ILibShop (ms_piLibShop)"},
    {SERVICE_ACTIVE_VERSION, "active version (ms_dwVersionActive)"},
    {SERVICE_GLOBAL_FACTORY, "global factory (ms_piGlobalFactory)"},
    {SERVICE_TOPOLOGY, "topology collector (ms_piCollecteurTopo)"},
    {SERVICE_SMARTPHONE, "smartphone mode (s_eGetModeSmartphone)"},
    {SERVICE_LOCALE, "locale service IInfoLocale (ms_piInfoLocale)"},
    {SERVICE_STR_MEM_ALLOC, "string allocator IStrMemAlloc (ms_piStrMemAlloc)"},
    {SERVICE_MULTITHREAD_FLAG, "multithread flag (ms_pbMultithread)"},
    {SERVICE_COMPONENT_INFO, "component information (ms_piInformationComposante)"},
    {SERVICE_MAIN_THREAD_ID, "main thread id (ms_IDThreadPrincipal)"},
};

const char* pszFind(std::span<const CodeName> table, long long nCode) {
  for (const CodeName& row : table)
    if (row.nCode == nCode) return row.pszName;
  return kUnknownCallName;
}

}  // namespace

const char* pszModuleCodeName(unsigned int nCode) { return pszFind(kModuleCodes, nCode); }

const char* pszVMCodeName(int nCode) { return pszFind(kVMCodes, nCode); }

const char* pszServiceName(int nService) { return pszFind(kServices, nService); }

std::string strDescribeVMCall(int nCode, intptr_t nArgument) {
  std::string str = std::to_string(nCode);
  if (nCode == VM_CODE_SERVICE) {
    // The argument is a service number only when it fits one; anything else
    // is shown as it came, so a stray pointer is not read as a service.
    str += ':' + std::to_string(nArgument) + ' ';
    str += nArgument >= 0 && nArgument <= 0xFFFF ? pszServiceName(static_cast<int>(nArgument))
                                                 : kUnknownCallName;
    return str;
  }
  return str + ' ' + pszVMCodeName(nCode);
}
