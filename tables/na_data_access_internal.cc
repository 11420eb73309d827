// The data access's internal queries (the driver's own queries, run for the
// SQL builder) and its automatic identifier.
#include <new>

#include "driver/connection_description.h"
#include "driver/na_driver.h"
#include "driver/na_error.h"
#include "items/column.h"
#include "items/record.h"
#include "sqlbuilder/command.h"
#include "sqlbuilder/id_auto.h"
#include "statements/statement.h"
#include "tables/na_data_access.h"
#include "values/any.h"

namespace {

// Debug sites of this file (the data access's file number).
constexpr int kSiteInternalNoConnection = 31;
constexpr int kSiteInternalDescribed = 32;

// The parse flags a query run again carries.
constexpr NA_WRITEPARSEFLAGS kReExecuteFlags = 0x110000;

// The statement of one internal query as the SQL builder reads it: the
// data access's statement, kept alive by one reference.
class CInternalQueryStatement : public CNAInternalQueryStatement {
 public:
  explicit CInternalQueryStatement(CNAStatement* pclStatement) : m_refStatement(pclStatement) {}

  int bFetch(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange) override {
    CNAStatement* pclStatement = m_refStatement.pGet();
    const int bResult = pclStatement->bFetch(eDirection, 1, 1, nullptr);
    if (pbOutOfRange != nullptr) *pbOutOfRange = pclStatement->HEndehors();
    return bResult;
  }
  int bFetchData(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange, CAny* pValues,
                 int nCount) override {
    return m_refStatement.pGet()->bFetchData(eDirection, pbOutOfRange, pValues, nCount);
  }
  int bIsOutOfRange() const override { return m_refStatement.pGet()->HEndehors(); }
  void EnableCache(int bOn) override { m_refStatement.pGet()->EnableCache(bOn); }
  int bReExecute() override { return m_refStatement.pGet()->bExecute(kReExecuteFlags, 0); }
  CNARecord* pclGetRecordNoRef() const override {
    return m_refStatement.pGet()->pclGetRecordNoRef();
  }

 private:
  CInterfRef<CNAStatement> m_refStatement;
};

}  // namespace

int CNADataAccess::bExecuteQueryInternal(CNAInternalQueryStatement** ppStatement,
                                         const wchar_t* pszName, const wchar_t* pszText) {
  if (ppStatement == nullptr) return 0;
  *ppStatement = nullptr;
  if (m_piSource != nullptr) return _nRaise(kSiteInternalDescribed, kErrNotOffered, nullptr);
  if (m_pclConnection == nullptr) return _nRaise(kSiteInternalNoConnection, kErrNotOffered, nullptr);
  if (!m_pclConnection->bIsOpen() && !m_pclConnection->bOpen(m_pclError)) return 0;
  // Each query learns its own columns: what an earlier one left goes.
  bHFerme();
  m_csLogicalName = pszName != nullptr ? pszName : L"";
  m_csAliasName = m_csLogicalName;
  SetAccessFlags(kQueryModeInternal);
  CNAStatement* pclStatement = _pclInitStatement(L"");
  if (pclStatement == nullptr) return 0;
  pclStatement->EnableCache(0);
  CInterfRef<CNACommand> refCommand(_pclNewCommand());
  CNACommand* pclCommand = refCommand.pGet();
  if (pclCommand == nullptr) return 0;
  // Read for its rows whatever its text: the statement imports the columns
  // of a SELECT's result only.
  pclCommand->SetQueryType(static_cast<eTYPEREQUETE>(CNAStatement::kQuerySelect));
  if (!pclCommand->bComplete(pszText != nullptr ? pszText : L"")) return 0;
  if (!pclStatement->bExecuteDirectNewCommand(pclCommand, 0, 0)) return 0;
  // A result with columns gave the imported description: the record is
  // laid out after it, and the statement reads its rows into it.
  if (piGetDataSourceNoRef() != nullptr) {
    if (!_bInitCurrentRecord()) {
      pclStatement->Close();
      return 0;
    }
    pclStatement->SetRecord(m_pclRecord);
    pclStatement->SetDataSource(piGetDataSourceNoRef());
  }
  CInternalQueryStatement* pclOut = new (std::nothrow) CInternalQueryStatement(pclStatement);
  if (pclOut == nullptr) {
    pclStatement->Close();
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclOut->AddRef();
  *ppStatement = pclOut;
  return 1;
}

CNAIDAuto* CNADataAccess::_pclAllocIDAuto() {
  if (CNADriver::s_pclDriver != nullptr) {
    void* p = CNADriver::s_pclDriver->pclAllocIDAuto();
    if (p != nullptr) return static_cast<CNAIDAuto*>(p);
  }
  return new (std::nothrow) CNAIDAuto;
}

CNAIDAuto* CNADataAccess::pclGetIDAuto() {
  if (m_pclIDAuto == nullptr) {
    CNAIDAuto* pclIDAuto = _pclAllocIDAuto();
    if (pclIDAuto == nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return nullptr;
    }
    pclIDAuto->AddRef();
    m_pclIDAuto = pclIDAuto;
  }
  return m_pclIDAuto;
}

int CNADataAccess::bSetNewAutoId() {
  CNAColumn* pclColumn = m_pclRecord != nullptr ? m_pclRecord->pclGetColumnIDAutoNoRef() : nullptr;
  if (pclColumn == nullptr) return 1;
  CNAIDAuto* pclIDAuto = pclGetIDAuto();
  if (pclIDAuto == nullptr) return 0;
  CAny clValue;
  if (!pclIDAuto->bGetNextValue(this, pclColumn, m_pclError, &clValue)) return 0;
  return pclColumn->bSetValue(&clValue, 0);
}
