#include "tests/tools/sqlprobe_search.h"

#include <string>

#include "core/counted_string.h"
#include "core/error_object.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/column.h"
#include "items/record.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/filter.h"
#include "sqlbuilder/record_search.h"
#include "tests/items/record_test_support.h"
#include "values/any.h"

namespace sqlprobe {
namespace {

// The largest item the probe declares.
constexpr int kMaxItemSize = 1 << 20;
// Digits of a decimal item: MariaDB's widest DECIMAL, 6 of them after the point.
constexpr int kDecimalInteger = 32;
constexpr int kDecimalFraction = 6;

enum class Kind { kEq, kBegins, kNext, kPrev, kFilter };

bool bKind(const std::string& field, Kind* peKind) {
  if (field == "eq") *peKind = Kind::kEq;
  else if (field == "begins") *peKind = Kind::kBegins;
  else if (field == "next") *peKind = Kind::kNext;
  else if (field == "prev") *peKind = Kind::kPrev;
  else if (field == "filter") *peKind = Kind::kFilter;
  else return false;
  return true;
}

// The driver's error: its user error number and its user message (the
// whole dump when it has none).
Answer FromError(CNAError* pclError, const char* pszWhenSilent) {
  std::string text = Utf8(pclError->pclGetXError()->pszGetUserMessage());
  if (text.empty()) text = Utf8(pclError->pszGetError());
  if (text.empty()) text = pszWhenSilent;
  return {false, pclError->nGetUserErrorCode(), text};
}

// A name field: UTF-8, not empty, no NUL (names are terminated texts for
// the analysis and the command; cutting one at its NUL would name another
// object).
bool bName(const std::string& field, int nField, std::wstring* pOut, Answer* pRefusal) {
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
bool bDeclarableItemType(int nType) {
  return nType >= 1 && nType <= 31 && nType != 8;
}

// The objects of one command, released in the right order whatever way the
// command ends: searches before the record their trees hold columns of, the
// record before its data access and its description.
class Session {
 public:
  explicit Session(CNAConnectionDescription* pclConnection) : m_pclConnection(pclConnection) {
    m_pclError = new CNAError;
    m_pclError->AddRef();
  }
  ~Session() {
    if (m_pclSearch != nullptr) m_pclSearch->nRelease();
    if (m_pclFilter != nullptr) m_pclFilter->nRelease();
    if (m_pclCommand != nullptr) m_pclCommand->nRelease();
    if (m_pclRecord != nullptr) m_pclRecord->nRelease();
    delete m_pAccess;
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
    m_pclError->nRelease();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  CNAError* Error() const { return m_pclError; }
  CNARecord* Record() const { return m_pclRecord; }
  CNAColumn* Column() const { return m_pclColumn; }

  // The record over a description named table holding the one item.
  bool bBuild(const std::wstring& table, const std::wstring& column, int nType, int nSize,
              Answer* pRefusal) {
    StandInItemDecl decl;
    decl.name = column;
    decl.type = nType;
    decl.size = nSize;
    decl.nullAllowed = true;
    if (nType == NA_IT_DECIMAL) {
      decl.integerDigits = kDecimalInteger;
      decl.decimalDigits = kDecimalFraction;
    }
    m_piSource = CStandInDescription::pclNew(table.c_str(), {decl}, 12);
    if (m_piSource == nullptr) {
      *pRefusal = Refuse("the analysis refused the item");
      return false;
    }
    m_pAccess = new kqtest::TestItemsDataAccess(m_pclConnection, table.c_str());
    m_pclRecord = new CNARecord(m_pclError, m_pAccess);
    m_pclRecord->AddRef();
    if (!m_pclRecord->bInitRecord(m_piSource, nullptr, m_pclConnection)) {
      *pRefusal = FromError(m_pclError, "the record refused the item");
      return false;
    }
    m_pclColumn = m_pclRecord->pclGetColumnNoRef(column.c_str());
    if (m_pclColumn == nullptr) {
      *pRefusal = Refuse("the record has no column for the item");
      return false;
    }
    return true;
  }

  CNACommand* pclCommand() {
    m_pclCommand = static_cast<CNACommand*>(
        CNADriver::s_pclDriver->pclAllocCommand(m_pclError, m_pclConnection));
    if (m_pclCommand != nullptr) m_pclCommand->AddRef();
    return m_pclCommand;
  }
  CNARecherche* pclSearch() {
    m_pclSearch = new CNARecherche(m_pclError, m_pclConnection);
    m_pclSearch->AddRef();
    return m_pclSearch;
  }
  CNAFilter* pclFilter() {
    m_pclFilter = new CNAFilter(m_pclError, m_pclConnection);
    m_pclFilter->AddRef();
    return m_pclFilter;
  }

 private:
  CNAConnectionDescription* m_pclConnection;
  CNAError* m_pclError = nullptr;
  CStandInDescription* m_piSource = nullptr;
  kqtest::TestItemsDataAccess* m_pAccess = nullptr;
  CNARecord* m_pclRecord = nullptr;
  CNAColumn* m_pclColumn = nullptr;
  CNACommand* m_pclCommand = nullptr;
  CNARecherche* m_pclSearch = nullptr;
  CNAFilter* m_pclFilter = nullptr;
};

// The value of one field for the column (see the header).
bool bValue(const std::string& field, int nField, CNAColumn* pclColumn, CAny* pValue,
            Answer* pRefusal) {
  const unsigned short nType = pclColumn->eGetVXType();
  if (field == "{min}" || field == "{max}") {
    pValue->__SetType(nType, 0);
    if (field == "{min}") CNARecherche::s_SetAnyToMin(pValue);
    else CNARecherche::s_SetAnyToMax(pValue);
    return true;
  }
  std::wstring text;
  if (!bWide(field, &text)) {
    *pRefusal = Refuse("field " + std::to_string(nField) + " is not UTF-8");
    return false;
  }
  CAny clText;
  clText.__SetType(VX_DSTRW, 0);
  clText.SetValueByte(text.data(), static_cast<unsigned int>(text.size() * sizeof(wchar_t)));
  *pValue = clText;
  // Dates, times and date-times travel as texts, as the server hands a
  // partial one: the search converts the text through the column's holder,
  // or, in a generic search, widens it to the range it designates. Cast
  // here, a partial date would become a complete one and search another
  // value.
  if (nType == VX_DATEA || nType == VX_TIMEA || nType == VX_DATETIME) return true;
  // Handed a wide text, the wide date, time and character types call
  // themselves without end; no item maps to them, but a cast to them is
  // never tried.
  if (nType == 20 || nType == VX_DATEW || nType == VX_TIMEW || nType == VX_CARW) return true;
  CAny clCast(clText);
  if (clCast.__nCastTo(nType, nullptr, 1) < 100 && clCast.nGetTypeCode() == nType)
    *pValue = clCast;
  return true;
}

// SELECT column FROM table, names through the command's writers.
bool bSelect(CNACommand* pclCommand, const std::wstring& table, const std::wstring& column,
             std::wstring* pOut) {
  CTString csTable, csColumn;
  if (!pclCommand->_FormatTableName(table.c_str(), &csTable) ||
      !pclCommand->_FormatItemName(column.c_str(), &csColumn))
    return false;
  *pOut = L"SELECT ";
  *pOut += csColumn.pszGet();
  *pOut += L" FROM ";
  *pOut += csTable.pszGet();
  return true;
}

}  // namespace

bool bIsSearchCommand(const std::string& name) { return name == "search"; }

Answer RunSearchCommand(CNAConnectionDescription* pclConnection,
                        const std::vector<std::string>& fields) {
  if (CNADriver::s_pclDriver == nullptr) return Refuse("no driver object");
  if (fields.size() < 7) return Refuse("search takes 6 or 7 fields");
  Kind eKind;
  if (!bKind(fields[5], &eKind)) return Refuse("field 6 is none of eq, begins, next, prev, filter");
  const size_t nWanted = eKind == Kind::kFilter ? 8 : 7;
  if (fields.size() != nWanted)
    return Refuse(fields[5] + " takes " + std::to_string(nWanted - 1) + " fields");

  Answer refusal;
  std::wstring table, column;
  if (!bName(fields[1], 2, &table, &refusal) || !bName(fields[2], 3, &column, &refusal))
    return refusal;
  int nType = 0, nSize = 0;
  if (!bDecimal(fields[3], &nType) || !bDeclarableItemType(nType))
    return Refuse("field 4 is not an item type of one plain item (1-31, not 8)");
  if (!bDecimal(fields[4], &nSize) || nSize < 1 || nSize > kMaxItemSize)
    return Refuse("field 5 is not an item size from 1 to " + std::to_string(kMaxItemSize));

  Session session(pclConnection);
  if (!session.bBuild(table, column, nType, nSize, &refusal)) return refusal;
  CNAColumn* pclColumn = session.Column();
  INAItemDescription* piItem = pclColumn->piGetItemNoRef();
  CAny clValue, clValue2;
  if (!bValue(fields[6], 7, pclColumn, &clValue, &refusal)) return refusal;
  if (eKind == Kind::kFilter && !bValue(fields[7], 8, pclColumn, &clValue2, &refusal))
    return refusal;

  CNACommand* pclCommand = session.pclCommand();
  if (pclCommand == nullptr) return FromError(session.Error(), "no command");
  std::wstring statement;
  if (!bSelect(pclCommand, table, column, &statement))
    return FromError(session.Error(), "the command refused a name");

  CNARecherche* pclSearch = session.pclSearch();
  CNAFilter* pclFilter = nullptr;
  if (eKind == Kind::kFilter) {
    pclFilter = session.pclFilter();
    if (!pclFilter->bSetFilter(session.Record(), piItem, &clValue, 1, &clValue2, 1, nullptr, 0))
      return FromError(session.Error(), "the filter made no condition");
    pclFilter->ActivateFilter(1);
  } else {
    const eNA_PARSEDIRECTION eDirection = eKind == Kind::kPrev ? NA_PARSE_LAST : NA_PARSE_FIRST;
    if (!pclSearch->bSetRecherche(session.Record(), piItem, &clValue, eDirection,
                                  eKind == Kind::kBegins ? 0 : 1, 0))
      return FromError(session.Error(), "the search refused the value");
    if (eKind == Kind::kNext || eKind == Kind::kPrev) pclSearch->bSetContinueParcours(eDirection);
  }
  if (!pclSearch->bGetSQL(pclCommand, pclFilter, session.Record()))
    return FromError(session.Error(), "the search wrote no condition");
  const wchar_t* pszCondition = pclCommand->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
  if (pszCondition == nullptr) return FromError(session.Error(), "the command has no formatted text");
  if (*pszCondition != L'\0') {
    statement += L" WHERE ";
    statement += pszCondition;
  }
  return {true, 0, Utf8(statement.c_str())};
}

}  // namespace sqlprobe
