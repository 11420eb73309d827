// The stand-in's own services as its value entries reach them: the counted
// string allocator and the locale that the control panel also lends out
// (vm_execution.cc owns both).
//
// Ownership: process-wide objects that are never destroyed.
// Threads: both objects are safe to call from any thread.
#ifndef KQ230_HOST_VM_STANDIN_SERVICES_H_
#define KQ230_HOST_VM_STANDIN_SERVICES_H_

#include "kq230/host_services.h"

namespace standin_values {

IStrMemAlloc* StandInStrAllocator();
// The locale that service 12 answers; its current code page is the one of
// 8-bit texts whose code-page information is absent or -1.
IInfoLocale* StandInInfoLocale();

}  // namespace standin_values

#endif  // KQ230_HOST_VM_STANDIN_SERVICES_H_
