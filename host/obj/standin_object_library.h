// The stand-in server's object library (kq230obj.so): our own replacement for
// the server's library, with only the entry the driver calls,
// "MessageBox_QT_W" (include/kq230/object_library.h).
//
// Choices of the stand-in (the real library shows a window; this one shows
// nothing): each call is recorded (window handle, copies of text and caption,
// type) and answered with the answer set by the test, IDOK (1) until one is
// set; an answer of -1 plays a library that could not show a box. Tests bind
// the control entries below with dlsym.
//
// Threads: the record is guarded by a mutex.
#ifndef KQ230_HOST_OBJ_STANDIN_OBJECT_LIBRARY_H_
#define KQ230_HOST_OBJ_STANDIN_OBJECT_LIBRARY_H_

#include "kq230/object_library.h"

// "StandInObj_SetAnswer": the answer of the next calls of MessageBox_QT_W.
typedef void (*PFNSTANDINOBJSETANSWER)(int nAnswer);
// "StandInObj_nCalls": calls received since the library was loaded or reset.
typedef int (*PFNSTANDINOBJNCALLS)();
// "StandInObj_bGetLastCall": the last call's arguments (texts owned by the
// library, valid until the next call or reset); 0 when there was none.
typedef int (*PFNSTANDINOBJGETLASTCALL)(HWND__** phWnd, const wchar_t** ppszText,
                                        const wchar_t** ppszCaption, unsigned int* pnType);
// "StandInObj_Reset": no calls, answer IDOK.
typedef void (*PFNSTANDINOBJRESET)();

#endif  // KQ230_HOST_OBJ_STANDIN_OBJECT_LIBRARY_H_
