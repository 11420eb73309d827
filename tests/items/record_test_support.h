// Test support for columns and records: a connection description that
// quotes names with backquotes as MariaDB's does, of a server kind the test
// chooses, and reaches no server; and a data access that gives a record its
// buffers and record values (the statements' classes), a table or a parsed
// query as source, and no record identifier.
//
// The data access lays buffers out zeroed unless told to give items their
// default values: the stand-in server's items refuse to be asked for a
// default value (they abort), as the real server's cannot answer it in the
// driver's form.
//
// Ownership: both are counted as CInterf (born at 0); the test takes the
// first reference. The connection holds the host's description as every
// connection description does.
// Threads: one test at a time.
#ifndef KQ230_TESTS_ITEMS_RECORD_TEST_SUPPORT_H_
#define KQ230_TESTS_ITEMS_RECORD_TEST_SUPPORT_H_

#include <new>
#include <string>

#include "driver/connection_description.h"
#include "items/items_data_access_interface.h"
#include "items/parsed_query.h"
#include "statements/record_buffer.h"
#include "statements/record_value.h"
#include "tests/mariadb/host_connection_fake.h"

namespace kqtest {

class ItemsTestConnection : public CNAConnectionDescription {
 public:
  ItemsTestConnection(INAConnectionDescription* piHost, int nServerKind)
      : CNAConnectionDescription(L"Connection=items", piHost) {
    _SetQuotes(L"`", L"`");
    _SetServerKind(nServerKind);
  }
  int bOpen(CNAError*) override { return 1; }
  int bIsOpen() const override { return 1; }
  int bClose(CNAError*) override { return 1; }
  void _InitZB2NativeType() override {}
  void SetServerKind(int nKind) { _SetServerKind(nKind); }
};

// Interface: CNAItemsDataAccess, or a data access interface derived from it
// (the statements' test data access adds their call-backs on top).
template <class Interface>
class BasicTestItemsDataAccess : public Interface {
 public:
  BasicTestItemsDataAccess(CNAConnectionDescription* pclConnection, const wchar_t* pszLogicalName)
      : m_pclConnection(pclConnection), m_strName(pszLogicalName) {}

  // ---- CNADataAccessBase
  void SetContext(CNAContext*) override {}
  int bIsOpened() override { return 1; }
  int bHFerme() override { return 1; }
  int bHMode(_eNA_HMODE) override { return 1; }
  const wchar_t* pszGetLogicalName() override { return m_strName.c_str(); }
  const wchar_t* pszGetAliasName() override { return m_strName.c_str(); }
  const wchar_t* pszGetDBTableName() override { return m_strName.c_str(); }
  CNAConnectionDescription* pclGetConnection() override { return m_pclConnection; }

  // ---- CNAItemsDataAccess
  int bSourceIsQuery() const override { return m_bQuery; }
  CNAParsedQuery* pclGetSourceQueryNoRef() const override { return m_pclQuery; }
  CNAZBRecordBase* pclAllocZBRecord(CNAError*, INADataSourceDescription* piSource,
                                    eINITTYPE eInit) override {
    ++nBuffersMade;
    CNAZBRecord* pclBuffer = new (std::nothrow) CNAZBRecord;
    if (pclBuffer == nullptr) return nullptr;
    if (!pclBuffer->bInit(piSource, m_bDefaultValues ? eInit : INIT_ZEROED)) {
      delete pclBuffer;
      return nullptr;
    }
    return pclBuffer;
  }
  CNARecordValueBase* pclAllocRecordValue(CNAError* pclError) override {
    ++nValuesMade;
    return new (std::nothrow) CNARecordValue(pclError);
  }
  CNARecordIdBase* pclAllocRecordID(const CNARecordValueBase*) override { return nullptr; }

  // ---- Set by the test
  int m_bQuery = 0;
  CNAParsedQuery* m_pclQuery = nullptr;  // not counted
  int m_bDefaultValues = 0;
  int nBuffersMade = 0;
  int nValuesMade = 0;

 private:
  CNAConnectionDescription* m_pclConnection;
  std::wstring m_strName;
};

using TestItemsDataAccess = BasicTestItemsDataAccess<CNAItemsDataAccess>;

}  // namespace kqtest

#endif  // KQ230_TESTS_ITEMS_RECORD_TEST_SUPPORT_H_
