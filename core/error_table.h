// The driver's error table: the user error codes that the driver reports,
// each with the numbered message that describes it, a detail id and an error
// level. The error object looks a code up here when a failure is raised with
// the driver's module description (gstMyModuleInfo76).
//
// Ownership: constant data with static storage. Threads: read-only.
#ifndef KQ230_CORE_ERROR_TABLE_H_
#define KQ230_CORE_ERROR_TABLE_H_

#include <cstdint>

#include "core/module_info.h"

// Number of rows of gstErrorDef76.
inline constexpr uint32_t kErrorDefCount76 = 88;

// The table, in the order the error object searches it. Code 29 has two
// identical rows; codes 3 and 36 have none, nor any above 87 (but for 760101
// and 760102).
extern const _stErrorDef gstErrorDef76[kErrorDefCount76];

// The order of two user codes for the row search: their signed difference.
int ErrorDef_nCompare(uint32_t nCodeA, uint32_t nCodeB);

// The first of the module's rows (as many as its row count) whose user code is
// nUserCode, or null when none has it or the module is null.
const _stErrorDef* ErrorDef_pFind(const _stMyModuleInfo* pModule, uint32_t nUserCode);

// The message number of a user code's row, or 0 when no row has that code.
uint32_t ErrorDef_nGetMessage(const _stMyModuleInfo* pModule, uint32_t nUserCode);

#endif  // KQ230_CORE_ERROR_TABLE_H_
