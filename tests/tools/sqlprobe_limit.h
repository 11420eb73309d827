// The probe's row-limit commands (see sqlprobe.cc for the line format):
//
//   limit<TAB>row limit<TAB>row offset<TAB>text
//     The formatted text of a SELECT command of the probe's connection that
//     holds the text, with that row limit and row offset (64-bit decimals;
//     -1: none).
//   limited<TAB>text
//     1 when the text is a SELECT that limits its rows itself, else 0.
//
// Ownership: nothing kept between commands. Threads: the probe's one thread.
#ifndef KQ230_TESTS_TOOLS_SQLPROBE_LIMIT_H_
#define KQ230_TESTS_TOOLS_SQLPROBE_LIMIT_H_

#include <string>
#include <vector>

#include "tests/tools/sqlprobe_fields.h"

class CNAConnectionDescription;

namespace sqlprobe {

// Whether the command name is one of the two.
bool bIsLimitCommand(const std::string& name);

// Runs "limit" or "limited" on the fields of one line (the command first).
// REQUIRES: pclConnection is open; bIsLimitCommand(fields[0]).
Answer RunLimitCommand(CNAConnectionDescription* pclConnection,
                       const std::vector<std::string>& fields);

}  // namespace sqlprobe

#endif  // KQ230_TESTS_TOOLS_SQLPROBE_LIMIT_H_
