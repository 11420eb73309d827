// The probe's automatic-identifier command (see sqlprobe.cc for the line
// format):
//
//   autoid<TAB>physical table<TAB>column
//     The next value and the current maximum of the column as the automatic
//     identifier of the table (CNAIDAuto::bGetNextValue and
//     bGetMaxCurrentValue): a data access made by the driver over a
//     description of the table holding the column as automatic identifier,
//     its record laid out from that description without reading the table,
//     so that a table or column the server lacks fails in the identifier's
//     own query. Result: the next value, TAB, the current maximum or NULL.
//
// Refused by the probe (ERR 0): a wrong number of fields, names that are
// empty, not UTF-8 or hold NUL. The driver's refusals keep its user error
// number and its user messages (a next value that fails names the table
// and the column first).
//
// Ownership: nothing kept between commands. Threads: the probe's one thread.
#ifndef KQ230_TESTS_TOOLS_SQLPROBE_AUTOID_H_
#define KQ230_TESTS_TOOLS_SQLPROBE_AUTOID_H_

#include <string>
#include <vector>

#include "tests/tools/sqlprobe_fields.h"

class CNAConnectionDescription;

namespace sqlprobe {

// Whether the command name is "autoid".
bool bIsAutoIdCommand(const std::string& name);

// Runs "autoid" on the fields of one line (the command first).
// REQUIRES: pclConnection is open; bIsAutoIdCommand(fields[0]); the driver
// object exists (it makes the data access, the statements and the
// identifier's object).
Answer RunAutoIdCommand(CNAConnectionDescription* pclConnection,
                        const std::vector<std::string>& fields);

}  // namespace sqlprobe

#endif  // KQ230_TESTS_TOOLS_SQLPROBE_AUTOID_H_
