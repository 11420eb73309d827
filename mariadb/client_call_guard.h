// bGuarded: runs a few calls into the loaded client library and catches what
// they may throw. A client entry that the library did not export is bound to
// a stand-by that throws its name as a CTString; anything else thrown through
// the library is a fault. The connection and the statement wrap this in
// their own macros, which report either on their error object.
//
// Ownership: the caller keeps the caught name (no thread-local text, whose
// destructor would keep the library loaded for as long as the thread lives).
// Threads: none of its own.
#ifndef KQ230_MARIADB_CLIENT_CALL_GUARD_H_
#define KQ230_MARIADB_CLIENT_CALL_GUARD_H_

#include <optional>

#include "core/wide_string.h"

namespace kqmariadb {

// Runs fn: true when it returned; false with *pcsStandBy and *pbStandBy set
// for a stand-by entry, or *pbFault set for any other exception. The name is
// made only when one is caught: a guarded call runs per fetched row.
template <class Fn>
bool bGuarded(Fn fn, std::optional<CTString>* pcsStandBy, bool* pbStandBy, bool* pbFault) {
  try {
    fn();
    return true;
  } catch (const CTString& csName) {
    pcsStandBy->emplace(csName);
    *pbStandBy = true;
  } catch (...) {
    *pbFault = true;
  }
  return false;
}

}  // namespace kqmariadb

#endif  // KQ230_MARIADB_CLIENT_CALL_GUARD_H_
