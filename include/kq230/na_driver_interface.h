// INADriver: the driver's operations for the application server.
//
// piQueryInterface (the library's export) hands the one driver object to the
// server as an INADriver holding one external reference. From then on the
// server opens and closes connections, gets table objects, runs queries,
// drives transactions, locks and lists through these 39 operations.
//
// The server calls it through its table of virtual operations, so the slot
// order is the contract: never reorder, insert or remove an operation. The
// interface has no virtual destructor: the server ends the object with
// nExternalRelease, never with delete.
//
// Results: an int operation answers 1 for success and 0 for failure; after a
// failure piGetLastError describes it.
// Ownership: objects handed out (table objects, descriptions, the SQL-level
// interface) carry one external reference for the server; descriptions and
// contexts passed in remain the server's.
// Threads: the server may call from several threads; the driver serialises
// every operation with its one recursive lock.
#ifndef KQ230_NA_DRIVER_INTERFACE_H_
#define KQ230_NA_DRIVER_INTERFACE_H_

#include "kq230/connection_description_interface.h"
#include "kq230/na_error_interface.h"
#include "kq230/platform_types.h"

// What the server passes in or gets back; only pointers cross here.
class CAny;                      // a dynamic value of the language (values/any.h)
template <class T>
class CXYString;                 // a reference-counted text (core/counted_string.h)
class INAContext;                // a server context
class INACopyCtx;                // the server's context copier
class INATable;                  // a table object as the server holds it
class INADataSourceDescription;  // the description of a table or query result
class ISQLParserInformation;     // a query parsed by the server's SQL parser
class INAQueryExecution;         // the server's execution settings of a query
class INAQueryParametersValue;   // the values of a query's parameters
class ILibShop;                  // the server's library shop
class IVMData;                   // the server's virtual-machine data
class IZBForNA;                  // the server's database-engine interface (kq230/zb_for_na.h)

// The lock mode of a table in a context (bHMode). Its values are the
// server's; the driver passes them through.
enum _eNA_HMODE : int;

class INADriver {
 public:
  // Slots 0-4: the version head.
  virtual int nGetVersion() = 0;             // slot 0: 18
  virtual int nGetCompatSince() = 0;         // slot 1: 17
  virtual int nGetNAVersion() { return -1; }       // slot 2
  virtual int nGetNACompatSince() { return -1; }   // slot 3
  virtual void NAVersion_EmptySlot_3() {}          // slot 4

  // Slots 5, 6: the server's references. Release answers the new count and
  // destroys the driver object at 0.
  virtual void ExternalAddRef() = 0;         // slot 5
  virtual int nExternalRelease() = 0;        // slot 6

  // Slot 7: identifier 1 gives the handle-level SQL interface with one
  // external reference; anything else, or none made: null.
  virtual void* piGetInterface(int nIdentifier) = 0;
  // Slot 8: opens (or joins) the connection that the description names.
  virtual int bOpenConnection(INAConnectionDescription* piConnection) = 0;
  // Slot 9: the server is done with the connection; always 1.
  virtual int bCloseConnection(INAConnectionDescription* piConnection) = 0;
  // Slot 10: not supported; 0.
  virtual int bCopyContext(INACopyCtx* piCopy, INAContext* piFrom, INAContext* piTo,
                           unsigned int dwFlags) = 0;
  // Slot 11: the driver's current error, no reference added.
  virtual INAError* piGetLastError() = 0;

  virtual int bHMode(INAContext* piContext, _eNA_HMODE eMode) = 0;  // slot 12
  virtual INATable* piGetTable(INAConnectionDescription* piConnection,
                               INADataSourceDescription* piSource) = 0;  // slot 13
  virtual int bGetTableList(CAny* pValue, INAConnectionDescription* piConnection,
                            unsigned int dwFlags) = 0;  // slot 14
  virtual INADataSourceDescription* piGetTableDesc(
      const wchar_t* pszTable, INAConnectionDescription* piConnection) = 0;  // slot 15
  virtual int bHExecuteRequeteSQL(INATable** ppiTable, INAContext* piContext,
                                  const wchar_t* pszQuery, INAConnectionDescription* piConnection,
                                  ISQLParserInformation* piParsed,
                                  unsigned int dwFlags) = 0;  // slot 16
  virtual int bCloseContext(INAContext* piContext) = 0;  // slot 17
  virtual int bTransactionBegin(INAConnectionDescription* piConnection,
                                const wchar_t* pszName) = 0;  // slot 18
  virtual int bTransactionCommit(INAConnectionDescription* piConnection,
                                 const wchar_t* pszName) = 0;  // slot 19
  virtual int bTransactionRollBack(INAConnectionDescription* piConnection,
                                   const wchar_t* pszName) = 0;  // slot 20
  virtual int bSQLBloqueTable(INAConnectionDescription* piConnection,
                              const wchar_t* pszTable) = 0;  // slot 21
  virtual int bSQLBloqueRequete(INAConnectionDescription* piConnection,
                                ISQLParserInformation* piParsed) = 0;  // slot 22
  virtual int bSQLFormatColonne(INAConnectionDescription* piConnection,
                                CAny* pValue) = 0;  // slot 23
  virtual int bHConnexionDiagnose(CAny* pValue, INAConnectionDescription* piConnection,
                                  const wchar_t* pszText, unsigned int dwFlags) = 0;  // slot 24
  virtual int bGetProviderList(CAny* pValue) = 0;  // slot 25
  virtual int bTableExists(int* pbExists, const wchar_t* pszTable,
                           INAConnectionDescription* piConnection) = 0;  // slot 26
  virtual int bGetLinkList(CAny* pValue, const wchar_t* pszTable,
                           INADataSourceDescription* piSource,
                           INAConnectionDescription* piConnection,
                           unsigned int dwFlags) = 0;  // slot 27
  virtual int bGetListeSource(CAny* pValue, int nKind) = 0;  // slot 28
  virtual int bSetQueryParameters(INAContext* piContext, INAConnectionDescription* piConnection,
                                  INAQueryParametersValue* piValues) = 0;  // slot 29
  // Slot 30: keeps both (no reference taken); 1.
  virtual int bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData) = 0;
  virtual int bFiltreAuto(INAContext* piContext, INAConnectionDescription* piConnection,
                          int nMode, const wchar_t* pszTable, INADataSourceDescription* piSource,
                          const wchar_t* pszLinked,
                          INADataSourceDescription* piLinkedSource) = 0;  // slot 31
  virtual void SetNextLogicalName(INAContext* piContext, const wchar_t* pszName) = 0;  // slot 32
  virtual int bHExecuteRequeteSQLEx(INATable** ppiTable, INAContext* piContext,
                                    const wchar_t* pszQuery,
                                    INAConnectionDescription* piConnection,
                                    ISQLParserInformation* piParsed, unsigned int dwFlags,
                                    const INAQueryExecution* piExecution) = 0;  // slot 33
  virtual int bFreeDataSource(INAContext* piContext, const wchar_t* pszQuery,
                              INAConnectionDescription* piConnection) = 0;  // slot 34
  // Slot 35: 1.
  virtual int bValidConnection(INAConnectionDescription* piConnection) = 0;
  // Slot 36: keeps the database-engine interface (no reference taken); 1.
  virtual int bSetZB(IZBForNA* piZB) = 0;
  virtual int bSupprimeFichier(INAContext* piContext, INAConnectionDescription* piConnection,
                               const wchar_t* pszTable,
                               INADataSourceDescription* piSource) = 0;  // slot 37
  virtual int bGetDatabaseList(CXYString<wchar_t>* pstrList,
                               INAConnectionDescription* piConnection,
                               unsigned int dwFlags) = 0;  // slot 38

 protected:
  ~INADriver() = default;
};

// The number of INADriver's slots; the driver object's own virtual
// operations start here.
constexpr int kINADriverSlotCount = 39;

#endif  // KQ230_NA_DRIVER_INTERFACE_H_
