#include "core/error_table.h"

// The search stops at the first row of a code, so the order is part of the
// contract: code 29's second row is never reached. Detail ids are the user
// code but for 17 to 20, whose detail is their message; 21 and 73 are
// warnings.
const _stErrorDef gstErrorDef76[kErrorDefCount76] = {
    {1, 25624, 1, 3}, {2, 25016, 2, 3},
    {4, 25625, 4, 3}, {5, 25017, 5, 3},
    {6, 25626, 6, 3}, {12, 28546, 12, 3},
    {34, 28885, 34, 3}, {42, 25524, 42, 3},
    {43, 28575, 43, 3}, {44, 25574, 44, 3},
    {45, 25602, 45, 3}, {7, 28432, 7, 3},
    {8, 28437, 8, 3}, {9, 28536, 9, 3},
    {10, 28537, 10, 3}, {11, 28538, 11, 3},
    {13, 28540, 13, 3}, {14, 28542, 14, 3},
    {15, 28541, 15, 3}, {16, 28543, 16, 3},
    {17, 28544, 28544, 3}, {18, 28563, 28563, 3},
    {19, 28417, 28417, 3}, {20, 28565, 28565, 3},
    {21, 28576, 21, 2}, {73, 25860, 73, 2},
    {22, 28585, 22, 3}, {80, 25878, 80, 3},
    {67, 25861, 67, 3}, {68, 25862, 68, 3},
    {69, 25863, 69, 3}, {70, 25864, 70, 3},
    {71, 25865, 71, 3}, {72, 25866, 72, 3},
    {23, 28586, 23, 3}, {24, 28587, 24, 3},
    {25, 28588, 25, 3}, {26, 28589, 26, 3},
    {27, 28590, 27, 3}, {28, 28591, 28, 3},
    {29, 28624, 29, 3}, {30, 28636, 30, 3},
    {31, 28839, 31, 3}, {29, 28624, 29, 3},
    {32, 28876, 32, 3}, {33, 28884, 33, 3},
    {35, 28910, 35, 3}, {37, 28994, 37, 3},
    {38, 25003, 38, 3}, {39, 25004, 39, 3},
    {40, 25008, 40, 3}, {41, 25199, 41, 3},
    {46, 25607, 46, 3}, {47, 25609, 47, 3},
    {48, 25613, 48, 3}, {49, 25615, 49, 3},
    {52, 25616, 52, 3}, {74, 25868, 74, 3},
    {53, 25621, 53, 3}, {54, 25628, 54, 3},
    {55, 25667, 55, 3}, {56, 25681, 56, 3},
    {81, 28566, 81, 3}, {58, 25854, 58, 3},
    {59, 25867, 59, 3}, {78, 25575, 78, 3},
    {79, 25877, 79, 3}, {50, 28583, 50, 3},
    {51, 28584, 51, 3}, {57, 25833, 57, 3},
    {77, 25873, 77, 3}, {82, 25880, 82, 3},
    {83, 25881, 83, 3}, {60, 25293, 60, 3},
    {61, 25294, 61, 3}, {62, 25295, 62, 3},
    {63, 25296, 63, 3}, {64, 25297, 64, 3},
    {65, 25298, 65, 3}, {66, 25292, 66, 3},
    {75, 25871, 75, 3}, {76, 25872, 76, 3},
    {84, 28995, 84, 3}, {85, 28996, 85, 3},
    {86, 28997, 86, 3}, {87, 28998, 87, 3},
    {760101, 3221, 760101, 3}, {760102, 3355, 760102, 3},
};

int ErrorDef_nCompare(uint32_t nCodeA, uint32_t nCodeB) {
  return static_cast<int>(nCodeA - nCodeB);
}

const _stErrorDef* ErrorDef_pFind(const _stMyModuleInfo* pModule, uint32_t nUserCode) {
  if (pModule == nullptr || pModule->pstErrorDef == nullptr) return nullptr;
  for (uint32_t i = 0; i < pModule->nNbErrorDef; ++i) {
    if (ErrorDef_nCompare(nUserCode, pModule->pstErrorDef[i].nUserCode) == 0) {
      return &pModule->pstErrorDef[i];
    }
  }
  return nullptr;
}

uint32_t ErrorDef_nGetMessage(const _stMyModuleInfo* pModule, uint32_t nUserCode) {
  const _stErrorDef* pstRow = ErrorDef_pFind(pModule, nUserCode);
  return pstRow == nullptr ? 0 : pstRow->nMessage;
}
