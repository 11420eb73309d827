#include "core/numbered_messages.h"

PFNLOADSTRINGKQM gpfnLoadStringKQM = nullptr;

namespace {
int gbDllResInitialised = 0;
}  // namespace

int DLLRES_nLoadString(const _stMyModuleInfo*, unsigned int, wchar_t* pszBuffer, int nCapacity) {
  // No message block is linked in yet: every number is missing.
  if (pszBuffer != nullptr && nCapacity > 0) pszBuffer[0] = L'\0';
  return 0;
}

int DLLRES_nGetUtilisation(const _stMyModuleInfo*, unsigned int) { return -1; }

int DLLRES_bInit(HINSTANCE, int) {
  gbDllResInitialised = 1;
  return 1;
}

void DLLRES_Term() { gbDllResInitialised = 0; }

int DLLRES_bIsInitialised() { return gbDllResInitialised; }
