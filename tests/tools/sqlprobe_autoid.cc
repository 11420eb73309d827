#include "tests/tools/sqlprobe_autoid.h"

#include <string>

#include "core/error_object.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "host/harness/standin_descriptions.h"
#include "items/record.h"
#include "kq230/item_type.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/id_auto.h"
#include "tables/na_data_access.h"
#include "values/any.h"

namespace sqlprobe {
namespace {

// The driver's error: its user error number and its user messages (the
// whole dump when it has none).
Answer FromError(CNAError* pclError, const char* pszWhenSilent) {
  std::string text = Utf8(pclError->pclGetXError()->pszGetUserMessage());
  if (text.empty()) text = Utf8(pclError->pszGetError());
  if (text.empty()) text = pszWhenSilent;
  return {false, pclError->nGetUserErrorCode(), text};
}

// A name field: UTF-8, not empty, no NUL (a name cut at its NUL would name
// another object).
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

// The value's text; "NULL" for NULL; false when it has none.
bool bText(CAny* pValue, std::string* pOut) {
  if (pValue->bIsNull()) {
    *pOut = "NULL";
    return true;
  }
  const wchar_t* psz = nullptr;
  if (pValue->__nCastToString(&psz, nullptr) > kVXLastSuccess || psz == nullptr) return false;
  *pOut = Utf8(psz);
  return true;
}

// The objects of one command, released in the right order whatever way it
// ends: the data access before its description and its error.
class Session {
 public:
  Session() {
    m_pclError = new CNAError;
    m_pclError->AddRef();
  }
  ~Session() {
    if (m_pclAccess != nullptr) m_pclAccess->nRelease();
    if (m_piSource != nullptr) m_piSource->nExternalRelease();
    m_pclError->nRelease();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  CNAError* Error() const { return m_pclError; }

  // The data access over a description of the table holding the column as
  // an 8-byte automatic identifier; its record laid out. Null with the
  // refusal.
  CNADataAccess* pclAccess(CNAConnectionDescription* pclConnection, const std::wstring& table,
                           const std::wstring& column, Answer* pRefusal) {
    StandInItemDecl decl;
    decl.name = column;
    decl.type = NA_IT_IDAUTO;
    decl.size = 8;
    decl.keyFlags = 0x8000;
    decl.nullAllowed = false;
    m_piSource = CStandInDescription::pclNew(table.c_str(), {decl}, 12);
    if (m_piSource == nullptr) {
      *pRefusal = Refuse("the analysis refused the item");
      return nullptr;
    }
    m_pclAccess = static_cast<CNADataAccess*>(
        CNADriver::s_pclDriver->pclAllocDataAccess(m_piSource, pclConnection, m_pclError));
    if (m_pclAccess == nullptr) {
      *pRefusal = Refuse("the driver made no data access");
      return nullptr;
    }
    m_pclAccess->AddRef();
    if (!m_pclAccess->_bInitCurrentRecord()) {
      *pRefusal = FromError(m_pclError, "the record refused the item");
      return nullptr;
    }
    return m_pclAccess;
  }

 private:
  CNAError* m_pclError = nullptr;
  CStandInDescription* m_piSource = nullptr;
  CNADataAccess* m_pclAccess = nullptr;
};

}  // namespace

bool bIsAutoIdCommand(const std::string& name) { return name == "autoid"; }

Answer RunAutoIdCommand(CNAConnectionDescription* pclConnection,
                        const std::vector<std::string>& fields) {
  if (CNADriver::s_pclDriver == nullptr) return Refuse("no driver object");
  if (fields.size() != 3) return Refuse("autoid takes 2 fields");
  Answer refusal;
  std::wstring table, column;
  if (!bName(fields[1], 2, &table, &refusal) || !bName(fields[2], 3, &column, &refusal))
    return refusal;
  Session session;
  CNADataAccess* pclAccess = session.pclAccess(pclConnection, table, column, &refusal);
  if (pclAccess == nullptr) return refusal;
  CNAColumn* pclColumn = pclAccess->pclGetRecordNoRef()->pclGetColumnIDAutoNoRef();
  CNAIDAuto* pclIDAuto = pclAccess->pclGetIDAuto();
  if (pclColumn == nullptr || pclIDAuto == nullptr)
    return FromError(session.Error(), "no automatic identifier");
  CAny clNext, clMax;
  if (!pclIDAuto->bGetNextValue(pclAccess, pclColumn, session.Error(), &clNext))
    return FromError(session.Error(), "no next value");
  if (!pclIDAuto->bGetMaxCurrentValue(pclAccess, pclColumn, session.Error(), &clMax))
    return FromError(session.Error(), "no current maximum");
  std::string next, max;
  if (!bText(&clNext, &next) || !bText(&clMax, &max)) return Refuse("a value has no text");
  return {true, 0, next + "\t" + max};
}

}  // namespace sqlprobe
