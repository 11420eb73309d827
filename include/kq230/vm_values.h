// The language values as they cross between the server's virtual-machine
// library and the libraries it loads: type codes, the 40-byte value area, the
// conversion and calculation entries (found by name with dlsym), the decimal
// factory and its decimal objects.
//
// The entries receive value areas, not whole values: the layout of each area is
// fixed by its type code (see the driver's CAny), and both sides read it.
// Interfaces are called through their tables of virtual operations, so the
// slot order is the contract: never reorder, insert or remove an operation.
// Ordinal names ("the first operation") count from 1; slot n is ordinal n + 1.
//
// Threads: the entries keep no state between calls; a decimal object is used by
// one thread at a time.
#ifndef KQ230_VM_VALUES_H_
#define KQ230_VM_VALUES_H_

#include <cstdint>

#include "kq230/platform_types.h"

// Type codes of the language (the low byte of a value's type word).
enum eVXType : unsigned short {
  VX_NONE = 0,
  VX_BOOL = 1,
  VX_UI1 = 2,
  VX_UI2 = 3,
  VX_UI4 = 4,
  VX_UI8 = 5,
  VX_I1 = 6,
  VX_I2 = 7,
  VX_I4 = 8,
  VX_I8 = 9,
  VX_CY = 10,        // CMoney, 10 bytes
  VX_R4 = 11,
  VX_R8 = 12,
  VX_DECIMAL = 13,   // pointer to a decimal object of the factory
  VX_UIX = 14,
  VX_I4_ALIAS = 15,  // becomes VX_I4 when set
  VX_DSTRW = 16,     // counted wide string: the buffer pointer
  VX_CARA = 17,
  VX_PSTRA = 18,     // pointer to an owned 8-bit zero-terminated string
  VX_DSTRA = 19,     // counted 8-bit string: the buffer pointer
  VX_DATEW = 24,     // YYYYMMDD, 8 wide characters and a zero
  VX_TIMEW = 25,     // HHMMSSmmm, 9 wide characters and a zero
  VX_DATETIME = 26,  // CDateTimeBase, 8 bytes
  VX_DUREE = 27,     // signed 64-bit milliseconds
  VX_BIN = 28,       // counted binary buffer: the buffer pointer
  VX_BUFFER = 29,    // pointer and 32-bit size, not owned
  VX_MEMOIMG = 30,
  VX_CONVOYEUR = 50,
  VX_POLICE = 65,
  VX_CARW = 81,
  VX_TABVALANY = 83,
  VX_OBJET_BASE = 108,
  VX_PSTRW = 110,    // pointer to an owned wide zero-terminated string
  VX_DINO = 111,
  VX_DATEA = 128,    // YYYYMMDD, 8 bytes and a zero
  VX_TIMEA = 129,    // HHMMSSmmm, 9 bytes and a zero
  VX_POINT = 150,
  VX_RECTANGLE = 151,
};

// Bits of the 16-bit type word above the type code.
inline constexpr unsigned short kVXNullFlag = 0x100;
inline constexpr unsigned short kVXSecondFlag = 0x400;
// Typed setters clear both flags with this mask.
inline constexpr unsigned short kVXClearFlagsMask = 0xFAFF;

// Size of a value area, and of the scratch areas the entries fill.
inline constexpr unsigned int kVXValueAreaSize = 40;

// Results of the value entries: 0 to 99 success (the value converted or
// computed), above 99 a failure code.
inline constexpr int kVXLastSuccess = 99;

struct STOCAW;  // code-page information; its first field is the code page

// "nConversionDepassementExt": converts the source area of type nSourceType
// into pDest of type nDestType. pDest is a 40-byte scratch area in the area
// format of the destination type, or a counted-string handle (the address of a
// buffer pointer) when the destination is VX_DSTRW or VX_DSTRA.
typedef int (*PFNVXCONVERSION)(const void* pSource, unsigned int nSourceType, void* pDest,
                               unsigned int nDestType, unsigned int nOptions,
                               const STOCAW* pstCodePage);
// "FinConversion": releases what a conversion left in a scratch area (strings,
// decimal objects) after the caller kept its own copy.
typedef void (*PFNVXFINCONVERSION)(void* pDest, unsigned int nDestType);
// "pQueryProxy": answers the interface of the given identifier (102: the
// decimal factory), or null.
typedef void* (*PFNVXQUERYPROXY)(int nIdentifier);
inline constexpr int kVXProxyDecimalFactory = 102;

// Calculation entries, by kind (see the driver's value calculation). Tests and
// predicates take whole type words, flags included; arithmetic takes type codes.
typedef int (*PFNVXCANCOMPARE)(unsigned short wTypeA, unsigned short wTypeB, unsigned int nOptions);
typedef unsigned short (*PFNVXRESULTTYPE)(unsigned short wTypeA, unsigned short wTypeB,
                                          unsigned int nOptions);
typedef int (*PFNVXTEST2)(const void* pA, unsigned short wTypeA, const void* pB,
                          unsigned short wTypeB, int* pnResult, unsigned int nOptions, int nReserved);
typedef int (*PFNVXTEST1)(const void* pA, unsigned short wTypeA, int* pnResult,
                          unsigned int nOptions, int nReserved);
typedef int (*PFNVXARITH2)(const void* pA, unsigned short nTypeA, const void* pB,
                           unsigned short nTypeB, void* pResult, unsigned short* pwResultType,
                           unsigned int nOptions, int nReserved);
typedef int (*PFNVXARITH1)(const void* pA, unsigned short nTypeA, void* pResult,
                           unsigned short* pwResultType, unsigned int nOptions, int nReserved);

// Size of a decimal object's byte form and of its sortable key.
inline constexpr unsigned int kVXDecimalFormSize = 18;
inline constexpr unsigned int kVXDecimalKeySize = 32;

// A decimal number made by the server's factory. The driver uses the slots
// named below; the others are the server's own and are never called by the
// driver (the stand-in gives them meanings of its own).
class IVXDecimal {
 public:
  // 1st: address and size of the number's data, as the 3rd operation reads it.
  virtual const void* pGetData() = 0;
  virtual unsigned int nGetDataSize() = 0;
  // 3rd: sets the number from data of the 1st operation's form.
  virtual void SetFromData(int nPrecision, int nScale, const void* pData) = 0;
  virtual int nReserved4() = 0;
  virtual int nReserved5() = 0;
  // 6th and 7th: the 18-byte form, written and read.
  virtual void WriteForm(void* pForm18) = 0;
  virtual void SetFromForm(const void* pForm18) = 0;
  // 8th: a 32-byte key whose unsigned byte order is the numbers' order.
  virtual void WriteKey(void* pKey32) = 0;
  virtual int nReserved9() = 0;
  // 10th: becomes a copy of another decimal object.
  virtual void Assign(const IVXDecimal* pOther) = 0;
  virtual int nReserved11() = 0;
  virtual int nReserved12() = 0;
  virtual int nReserved13() = 0;
  virtual int nReserved14() = 0;
  virtual int nReserved15() = 0;
  virtual int nReserved16() = 0;
  virtual int nReserved17() = 0;
  virtual int nReserved18() = 0;
  virtual int nReserved19() = 0;
  virtual int nReserved20() = 0;
  virtual int nReserved21() = 0;
  virtual int nReserved22() = 0;
  virtual int nReserved23() = 0;
  // 24th: non-zero when the number is negative.
  virtual int bIsNegative() const = 0;
  // 25th: changes precision (total digits) and scale (digits after the point).
  virtual void SetPrecisionScale(int nPrecision, int nScale) = 0;
};

// The decimal factory, pQueryProxy(102). Objects belong to the server: only
// DestroyDecimal ends them; a null object is ignored.
class IVXDecimalFactory {
 public:
  virtual IVXDecimal* pCreateDecimal(int nReserved) = 0;
  virtual void DestroyDecimal(IVXDecimal* pDecimal) = 0;
};

#endif  // KQ230_VM_VALUES_H_
