// The probe's command-writing commands (see sqlprobe.cc for the line format):
//
//   where<TAB>table<TAB>column<TAB>eq|begins<TAB>language type<TAB>value
//     The formatted text (every value class written out) of the statement
//     SELECT column FROM table WHERE ... as a command of the probe's
//     connection writes it: both names through the command's name writers,
//     the value as a parameter of that language type at its place. "eq"
//     compares with "="; "begins" escapes the value as a literal match
//     (bEscapeLIKEParamAsZBParam, backslash), appends "%" and binds it as a
//     LIKE parameter, which the command writes with its own ESCAPE clause.
//     "begins" takes the text types only.
//   name<TAB>table|item<TAB>name
//     The name as the command's table-name or item-name writer quotes it.
//
// A name holding NUL is refused by the probe (ERR 0): the command takes
// names as terminated texts, and cutting one at its NUL would name another
// object. A value keeps its NULs.
//
// Ownership: nothing kept between commands. Threads: the probe's one thread.
#ifndef KQ230_TESTS_TOOLS_SQLPROBE_COMMAND_H_
#define KQ230_TESTS_TOOLS_SQLPROBE_COMMAND_H_

#include <string>
#include <vector>

#include "tests/tools/sqlprobe_fields.h"

class CNAConnectionDescription;

namespace sqlprobe {

// Whether the command name is "where" or "name".
bool bIsCommandWriterCommand(const std::string& name);

// Runs "where" or "name" on the fields of one line (the command first).
// REQUIRES: pclConnection is open; bIsCommandWriterCommand(fields[0]); the
// driver object exists (the command makes its parameters through it).
Answer RunCommandWriterCommand(CNAConnectionDescription* pclConnection,
                              const std::vector<std::string>& fields);

}  // namespace sqlprobe

#endif  // KQ230_TESTS_TOOLS_SQLPROBE_COMMAND_H_
