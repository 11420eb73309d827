// Numbered messages: every user-visible text of the driver is looked up by
// number, first through a string loader that the server may install, then in
// the driver's own packed message block.
//
// The packed block and its unpacker are not in this build yet: until they are,
// the lookups below answer "not found" (0 or -1) for every number, and the
// host loader is only stored.
//
// Threads: the loader pointer and the initialised flag are written at start,
// before any other call, and only read afterwards.
#ifndef KQ230_CORE_NUMBERED_MESSAGES_H_
#define KQ230_CORE_NUMBERED_MESSAGES_H_

#include "core/module_info.h"
#include "kq230/module_exports.h"

// The server's string loader, installed through CommandeComposante(2); null
// when the server installed none.
extern PFNLOADSTRINGKQM gpfnLoadStringKQM;

// The text of message nNumber into pszBuffer (nCapacity characters), always
// terminated when nCapacity > 0. Answers the number of characters, or 0 when
// the message is not found.
int DLLRES_nLoadString(const _stMyModuleInfo* pModule, unsigned int nNumber, wchar_t* pszBuffer,
                       int nCapacity);

// The usage value (0 to 3) of message nNumber in the packed block, or -1.
int DLLRES_nGetUtilisation(const _stMyModuleInfo* pModule, unsigned int nNumber);

// Set / clear the layer's initialised flag. DLLRES_bInit answers 1.
int DLLRES_bInit(HINSTANCE hModule, int nOption);
void DLLRES_Term();
int DLLRES_bIsInitialised();

#endif  // KQ230_CORE_NUMBERED_MESSAGES_H_
