// The probe's parsed-query commands (see sqlprobe.cc for the line format):
//
//   declare<TAB>logical table<TAB>physical table[<TAB>column<TAB>item type<TAB>item size]...
//     Adds a file to the stand-in parser's analysis, which the probe keeps
//     from one command to the next: its logical name (the name queries use),
//     its physical name (the table on the server) and its items, each a
//     nullable item that is no key, of that item type and size (a decimal
//     item, 31, has 32 digits before the point and 6 after). Declaring a
//     logical name again replaces that file. Result: the logical name.
//   query<TAB>mode<TAB>text
//     The stand-in parser parses the text over the analysis; a fresh
//     command of the connection rewrites it with
//     CNACommand::bFormatCondition(query, no other command, sort kept, mode).
//     Modes 0 (the located pieces written one by one, literals bound as
//     parameters), 1 and 4 (the query copied as a whole, the query-rewrite
//     flag set): result, the formatted text with every value class written
//     out (NA_PTC_ALL). Mode -1 rewrites as mode 0 and answers instead the
//     statement text as the command keeps it, followed by one TAB-separated
//     field per parameter, in order:
//       @position 0xflags op<operator> t<language type>[ esc<escape>]
//     (position in wide characters of the statement text, flags in
//     hexadecimal, the parameter's operator and its holder's language type,
//     the LIKE escape character when it has one).
//
// A text outside the parser's subset is not refused: it is rewritten as a
// query the parser did not split (its markers and name references only).
// Names the analysis does not know are not refused either: the command
// writes them as the query does, which is what is checked.
//
// Refused by the probe (ERR 0): a wrong number of fields, names that are
// empty, not UTF-8 or hold NUL, a column declared twice, item types the
// analysis cannot declare alone (0, 8, past 31), sizes outside 1 to 1 MB, a
// mode other than -1, 0, 1, 4, a query text that is not UTF-8 or holds NUL.
// The driver's refusals keep its user error number.
//
// Ownership: the analysis and the value maker that the parser's literals
// need live as long as the QueryCommands object; nothing else is kept
// between commands. Threads: the probe's one thread.
#ifndef KQ230_TESTS_TOOLS_SQLPROBE_QUERY_H_
#define KQ230_TESTS_TOOLS_SQLPROBE_QUERY_H_

#include <memory>
#include <string>
#include <vector>

#include "tests/tools/sqlprobe_fields.h"

class CNAConnectionDescription;
class CStandInAnalysis;

namespace kqtest {
class StandInAnyMakerScope;
}

namespace sqlprobe {

// Whether the command name is "declare" or "query".
bool bIsQueryCommand(const std::string& name);

// Whether the command needs the connection ("query" does, "declare" not).
bool bQueryCommandNeedsConnection(const std::string& name);

class QueryCommands {
 public:
  // Installs the value maker of the parser's literals for its lifetime.
  // REQUIRES: the framework is bound (language values are made).
  QueryCommands();
  ~QueryCommands();
  QueryCommands(const QueryCommands&) = delete;
  QueryCommands& operator=(const QueryCommands&) = delete;

  // Runs "declare" or "query" on the fields of one line (the command first).
  // REQUIRES: bIsQueryCommand(fields[0]); for "query", pclConnection is open
  // and the driver object exists (the command is made through it).
  Answer Run(CNAConnectionDescription* pclConnection, const std::vector<std::string>& fields);

 private:
  Answer Declare(const std::vector<std::string>& fields);
  Answer Query(CNAConnectionDescription* pclConnection, const std::vector<std::string>& fields);

  std::unique_ptr<kqtest::StandInAnyMakerScope> m_pValues;
  std::unique_ptr<CStandInAnalysis> m_pAnalysis;
};

}  // namespace sqlprobe

#endif  // KQ230_TESTS_TOOLS_SQLPROBE_QUERY_H_
