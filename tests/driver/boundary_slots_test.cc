// The slot of every operation of the four interfaces that cross the library
// boundary. The server calls them by slot, so a moved, added or removed
// operation breaks it without any compiler noticing; these tables pin each
// operation to its slot through the member-function pointer, whose value for
// a virtual operation is 1 + the slot's byte offset in the table (the Itanium
// C++ ABI that both sides use).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "kq230/connection_description_interface.h"
#include "kq230/context_interface.h"
#include "kq230/data_source_description_interface.h"
#include "kq230/na_table_interface.h"
#include "kq230/na_driver_interface.h"
#include "kq230/na_driver_sql_interface.h"
#include "kq230/na_error_interface.h"

namespace {

struct SlotCase {
  const char* name;
  int expected;
  int actual;
};

// The slot of a virtual member function pointer; -1 when it is not virtual.
template <class PMF>
int SlotOf(PMF pmf) {
  static_assert(sizeof(PMF) == 2 * sizeof(uintptr_t), "Itanium member-function pointer");
  uintptr_t words[2];
  std::memcpy(words, &pmf, sizeof words);
  if ((words[0] & 1) == 0) return -1;
  return static_cast<int>((words[0] - 1) / sizeof(void*));
}

#define KQ_SLOT(cls, op, slot) \
  SlotCase { #op, slot, SlotOf(&cls::op) }
// An overloaded operation: the overload named by its member-function type.
#define KQ_SLOT_OF(cls, op, type, slot) \
  SlotCase { #op " " #type, slot, SlotOf(static_cast<type>(&cls::op)) }

void ExpectSlots(const SlotCase* cases, size_t n, int nSlots) {
  bool seen[128] = {};
  ASSERT_LE(nSlots, 128);
  for (size_t i = 0; i < n; ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(cases[i].actual, cases[i].expected);
    ASSERT_GE(cases[i].expected, 0);
    ASSERT_LT(cases[i].expected, nSlots);
    EXPECT_FALSE(seen[cases[i].expected]) << "two operations in one slot";
    seen[cases[i].expected] = true;
  }
  for (int i = 0; i < nSlots; ++i) EXPECT_TRUE(seen[i]) << "slot " << i << " is not pinned";
}

TEST(BoundarySlots, EveryDriverOperationSitsInItsSlot) {
  const SlotCase cases[] = {
      KQ_SLOT(INADriver, nGetVersion, 0),
      KQ_SLOT(INADriver, nGetCompatSince, 1),
      KQ_SLOT(INADriver, nGetNAVersion, 2),
      KQ_SLOT(INADriver, nGetNACompatSince, 3),
      KQ_SLOT(INADriver, NAVersion_EmptySlot_3, 4),
      KQ_SLOT(INADriver, ExternalAddRef, 5),
      KQ_SLOT(INADriver, nExternalRelease, 6),
      KQ_SLOT(INADriver, piGetInterface, 7),
      KQ_SLOT(INADriver, bOpenConnection, 8),
      KQ_SLOT(INADriver, bCloseConnection, 9),
      KQ_SLOT(INADriver, bCopyContext, 10),
      KQ_SLOT(INADriver, piGetLastError, 11),
      KQ_SLOT(INADriver, bHMode, 12),
      KQ_SLOT(INADriver, piGetTable, 13),
      KQ_SLOT(INADriver, bGetTableList, 14),
      KQ_SLOT(INADriver, piGetTableDesc, 15),
      KQ_SLOT(INADriver, bHExecuteRequeteSQL, 16),
      KQ_SLOT(INADriver, bCloseContext, 17),
      KQ_SLOT(INADriver, bTransactionBegin, 18),
      KQ_SLOT(INADriver, bTransactionCommit, 19),
      KQ_SLOT(INADriver, bTransactionRollBack, 20),
      KQ_SLOT(INADriver, bSQLBloqueTable, 21),
      KQ_SLOT(INADriver, bSQLBloqueRequete, 22),
      KQ_SLOT(INADriver, bSQLFormatColonne, 23),
      KQ_SLOT(INADriver, bHConnexionDiagnose, 24),
      KQ_SLOT(INADriver, bGetProviderList, 25),
      KQ_SLOT(INADriver, bTableExists, 26),
      KQ_SLOT(INADriver, bGetLinkList, 27),
      KQ_SLOT(INADriver, bGetListeSource, 28),
      KQ_SLOT(INADriver, bSetQueryParameters, 29),
      KQ_SLOT(INADriver, bSetVMAndLibShop, 30),
      KQ_SLOT(INADriver, bFiltreAuto, 31),
      KQ_SLOT(INADriver, SetNextLogicalName, 32),
      KQ_SLOT(INADriver, bHExecuteRequeteSQLEx, 33),
      KQ_SLOT(INADriver, bFreeDataSource, 34),
      KQ_SLOT(INADriver, bValidConnection, 35),
      KQ_SLOT(INADriver, bSetZB, 36),
      KQ_SLOT(INADriver, bSupprimeFichier, 37),
      KQ_SLOT(INADriver, bGetDatabaseList, 38),
  };
  ExpectSlots(cases, sizeof cases / sizeof cases[0], kINADriverSlotCount);
  EXPECT_EQ(kINADriverSlotCount, 39);
}

TEST(BoundarySlots, EveryErrorOperationSitsInItsSlot) {
  const SlotCase cases[] = {
      KQ_SLOT(INAError, nGetVersion, 0),
      KQ_SLOT(INAError, nGetCompatSince, 1),
      KQ_SLOT(INAError, nGetNAVersion, 2),
      KQ_SLOT(INAError, nGetNACompatSince, 3),
      KQ_SLOT(INAError, NAVersion_EmptySlot_3, 4),
      KQ_SLOT(INAError, pszGetError, 5),
      KQ_SLOT(INAError, dwGetErrorId, 6),
      KQ_SLOT(INAError, eGetErrorType, 7),
      KQ_SLOT(INAError, pszGetLogicalTableName, 8),
      KQ_SLOT(INAError, pszGetItemName, 9),
      KQ_SLOT(INAError, pclGetXError, 10),
      KQ_SLOT(INAError, eGetErrorLevel, 11),
      KQ_SLOT(INAError, EmptySlot52, 12),
      KQ_SLOT(INAError, EmptySlot53, 13),
      KQ_SLOT(INAError, EmptySlot54, 14),
      KQ_SLOT(INAError, EmptySlot55, 15),
      KQ_SLOT(INAError, EmptySlot56, 16),
  };
  ExpectSlots(cases, sizeof cases / sizeof cases[0], kINAErrorSlotCount);
  EXPECT_EQ(kINAErrorSlotCount, 17);
}

TEST(BoundarySlots, EveryConnectionDescriptionOperationSitsInItsSlot) {
  const SlotCase cases[] = {
      KQ_SLOT(INAConnectionDescription, nGetVersion, 0),
      KQ_SLOT(INAConnectionDescription, nGetCompatSince, 1),
      KQ_SLOT(INAConnectionDescription, nGetNAVersion, 2),
      KQ_SLOT(INAConnectionDescription, nGetNACompatSince, 3),
      KQ_SLOT(INAConnectionDescription, NAVersion_EmptySlot_3, 4),
      KQ_SLOT(INAConnectionDescription, ExternalAddRef, 5),
      KQ_SLOT(INAConnectionDescription, nExternalRelease, 6),
      KQ_SLOT(INAConnectionDescription, pszGetUserName, 7),
      KQ_SLOT(INAConnectionDescription, pszGetPassword, 8),
      KQ_SLOT(INAConnectionDescription, pszGetDataBase, 9),
      KQ_SLOT(INAConnectionDescription, pszGetDescription, 10),
      KQ_SLOT(INAConnectionDescription, eGetAccess, 11),
      KQ_SLOT(INAConnectionDescription, nGetNbParam, 12),
      KQ_SLOT(INAConnectionDescription, pclGetParam, 13),
      KQ_SLOT(INAConnectionDescription, pszGetProvider, 14),
      KQ_SLOT(INAConnectionDescription, nGetConnectionTimeout, 15),
      KQ_SLOT(INAConnectionDescription, nGetCommandTimeout, 16),
      KQ_SLOT(INAConnectionDescription, pszGetExtendedInfo, 17),
      KQ_SLOT(INAConnectionDescription, pclGetConnection, 18),
      KQ_SLOT(INAConnectionDescription, lGetCursorOptions, 19),
      KQ_SLOT(INAConnectionDescription, _vnReserved20, 20),
      KQ_SLOT(INAConnectionDescription, pszGetDefaultDataBase, 21),
      KQ_SLOT(INAConnectionDescription, llGetCacheSize, 22),
      KQ_SLOT(INAConnectionDescription, _vnReserved23, 23),
      KQ_SLOT(INAConnectionDescription, _vnReserved24, 24),
      KQ_SLOT(INAConnectionDescription, pszGetLogicalConnectionName, 25),
  };
  ExpectSlots(cases, sizeof cases / sizeof cases[0], kINAConnectionDescriptionSlotCount);
  EXPECT_EQ(kINAConnectionDescriptionSlotCount, 26);
}

TEST(BoundarySlots, EverySQLInterfaceOperationSitsInItsSlot) {
  using ColumnListOfTable = int (INADriverSQL::*)(CAny*, int, const wchar_t*, unsigned int);
  using ColumnListOfResult = int (INADriverSQL::*)(CAny*, int, int, unsigned int);
  using DescOfTable =
      INADataSourceDescription* (INADriverSQL::*)(int, const wchar_t*, unsigned int);
  using DescOfResult = INADataSourceDescription* (INADriverSQL::*)(int, int, unsigned int);
  const SlotCase cases[] = {
      KQ_SLOT(INADriverSQL, nGetVersion, 0),
      KQ_SLOT(INADriverSQL, nGetCompatSince, 1),
      KQ_SLOT(INADriverSQL, nGetNAVersion, 2),
      KQ_SLOT(INADriverSQL, nGetNACompatSince, 3),
      KQ_SLOT(INADriverSQL, NAVersion_EmptySlot_3, 4),
      KQ_SLOT(INADriverSQL, ExternalAddRef, 5),
      KQ_SLOT(INADriverSQL, nExternalRelease, 6),
      KQ_SLOT(INADriverSQL, piGetLastError, 7),
      KQ_SLOT(INADriverSQL, piGetInterface, 8),
      KQ_SLOT(INADriverSQL, pReservedFct1, 9),
      KQ_SLOT(INADriverSQL, pReservedFct2, 10),
      KQ_SLOT(INADriverSQL, pReservedFct3, 11),
      KQ_SLOT(INADriverSQL, pReservedFct4, 12),
      KQ_SLOT(INADriverSQL, pReservedFct5, 13),
      KQ_SLOT(INADriverSQL, bLoadNativeDll, 14),
      KQ_SLOT(INADriverSQL, bFreeNativeDll, 15),
      KQ_SLOT(INADriverSQL, bOpenConnection, 16),
      KQ_SLOT(INADriverSQL, bCloseConnection, 17),
      KQ_SLOT(INADriverSQL, EmptySlot88, 18),
      KQ_SLOT(INADriverSQL, bGetTableList, 19),
      KQ_SLOT_OF(INADriverSQL, bGetColumnList, ColumnListOfTable, 20),
      KQ_SLOT_OF(INADriverSQL, bGetColumnList, ColumnListOfResult, 21),
      KQ_SLOT_OF(INADriverSQL, piGetTableDesc, DescOfTable, 22),
      KQ_SLOT_OF(INADriverSQL, piGetTableDesc, DescOfResult, 23),
      KQ_SLOT(INADriverSQL, bGetColumnTypeList, 24),
      KQ_SLOT(INADriverSQL, bExecute, 25),
      KQ_SLOT(INADriverSQL, bFreeStmt, 26),
      KQ_SLOT(INADriverSQL, bGetStmtLastError, 27),
      KQ_SLOT(INADriverSQL, bGetColumnNbr, 28),
      KQ_SLOT(INADriverSQL, bGetColumnName, 29),
      KQ_SLOT(INADriverSQL, bFetch, 30),
      KQ_SLOT(INADriverSQL, bGetRow, 31),
      KQ_SLOT(INADriverSQL, bGetValue, 32),
      KQ_SLOT(INADriverSQL, bGetBLOBValue, 33),
      KQ_SLOT(INADriverSQL, bTrsBegin, 34),
      KQ_SLOT(INADriverSQL, bTrsCommit, 35),
      KQ_SLOT(INADriverSQL, bTrsRollBack, 36),
      KQ_SLOT(INADriverSQL, bSQLBloqueTable, 37),
      KQ_SLOT(INADriverSQL, bSQLBloqueRequete, 38),
      KQ_SLOT(INADriverSQL, bSetVMAndLibShop, 39),
      KQ_SLOT(INADriverSQL, EmptySlot259, 40),
      KQ_SLOT(INADriverSQL, EmptySlot260, 41),
      KQ_SLOT(INADriverSQL, EmptySlot262, 42),
      KQ_SLOT(INADriverSQL, EmptySlot263, 43),
      KQ_SLOT(INADriverSQL, EmptySlot264, 44),
      KQ_SLOT(INADriverSQL, EmptySlot265, 45),
      KQ_SLOT(INADriverSQL, EmptySlot266, 46),
      KQ_SLOT(INADriverSQL, EmptySlot268, 47),
      KQ_SLOT(INADriverSQL, EmptySlot269, 48),
      KQ_SLOT(INADriverSQL, EmptySlot270, 49),
      KQ_SLOT(INADriverSQL, EmptySlot271, 50),
      KQ_SLOT(INADriverSQL, EmptySlot272, 51),
      KQ_SLOT(INADriverSQL, EmptySlot274, 52),
      KQ_SLOT(INADriverSQL, EmptySlot275, 53),
      KQ_SLOT(INADriverSQL, EmptySlot276, 54),
      KQ_SLOT(INADriverSQL, EmptySlot277, 55),
      KQ_SLOT(INADriverSQL, EmptySlot278, 56),
      KQ_SLOT(INADriverSQL, EmptySlot280, 57),
      KQ_SLOT(INADriverSQL, EmptySlot281, 58),
      KQ_SLOT(INADriverSQL, EmptySlot282, 59),
      KQ_SLOT(INADriverSQL, EmptySlot283, 60),
      KQ_SLOT(INADriverSQL, EmptySlot284, 61),
      KQ_SLOT(INADriverSQL, EmptySlot286, 62),
      KQ_SLOT(INADriverSQL, EmptySlot287, 63),
      KQ_SLOT(INADriverSQL, EmptySlot288, 64),
      KQ_SLOT(INADriverSQL, EmptySlot289, 65),
      KQ_SLOT(INADriverSQL, EmptySlot290, 66),
      KQ_SLOT(INADriverSQL, EmptySlot292, 67),
      KQ_SLOT(INADriverSQL, EmptySlot293, 68),
      KQ_SLOT(INADriverSQL, EmptySlot294, 69),
      KQ_SLOT(INADriverSQL, EmptySlot295, 70),
      KQ_SLOT(INADriverSQL, EmptySlot296, 71),
      KQ_SLOT(INADriverSQL, EmptySlot298, 72),
      KQ_SLOT(INADriverSQL, EmptySlot299, 73),
      KQ_SLOT(INADriverSQL, EmptySlot300, 74),
      KQ_SLOT(INADriverSQL, EmptySlot301, 75),
      KQ_SLOT(INADriverSQL, EmptySlot302, 76),
  };
  ExpectSlots(cases, sizeof cases / sizeof cases[0], kINADriverSQLSlotCount);
  EXPECT_EQ(kINADriverSQLSlotCount, 77);
}

// The server's connection object carries the name right after its first
// word, not a pointer to it.
TEST(BoundarySlots, TheConnectionObjectsNameFollowsItsFirstWord) {
  alignas(4) unsigned char abyObject[4 + 4 * sizeof(wchar_t)] = {0xAA, 0xBB, 0xCC, 0xDD};
  const wchar_t szName[] = L"Cnx";
  std::memcpy(abyObject + 4, szName, sizeof szName);
  const auto* p = reinterpret_cast<const _stNAHostConnection*>(abyObject);
  EXPECT_STREQ(_stNAHostConnection::pszNameOf(p), L"Cnx");
  EXPECT_EQ(_stNAHostConnection::pszNameOf(nullptr), nullptr);
}

// The interfaces that the driver receives or hands out besides those four,
// as far as they are declared yet: each slot so far pinned.
TEST(BoundarySlots, ContextTableAndDescriptionOperationsSitInTheirSlots) {
  const SlotCase context[] = {
      KQ_SLOT(INAContext, dwGetContextID, 0),
      KQ_SLOT(INAContext, dwGetDataID, 1),
  };
  ExpectSlots(context, sizeof context / sizeof context[0], 2);
  const SlotCase table[] = {
      KQ_SLOT(INATable, nGetVersion, 0),       KQ_SLOT(INATable, nGetCompatSince, 1),
      KQ_SLOT(INATable, nGetNAVersion, 2),     KQ_SLOT(INATable, nGetNACompatSince, 3),
      KQ_SLOT(INATable, NAVersion_EmptySlot_3, 4), KQ_SLOT(INATable, ExternalAddRef, 5),
      KQ_SLOT(INATable, nExternalRelease, 6),
  };
  ExpectSlots(table, sizeof table / sizeof table[0], 7);
  const SlotCase source[] = {
      KQ_SLOT(INADataSourceDescription, nGetVersion, 0),
      KQ_SLOT(INADataSourceDescription, nGetCompatSince, 1),
      KQ_SLOT(INADataSourceDescription, nGetNAVersion, 2),
      KQ_SLOT(INADataSourceDescription, nGetNACompatSince, 3),
      KQ_SLOT(INADataSourceDescription, NAVersion_EmptySlot_3, 4),
      KQ_SLOT(INADataSourceDescription, ExternalAddRef, 5),
      KQ_SLOT(INADataSourceDescription, nExternalRelease, 6),
      KQ_SLOT(INADataSourceDescription, pszGetLogicalName, 7),
  };
  ExpectSlots(source, sizeof source / sizeof source[0], 8);
}

}  // namespace
