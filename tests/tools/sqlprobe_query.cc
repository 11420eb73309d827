#include "tests/tools/sqlprobe_query.h"

#include <cstdio>
#include <string>

#include "core/error_object.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_analysis.h"
#include "host/parser/standin_sql_parser.h"
#include "items/convert_variant.h"
#include "items/item_types.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/parameter.h"
#include "sqlbuilder/parsed_query_info.h"
#include "tests/host/standin_any_maker.h"

namespace sqlprobe {
namespace {

// The largest item the probe declares.
constexpr int kMaxItemSize = 1 << 20;
// Digits of a decimal item: MariaDB's widest DECIMAL, 6 of them after the point.
constexpr int kDecimalInteger = 32;
constexpr int kDecimalFraction = 6;
// The mode that answers the statement text and its parameters.
constexpr int kModeStatement = -1;

// The driver's error: its user error number and its user message (the
// whole dump when it has none); a failure that recorded no error says what
// failed.
Answer FromError(CNAError* pclError, const char* pszWhenSilent) {
  const unsigned int nError = pclError->nGetUserErrorCode();
  std::string text = Utf8(pclError->pclGetXError()->pszGetUserMessage());
  if (text.empty() && nError != 0) text = Utf8(pclError->pszGetError());
  if (text.empty()) text = pszWhenSilent;
  return {false, nError, text};
}

// A name field: UTF-8, not empty, no NUL (names are terminated texts for the
// analysis and the command; cutting one at its NUL would name another
// object).
bool bName(const std::string& field, size_t nField, std::wstring* pOut, Answer* pRefusal) {
  const std::string which = "field " + std::to_string(nField);
  if (!bWide(field, pOut)) {
    *pRefusal = Refuse(which + " is not UTF-8");
    return false;
  }
  if (pOut->empty()) {
    *pRefusal = Refuse(which + " is empty");
    return false;
  }
  if (pOut->find(L'\0') != std::wstring::npos) {
    *pRefusal = Refuse(which + " holds NUL");
    return false;
  }
  return true;
}

// Item types the stand-in's analysis declares as one plain item.
bool bDeclarableItemType(int nType) { return nType >= 1 && nType <= 31 && nType != 8; }

// Counted objects of the driver held for one command.
template <typename T>
struct Held {
  explicit Held(T* p) : p(p) {}
  ~Held() {
    if (p != nullptr) p->nRelease();
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  T* p;
};

// "@position 0xflags op<operator> t<type>[ esc<c>]" of one parameter.
std::string DescribeParameter(const CNAParameter* pclParameter) {
  char buffer[96];
  const CNAConvertVariant* pclValue = pclParameter->pclGetValueNoRef();
  std::snprintf(buffer, sizeof buffer, "@%u 0x%x op%d t%u", pclParameter->nGetPosition(),
                pclParameter->nGetFlags(), static_cast<int>(pclParameter->eGetOperator()),
                pclValue != nullptr ? static_cast<unsigned>(pclValue->nGetVXType()) : 0u);
  std::string text = buffer;
  if (pclParameter->cGetEscapeLike() != 0) {
    const wchar_t sz[2] = {pclParameter->cGetEscapeLike(), 0};
    text += " esc" + Utf8(sz);
  }
  return text;
}

}  // namespace

bool bIsQueryCommand(const std::string& name) { return name == "declare" || name == "query"; }

bool bQueryCommandNeedsConnection(const std::string& name) { return name == "query"; }

QueryCommands::QueryCommands()
    : m_pValues(std::make_unique<kqtest::StandInAnyMakerScope>()),
      m_pAnalysis(std::make_unique<CStandInAnalysis>()) {}

QueryCommands::~QueryCommands() {
  // The files before the maker: nothing of theirs is a value, but the order
  // mirrors the construction.
  m_pAnalysis.reset();
  m_pValues.reset();
}

Answer QueryCommands::Run(CNAConnectionDescription* pclConnection,
                          const std::vector<std::string>& fields) {
  if (fields[0] == "declare") return Declare(fields);
  return Query(pclConnection, fields);
}

Answer QueryCommands::Declare(const std::vector<std::string>& fields) {
  if (fields.size() < 6 || (fields.size() - 3) % 3 != 0)
    return Refuse("declare takes a table, its physical name and triples column, item type, size");
  Answer refusal;
  std::wstring logical, physical;
  if (!bName(fields[1], 2, &logical, &refusal) || !bName(fields[2], 3, &physical, &refusal))
    return refusal;
  std::vector<StandInItemDecl> items;
  for (size_t i = 3; i < fields.size(); i += 3) {
    StandInItemDecl decl;
    if (!bName(fields[i], i + 1, &decl.name, &refusal)) return refusal;
    for (const StandInItemDecl& other : items) {
      if (StandInSameName(other.name, decl.name.c_str()))
        return Refuse("field " + std::to_string(i + 1) + " names a column declared before");
    }
    if (!bDecimal(fields[i + 1], &decl.type) || !bDeclarableItemType(decl.type))
      return Refuse("field " + std::to_string(i + 2) +
                    " is not an item type of one plain item (1-31, not 8)");
    if (!bDecimal(fields[i + 2], &decl.size) || decl.size < 1 || decl.size > kMaxItemSize)
      return Refuse("field " + std::to_string(i + 3) + " is not an item size from 1 to " +
                    std::to_string(kMaxItemSize));
    decl.nullAllowed = true;
    if (decl.type == NA_IT_DECIMAL) {
      decl.integerDigits = kDecimalInteger;
      decl.decimalDigits = kDecimalFraction;
    }
    items.push_back(std::move(decl));
  }
  CStandInDescription* pclTable = CStandInDescription::pclNew(logical.c_str(), items, 12);
  if (pclTable == nullptr) return Refuse("the analysis refused the items");
  m_pAnalysis->SetTable(pclTable, physical.c_str());
  pclTable->nExternalRelease();
  return {true, 0, fields[1]};
}

Answer QueryCommands::Query(CNAConnectionDescription* pclConnection,
                            const std::vector<std::string>& fields) {
  if (CNADriver::s_pclDriver == nullptr) return Refuse("no driver object");
  if (fields.size() != 3) return Refuse("query takes 2 fields");
  int nMode = 0;
  if (!bDecimal(fields[1], &nMode) ||
      (nMode != kModeStatement && nMode != 0 && nMode != 1 && nMode != 4))
    return Refuse("field 2 is none of the modes -1, 0, 1, 4");
  std::wstring text;
  if (!bWide(fields[2], &text)) return Refuse("field 3 is not UTF-8");
  if (text.find(L'\0') != std::wstring::npos) return Refuse("field 3 holds NUL");

  Held<CNAError> error(new CNAError);
  error.p->AddRef();
  CStandInSQLParser clParser(m_pAnalysis.get());
  CStandInSQLInfo* piParsed = clParser.pclParse(text.c_str());
  Held<CSQLParserInfo> info(new CSQLParserInfo(error.p, piParsed, nullptr, 0));
  info.p->AddRef();
  piParsed->Release();  // the digest holds its own reference
  Held<CNACommand> command(
      static_cast<CNACommand*>(CNADriver::s_pclDriver->pclAllocCommand(error.p, pclConnection)));
  if (command.p == nullptr) return FromError(error.p, "no command");
  command.p->AddRef();
  if (!command.p->bFormatCondition(info.p, nullptr, 1, nMode == kModeStatement ? 0 : nMode))
    return FromError(error.p, "the command did not rewrite the query");
  if (nMode != kModeStatement) {
    const wchar_t* pszFormated = command.p->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
    if (pszFormated == nullptr) return FromError(error.p, "the command has no formatted text");
    return {true, 0, Utf8(pszFormated)};
  }
  std::string result = Utf8(command.p->pszGetOriginalSQL());
  for (unsigned int i = 0; i < command.p->nGetParameterNbr(); ++i) {
    const CNAParameter* pclParameter = command.p->pclGetParameterNoRef(i);
    if (pclParameter != nullptr) result += "\t" + DescribeParameter(pclParameter);
  }
  return {true, 0, result};
}

}  // namespace sqlprobe
