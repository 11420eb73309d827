#include "tests/tools/sqlprobe_command.h"

#include "core/counted_string.h"
#include "core/error_object.h"
#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/convert_variant.h"
#include "kq230/vm_values.h"
#include "sqlbuilder/command.h"
#include "values/any.h"

namespace sqlprobe {
namespace {

bool bSelfCallingTarget(unsigned short nType) {
  return nType == 20 || nType == VX_DATEW || nType == VX_TIMEW || nType == VX_CARW;
}

// The driver's error: its user error number and its user message (the
// whole dump when it has none).
Answer FromError(CNAError* pclError) {
  std::string text = Utf8(pclError->pclGetXError()->pszGetUserMessage());
  if (text.empty()) text = Utf8(pclError->pszGetError());
  if (text.empty()) text = "the driver refused without saying why";
  return {false, pclError->nGetUserErrorCode(), text};
}

// A name field: UTF-8, no NUL.
bool bName(const std::string& field, int nField, std::wstring* pOut, Answer* pRefusal) {
  if (!bWide(field, pOut)) {
    *pRefusal = Refuse("field " + std::to_string(nField) + " is not UTF-8");
    return false;
  }
  if (pOut->find(L'\0') != std::wstring::npos) {
    *pRefusal = Refuse("field " + std::to_string(nField) + " holds NUL");
    return false;
  }
  return true;
}

// The command, its error object and the holder of the value, released in
// the right order whatever way a command ends.
class Session {
 public:
  explicit Session(CNAConnectionDescription* pclConnection) : m_pclConnection(pclConnection) {
    m_pclError = new CNAError;
    m_pclError->AddRef();
    m_pclCommand = static_cast<CNACommand*>(
        CNADriver::s_pclDriver->pclAllocCommand(m_pclError, pclConnection));
    m_pclCommand->AddRef();
  }
  ~Session() {
    if (m_pclHolder != nullptr) m_pclHolder->nRelease();
    m_pclCommand->nRelease();
    m_pclError->nRelease();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  CNACommand* Command() const { return m_pclCommand; }
  CNAError* Error() const { return m_pclError; }

  // A holder of the language type holding the text converted to it; null
  // with the error in the error object, or with *pbRefused when the text
  // does not convert to a type whose holder cannot say so.
  CNAConvertVariant* pclHolder(unsigned short nType, const std::wstring& text, bool* pbRefused) {
    m_pclHolder = static_cast<CNAConvertVariant*>(
        CNADriver::s_pclDriver->pclAllocVariant(m_pclError, m_pclConnection));
    if (m_pclHolder == nullptr) return nullptr;
    m_pclHolder->AddRef();
    m_pclHolder->InitTypeVariantAny(nType, 0);
    CAny clText;
    clText.__SetType(VX_DSTRW, 0);
    clText.SetValueByte(text.data(), static_cast<unsigned int>(text.size() * sizeof(wchar_t)));
    // Converted here first, so that the holder takes a value of its own
    // type: handed a wide text, a holder of the wide date, time or
    // character types (20, 24, 25, 81) calls itself without end.
    CAny clValue(clText);
    if (clValue.__nCastTo(nType, nullptr, 1) < 100 && clValue.nGetTypeCode() == nType)
      return m_pclHolder->bSetValue(&clValue) ? m_pclHolder : nullptr;
    if (bSelfCallingTarget(nType)) {
      *pbRefused = true;
      return nullptr;
    }
    // The holder's own conversion, for its error.
    return m_pclHolder->bSetValue(&clText) ? m_pclHolder : nullptr;
  }

 private:
  CNAConnectionDescription* m_pclConnection;
  CNAError* m_pclError = nullptr;
  CNACommand* m_pclCommand = nullptr;
  CNAConvertVariant* m_pclHolder = nullptr;
};

Answer RunName(CNAConnectionDescription* pclConnection,
                      const std::vector<std::string>& fields) {
  if (fields.size() != 3) return Refuse("name takes 2 fields");
  const bool bTable = fields[1] == "table";
  if (!bTable && fields[1] != "item") return Refuse("field 2 is neither table nor item");
  Answer refusal;
  std::wstring name;
  if (!bName(fields[2], 3, &name, &refusal)) return refusal;
  Session session(pclConnection);
  CTString csOut;
  const int bOk = bTable ? session.Command()->_FormatTableName(name.c_str(), &csOut)
                         : session.Command()->_FormatItemName(name.c_str(), &csOut);
  if (!bOk) return FromError(session.Error());
  return {true, 0, Utf8(csOut.pszGet())};
}

Answer RunWhere(CNAConnectionDescription* pclConnection,
                       const std::vector<std::string>& fields) {
  if (fields.size() != 6) return Refuse("where takes 5 fields");
  Answer refusal;
  std::wstring table, column, value;
  if (!bName(fields[1], 2, &table, &refusal) || !bName(fields[2], 3, &column, &refusal))
    return refusal;
  const bool bBegins = fields[3] == "begins";
  if (!bBegins && fields[3] != "eq") return Refuse("field 4 is neither eq nor begins");
  unsigned int nType = 0;
  if (!bDecimal(fields[4], &nType) || nType > 0xFFFF) return Refuse("field 5 is not a language type");
  const int nClass = CNACommand::VXType2eParamType(static_cast<unsigned short>(nType));
  if (nClass == 0) return Refuse("field 5 is not a language type of a parameter");
  if (bBegins && nClass != CNACommand::NA_PTC_TEXT) return Refuse("begins takes a text type");
  if (!bWide(fields[5], &value)) return Refuse("field 6 is not UTF-8");

  Session session(pclConnection);
  CNACommand* pclCommand = session.Command();
  CTString csTable, csColumn;
  if (!pclCommand->_FormatTableName(table.c_str(), &csTable) ||
      !pclCommand->_FormatItemName(column.c_str(), &csColumn))
    return FromError(session.Error());
  pclCommand->_SetQueryKind(NA_CMD_SELECT);
  pclCommand->bComplete(L"SELECT ");
  pclCommand->bComplete(csColumn.pszGet());
  pclCommand->bComplete(L" FROM ");
  pclCommand->bComplete(csTable.pszGet());
  pclCommand->bComplete(L" WHERE ");
  pclCommand->bComplete(csColumn.pszGet());
  unsigned int nFlags = 0;
  if (bBegins) {
    // The value must match itself, then anything: its wildcards and escape
    // characters escaped, "%" after it.
    if (value.find(L'\0') != std::wstring::npos)
      return Refuse("a begins value holding NUL cannot be escaped as a terminated text");
    CXYString<wchar_t> clEscaped;
    if (!pclCommand->bEscapeLIKEParamAsZBParam(&clEscaped, value.c_str(), 0))
      return FromError(session.Error());
    value.assign(clEscaped.pszGet(), static_cast<size_t>(clEscaped.nGetLongueur()));
    value += L'%';
    pclCommand->bComplete(L" LIKE ");
    nFlags = kNAParamLike;
  } else {
    pclCommand->bComplete(L" = ");
  }
  bool bRefused = false;
  CNAConvertVariant* pclHolder =
      session.pclHolder(static_cast<unsigned short>(nType), value, &bRefused);
  if (bRefused) return Refuse("field 6 does not convert to the language type");
  if (pclHolder == nullptr) return FromError(session.Error());
  if (!pclCommand->bAddParameter(pclHolder, static_cast<eOPEXPRESSION>(-1), nFlags, nullptr,
                                 nullptr, L'\\', CNAParameter::NA_PARAM_IN))
    return FromError(session.Error());
  const wchar_t* pszFormated = pclCommand->pszGetFormatedSQL(CNACommand::NA_PTC_ALL);
  if (pszFormated == nullptr) return FromError(session.Error());
  return {true, 0, Utf8(pszFormated)};
}

}  // namespace

bool bIsCommandWriterCommand(const std::string& name) { return name == "where" || name == "name"; }

Answer RunCommandWriterCommand(CNAConnectionDescription* pclConnection,
                              const std::vector<std::string>& fields) {
  if (CNADriver::s_pclDriver == nullptr) return Refuse("no driver object");
  return fields[0] == "name" ? RunName(pclConnection, fields) : RunWhere(pclConnection, fields);
}

}  // namespace sqlprobe
