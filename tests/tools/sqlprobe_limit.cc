#include "tests/tools/sqlprobe_limit.h"

#include "driver/connection_description.h"
#include "driver/na_error.h"
#include "sqlbuilder/clause_location.h"
#include "sqlbuilder/command.h"

namespace sqlprobe {

bool bIsLimitCommand(const std::string& name) { return name == "limit" || name == "limited"; }

Answer RunLimitCommand(CNAConnectionDescription* pclConnection,
                       const std::vector<std::string>& fields) {
  std::wstring text;
  if (fields[0] == "limited") {
    if (fields.size() != 2) return Refuse("limited takes 1 field");
    if (!bWide(fields[1], &text)) return Refuse("field 2 is not UTF-8");
    return {true, 0,
            CNAClauseLocation::s_bQueryResultsetLimited(pclConnection, text.c_str()) ? "1" : "0"};
  }
  if (fields.size() != 4) return Refuse("limit takes 3 fields");
  long long llLimit = 0, llOffset = 0;
  if (!bDecimal(fields[1], &llLimit)) return Refuse("field 2 is not a 64-bit number");
  if (!bDecimal(fields[2], &llOffset)) return Refuse("field 3 is not a 64-bit number");
  if (!bWide(fields[3], &text)) return Refuse("field 4 is not UTF-8");
  CNAError* pclError = new CNAError;
  pclError->AddRef();
  CNACommand* pclCommand = new CNACommand(pclError, pclConnection);
  pclCommand->AddRef();
  pclCommand->_SetQueryKind(NA_CMD_SELECT);
  pclCommand->bComplete(text.c_str());
  pclCommand->SetRowLimit(llLimit);
  pclCommand->SetRowOffset(llOffset);
  Answer answer;
  if (const wchar_t* pszFormated = pclCommand->pszGetFormatedSQL(CNACommand::NA_PTC_ALL)) {
    answer = {true, 0, Utf8(pszFormated)};
  } else {
    answer = {false, pclError->nGetUserErrorCode(), Utf8(pclError->pszGetError())};
  }
  pclCommand->nRelease();
  pclError->nRelease();
  return answer;
}

}  // namespace sqlprobe
