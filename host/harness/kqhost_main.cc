// kqhost: the stand-in application server on the command line. It loads
// kq230maria.so as the server does, starts it in the server's order, gets the
// driver object, and, when KQ_MARIADB_ENV names a server's facts
// (scripts/mariadb-server.sh), opens connections through INADriver: one with
// a wrong password, whose error dump it prints, and one that succeeds, which
// it closes; then it prints the server's version, read with SELECT VERSION()
// through the handle-level SQL interface (INADriver::piGetInterface(1)), and
// the databases with their base tables (INADriver::bGetDatabaseList, flags
// 0x01). Then it releases the driver object and stops the library, and
// reports what the driver left behind. Each call between the two sides is
// printed with its number and its name (host/harness/call_names.h). When
// KQ_HOST_LOCK_TABLE names a table of that server, it also begins a
// transaction, locks the table and commits, all through INADriver.
//
//   kqhost [path/to/kq230maria.so]
//   kqhost describe TABLE [path/to/kq230maria.so]
//   kqhost [browse] [--env FILE] [--extended "KQ Cache Size=5;..."] [path/to/kq230maria.so]
//
// The second form, with KQ_MARIADB_ENV set, opens one connection and asks
// the driver for the table's description (INADriver::piGetTableDesc), as the
// server does when it reads a table's schema, and prints one line per item,
// tab-separated: name, item type number, size, key word (0x%04X), "N" when
// the item takes NULL or "-", "V" (virtual) or "S" (stored) for a computed
// item or "-". The key word is put together from the item's slots as the
// server reads them (primary 0x8000, unique 0x4000, duplicates 0x2000,
// composite 0x1000, ascending 0x0800, descending 0x0400): a primary key
// answers unique too, so it always shows 0x4000.
//
// The third form (the word "browse", or any option, chooses it) opens one
// connection by TCP to the server of FILE (default: KQ_MARIADB_ENV), with
// the extended parameters given added to the connection's own, and runs the
// commands of standard input (host/harness/browse_session.h): only their
// answers go to standard output, so that the rows diff against the mariadb
// client's; what the start and stop print goes to standard error.
//
// Exit status 0 when the driver loaded, started and stopped, every opening
// answered as expected, every browse command succeeded, and nothing of the
// server's was left behind.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/harness/browse_session.h"
#include "host/harness/call_names.h"
#include "host/harness/host_harness.h"
#include "host/harness/kqhost_values.h"
#include "host/harness/standin_connection.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/item_description_interface.h"
#include "kq230/na_driver_sql_interface.h"

namespace {

// Every name the server binds in a native-access driver.
const char* const kExports[] = {
    "bExternalInitLibrary", "ExternalTermLibrary", "piQueryInterface", "CheckVersion",
    "bDLLCompatible",       "Execution",           "CommandeComposante",
    "DLLRES_pLoadResourceModule", "bInitVXConvFromVM", "bInitVXCalcFromVM",
    "STRG_pszCreate",       "STRG_nGetChar",       "STRG_nGetLine",
};

// The interface version and compatibility level of the value entries that
// the stand-in announces.
constexpr int kValueInterfaceVersion = 2;

// The out-of-memory message: every driver has it.
constexpr unsigned int kSampleMessage = 25193;

// Prints the calls the stand-in logged from entry nFrom on, one a line, and
// answers the count logged so far.
int PrintCallsSince(std::FILE* pLog, const CHostHarness& harness, int nFrom) {
  const int nCount = harness.Control().nGetLogCount();
  if (nFrom >= nCount) std::fprintf(pLog, "  (nothing)\n");
  for (int i = nFrom; i < nCount; ++i) {
    int nCode = 0;
    intptr_t nArgument = 0;
    if (harness.Control().bGetLogEntry(i, &nCode, &nArgument))
      std::fprintf(pLog, "  %s\n", strDescribeVMCall(nCode, nArgument).c_str());
  }
  return nCount;
}

std::string Narrow(const wchar_t* psz) {
  std::string str;
  for (; psz != nullptr && *psz != 0; ++psz) str += *psz < 128 ? static_cast<char>(*psz) : '?';
  return str;
}

// A transaction through INADriver: begin, lock the table (a lock outside it is
// refused first), commit. False when an answer is not the expected one.
bool bLockInTransaction(INADriver* piDriver, const _stServerFacts& stFacts, const char* pszTable) {
  std::wstring strTable(pszTable, pszTable + std::strlen(pszTable));
  CStandInConnection* piHost = CStandInConnection::pclNew(
      CStandInConnection::stFromFacts(stFacts, CStandInConnection::ROUTE_TCP));
  bool bAsExpected = piDriver->bOpenConnection(piHost) == 1;
  const int bOutside = piDriver->bSQLBloqueTable(piHost, strTable.c_str());
  std::printf("kqhost: bSQLBloqueTable(%s) outside a transaction answers %d, user error %u\n",
              pszTable, bOutside, piDriver->piGetLastError()->dwGetErrorId());
  bAsExpected &= bOutside == 0;
  struct Step {
    const char* pszName;
    int (*pfnRun)(INADriver*, CStandInConnection*, const wchar_t*);
  };
  const Step aSteps[] = {
      {"bTransactionBegin(\"kqhost\")",
       [](INADriver* pi, CStandInConnection* h, const wchar_t*) {
         return pi->bTransactionBegin(h, L"kqhost");
       }},
      {"bSQLBloqueTable",
       [](INADriver* pi, CStandInConnection* h, const wchar_t* t) {
         return pi->bSQLBloqueTable(h, t);
       }},
      {"bTransactionCommit(\"kqhost\")",
       [](INADriver* pi, CStandInConnection* h, const wchar_t*) {
         return pi->bTransactionCommit(h, L"kqhost");
       }},
  };
  for (const Step& stStep : aSteps) {
    const int bResult = stStep.pfnRun(piDriver, piHost, strTable.c_str());
    std::printf("kqhost: %s answers %d\n", stStep.pszName, bResult);
    if (!bResult) std::printf("%s\n", Narrow(piDriver->piGetLastError()->pszGetError()).c_str());
    bAsExpected &= bResult == 1;
  }
  bAsExpected &= piDriver->bCloseConnection(piHost) == 1;
  std::printf("kqhost: after the commit and the close, the description was referenced %d times "
              "and released %d times by the driver\n",
              piHost->nAddRefCalls(), piHost->nReleaseCalls());
  bAsExpected &= piHost->nAddRefCalls() == piHost->nReleaseCalls();
  piHost->nExternalRelease();
  return bAsExpected;
}

// The server's version through the handle-level SQL interface, as the
// server's own SQL programs read a value: piGetInterface(1), a connection by
// handle, SELECT VERSION(), one fetch, the first column. False when a step
// fails.
bool bServerVersion(INADriver* piDriver, CStandInConnection* piHost) {
  auto* piSQL = static_cast<INADriverSQL*>(piDriver->piGetInterface(1));
  if (piSQL == nullptr) {
    std::printf("kqhost: piGetInterface(1) answers null\n");
    return false;
  }
  int nConnection = 0;
  bool bAsExpected = piSQL->bOpenConnection(&nConnection, piHost) == 1;
  int nStatement = 0;
  if (bAsExpected)
    bAsExpected = piSQL->bExecute(&nStatement, nConnection, L"SELECT VERSION()", nullptr, 0) == 1 &&
                  nStatement != 0;
  CAny* pValue = KqHostNewValue();
  std::string strVersion;
  if (bAsExpected)
    bAsExpected = pValue != nullptr && piSQL->bFetch(nConnection, nStatement, 0) == 1 &&
                  piSQL->bGetValue(pValue, nConnection, nStatement, 1, 0) == 1 &&
                  KqHostValueText(pValue, &strVersion);
  if (bAsExpected)
    std::printf("kqhost: the server's version (SELECT VERSION() through INADriverSQL): %s\n",
                strVersion.c_str());
  else
    std::printf("kqhost: SELECT VERSION() through INADriverSQL failed:\n%s\n",
                Narrow(piSQL->piGetLastError()->pszGetError()).c_str());
  KqHostDeleteValue(pValue);
  if (nStatement != 0) piSQL->bFreeStmt(nConnection, nStatement, 0);
  if (nConnection != 0) bAsExpected &= piSQL->bCloseConnection(nConnection) == 1;
  piSQL->nExternalRelease();
  return bAsExpected;
}

// The databases the connection's user sees, each with its base tables, as
// the server's catalogue browser asks for them (INADriver::bGetDatabaseList,
// flags 0x01): one line per database, its name then its tables, TAB between.
bool bDatabases(INADriver* piDriver, CStandInConnection* piHost) {
  bool bAsExpected = piDriver->bOpenConnection(piHost) == 1;
  CXYString<wchar_t>* pstrList = KqHostNewWideString();
  if (bAsExpected) bAsExpected = pstrList != nullptr &&
                                 piDriver->bGetDatabaseList(pstrList, piHost, 0x01) == 1;
  if (bAsExpected) {
    std::printf("kqhost: the databases and their tables (INADriver::bGetDatabaseList, flags "
                "0x01):\n");
    // One database a line on the terminal: the list's CR LF as LF.
    const std::string strList = KqHostWideStringText(pstrList);
    std::string strLines;
    for (size_t i = 0; i < strList.size(); ++i)
      if (!(strList[i] == '\r' && i + 1 < strList.size() && strList[i + 1] == '\n'))
        strLines += strList[i];
    std::printf("%s\n", strLines.c_str());
  } else {
    std::printf("kqhost: INADriver::bGetDatabaseList failed:\n%s\n",
                Narrow(piDriver->piGetLastError()->pszGetError()).c_str());
  }
  if (pstrList != nullptr) KqHostDeleteWideString(pstrList);
  bAsExpected &= piDriver->bCloseConnection(piHost) == 1;
  return bAsExpected;
}

// The connections of the main job against the server of the facts file. The
// server's reference to each description is released here; false when an
// opening did not answer as expected.
bool bConnect(INADriver* piDriver, const char* pszFacts) {
  _stServerFacts stFacts;
  std::string strError;
  if (!bReadServerFacts(pszFacts, &stFacts, &strError)) {
    std::fprintf(stderr, "kqhost: %s\n", strError.c_str());
    return false;
  }
  bool bAsExpected = true;
  // A wrong password: the server refuses, the driver says why (never with
  // the password).
  CStandInConnection::_stValues stWrong =
      CStandInConnection::stFromFacts(stFacts, CStandInConnection::ROUTE_TCP);
  stWrong.strPassword = L"not-the-password";
  CStandInConnection* piWrong = CStandInConnection::pclNew(stWrong);
  const int bWrong = piDriver->bOpenConnection(piWrong);
  std::printf("kqhost: bOpenConnection(%s@%s:%u, wrong password) answers %d; the error:\n",
              stFacts.strUser.c_str(), stFacts.strHost.c_str(), stFacts.nPort, bWrong);
  std::printf("%s\n", Narrow(piDriver->piGetLastError()->pszGetError()).c_str());
  bAsExpected &= bWrong == 0;
  piDriver->bCloseConnection(piWrong);
  piWrong->nExternalRelease();
  // The right one, by TCP and by the socket.
  for (auto eRoute : {CStandInConnection::ROUTE_TCP, CStandInConnection::ROUTE_SOCKET}) {
    CStandInConnection* piHost =
        CStandInConnection::pclNew(CStandInConnection::stFromFacts(stFacts, eRoute));
    const int bOpened = piDriver->bOpenConnection(piHost);
    std::printf("kqhost: bOpenConnection(%s@%s) answers %d\n", stFacts.strUser.c_str(),
                eRoute == CStandInConnection::ROUTE_TCP ? "TCP" : "socket", bOpened);
    if (!bOpened)
      std::printf("%s\n", Narrow(piDriver->piGetLastError()->pszGetError()).c_str());
    bAsExpected &= bOpened == 1;
    const int bClosed = piDriver->bCloseConnection(piHost);
    std::printf("kqhost: bCloseConnection answers %d; the description was referenced %d "
                "times and released %d times by the driver\n",
                bClosed, piHost->nAddRefCalls(), piHost->nReleaseCalls());
    bAsExpected &= piHost->nAddRefCalls() == piHost->nReleaseCalls();
    piHost->nExternalRelease();
  }
  // What the server holds, through the SQL interface and the catalogue.
  CStandInConnection* piCatalogue = CStandInConnection::pclNew(
      CStandInConnection::stFromFacts(stFacts, CStandInConnection::ROUTE_TCP));
  bAsExpected &= bServerVersion(piDriver, piCatalogue);
  bAsExpected &= bDatabases(piDriver, piCatalogue);
  std::printf("kqhost: after the catalogue, the description was referenced %d times and "
              "released %d times by the driver\n",
              piCatalogue->nAddRefCalls(), piCatalogue->nReleaseCalls());
  bAsExpected &= piCatalogue->nAddRefCalls() == piCatalogue->nReleaseCalls();
  piCatalogue->nExternalRelease();
  const char* pszTable = std::getenv("KQ_HOST_LOCK_TABLE");
  if (pszTable != nullptr && *pszTable != 0)
    bAsExpected &= bLockInTransaction(piDriver, stFacts, pszTable);
  return bAsExpected;
}


// A UTF-8 argument as a wide name.
std::wstring WideName(const char* psz) {
  std::wstring str;
  const auto* p = reinterpret_cast<const unsigned char*>(psz);
  while (*p != 0) {
    unsigned int c = *p++;
    int nMore = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (nMore > 0) c &= 0x3F >> nMore;
    for (; nMore > 0 && (*p & 0xC0) == 0x80; --nMore) c = (c << 6) | (*p++ & 0x3F);
    str += static_cast<wchar_t>(c);
  }
  return str;
}

// The key word of an item, from the slots the server reads.
unsigned int KeyWord(INAItemDescription* pi) {
  unsigned int w = 0;
  if (pi->bPrimary()) w |= 0x8000;
  if (pi->bUnique()) w |= 0x4000;
  if (pi->bDuplicates()) w |= 0x2000;
  if (pi->bIsComposedKey()) w |= 0x1000;
  if (pi->bGetAscendant(-1)) w |= 0x0800;
  if (pi->bGetDescendant(-1)) w |= 0x0400;
  return w;
}

// The description of one table through INADriver, one line per item. False
// when the description cannot be had.
bool bDescribe(INADriver* piDriver, const char* pszFacts, const char* pszTable) {
  _stServerFacts stFacts;
  std::string strError;
  if (!bReadServerFacts(pszFacts, &stFacts, &strError)) {
    std::fprintf(stderr, "kqhost: %s\n", strError.c_str());
    return false;
  }
  CStandInConnection* piHost = CStandInConnection::pclNew(
      CStandInConnection::stFromFacts(stFacts, CStandInConnection::ROUTE_TCP));
  bool bAsExpected = piDriver->bOpenConnection(piHost) == 1;
  const std::wstring strTable = WideName(pszTable);
  INADataSourceDescription* piSource = piDriver->piGetTableDesc(strTable.c_str(), piHost);
  if (piSource == nullptr) {
    std::printf("kqhost: piGetTableDesc(%s) answers null; the error:\n%s\n", pszTable,
                strHostUtf8(piDriver->piGetLastError()->pszGetError()).c_str());
    bAsExpected = false;
  } else {
    const int nItems = piSource->nGetNumItems();
    std::printf("kqhost: piGetTableDesc(%s) gives %d items, %d keys\n", pszTable, nItems,
                piSource->nGetNumKeys());
    std::printf("name\ttype\tsize\tkey\tnull\tcomputed\n");
    for (int i = 0; i < nItems; ++i) {
      INAItemDescription* pi = piSource->piNAGetItem(static_cast<unsigned int>(i));
      if (pi == nullptr) continue;
      // Items of an older analysis (version 8) say nothing of NULL.
      const bool bNull = pi->nGetVersion() > 8 && pi->vbConstraintNullAllowed();
      const char* pszComputed = "-";
      if (pi->nGetVersion() > 8 && pi->vbIsComputedColumnAll())
        pszComputed = pi->vbComputedColumnPersist() ? "S" : "V";
      std::printf("%s\t%d\t%d\t0x%04X\t%s\t%s\n", strHostUtf8(pi->pszGetName()).c_str(),
                  static_cast<int>(pi->eNAGetItemType()), pi->nGetItemSize(), KeyWord(pi),
                  bNull ? "N" : "-", pszComputed);
      pi->nExternalRelease();
    }
    piSource->nExternalRelease();
  }
  bAsExpected &= piDriver->bCloseConnection(piHost) == 1;
  bAsExpected &= piHost->nAddRefCalls() == piHost->nReleaseCalls();
  piHost->nExternalRelease();
  return bAsExpected;
}

// The browse: one connection by TCP to the server of the facts, with the
// extended parameters added, and the commands of standard input. False when the
// connection could not be opened or a command failed.
bool bBrowse(INADriver* piDriver, const char* pszFacts, const char* pszExtended) {
  _stServerFacts stFacts;
  std::string strError;
  if (!bReadServerFacts(pszFacts, &stFacts, &strError)) {
    std::fprintf(stderr, "kqhost: %s\n", strError.c_str());
    return false;
  }
  CStandInConnection::_stValues stValues =
      CStandInConnection::stFromFacts(stFacts, CStandInConnection::ROUTE_TCP);
  if (pszExtended != nullptr && *pszExtended != 0)
    stValues.strExtendedInfo = *stValues.strExtendedInfo + L";" + WideName(pszExtended);
  CStandInConnection* piHost = CStandInConnection::pclNew(stValues);
  bool bAsExpected = true;
  if (piDriver->bOpenConnection(piHost) != 1) {
    std::printf("%s\n",
                strErrorLine(piDriver->piGetLastError(), stValues.strPassword->c_str()).c_str());
    bAsExpected = false;
  } else {
    CBrowseSession clSession(piDriver, piHost, stdout, stderr);
    const int nFailed = clSession.nRunAll(stdin);
    if (nFailed != 0) std::fprintf(stderr, "kqhost: %d browse commands failed\n", nFailed);
    bAsExpected = nFailed == 0;
  }
  std::fflush(stdout);
  bAsExpected &= piDriver->bCloseConnection(piHost) == 1;
  // The driver keeps its table objects, and with them the description, until
  // the driver object goes: the balance is checked at the end, in main.
  std::fprintf(stderr,
               "kqhost: after the browse and the close, the description was referenced %d times "
               "and released %d times by the driver\n",
               piHost->nAddRefCalls(), piHost->nReleaseCalls());
  piHost->nExternalRelease();
  return bAsExpected;
}

}  // namespace

int main(int argc, char** argv) {
  // "describe TABLE", and "browse" with its options, come before the
  // driver's path.
  const char* pszDescribe = nullptr;
  bool bBrowseMode = false;
  const char* pszFacts = std::getenv("KQ_MARIADB_ENV");
  const char* pszExtended = nullptr;
  if (argc > 2 && std::strcmp(argv[1], "describe") == 0) {
    pszDescribe = argv[2];
    argv += 2;
    argc -= 2;
  } else {
    if (argc > 1 && std::strcmp(argv[1], "browse") == 0) {
      bBrowseMode = true;
      ++argv;
      --argc;
    }
    while (argc > 1 && std::strncmp(argv[1], "--", 2) == 0) {
      bBrowseMode = true;
      const bool bEnv = std::strcmp(argv[1], "--env") == 0;
      const bool bExtended = std::strcmp(argv[1], "--extended") == 0;
      if ((!bEnv && !bExtended) || argc < 3) {
        std::fprintf(stderr,
                     "kqhost: usage: kqhost [browse] [--env FILE] [--extended TEXT] "
                     "[path/to/kq230maria.so]\n");
        return 2;
      }
      (bEnv ? pszFacts : pszExtended) = argv[2];
      argv += 2;
      argc -= 2;
    }
  }
  // A browse's standard output carries its answers only.
  std::FILE* pLog = bBrowseMode ? stderr : stdout;
  CHostHarness harness;
  std::string strError;
  if (!harness.bLoad(&strError, argc > 1 ? argv[1] : nullptr)) {
    std::fprintf(stderr, "kqhost: %s\n", strError.c_str());
    return 1;
  }
  std::fprintf(pLog, "kqhost: loaded %s\n",
               argc > 1 ? argv[1] : CHostHarness::pszDefaultDriverPath());
  int nMissing = 0;
  for (const char* pszName : kExports) {
    const bool bHere = harness.pSymbol(pszName) != nullptr;
    nMissing += !bHere;
    std::fprintf(pLog, "  %-28s %s\n", pszName, bHere ? "exported" : "not yet");
  }

  // The server's start: the version check, the library's initialisation and
  // the handshakes of its database engine and SQL parser, then the services.
  std::fprintf(pLog, "kqhost: CheckVersion answers %d\n", harness.nCheckVersion());
  std::fprintf(pLog, "kqhost: bExternalInitLibrary answers %d\n", harness.bExternalInitLibrary());
  for (int nKind : {7, 28}) {
    int nOwn = 0;
    const int bCompatible = harness.bDLLCompatible(nKind, 36, &nOwn);
    std::fprintf(pLog, "kqhost: bDLLCompatible(%d, 36) answers %d, the driver's version %d\n",
                 nKind, bCompatible, nOwn);
  }
  const int nStarted = harness.nStart();
  if (!nStarted) {
    std::fprintf(stderr, "kqhost: Execution(%u, %s) refused the start\n", MODULE_CODE_INIT,
                 pszModuleCodeName(MODULE_CODE_INIT));
    return 1;
  }
  std::fprintf(pLog, "kqhost: Execution(%u, %s) answers %d; the driver asked the server for:\n",
               MODULE_CODE_INIT, pszModuleCodeName(MODULE_CODE_INIT), nStarted);
  int nLogged = PrintCallsSince(pLog, harness, 0);
  // A numbered message, asked for as the server asks for one.
  wchar_t szMessage[256];
  _stLoadStringRequest stRequest = {sizeof stRequest, kSampleMessage, szMessage, 256, 0};
  if (harness.nCommandeComposante(COMPONENT_LOAD_STRING, &stRequest) > 0) {
    std::fprintf(pLog, "kqhost: message %u reads \"%s\"\n", kSampleMessage,
                 Narrow(szMessage).c_str());
  } else {
    std::fprintf(pLog, "kqhost: message %u not found\n", kSampleMessage);
  }
  // The server hands its value entries to the driver right after the start:
  // conversions and the decimal factory, then comparison and arithmetic.
  typedef int (*PFNBINDVALUES)(void* hLibrary, int nVersion, int nCompat);
  const char* const kBindings[] = {"bInitVXConvFromVM", "bInitVXCalcFromVM"};
  for (const char* pszName : kBindings) {
    auto pfnBind = reinterpret_cast<PFNBINDVALUES>(harness.pSymbol(pszName));
    if (pfnBind == nullptr) continue;
    std::fprintf(pLog, "kqhost: %s(version 2, compatibility 2) answers %d\n", pszName,
                 pfnBind(harness.hVM(), kValueInterfaceVersion, kValueInterfaceVersion));
  }
  // The values and lists kqhost reads back hold buffers of the server's
  // string allocator.
  KqHostBindStringAllocator(harness.Control().piGetStrMemAlloc());
  // The driver object, and what the server hands it before any connection.
  INADriver* piDriver = harness.piQueryInterface();
  if (piDriver == nullptr) {
    std::fprintf(stderr, "kqhost: piQueryInterface answered null\n");
    return 1;
  }
  std::fprintf(pLog,
               "kqhost: piQueryInterface gives a driver object of version %d (compatible since "
               "%d)\n",
               piDriver->nGetVersion(), piDriver->nGetCompatSince());
  std::fprintf(pLog, "kqhost: bSetVMAndLibShop answers %d, bSetZB answers %d\n",
               piDriver->bSetVMAndLibShop(harness.Control().piGetLibShop(0), nullptr),
               piDriver->bSetZB(harness.Control().piGetZBForNA()));
  bool bAsExpected = true;
  if (pszFacts != nullptr && *pszFacts != 0) {
    bAsExpected = bBrowseMode              ? bBrowse(piDriver, pszFacts, pszExtended)
                  : pszDescribe != nullptr ? bDescribe(piDriver, pszFacts, pszDescribe)
                                           : bConnect(piDriver, pszFacts);
  } else {
    std::fprintf(pLog, "kqhost: KQ_MARIADB_ENV is not set: no connection is opened\n");
    // Nothing to describe or browse a table from.
    if (pszDescribe != nullptr || bBrowseMode) bAsExpected = false;
  }
  // The server's stop: the driver object, then the library.
  std::fprintf(pLog, "kqhost: nExternalRelease answers %d\n", piDriver->nExternalRelease());
  KqHostBindStringAllocator(nullptr);
  std::fprintf(pLog, "kqhost: ExternalTermLibrary answers %d\n", harness.nExternalTermLibrary());
  const int nStopped = harness.nStop();
  std::fprintf(pLog, "kqhost: Execution(%u, %s) answers %d; the driver asked the server for:\n",
               MODULE_CODE_TERM, pszModuleCodeName(MODULE_CODE_TERM), nStopped);
  nLogged = PrintCallsSince(pLog, harness, nLogged);
  std::fprintf(pLog, "kqhost: stopped; %d of %zu entry points not offered yet\n", nMissing,
               sizeof kExports / sizeof kExports[0]);
  const int nLiveBuffers = harness.Control().nLiveStrBuffers();
  std::fprintf(pLog,
               "kqhost: counted string buffers live at the end: %d; connection descriptions "
               "still referenced: %d\n",
               nLiveBuffers, CStandInConnection::g_nLive);
  return bAsExpected && nLiveBuffers == 0 && CStandInConnection::g_nLive == 0 ? 0 : 1;
}

// In a sanitized build run under qemu's user-mode emulator, LeakSanitizer
// cannot stop the world (it needs ptrace) and would hang the program at exit;
// the tests check leaks their own way there (tests/support/leak_check.h).
#ifdef KQ_NO_LEAK_SANITIZER
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
  return "detect_leaks=0";
}
#endif
