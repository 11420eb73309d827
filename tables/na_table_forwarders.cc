// The table object's record commands that go straight to the calling
// context's data access: each takes the driver lock, finds the data access
// of the context, calls its operation of the same name with the same
// arguments and answers its result unchanged. The data access reports into
// its context's error, so nothing is copied back.
#include "driver/driver_lock.h"
#include "driver/na_error.h"
#include "tables/na_data_access.h"
#include "tables/na_table.h"

namespace {

// Debug points of user error 19 (file CNATable::kErrorFile).
constexpr int kSiteForward = 7;
constexpr int kSiteRecNum = 8;

}  // namespace

template <class Call>
int CNATable::_nForward(INAContext* piContext, int bWithout, Call&& fnCall) {
  CNADriverLockFrame clLock;
  _ResetError();
  CNADataAccess* pclAccess = _pclFindDataAccess(piContext);
  if (pclAccess == nullptr) {
    if (bWithout) return bWithout;
    return _nNotOpened(piContext, kSiteForward, nullptr);
  }
  if (pclAccess->pclGetError() != nullptr) pclAccess->pclGetError()->Reset();
  // Released on every way out: an exception from below passes on
  // unchanged and must not leave a reference behind.
  CInterfRef<CNADataAccess> clHold(pclAccess);
  pclAccess->nRelease();
  return fnCall(pclAccess);
}

int CNATable::bNbEnrNeedParse(INAContext* piContext, int* pbNeed, const wchar_t*) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) {
    if (pbNeed == nullptr) return 0;
    *pbNeed = p->bNbEnrNeedParse();
    return 1;
  });
}

int CNATable::bHAjoute(INAContext* piContext, unsigned int dwFlags, eNA_LOCKTYPE eLock) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bHAjoute(dwFlags, eLock); });
}

int CNATable::bHEcrit(INAContext* piContext, long long llRecNum, unsigned int dwFlags,
                      eNA_LOCKTYPE eLock) {
  return _nForward(piContext, 0,
                   [&](CNADataAccess* p) { return p->bHEcrit(llRecNum, dwFlags, eLock); });
}

int CNATable::bHRaye(INAContext* piContext, long long llRecNum, eNA_LOCKTYPE eLock) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bHRaye(llRecNum, eLock); });
}

int CNATable::bHSupprime(INAContext* piContext, long long llRecNum, eNA_LOCKTYPE eLock) {
  return _nForward(piContext, 0,
                   [&](CNADataAccess* p) { return p->bHSupprime(llRecNum, eLock); });
}

int CNATable::bHModifie(INAContext* piContext, long long llRecNum, unsigned int dwFlags,
                        eNA_LOCKTYPE eLock) {
  return _nForward(piContext, 0,
                   [&](CNADataAccess* p) { return p->bHModifie(llRecNum, dwFlags, eLock); });
}

int CNATable::bHRecherche(INAContext* piContext, const wchar_t* pszItem, const CAny* pValue,
                          int bGeneric, int nCompare, eNA_LOCKTYPE eLock,
                          eNA_LOCKTYPE* peLockOut, int nOption, unsigned int dwFlags) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) {
    return p->bHRecherche(pszItem, pValue, bGeneric, nCompare, eLock, peLockOut, nOption,
                          dwFlags);
  });
}

int CNATable::bHLibere(INAContext* piContext) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bHLibere(); });
}

int CNATable::bHLit(INAContext* piContext, long long llRecNum, eNA_LOCKTYPE eLock,
                    eNA_LOCKTYPE* peLockOut) {
  return _nForward(piContext, 0,
                   [&](CNADataAccess* p) { return p->bHLit(llRecNum, eLock, peLockOut); });
}

int CNATable::bHLitxxx(INAContext* piContext, const wchar_t* pszItem,
                       eNA_PARSEDIRECTION eDirection, int nOption, eNA_LOCKTYPE eLock,
                       eNA_LOCKTYPE* peLockOut, unsigned int dwFlags) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) {
    return p->bHLitxxx(pszItem, eDirection, nOption, eLock, peLockOut, dwFlags);
  });
}

int CNATable::bSkipRecord(INAContext* piContext, const wchar_t* pszItem,
                          eNA_PARSEDIRECTION eDirection, long long llStep, int nOption,
                          eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut, unsigned int dwFlags) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) {
    return p->bSkipRecord(pszItem, eDirection, llStep, nOption, eLock, peLockOut, dwFlags);
  });
}

int CNATable::bHBloqueFichier(INAContext* piContext, eNA_LOCKTYPE eLock,
                              eNA_LOCKTYPE* peLockOut) {
  return _nForward(piContext, 0,
                   [&](CNADataAccess* p) { return p->bHBloqueFichier(eLock, peLockOut); });
}

int CNATable::bHDebloqueFichier(INAContext* piContext) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bHDebloqueFichier(); });
}

int CNATable::bHBloqueNumEnr(INAContext* piContext, long long llRecNum, eNA_LOCKTYPE eLock,
                             eNA_LOCKTYPE* peLockOut) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) {
    return p->bHBloqueNumEnr(llRecNum, eLock, peLockOut);
  });
}

int CNATable::bHDebloqueNumEnr(INAContext* piContext, long long llRecNum) {
  return _nForward(piContext, 0,
                   [&](CNADataAccess* p) { return p->bHDebloqueNumEnr(llRecNum); });
}

int CNATable::bHEnDehors(INAContext* piContext, const wchar_t* pszItem, int* pbOut) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bHEndehors(pszItem, pbOut); });
}

int CNATable::bEvalHTrouve(INAContext* piContext, const wchar_t* pszItem, int* pbFound,
                           int* pbEvaluated) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) {
    return p->bEvalHTrouve(pszItem, pbFound, pbEvaluated);
  });
}

int CNATable::bSetNextOperation(INAContext* piContext, eNA_OPERATION eOperation) {
  return _nForward(piContext, 0,
                   [&](CNADataAccess* p) { return p->bSetNextOperation(eOperation); });
}

long long CNATable::llGetRecNum(INAContext* piContext) {
  // Neither error is reset: the record number is read between commands,
  // and must not wipe out what the last command reported.
  CNADriverLockFrame clLock;
  CNADataAccess* pclAccess = _pclFindDataAccess(piContext);
  if (pclAccess == nullptr) {
    _nNotOpened(piContext, kSiteRecNum, pclGetConnection());
    return 0;
  }
  CInterfRef<CNADataAccess> clHold(pclAccess);
  pclAccess->nRelease();
  return pclAccess->llGetRecNum();
}

int CNATable::bGetRecNumState(INAContext* piContext, long long llRecNum,
                              unsigned int* pdwState) {
  return _nForward(piContext, 0,
                   [&](CNADataAccess* p) { return p->bGetRecNumState(llRecNum, pdwState); });
}

int CNATable::bHFiltre(INAContext* piContext, ISQLParserInformation* piQuery, wchar_t* pszText) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bHFiltre(piQuery, pszText); });
}

int CNATable::bHFiltre(INAContext* piContext, const wchar_t* pszItem, const CAny* pMin,
                       int bMinIncluded, const CAny* pMax, int bMaxIncluded,
                       ISQLParserInformation* piQuery) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) {
    return p->bHFiltre(pszItem, pMin, bMinIncluded, pMax, bMaxIncluded, piQuery);
  });
}

int CNATable::bHActiveFiltre(INAContext* piContext, const wchar_t* pszItem, unsigned int) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bHActiveFiltre(pszItem); });
}

int CNATable::bHDesactiveFiltre(INAContext* piContext, const wchar_t* pszItem, unsigned int) {
  return _nForward(piContext, 1,
                   [&](CNADataAccess* p) { return p->bHDesactiveFiltre(pszItem); });
}

int CNATable::bHRetourPosition(INAContext* piContext, int nPosition, wchar_t* pszItem,
                               int bKeep, unsigned int dwKind) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) {
    return p->bHRetourPosition(nPosition, pszItem, bKeep, dwKind);
  });
}

int CNATable::bHLiberePosition(INAContext* piContext, int nPosition) {
  return _nForward(piContext, 1,
                   [&](CNADataAccess* p) { return p->bHLiberePosition(nPosition); });
}

int CNATable::bHSauvePosition(INAContext* piContext, const wchar_t* pszItem, int* pnPosition,
                              unsigned int dwKind) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) {
    return p->bHSauvePosition(pnPosition, pszItem, dwKind);
  });
}

int CNATable::bHVersion(INAContext* piContext, int* pnVersion) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bHVersion(pnVersion); });
}

int CNATable::bHNbEnr(INAContext* piContext, long long* pllCount, unsigned int dwWhat,
                      unsigned int dwFlags) {
  return _nForward(piContext, 0,
                   [&](CNADataAccess* p) { return p->bHNbEnr(pllCount, dwWhat, dwFlags); });
}

int CNATable::bHPositionCourante(INAContext* piContext, const wchar_t* pszItem, int* pnPosition,
                                 eNA_PRECISION ePrecision, unsigned int) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) {
    return p->bHPositionCourante(pnPosition, pszItem, ePrecision);
  });
}

int CNATable::bHPositionne(INAContext* piContext, const wchar_t* pszItem, unsigned int dwPosition,
                           eNA_PRECISION ePrecision, unsigned int dwFlags) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) {
    return p->bHPositionne(pszItem, dwPosition, ePrecision, dwFlags);
  });
}

int CNATable::bGetBLOB(INAContext* piContext, unsigned int nItem, CAny* pValue) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bGetBLOB(nItem, pValue); });
}

int CNATable::bSetBLOB(INAContext* piContext, unsigned int nItem, const CAny* pValue) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bSetBLOB(nItem, pValue); });
}

int CNATable::bGetRecord(INAContext* piContext, CNAZBRecordBase** ppRecord) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bGetRecord(ppRecord); });
}

int CNATable::bSetRecord(INAContext* piContext, CNAZBRecordBase* pRecord) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bSetRecord(pRecord); });
}

int CNATable::bHAttacheMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile) {
  return _nForward(piContext, 0,
                   [&](CNADataAccess* p) { return p->bHAttacheMemo(nItem, pszFile); });
}

int CNATable::bExtraitMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile) {
  return _nForward(piContext, 0,
                   [&](CNADataAccess* p) { return p->bExtraitMemo(nItem, pszFile); });
}

int CNATable::bHAnnuleRecherche(INAContext* piContext, const wchar_t* pszItem) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bHAnnuleRecherche(pszItem); });
}

int CNATable::bHChangeCle(INAContext* piContext, const wchar_t* pszItem, unsigned int dwFlags) {
  return _nForward(piContext, 0,
                   [&](CNADataAccess* p) { return p->bHChangeCle(pszItem, dwFlags); });
}

int CNATable::bHConstruitValCle(INAContext* piContext, CAny* pOut, const wchar_t* pszItem,
                                unsigned int nCount, CAny** ppValues) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) {
    return p->bHConstruitValCle(pOut, pszItem, nCount, ppValues);
  });
}

int CNATable::bFreeCache(INAContext* piContext) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bFreeCache(); });
}

int CNATable::bCompareTablePosition(INAContext* piContext, int nFirst, int nSecond,
                                    int* pnOrder) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) {
    return p->bCompareTablePosition(nFirst, nSecond, pnOrder);
  });
}

int CNATable::bSupprimeTout(INAContext* piContext) {
  return _nForward(piContext, 0, [&](CNADataAccess* p) { return p->bSupprimeTout(); });
}
