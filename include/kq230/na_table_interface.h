// INATable: a table object as the application server holds it: a database
// table or the kept result of a query, on which the server calls its record
// commands: open, create, read first/last/next/previous, search, filter,
// add, modify, delete, lock, positions, counts, BLOBs and memos.
//
// The driver hands table objects out through INADriver (piGetTable,
// bHExecuteRequeteSQL[Ex]) with one external reference for the server. The
// server calls it through its table of virtual operations, so the slot order
// is the contract: never reorder, insert or remove an operation. Every
// operation from piGetLastError on takes the calling context first, except
// piGetDataSourceDescription and bTableVirtualMoveSupported. An "item" is
// the name of a column or key of the table.
//
// Results: int operations answer 1 for success and 0 for failure; after a
// failure piGetLastError (ctx) describes it.
// Ownership: counted; nExternalRelease answers the new count, and the object
// dies once neither the server nor the driver holds it. No virtual destructor
// in the interface: the server never deletes it. Contexts, gauges, values and
// parsed queries passed in remain the server's.
// Threads: every operation takes the driver's lock.
#ifndef KQ230_NA_TABLE_INTERFACE_H_
#define KQ230_NA_TABLE_INTERFACE_H_

#include "kq230/connection_description_interface.h"
#include "kq230/na_driver_interface.h"
#include "kq230/parse_direction.h"
#include "kq230/table_types.h"

class CAny;
class CNAZBRecordBase;
class IGaugeControl;
class INAContext;
class INADataSourceDescription;
class INAError;
class INAQueryExecution;
class ISQLParserInformation;

class INATable {
 public:
  // Slots 0-4: the version head.
  virtual int nGetVersion() = 0;                   // slot 0: 11
  virtual int nGetCompatSince() = 0;               // slot 1: 8
  virtual int nGetNAVersion() { return -1; }       // slot 2
  virtual int nGetNACompatSince() { return -1; }   // slot 3
  virtual void NAVersion_EmptySlot_3() {}          // slot 4

  // Slots 5, 6: the server's references.
  virtual void ExternalAddRef() = 0;   // slot 5
  virtual int nExternalRelease() = 0;  // slot 6

  // Slots 7-11: the table as a whole.
  virtual INAError* piGetLastError(INAContext* piContext) = 0;
  virtual int bIsOpened(INAContext* piContext) = 0;
  // One external reference for the caller; null before a query produced a
  // result.
  virtual INADataSourceDescription* piGetDataSourceDescription() = 0;
  virtual int bNbEnrNeedParse(INAContext* piContext, int* pbNeed, const wchar_t* pszItem) = 0;
  virtual int FreeMemory(INAContext* piContext, void** ppMemory) = 0;

  // Slots 12-17: opening and closing.
  virtual int bHReindexe(INAContext* piContext, unsigned int dwOptions,
                         IGaugeControl* piGauge) = 0;
  virtual int bHCreationSiInexistant(INAContext* piContext, _eNA_ACCESS eAccess,
                                     const wchar_t* pszPassword) = 0;
  virtual int bHCreation(INAContext* piContext, const wchar_t* pszName) = 0;
  virtual int bHOuvre(INAContext* piContext, _eNA_ACCESS eAccess, const wchar_t* pszPassword) = 0;
  virtual int bHMode(INAContext* piContext, _eNA_HMODE eMode) = 0;
  virtual int bHFerme(INAContext* piContext) = 0;

  // Slots 18-22: writing records.
  virtual int bHAjoute(INAContext* piContext, unsigned int dwFlags, eNA_LOCKTYPE eLock) = 0;
  virtual int bHEcrit(INAContext* piContext, long long llRecNum, unsigned int dwFlags,
                      eNA_LOCKTYPE eLock) = 0;
  virtual int bHRaye(INAContext* piContext, long long llRecNum, eNA_LOCKTYPE eLock) = 0;
  virtual int bHSupprime(INAContext* piContext, long long llRecNum, eNA_LOCKTYPE eLock) = 0;
  virtual int bHModifie(INAContext* piContext, long long llRecNum, unsigned int dwFlags,
                        eNA_LOCKTYPE eLock) = 0;

  // Slots 23-27: searching and reading.
  virtual int bHRecherche(INAContext* piContext, const wchar_t* pszItem, const CAny* pValue,
                          int bGeneric, int nCompare, eNA_LOCKTYPE eLock,
                          eNA_LOCKTYPE* peLockOut, int nOption, unsigned int dwFlags) = 0;
  virtual int bHLibere(INAContext* piContext) = 0;
  virtual int bHLit(INAContext* piContext, long long llRecNum, eNA_LOCKTYPE eLock,
                    eNA_LOCKTYPE* peLockOut) = 0;
  virtual int bHLitxxx(INAContext* piContext, const wchar_t* pszItem,
                       eNA_PARSEDIRECTION eDirection, int nOption, eNA_LOCKTYPE eLock,
                       eNA_LOCKTYPE* peLockOut, unsigned int dwFlags) = 0;
  virtual int bSkipRecord(INAContext* piContext, const wchar_t* pszItem,
                          eNA_PARSEDIRECTION eDirection, long long llStep, int nOption,
                          eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLockOut, unsigned int dwFlags) = 0;

  // Slots 28-31: locks.
  virtual int bHBloqueFichier(INAContext* piContext, eNA_LOCKTYPE eLock,
                              eNA_LOCKTYPE* peLockOut) = 0;
  virtual int bHDebloqueFichier(INAContext* piContext) = 0;
  virtual int bHBloqueNumEnr(INAContext* piContext, long long llRecNum, eNA_LOCKTYPE eLock,
                             eNA_LOCKTYPE* peLockOut) = 0;
  virtual int bHDebloqueNumEnr(INAContext* piContext, long long llRecNum) = 0;

  // Slots 32-36: the state of the browse.
  virtual int bHEnDehors(INAContext* piContext, const wchar_t* pszItem, int* pbOut) = 0;
  virtual int bEvalHTrouve(INAContext* piContext, const wchar_t* pszItem, int* pbFound,
                           int* pbEvaluated) = 0;
  virtual int bSetNextOperation(INAContext* piContext, eNA_OPERATION eOperation) = 0;
  // The current record's number; 0 when the context has no data access.
  virtual long long llGetRecNum(INAContext* piContext) = 0;
  virtual int bGetRecNumState(INAContext* piContext, long long llRecNum,
                              unsigned int* pdwState) = 0;

  // Slots 37-40: filters.
  virtual int bHFiltre(INAContext* piContext, ISQLParserInformation* piQuery,
                       wchar_t* pszText) = 0;
  virtual int bHFiltre(INAContext* piContext, const wchar_t* pszItem, const CAny* pMin,
                       int bMinIncluded, const CAny* pMax, int bMaxIncluded,
                       ISQLParserInformation* piQuery) = 0;
  virtual int bHActiveFiltre(INAContext* piContext, const wchar_t* pszItem,
                             unsigned int dwFlags) = 0;
  virtual int bHDesactiveFiltre(INAContext* piContext, const wchar_t* pszItem,
                                unsigned int dwFlags) = 0;

  // Slots 41-47: positions and counts.
  virtual int bHRetourPosition(INAContext* piContext, int nPosition, wchar_t* pszItem,
                               int bKeep, unsigned int dwKind) = 0;
  virtual int bHLiberePosition(INAContext* piContext, int nPosition) = 0;
  virtual int bHSauvePosition(INAContext* piContext, const wchar_t* pszItem, int* pnPosition,
                              unsigned int dwKind) = 0;
  virtual int bHVersion(INAContext* piContext, int* pnVersion) = 0;
  virtual int bHNbEnr(INAContext* piContext, long long* pllCount, unsigned int dwWhat,
                      unsigned int dwFlags) = 0;
  virtual int bHPositionCourante(INAContext* piContext, const wchar_t* pszItem, int* pnPosition,
                                 eNA_PRECISION ePrecision, unsigned int dwFlags) = 0;
  virtual int bHPositionne(INAContext* piContext, const wchar_t* pszItem, unsigned int dwPosition,
                           eNA_PRECISION ePrecision, unsigned int dwFlags) = 0;

  // Slots 48-53: the record, BLOBs and memos.
  virtual int bGetBLOB(INAContext* piContext, unsigned int nItem, CAny* pValue) = 0;
  virtual int bSetBLOB(INAContext* piContext, unsigned int nItem, const CAny* pValue) = 0;
  // The current record (no reference: valid until the next command).
  virtual int bGetRecord(INAContext* piContext, CNAZBRecordBase** ppRecord) = 0;
  virtual int bSetRecord(INAContext* piContext, CNAZBRecordBase* pRecord) = 0;
  virtual int bHAttacheMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile) = 0;
  virtual int bExtraitMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile) = 0;

  // Slots 54-64: keys, caches and the rest.
  virtual int bHAnnuleRecherche(INAContext* piContext, const wchar_t* pszItem) = 0;
  virtual int bHChangeCle(INAContext* piContext, const wchar_t* pszItem, unsigned int dwFlags) = 0;
  virtual int bHConstruitValCle(INAContext* piContext, CAny* pOut, const wchar_t* pszItem,
                                unsigned int nCount, CAny** ppValues) = 0;
  virtual int bHInterditModif(INAContext* piContext) = 0;
  virtual int bHFinInterditModif(INAContext* piContext) = 0;
  virtual int bCalculateKeyValue(INAContext* piContext, const wchar_t* pszItem, void** ppKey,
                                 const void* pRecord, unsigned int* pnSize,
                                 unsigned short wOptions, int nMode) = 0;
  virtual int bFreeCache(INAContext* piContext) = 0;
  virtual int bCompareTablePosition(INAContext* piContext, int nFirst, int nSecond,
                                    int* pnOrder) = 0;
  virtual int bTableVirtualMoveSupported() = 0;
  virtual int bTableVirtualMove(INAContext* piContext, const wchar_t* pszItem,
                                long long* pllRecNum, unsigned int dwFlags, int nMode) = 0;
  virtual int bSupprimeTout(INAContext* piContext) = 0;

  // Slots 65-78: reserved by the server; they do nothing.
  virtual void EmptySlot579() {}
  virtual void EmptySlot580() {}
  virtual void EmptySlot582() {}
  virtual void EmptySlot583() {}
  virtual void EmptySlot584() {}
  virtual void EmptySlot585() {}
  virtual void EmptySlot586() {}
  virtual void EmptySlot587() {}
  virtual void EmptySlot589() {}
  virtual void EmptySlot590() {}
  virtual void EmptySlot591() {}
  virtual void EmptySlot592() {}
  virtual void EmptySlot593() {}
  virtual void EmptySlot594() {}

 protected:
  ~INATable() = default;
};

#endif  // KQ230_NA_TABLE_INTERFACE_H_
