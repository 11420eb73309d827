#include "host/harness/standin_connection.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

int CStandInConnection::g_nLive = 0;

namespace {

std::wstring Widen(const std::string& str) { return std::wstring(str.begin(), str.end()); }

}  // namespace

bool bReadServerFacts(const char* pszPath, _stServerFacts* pstFacts, std::string* pstrError) {
  if (pszPath == nullptr || *pszPath == 0) {
    *pstrError = "no server facts file (KQ_MARIADB_ENV is not set)";
    return false;
  }
  std::ifstream in(pszPath);
  if (!in) {
    *pstrError = std::string("cannot read ") + pszPath;
    return false;
  }
  std::map<std::string, std::string> values;
  std::string strLine;
  while (std::getline(in, strLine)) {
    const size_t nEquals = strLine.find('=');
    if (nEquals != std::string::npos) values[strLine.substr(0, nEquals)] = strLine.substr(nEquals + 1);
  }
  const struct {
    const char* pszKey;
    std::string* pstrValue;
  } kFields[] = {{"KQ_MARIADB_HOST", &pstFacts->strHost},
                 {"KQ_MARIADB_SOCKET", &pstFacts->strSocket},
                 {"KQ_MARIADB_USER", &pstFacts->strUser},
                 {"KQ_MARIADB_PASSWORD", &pstFacts->strPassword},
                 {"KQ_MARIADB_DATABASE", &pstFacts->strDatabase}};
  for (const auto& field : kFields) {
    auto it = values.find(field.pszKey);
    if (it == values.end() || it->second.empty()) {
      *pstrError = std::string(pszPath) + " has no " + field.pszKey;
      return false;
    }
    *field.pstrValue = it->second;
  }
  const unsigned long nPort = std::strtoul(values["KQ_MARIADB_PORT"].c_str(), nullptr, 10);
  if (nPort == 0 || nPort > 65535) {
    *pstrError = std::string(pszPath) + " has no valid KQ_MARIADB_PORT";
    return false;
  }
  pstFacts->nPort = static_cast<unsigned int>(nPort);
  return true;
}

CStandInConnection* CStandInConnection::pclNew(const _stValues& stValues) {
  return new CStandInConnection(stValues);
}

CStandInConnection::_stValues CStandInConnection::stFromFacts(const _stServerFacts& stFacts,
                                                              eRoute eRoute) {
  _stValues stValues;
  stValues.strUser = Widen(stFacts.strUser);
  stValues.strPassword = Widen(stFacts.strPassword);
  stValues.strProvider = L"MariaDB";
  stValues.strDefaultDataBase = Widen(stFacts.strDatabase);
  stValues.strConnectionName = L"KQCNX";
  if (eRoute == ROUTE_TCP) {
    stValues.strDataSource = Widen(stFacts.strHost);
    stValues.strExtendedInfo = L"Server Port=" + std::to_wstring(stFacts.nPort);
  } else {
    stValues.strDataSource = L"localhost";
    stValues.strExtendedInfo = L"Unix Socket=" + Widen(stFacts.strSocket);
  }
  return stValues;
}

CStandInConnection::CStandInConnection(const _stValues& stValues) : m_stValues(stValues) {
  ++g_nLive;
}

CStandInConnection::~CStandInConnection() { --g_nLive; }

void CStandInConnection::ExternalAddRef() {
  ++m_nAddRefCalls;
  ++m_nRefCount;
}

int CStandInConnection::nExternalRelease() {
  ++m_nReleaseCalls;
  if (m_nRefCount <= 0) {
    std::fprintf(stderr, "stand-in connection description: released more often than held\n");
    std::abort();
  }
  const int nCount = --m_nRefCount;
  if (nCount == 0) delete this;
  return nCount;
}

const _stNAHostConnection* CStandInConnection::pclGetConnection() {
  if (!m_stValues.strConnectionName) return nullptr;
  // Rebuilt on each call, as the name may have changed: the first word, then
  // the name and its terminator inline.
  const std::wstring& strName = *m_stValues.strConnectionName;
  m_abyConnection.assign(sizeof(uint32_t) + (strName.size() + 1) * sizeof(wchar_t), 0);
  const uint32_t dwWord = 0x434E5831;  // any value: the driver must not read it
  std::memcpy(m_abyConnection.data(), &dwWord, sizeof dwWord);
  std::memcpy(m_abyConnection.data() + sizeof dwWord, strName.c_str(),
              (strName.size() + 1) * sizeof(wchar_t));
  return reinterpret_cast<const _stNAHostConnection*>(m_abyConnection.data());
}

void CStandInConnection::Unlisted(int nSlot, const char* pszName) {
  std::fprintf(stderr,
               "stand-in connection description: the driver called slot %d (%s), which it is "
               "not known to call\n",
               nSlot, pszName);
  std::abort();
}
