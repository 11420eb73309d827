// The probe's search command (see sqlprobe.cc for the line format):
//
//   search<TAB>table<TAB>column<TAB>item type<TAB>item size<TAB>kind<TAB>value[<TAB>value2]
//     The formatted text (every value class written out) of the statement
//     SELECT column FROM table WHERE condition, where the condition is what a
//     record search (CNARecherche::bGetSQL) writes over a record of one
//     nullable item that is no key, of that item type and size, in the
//     stand-in's analysis of a file named table. Both names go through the
//     command's name writers. Kinds:
//       eq      an exact search of the item for the value;
//       begins  a generic search (the item begins with the value);
//       next    the forward continuation of an exact search
//               (bSetContinueParcours(NA_PARSE_FIRST)): the rows after it;
//       prev    the backward one (bSetContinueParcours(NA_PARSE_LAST));
//       filter  the item from value to value2, both included
//               (CNAFilter::bSetFilter), the filter active, written by a
//               search that is inactive, as a browse with no search of its
//               own is.
//     A condition that writes nothing (a filter whose bounds are both the
//     type's extremes) gives the statement without WHERE: every row.
//
// Values. "{min}" and "{max}" are the extremes of the item's language type
// (CNARecherche::s_SetAnyToMin / s_SetAnyToMax). Otherwise the text is the
// language's text of the value:
//   - date, time and date-time items (language types 128, 129, 26) take the
//     text itself, partial allowed ("202312", "2024022", "23"), as the server
//     hands a partial one: the search converts it through the column's
//     holder, or in a generic search widens it to the range it designates;
//   - every other item takes the text converted to its language type; a text
//     that does not convert stays a text, so that the search's own
//     conversion answers for it (user error 53, nothing written).
// A decimal item (31) has 32 digits before the point and 6 after.
//
// Refused by the probe (ERR 0): names that are empty, not UTF-8 or hold NUL;
// item types the stand-in's analysis cannot declare alone (0, 8, the
// enumeration and combination, 32 and 33, which need the server's objects,
// and anything past 33); sizes outside 1 to 1 MB; values that are not UTF-8.
// The driver's refusals keep its user error number.
//
// Ownership: nothing kept between commands. Threads: the probe's one thread.
#ifndef KQ230_TESTS_TOOLS_SQLPROBE_SEARCH_H_
#define KQ230_TESTS_TOOLS_SQLPROBE_SEARCH_H_

#include <string>
#include <vector>

#include "tests/tools/sqlprobe_fields.h"

class CNAConnectionDescription;

namespace sqlprobe {

// Whether the command name is "search".
bool bIsSearchCommand(const std::string& name);

// Runs "search" on the fields of one line (the command first).
// REQUIRES: pclConnection is open; bIsSearchCommand(fields[0]); the driver
// object exists (the record makes its columns, the search its parameters and
// the probe its command through it).
Answer RunSearchCommand(CNAConnectionDescription* pclConnection,
                        const std::vector<std::string>& fields);

}  // namespace sqlprobe

#endif  // KQ230_TESTS_TOOLS_SQLPROBE_SEARCH_H_
