// CNAContext: the driver's side of one context of the application server.
// The server runs its programs in contexts (each with its own file positions
// and locks); the driver keeps one CNAContext per server context, registered
// in the driver object under the server's context identifier
// (CNADriver::pclGetContext). A context owns its own error object and the
// data accesses that the server's file objects opened in it, one per file
// object, keyed by the server's data identifier: the same table object
// serves all contexts, and each context reaches its own data access on it
// here.
//
// Ownership: a CInterf (driver/reference_counted.h). The driver's table of
// contexts holds one reference; callers of pclFindContext / pclGetContext
// hold one each and give it back through CNADriver::nReleaseContext. The
// context holds one reference on its error and one on each data access it
// keeps; destruction releases them all.
// Threads: none of its own. Every operation but _SetDefaultMode,
// __AddDataAccess, _AddDataAccess and _pclAllocDataAccess takes the driver
// lock (recursive: the table operations that call them already hold it).
#ifndef KQ230_DRIVER_NA_CONTEXT_H_
#define KQ230_DRIVER_NA_CONTEXT_H_

#include "core/hash_table_bounce.h"
#include "core/wide_string.h"
#include "driver/data_access_interface.h"
#include "driver/reference_counted.h"
#include "kq230/context_interface.h"
#include "kq230/na_driver_interface.h"

class CNAConnectionDescription;
class CNAError;

class CNAContext : public CInterf {
 public:
  // The context identifier before the driver registers the context.
  static constexpr unsigned int kNoContextID = 0xFFFFFFFFu;
  // The default lock mode of a new context.
  static constexpr int kDefaultMode = 1;

  // Makes its error through the driver object's pclAllocError (none without
  // a driver object or when memory runs out: pclGetError() is then null and
  // the context's data accesses get no error).
  CNAContext();
  ~CNAContext() override;
  CNAContext(const CNAContext&) = delete;
  CNAContext& operator=(const CNAContext&) = delete;

  virtual int nGetVersion() const { return 2; }
  virtual int nGetCompatSince() const { return 2; }
  // A new data access through the driver object's pclAllocDataAccess, with
  // no reference taken; null when none can be made.
  virtual CNADataAccessBase* _pclAllocDataAccess(INADataSourceDescription* piSource,
                                                 CNAConnectionDescription* pclConnection,
                                                 CNAError* pclError);

  // ---- Data accesses (each answer carries one reference for the caller)
  // The data access under the server context's data identifier, or null
  // (also for a null context).
  CNADataAccessBase* pclFindDataAccess(INAContext* piContext);
  // Find, else a new one (_pclAllocDataAccess with the description, the
  // connection and the context's error) registered under the data
  // identifier; *pbCreated (may be null) tells which. Null for a null
  // context, and with the out-of-memory error on the context's error when
  // none can be made.
  CNADataAccessBase* pclGetDataAccess(INAContext* piContext,
                                      CNAConnectionDescription* pclConnection,
                                      INADataSourceDescription* piSource, int* pbCreated);
  // __AddDataAccess under the context's data identifier. 1, or 0 (nothing
  // registered) for a null context or data access, a taken identifier or
  // refused memory.
  int _AddDataAccess(INAContext* piContext, CNADataAccessBase* pclAccess);
  // Registers the data access under the key (one reference for the table)
  // and tells it its context. 1, or 0 when the key is taken (the registered
  // one stays) or memory is refused.
  int __AddDataAccess(unsigned int dwDataID, CNADataAccessBase* pclAccess);
  // Removes the entry under the context's data identifier when it holds this
  // data access (an entry of another data access stays) and releases the
  // table's reference. 1 when removed.
  int RemoveDataAccess(INAContext* piContext, CNADataAccessBase* pclAccess);
  // Removes every data access, closing (bHFerme) each open one first, and
  // releases each.
  void CloseAllDataAccess();
  // The first data access on the connection whose alias (or database table
  // name) equals the text without regard to case; null when none.
  CNADataAccessBase* pclFindDataAccessByAliasName(CNAConnectionDescription* pclConnection,
                                                  const wchar_t* pszName);
  CNADataAccessBase* pclFindDataAccessByDBTableName(CNAConnectionDescription* pclConnection,
                                                    const wchar_t* pszName);
  unsigned int dwGetDataAccessCount() const { return m_clDataAccesses.dwGetNumElement(); }

  // ---- Lock mode
  // Every data access whose logical name equals the name (without regard to
  // case) gets the mode; the results combined by "and" from 1. Then the
  // default mode becomes the mode. A null name matches none.
  int bHMode(const wchar_t* pszName, _eNA_HMODE eMode);
  void _SetDefaultMode(_eNA_HMODE eMode) { m_eDefaultMode = eMode; }
  _eNA_HMODE eGetDefaultMode() const { return m_eDefaultMode; }

  // ---- Names and identity
  // The alias of the next data access opened in this context (null: none).
  void SetNextLogicalName(const wchar_t* pszName);
  const wchar_t* pszGetNextLogicalName() const { return m_csNextLogicalName.pszGet(); }
  unsigned int dwGetContextID() const { return m_dwContextID; }
  void _SetContextID(unsigned int dwID) { m_dwContextID = dwID; }
  // The context's error (no reference added); null when it could not be made.
  CNAError* pclGetError() const { return m_pclError; }

  // ---- The lookup epoch
  // A process-wide number that changes whenever a context loses a data
  // access, is closed, or leaves the driver's table of contexts (after which
  // the server may reuse its identifier). Whoever remembers "the data access
  // of this (context identifier, data identifier)" between calls keeps the
  // epoch with it and trusts the memory only while the epoch is unchanged.
  // Read and changed under the driver lock.
  static unsigned int g_dwGetEpoch() { return s_dwEpoch; }
  static void g_NextEpoch() { ++s_dwEpoch; }

 private:
  // Finds the first data access on the connection for which the name getter
  // answers a text equal to pszName (without regard to case).
  CNADataAccessBase* _pclFindByName(CNAConnectionDescription* pclConnection,
                                    const wchar_t* pszName, bool bAlias);

  static unsigned int s_dwEpoch;

  CNAError* m_pclError = nullptr;
  unsigned int m_dwContextID = kNoContextID;
  _eNA_HMODE m_eDefaultMode = static_cast<_eNA_HMODE>(kDefaultMode);
  CTString m_csNextLogicalName;
  CNARefHashTable<unsigned int, CNADataAccessBase*> m_clDataAccesses;
};

#endif  // KQ230_DRIVER_NA_CONTEXT_H_
