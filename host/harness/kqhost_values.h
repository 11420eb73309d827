// The language values and counted strings that kqhost hands to the driver
// and reads back: host code sees CAny and CXYString<wchar_t> only as
// pointers (include/ declares them, the framework defines them), so kqhost
// asks these hooks, which the program that links the framework defines
// (tests/host/kqhost_values.cc, linked into kqhost).
//
// The driver fills these objects with buffers of the server's string
// allocator; the hooks free them through the same allocator, which
// KqHostBindStringAllocator hands to the framework linked into kqhost.
//
// Ownership: each object made here is given back through its Delete.
// Threads: one thread (kqhost's).
#ifndef KQ230_HOST_HARNESS_KQHOST_VALUES_H_
#define KQ230_HOST_HARNESS_KQHOST_VALUES_H_

#include <string>

#include "kq230/host_services.h"

class CAny;
template <class T>
class CXYString;

// Binds (null: unbinds) the string allocator of the framework linked into
// kqhost. REQUIRES: bound while any value or string below holds a buffer.
void KqHostBindStringAllocator(IStrMemAlloc* piAllocator);

// An empty value; null when memory runs out.
CAny* KqHostNewValue();
void KqHostDeleteValue(CAny* pValue);
// The text of a value as UTF-8: true for a text value (NULL reads as
// "NULL"), false for a value of another type.
bool KqHostValueText(const CAny* pValue, std::string* pstrUtf8);

// An empty wide counted string; null when memory runs out.
CXYString<wchar_t>* KqHostNewWideString();
void KqHostDeleteWideString(CXYString<wchar_t>* pstr);
// Its text as UTF-8.
std::string KqHostWideStringText(const CXYString<wchar_t>* pstr);

#endif  // KQ230_HOST_HARNESS_KQHOST_VALUES_H_
