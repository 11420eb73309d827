// INADriverSQL: the driver's handle-level SQL interface, the second interface
// the driver offers the server next to INADriver. The server's plain-SQL
// programs open connections by handle, run SQL text with parameter values,
// fetch rows and read values column by column, and ask for catalogue lists,
// table descriptions, transactions and locks.
//
// The server gets it from the driver object: INADriver::piGetInterface(1),
// with one external reference, given back with nExternalRelease.
//
// Handles: a connection handle is the number of a connection the driver
// keeps; a statement handle names one result set, valid from the bExecute
// that made it to its bFreeStmt. Statement handle 0 means "no result set"
// (an UPDATE, DDL). Column numbers start at 1.
//
// The server calls it through its table of virtual operations, so the slot
// order is the contract: never reorder, insert or remove an operation (the
// empty slots keep the places of operations this driver does not offer). No
// virtual destructor: the server ends the object with nExternalRelease.
//
// Results: an int operation answers 1 for success and 0 for failure; after a
// failure piGetLastError describes it (bFetch answers 0 with an empty error
// at the end of the rows).
// Threads: the server may call from several threads; the driver serialises
// the operations with its one recursive lock.
#ifndef KQ230_NA_DRIVER_SQL_INTERFACE_H_
#define KQ230_NA_DRIVER_SQL_INTERFACE_H_

#include "kq230/connection_description_interface.h"
#include "kq230/na_error_interface.h"
#include "kq230/platform_types.h"

class CAny;                      // a dynamic value of the language (values/any.h)
class INADataSourceDescription;  // the description of a table or result set
class ILibShop;                  // the server's library shop
class IVMData;                   // the server's virtual-machine data
struct CTabValParser;            // parameter values of an SQL text (kq230/tab_val_parser.h)

class INADriverSQL {
 public:
  // Slots 0-4: the version head.
  virtual int nGetVersion() = 0;                    // slot 0: 4
  virtual int nGetCompatSince() = 0;                // slot 1: 2
  virtual int nGetNAVersion() { return -1; }        // slot 2
  virtual int nGetNACompatSince() { return -1; }    // slot 3
  virtual void NAVersion_EmptySlot_3() {}           // slot 4

  // Slots 5, 6: the server's references. ExternalAddRef answers the object;
  // nExternalRelease the new count (the object goes when no one counts it).
  virtual INADriverSQL* ExternalAddRef() = 0;       // slot 5
  virtual int nExternalRelease() = 0;               // slot 6
  // Slot 7: the interface's error object, no reference added.
  virtual INAError* piGetLastError() const = 0;
  // Slot 8: null for every identifier.
  virtual void* piGetInterface(int nIdentifier) = 0;
  // Slots 9-13: reserved; null.
  virtual void* pReservedFct1(unsigned char* p) = 0;
  virtual void* pReservedFct2(unsigned char* p) = 0;
  virtual void* pReservedFct3(unsigned char* p) = 0;
  virtual void* pReservedFct4(unsigned char* p) = 0;
  virtual void* pReservedFct5(unsigned char* p) = 0;
  // Slots 14, 15: the client library is loaded on first need; 1.
  virtual int bLoadNativeDll(unsigned char* pData, unsigned int nSize) = 0;
  virtual int bFreeNativeDll(unsigned char* pData, unsigned int nSize) = 0;

  // Slot 16: opens a new connection (never shared with another opening) and
  // gives its handle (0 on failure).
  virtual int bOpenConnection(int* pnConnection, INAConnectionDescription* piConnection) = 0;
  // Slot 17: closes the connection of the handle.
  virtual int bCloseConnection(int nConnection) = 0;
  virtual void EmptySlot88() {}  // slot 18

  // Slots 19-24: catalogue lists and descriptions. Lists are wide texts,
  // items separated by TAB, lines by CR LF.
  virtual int bGetTableList(CAny* pValue, int nConnection, const wchar_t* pszCondition,
                            unsigned int nFlags) = 0;  // slot 19
  virtual int bGetColumnList(CAny* pValue, int nConnection, const wchar_t* pszTable,
                             unsigned int nFlags) = 0;  // slot 20
  virtual int bGetColumnList(CAny* pValue, int nConnection, int nStatement,
                             unsigned int nFlags) = 0;  // slot 21
  // Slots 22, 23: a description with one external reference, or null.
  virtual INADataSourceDescription* piGetTableDesc(int nConnection, const wchar_t* pszTable,
                                                   unsigned int nFlags) = 0;
  virtual INADataSourceDescription* piGetTableDesc(int nConnection, int nStatement,
                                                   unsigned int nFlags) = 0;
  virtual int bGetColumnTypeList(CAny* pValue, int nConnection,
                                 unsigned int nFlags) = 0;  // slot 24

  // Slots 25-33: statements. bExecute gives a statement handle when the
  // text has a result set, else 0.
  virtual int bExecute(int* pnStatement, int nConnection, const wchar_t* pszQuery,
                       CTabValParser* pclParameters, unsigned int nFlags) = 0;  // slot 25
  virtual int bFreeStmt(int nConnection, int nStatement, unsigned int nFlags) = 0;  // slot 26
  virtual int bGetStmtLastError(INAError** ppiError, int nConnection,
                                int nStatement) = 0;  // slot 27
  virtual int bGetColumnNbr(int* pnCount, int nConnection, int nStatement,
                            unsigned int nFlags) = 0;  // slot 28
  virtual int bGetColumnName(CAny* pValue, int nConnection, int nStatement,
                             unsigned int nColumn, unsigned int nFlags) = 0;  // slot 29
  // Slot 30: 1 per row, then 0 with an empty error at the end.
  virtual int bFetch(int nConnection, int nStatement, unsigned int nFlags) = 0;
  virtual int bGetRow(CAny* pValue, int nConnection, int nStatement, const wchar_t* pszSeparator,
                      int nColumns, unsigned int nFlags) = 0;  // slot 31
  virtual int bGetValue(CAny* pValue, int nConnection, int nStatement, unsigned int nColumn,
                        unsigned int nFlags) = 0;  // slot 32
  virtual int bGetBLOBValue(CAny* pValue, int nConnection, int nStatement, unsigned int nColumn,
                            unsigned int nFlags) = 0;  // slot 33

  // Slots 34-38: the connection's one transaction, and locks inside it. The
  // transaction argument is neither read nor written.
  virtual int bTrsBegin(int* pnTransaction, int nConnection, unsigned int nFlags) = 0;  // 34
  virtual int bTrsCommit(int nConnection, int nTransaction, unsigned int nFlags) = 0;   // 35
  virtual int bTrsRollBack(int nConnection, int nTransaction, unsigned int nFlags) = 0;  // 36
  virtual int bSQLBloqueTable(int nConnection, const wchar_t* pszTable,
                              unsigned int nFlags) = 0;  // slot 37
  virtual int bSQLBloqueRequete(int nConnection, const wchar_t* pszQuery,
                                unsigned int nFlags) = 0;  // slot 38
  // Slot 39: handed to the driver object's bSetVMAndLibShop.
  virtual int bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData) = 0;

  // Slots 40-76: kept for operations this driver does not offer.
  virtual void EmptySlot259() {}
  virtual void EmptySlot260() {}
  virtual void EmptySlot262() {}
  virtual void EmptySlot263() {}
  virtual void EmptySlot264() {}
  virtual void EmptySlot265() {}
  virtual void EmptySlot266() {}
  virtual void EmptySlot268() {}
  virtual void EmptySlot269() {}
  virtual void EmptySlot270() {}
  virtual void EmptySlot271() {}
  virtual void EmptySlot272() {}
  virtual void EmptySlot274() {}
  virtual void EmptySlot275() {}
  virtual void EmptySlot276() {}
  virtual void EmptySlot277() {}
  virtual void EmptySlot278() {}
  virtual void EmptySlot280() {}
  virtual void EmptySlot281() {}
  virtual void EmptySlot282() {}
  virtual void EmptySlot283() {}
  virtual void EmptySlot284() {}
  virtual void EmptySlot286() {}
  virtual void EmptySlot287() {}
  virtual void EmptySlot288() {}
  virtual void EmptySlot289() {}
  virtual void EmptySlot290() {}
  virtual void EmptySlot292() {}
  virtual void EmptySlot293() {}
  virtual void EmptySlot294() {}
  virtual void EmptySlot295() {}
  virtual void EmptySlot296() {}
  virtual void EmptySlot298() {}
  virtual void EmptySlot299() {}
  virtual void EmptySlot300() {}
  virtual void EmptySlot301() {}
  virtual void EmptySlot302() {}

 protected:
  ~INADriverSQL() = default;
};

// The number of INADriverSQL's slots; the implementation's own virtual
// operations start here.
constexpr int kINADriverSQLSlotCount = 77;

#endif  // KQ230_NA_DRIVER_SQL_INTERFACE_H_
