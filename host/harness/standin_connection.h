// CStandInConnection: the stand-in server's description of one connection
// (INAConnectionDescription), made from the facts of a MariaDB server, for
// the tests and kqhost to hand to the driver.
//
// It plays the server's part strictly: it answers only the slots that the
// driver is known to call (0, 5-19, 21, 22, 25) and aborts the process,
// naming the slot, when the driver calls any other; it counts the driver's
// references (slots 5 and 6) so that a test can see them balanced; and it
// deletes itself when its last reference goes, as the server's object does.
//
// Values: each text is either absent (the slot answers null) or a text.
// Facts of a server: TCP gives data source "127.0.0.1" and "Server Port=<n>"
// in the extended information; the socket gives data source "localhost" and
// "Unix Socket=<path>". The database goes to the default database (slot 21).
//
// Ownership: made with one reference, the creator's; the creator releases it
// (nExternalRelease) when done. g_nLive counts the descriptions not yet
// deleted, process-wide.
// Threads: one thread at a time (the driver calls it under its lock).
#ifndef KQ230_HOST_HARNESS_STANDIN_CONNECTION_H_
#define KQ230_HOST_HARNESS_STANDIN_CONNECTION_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kq230/connection_description_interface.h"

// The facts that scripts/mariadb-server.sh writes for a throwaway server.
struct _stServerFacts {
  std::string strHost;  // the loopback address it listens on
  unsigned int nPort = 0;
  std::string strSocket;
  std::string strUser;
  std::string strPassword;
  std::string strDatabase;
};

// Reads the KEY=value file at pszPath (KQ_MARIADB_HOST, _PORT, _SOCKET,
// _USER, _PASSWORD, _DATABASE). False with *pstrError naming the path and the
// missing key (never a value) when something is missing.
bool bReadServerFacts(const char* pszPath, _stServerFacts* pstFacts, std::string* pstrError);

class CStandInConnection final : public INAConnectionDescription {
 public:
  // How a connection made from server facts reaches the server.
  enum eRoute { ROUTE_TCP, ROUTE_SOCKET };

  struct _stValues {
    std::optional<std::wstring> strUser, strPassword, strDataSource, strDescription;
    std::optional<std::wstring> strProvider, strExtendedInfo, strDefaultDataBase;
    std::optional<std::wstring> strLogicalName;
    // The name in the server's connection object (slot 18); absent: no object.
    std::optional<std::wstring> strConnectionName;
    int nInterfaceVersion = 4;
    _eNA_ACCESS eAccess = _eNA_ACCESS(0);
    int nConnectionTimeout = 15;
    int nCommandTimeout = 30;
    int32_t lCursorOptions = 0;
    int64_t llCacheSize = 0;
  };

  // A description with these values and one reference (the caller's).
  static CStandInConnection* pclNew(const _stValues& stValues);
  // The values for a server's facts by the route, under the connection name
  // "KQCNX"; the provider "MariaDB".
  static _stValues stFromFacts(const _stServerFacts& stFacts, eRoute eRoute);

  // Descriptions made and not yet deleted, in this process.
  static int g_nLive;

  // The values, changeable between calls of the driver.
  _stValues& Values() { return m_stValues; }
  int nGetRefCount() const { return m_nRefCount; }
  // References taken and given back through slots 5 and 6 (the creator's
  // release included).
  int nAddRefCalls() const { return m_nAddRefCalls; }
  int nReleaseCalls() const { return m_nReleaseCalls; }

  // ---- INAConnectionDescription
  int nGetVersion() override { return m_stValues.nInterfaceVersion; }
  int nGetCompatSince() override { Unlisted(1, "nGetCompatSince"); }
  int nGetNAVersion() override { Unlisted(2, "nGetNAVersion"); }
  int nGetNACompatSince() override { Unlisted(3, "nGetNACompatSince"); }
  void NAVersion_EmptySlot_3() override { Unlisted(4, "NAVersion_EmptySlot_3"); }
  void ExternalAddRef() override;
  int nExternalRelease() override;
  const wchar_t* pszGetUserName() override { return psz(m_stValues.strUser); }
  const wchar_t* pszGetPassword() override { return psz(m_stValues.strPassword); }
  const wchar_t* pszGetDataBase() override { return psz(m_stValues.strDataSource); }
  const wchar_t* pszGetDescription() override { return psz(m_stValues.strDescription); }
  _eNA_ACCESS eGetAccess() override { return m_stValues.eAccess; }
  int nGetNbParam() override { return 0; }
  void* pclGetParam(int) override { return nullptr; }
  const wchar_t* pszGetProvider() override { return psz(m_stValues.strProvider); }
  int nGetConnectionTimeout() override { return m_stValues.nConnectionTimeout; }
  int nGetCommandTimeout() override { return m_stValues.nCommandTimeout; }
  const wchar_t* pszGetExtendedInfo() override { return psz(m_stValues.strExtendedInfo); }
  const _stNAHostConnection* pclGetConnection() override;
  int32_t lGetCursorOptions() override { return m_stValues.lCursorOptions; }
  int _vnReserved20() override { Unlisted(20, "slot 20"); }
  const wchar_t* pszGetDefaultDataBase() override { return psz(m_stValues.strDefaultDataBase); }
  int64_t llGetCacheSize() override { return m_stValues.llCacheSize; }
  int _vnReserved23() override { Unlisted(23, "slot 23"); }
  int _vnReserved24() override { Unlisted(24, "slot 24"); }
  const wchar_t* pszGetLogicalConnectionName() override { return psz(m_stValues.strLogicalName); }

 private:
  explicit CStandInConnection(const _stValues& stValues);
  ~CStandInConnection();

  static const wchar_t* psz(const std::optional<std::wstring>& str) {
    return str ? str->c_str() : nullptr;
  }
  [[noreturn]] static void Unlisted(int nSlot, const char* pszName);

  _stValues m_stValues;
  // The server's connection object: its first word, then the name inline.
  std::vector<unsigned char> m_abyConnection;
  int m_nRefCount = 1;
  int m_nAddRefCalls = 0;
  int m_nReleaseCalls = 0;
};

#endif  // KQ230_HOST_HARNESS_STANDIN_CONNECTION_H_
