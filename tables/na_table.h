// CNATable: the table object that the server holds (as INATable) for one
// database table, or for the kept result of one query, and on which it calls
// every record command. The driver makes it through its table factory and
// keeps it in its table of table objects under its identification
// ("Table=%s;%s" for a table shared by all contexts, "CTX=%u;Table=%s;%s"
// for a query result private to one context).
//
// The table does almost no database work itself. Each server context that
// opens it gets its own data access (tables/na_data_access.h), kept by the
// driver's context under the server's data identifier; nearly every record
// command is a forwarder: take the driver lock, find the calling context's
// data access, call its operation of the same name, answer its result. A
// context that never opened the table gets user error 19 naming the table in
// the table's error (the driver's), and 0. The data access reports into its
// context's error, which piGetLastError (ctx) answers.
//
// The lookup memo: one per process, for all tables. Consecutive commands of
// one file object skip the two hash lookups (driver contexts, then the
// context's data accesses) while the memo holds the pair (context
// identifier, data identifier) and its data access. The memo holds a
// reference on that data access, so it can never answer a freed one, and it
// is valid only while no context lost a data access or was closed or
// dropped since it was filled (CNAContext::g_dwGetEpoch): otherwise a closed
// context, or a context identifier the server reused after closing it, would
// be answered a data access that is no longer its own. It is cleared when
// the data access leaves its table and when the table dies.
//
// Counts: the internal one is the driver's (its table of table objects holds
// one, each running operation one more), the external one the server's. The
// object dies when both are 0. The server's last release while only the
// driver's table still holds it unregisters it through the driver
// (CNADriver::nReleaseTable), which destroys it. A release past 0 is
// ignored (answers 0, destroys nothing). The server may release it after
// the driver object is gone: then nothing is asked of the driver.
//
// Ownership: one reference on its connection (given back through the driver
// so that a closed connection that only the table kept alive is closed), one
// on the error (the driver's current error when the driver made it), one
// external reference on the description, one on each data access of its
// data-access table, one on the query parameter values (none are set yet).
// Threads: every operation that touches data accesses, contexts or counts
// runs under the driver's recursive lock, including the call into the data
// access; AddRef and nRelease take none (the driver calls them under its
// lock). The memo is read and written only under the lock.
#ifndef KQ230_TABLES_NA_TABLE_H_
#define KQ230_TABLES_NA_TABLE_H_

#include "core/hash_table_bounce.h"
#include "core/wide_string.h"
#include "driver/table_interface.h"

class CNADataAccess;
class CNAContext;
class INADataSourceDescription;
class INAQueryParametersValue;

class CNATable : public CNATableBase {
 public:
  // The error file number of the table's debug lines.
  static constexpr int kErrorFile = 6;

  // Both counts 0. Takes one reference on the connection and on the error
  // (either may be null) and an external one on the description (null for a
  // query table).
  CNATable(const wchar_t* pszIdentification, INADataSourceDescription* piSource,
           CNAConnectionDescription* pclConnection, CNAError* pclError);
  CNATable(const CNATable&) = delete;
  CNATable& operator=(const CNATable&) = delete;

  // ---- INATable: version head and counts
  int nGetVersion() override { return 11; }
  int nGetCompatSince() override { return 8; }
  // Under the driver lock: one more external reference.
  void ExternalAddRef() override;
  // Under the driver lock: one external reference less (nothing below 0;
  // answers 0 then). At 0 with only the driver's table holding it, it is
  // unregistered and destroyed (0); at 0 with no holder at all it is
  // destroyed. Otherwise the new external count.
  int nExternalRelease() override;

  // ---- INATable: the table as a whole
  // The calling context's error when the driver knows the context, else the
  // table's.
  INAError* piGetLastError(INAContext* piContext) override;
  // Whether the calling context's data access is open; 0 without one.
  int bIsOpened(INAContext* piContext) override;
  // The description with one external reference for the caller; null when
  // the table has none (a query table before its result).
  INADataSourceDescription* piGetDataSourceDescription() override;
  // REQUIRES: pbNeed non-null (else 0).
  int bNbEnrNeedParse(INAContext* piContext, int* pbNeed, const wchar_t* pszItem) override;
  // Not offered: user error 8 (type 7), copied into the context's error; 0.
  int FreeMemory(INAContext* piContext, void** ppMemory) override;

  // ---- INATable: opening and closing
  int bHReindexe(INAContext* piContext, unsigned int dwOptions, IGaugeControl* piGauge) override;
  int bHCreationSiInexistant(INAContext* piContext, _eNA_ACCESS eAccess,
                             const wchar_t* pszPassword) override;
  int bHCreation(INAContext* piContext, const wchar_t* pszName) override;
  // Opens the connection, gets (or makes) the context's data access and
  // opens it. A data access made by a failed call is removed again; one that
  // existed before stays.
  int bHOuvre(INAContext* piContext, _eNA_ACCESS eAccess, const wchar_t* pszPassword) override;
  // The lock mode of this table's name in the context (1 without context).
  int bHMode(INAContext* piContext, _eNA_HMODE eMode) override;
  // Closes the context's data access and removes it, whatever the close
  // answered; 1 when the context has none.
  int bHFerme(INAContext* piContext) override;

  // ---- INATable: the forwarders (see the .h of the data access)
  int bHAjoute(INAContext* piContext, unsigned int dwFlags, eNA_LOCKTYPE eLock) override;
  int bHEcrit(INAContext* piContext, long long llRecNum, unsigned int dwFlags,
              eNA_LOCKTYPE eLock) override;
  int bHRaye(INAContext* piContext, long long llRecNum, eNA_LOCKTYPE eLock) override;
  int bHSupprime(INAContext* piContext, long long llRecNum, eNA_LOCKTYPE eLock) override;
  int bHModifie(INAContext* piContext, long long llRecNum, unsigned int dwFlags,
                eNA_LOCKTYPE eLock) override;
  int bHRecherche(INAContext* piContext, const wchar_t* pszItem, const CAny* pValue, int bGeneric,
                  int nCompare, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut, int nOption,
                  unsigned int dwFlags) override;
  int bHLibere(INAContext* piContext) override;
  int bHLit(INAContext* piContext, long long llRecNum, eNA_LOCKTYPE eLock,
            eNA_LOCKTYPE* peLockOut) override;
  int bHLitxxx(INAContext* piContext, const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection,
               int nOption, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut,
               unsigned int dwFlags) override;
  int bSkipRecord(INAContext* piContext, const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection,
                  long long llStep, int nOption, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut,
                  unsigned int dwFlags) override;
  int bHBloqueFichier(INAContext* piContext, eNA_LOCKTYPE eLock,
                      eNA_LOCKTYPE* peLockOut) override;
  int bHDebloqueFichier(INAContext* piContext) override;
  int bHBloqueNumEnr(INAContext* piContext, long long llRecNum, eNA_LOCKTYPE eLock,
                     eNA_LOCKTYPE* peLockOut) override;
  int bHDebloqueNumEnr(INAContext* piContext, long long llRecNum) override;
  int bHEnDehors(INAContext* piContext, const wchar_t* pszItem, int* pbOut) override;
  int bEvalHTrouve(INAContext* piContext, const wchar_t* pszItem, int* pbFound,
                   int* pbEvaluated) override;
  int bSetNextOperation(INAContext* piContext, eNA_OPERATION eOperation) override;
  // Resets neither error; 0 (with user error 19) without a data access.
  long long llGetRecNum(INAContext* piContext) override;
  int bGetRecNumState(INAContext* piContext, long long llRecNum, unsigned int* pdwState) override;
  int bHFiltre(INAContext* piContext, ISQLParserInformation* piQuery, wchar_t* pszText) override;
  int bHFiltre(INAContext* piContext, const wchar_t* pszItem, const CAny* pMin, int bMinIncluded,
               const CAny* pMax, int bMaxIncluded, ISQLParserInformation* piQuery) override;
  int bHActiveFiltre(INAContext* piContext, const wchar_t* pszItem, unsigned int dwFlags) override;
  // 1 without a data access: there is no filter to give up.
  int bHDesactiveFiltre(INAContext* piContext, const wchar_t* pszItem,
                        unsigned int dwFlags) override;
  int bHRetourPosition(INAContext* piContext, int nPosition, wchar_t* pszItem, int bKeep,
                       unsigned int dwKind) override;
  // 1 without a data access: there is no position to free.
  int bHLiberePosition(INAContext* piContext, int nPosition) override;
  int bHSauvePosition(INAContext* piContext, const wchar_t* pszItem, int* pnPosition,
                      unsigned int dwKind) override;
  int bHVersion(INAContext* piContext, int* pnVersion) override;
  int bHNbEnr(INAContext* piContext, long long* pllCount, unsigned int dwWhat,
              unsigned int dwFlags) override;
  int bHPositionCourante(INAContext* piContext, const wchar_t* pszItem, int* pnPosition,
                         eNA_PRECISION ePrecision, unsigned int dwFlags) override;
  int bHPositionne(INAContext* piContext, const wchar_t* pszItem, unsigned int dwPosition,
                   eNA_PRECISION ePrecision, unsigned int dwFlags) override;
  int bGetBLOB(INAContext* piContext, unsigned int nItem, CAny* pValue) override;
  int bSetBLOB(INAContext* piContext, unsigned int nItem, const CAny* pValue) override;
  int bGetRecord(INAContext* piContext, CNAZBRecordBase** ppRecord) override;
  int bSetRecord(INAContext* piContext, CNAZBRecordBase* pRecord) override;
  int bHAttacheMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile) override;
  int bExtraitMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile) override;
  int bHAnnuleRecherche(INAContext* piContext, const wchar_t* pszItem) override;
  int bHChangeCle(INAContext* piContext, const wchar_t* pszItem, unsigned int dwFlags) override;
  int bHConstruitValCle(INAContext* piContext, CAny* pOut, const wchar_t* pszItem,
                        unsigned int nCount, CAny** ppValues) override;
  // Not offered: user error 8 (type 7), copied into the context's error; 0.
  int bHInterditModif(INAContext* piContext) override;
  int bHFinInterditModif(INAContext* piContext) override;
  int bCalculateKeyValue(INAContext* piContext, const wchar_t* pszItem, void** ppKey,
                         const void* pRecord, unsigned int* pnSize, unsigned short wOptions,
                         int nMode) override;
  int bFreeCache(INAContext* piContext) override;
  int bCompareTablePosition(INAContext* piContext, int nFirst, int nSecond,
                            int* pnOrder) override;
  // Virtual moves are not offered: 0, nothing done.
  int bTableVirtualMoveSupported() override { return 0; }
  int bTableVirtualMove(INAContext*, const wchar_t*, long long*, unsigned int, int) override {
    return 0;
  }
  int bSupprimeTout(INAContext* piContext) override;

  // ---- CNATableBase
  void AddRef() override { ++m_nInternalCount; }
  // One internal reference less (nothing below 0). At 0 with no external
  // reference the object is destroyed. The new internal count.
  int nRelease() override;
  const wchar_t* pszGetIdentification() override { return m_csIdentification.pszGet(); }
  CNAConnectionDescription* pclGetConnection() override { return m_pclConnection; }
  CNAError* pclGetError() override { return m_pclError; }
  // The description's logical name, "" without a description.
  const wchar_t* pszGetLogicalName() override;
  // The parameter values' prepared mark; 0 without parameter values.
  int bQueryPrepared() override;
  // Opens the connection (it may create the database), has the context's
  // data access delete its table, and removes the data access whatever the
  // result.
  int bSupprimeFichier(INAContext* piContext) override;
  // Gets (or makes) the context's data access and runs the query on it; 0
  // without an error when none can be had. A failure's error is copied into
  // the table's, and the data access is removed unless the query was a
  // prepared one.
  int bExecuteQuery(int* pbKept, INAContext* piContext, const wchar_t* pszQuery,
                    ISQLParserInformation* piParsed, unsigned int dwFlags,
                    const INAQueryExecution* piExecution) override;
  // Told to every data access of the table (and counted).
  void SetTransactionTermined() override;
  // Told to every data access of the table opened on the host connection
  // (and counted).
  void CancelRecordLock(INAConnectionDescription* piConnection,
                        CNATransactionBase* pclTransaction) override;

  // ---- What the driver core reads besides
  // The table's own error object (no reference added).
  INAError* piGetLastError();
  // The parameter values (no reference added); null: none.
  INAQueryParametersValue* piGetQueryBindVariableNoRef() const { return m_piParameters; }

  // ---- Read by tests
  int nGetInternalCount() const { return m_nInternalCount; }
  int nGetExternalCount() const { return m_nExternalCount; }
  int nGetTransactionTerminatedCount() const { return m_nTransactionTerminated; }
  int nGetCancelRecordLockCount() const { return m_nCancelRecordLock; }
  INADataSourceDescription* piGetSource() const { return m_piSource; }
  // The data accesses the table holds.
  unsigned int dwGetDataAccessCount() const { return m_clDataAccesses.dwGetNumElement(); }
  // Whether the process-wide memo holds a data access.
  static bool g_bMemoHolds();

 protected:
  ~CNATable() override;

  // ---- Data accesses (under the driver lock; answers carry one reference)
  // The calling context's data access, from the memo when it names the
  // same context and data identifiers and is still valid, else through the
  // driver's context (then remembered). Null when the context has none.
  CNADataAccess* _pclFindDataAccess(INAContext* piContext);
  // Find or make the context's data access; a new one enters the table's
  // data-access table. *pbCreated (may be null) tells whether it was made.
  // Null when none can be had (the error is on the context's or driver's
  // error). The memo is not touched.
  CNADataAccess* _pclGetDataAccess(INAContext* piContext, int* pbCreated);
  // Removes the data access from the context (when the driver still knows
  // the context), from the memo and from the table's data-access table.
  void _RemoveDataAccess(INAContext* piContext, CNADataAccess* pclAccess);

  // ---- Errors
  // User error 19 (the context never opened the table) with the logical
  // name, error type 0, file 6 and nSite, added with pclConnection (may be
  // null) to the table's error, and copied into the calling context's error
  // when the driver knows the context (it may hold data accesses of other
  // tables): the server reads the failure where piGetLastError (ctx) points
  // it. 0.
  int _nNotOpened(INAContext* piContext, int nSite, CNAConnectionDescription* pclConnection);
  // What the four unsupported operations answer: user error 8, type 7, file
  // 6 and nSite, copied into the calling context's error; 0.
  int _nUnsupported(INAContext* piContext, int nSite);
  // Copies the table's error into the calling context's error when the
  // driver knows the context.
  void _SetContextLastNAError(INAContext* piContext);
  // Resets the table's error when there is one.
  void _ResetError();

  // The shared steps of bHOuvre, bHCreation and bHCreationSiInexistant:
  // opens the connection (bOpenCreate when bCreate), gets or makes the data
  // access and calls pfnCall on it. See bHOuvre.
  template <class Call>
  int _bOpenWith(INAContext* piContext, bool bCreate, Call&& fnCall);
  // The forwarding family: lock, reset the table's error, find the
  // context's data access, reset its error and answer fnCall (access);
  // without a data access user error 19 (sites 6 and 7) and 0, or
  // bWithout (no error) when it is not 0.
  template <class Call>
  int _nForward(INAContext* piContext, int bWithout, Call&& fnCall);

 private:
  // Takes the entry out of the memo, releasing the memo's reference, when
  // it holds pclAccess (null: whatever it holds).
  static void _ClearMemo(CNADataAccess* pclAccess);
  // Removes from the table the data accesses that no context holds any more
  // (their context closed): nothing can reach them again.
  void _DropOrphans();

  int m_nInternalCount = 0;
  int m_nExternalCount = 0;
  CNAError* m_pclError;
  CNAConnectionDescription* m_pclConnection;
  INADataSourceDescription* m_piSource;
  CTString m_csIdentification;
  // Data accesses keyed by their own address, one reference each.
  CNARefHashTable<CNADataAccess*, CNADataAccess*> m_clDataAccesses{7};
  INAQueryParametersValue* m_piParameters = nullptr;
  CTString m_csLogicalName;
  int m_nTransactionTerminated = 0;
  int m_nCancelRecordLock = 0;
};

#endif  // KQ230_TABLES_NA_TABLE_H_
