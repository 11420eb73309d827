// HostConnectionFake: a server-side connection description (the
// INAConnectionDescription that the application server hands in) whose values
// a test sets directly, counting the calls the driver makes on it, for the
// in-process tests of the connection description and the MariaDB connection.
#ifndef KQ230_TESTS_MARIADB_HOST_CONNECTION_FAKE_H_
#define KQ230_TESTS_MARIADB_HOST_CONNECTION_FAKE_H_

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "kq230/connection_description_interface.h"

namespace kqtest {

class HostConnectionFake : public INAConnectionDescription {
 public:
  // Values answered by the slots; nullopt answers null.
  int nVersion = 4;
  std::optional<std::wstring> user, password, dataSource, description, provider, extended,
      defaultDatabase, logicalName, name;
  int nConnectionTimeout = 15, nCommandTimeout = 30;
  int32_t lCursorOptions = 0;
  int64_t llCacheSize = 1234;

  // Calls seen.
  int nAddRefs = 0, nReleases = 0, nDefaultDatabaseCalls = 0;

  HostConnectionFake() = default;
  HostConnectionFake(const HostConnectionFake&) = delete;
  HostConnectionFake& operator=(const HostConnectionFake&) = delete;
  ~HostConnectionFake() { std::free(m_pConnection); }

  int nOutstanding() const { return nAddRefs - nReleases; }

  int nGetVersion() override { return nVersion; }
  int nGetCompatSince() override { return 1; }
  int nGetNAVersion() override { return 1; }
  int nGetNACompatSince() override { return 1; }
  void NAVersion_EmptySlot_3() override {}
  void ExternalAddRef() override { ++nAddRefs; }
  int nExternalRelease() override { return ++nReleases, nOutstanding(); }
  const wchar_t* pszGetUserName() override { return psz(user); }
  const wchar_t* pszGetPassword() override { return psz(password); }
  const wchar_t* pszGetDataBase() override { return psz(dataSource); }
  const wchar_t* pszGetDescription() override { return psz(description); }
  _eNA_ACCESS eGetAccess() override { return _eNA_ACCESS(0); }
  int nGetNbParam() override { return 0; }
  void* pclGetParam(int) override { return nullptr; }
  const wchar_t* pszGetProvider() override { return psz(provider); }
  int nGetConnectionTimeout() override { return nConnectionTimeout; }
  int nGetCommandTimeout() override { return nCommandTimeout; }
  const wchar_t* pszGetExtendedInfo() override { return psz(extended); }
  const _stNAHostConnection* pclGetConnection() override {
    if (!name) return nullptr;
    std::free(m_pConnection);
    size_t nBytes = sizeof(uint32_t) + (name->size() + 1) * sizeof(wchar_t);
    m_pConnection = static_cast<_stNAHostConnection*>(std::calloc(1, nBytes));
    std::memcpy(reinterpret_cast<unsigned char*>(m_pConnection) + sizeof(uint32_t), name->c_str(),
                (name->size() + 1) * sizeof(wchar_t));
    return m_pConnection;
  }
  int32_t lGetCursorOptions() override { return lCursorOptions; }
  int _vnReserved20() override { std::abort(); }
  const wchar_t* pszGetDefaultDataBase() override {
    ++nDefaultDatabaseCalls;
    return psz(defaultDatabase);
  }
  int64_t llGetCacheSize() override { return llCacheSize; }
  int _vnReserved23() override { std::abort(); }
  int _vnReserved24() override { std::abort(); }
  const wchar_t* pszGetLogicalConnectionName() override { return psz(logicalName); }

 private:
  static const wchar_t* psz(const std::optional<std::wstring>& s) {
    return s ? s->c_str() : nullptr;
  }
  _stNAHostConnection* m_pConnection = nullptr;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_MARIADB_HOST_CONNECTION_FAKE_H_
