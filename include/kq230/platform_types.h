// Types shared by the driver and the application server across the library
// boundary. Both sides are 32-bit x86 Linux processes built with the GNU C
// library: pointers and ints are 4 bytes, wchar_t is a 4-byte code point.
#ifndef KQ230_PLATFORM_TYPES_H_
#define KQ230_PLATFORM_TYPES_H_

#include <cstdint>

// Library handles are what dlopen returns; the server's code calls them
// HINSTANCE, as on its other platforms.
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;

// Symbols that the server binds by name. Everything else stays hidden, and the
// link's version script keeps it so.
#define KQ_EXPORT extern "C" __attribute__((visibility("default")))

static_assert(sizeof(wchar_t) == 4, "wide characters are UTF-32 code units");

#endif  // KQ230_PLATFORM_TYPES_H_
