// The stand-in server's database-engine interface (IZBForNA) and its
// text-sorting service (IZBTextSort).
//
// The sort form the stand-in writes: the text as UTF-16, each character
// mapped on its own by the stand-in locale's tables (host/vm/locale_tables.h)
// under the three switches:
//   bIgnorePunct   white space and punctuation are dropped;
//   bIgnoreAccent  letters lose their diacritics (é -> e, Ø -> O);
//   bIgnoreCase    letters become upper case (simple, one-for-one mappings:
//                  ß stays ß, so a character never grows into two).
// A surrogate pair in a UTF-16 source is one character; a lone surrogate and
// a UTF-32 value that is no scalar value (a surrogate, or above U+10FFFF) is
// written as U+FFFD. A zero character ends the text. Only whole characters
// are written: a pair never loses its second half to the end of the key.
//
// Ownership: one process-wide object, never destroyed (the driver may hold the
// pointer until the process ends).
// Threads: no state; any number of threads may call it at once.
#ifndef KQ230_HOST_VM_DATABASE_ENGINE_H_
#define KQ230_HOST_VM_DATABASE_ENGINE_H_

#include "kq230/zb_for_na.h"

namespace standin_zb {

// The stand-in's IZBForNA; its seventh operation answers the text-sorting
// service described above.
IZBForNA* StandInZBForNA();

}  // namespace standin_zb

#endif  // KQ230_HOST_VM_DATABASE_ENGINE_H_
