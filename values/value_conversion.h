// The binding to the server's conversion entries and decimal factory.
//
// The server calls the exported bInitVXConvFromVM with its virtual-machine
// library's handle; the entries found there convert values between types
// (CAny::__nCastTo and its relatives, defined in value_conversion.cc) and
// make DECIMAL objects.
//
// Every conversion path tests the entries it calls: while they are not bound
// (the server was refused, or its library lacks a name) a cast answers
// kVXNotBound and changes nothing, instead of calling through a null pointer.
//
// Ownership: the library handle and the interfaces belong to the server; this
// module never closes or releases them.
// Threads: written once at start, before any conversion; read-only afterwards.
#ifndef KQ230_VALUES_VALUE_CONVERSION_H_
#define KQ230_VALUES_VALUE_CONVERSION_H_

#include "kq230/platform_types.h"
#include "kq230/vm_values.h"

// Bound state; null or 0 until bound.
extern PFNVXCONVERSION gpfnConvDepExt;
extern PFNVXFINCONVERSION gpfnFinConv;
extern HINSTANCE ghConvVM;
extern int gnVersionConvVM;
extern int gnVersionCompatConvVM;
extern IVXDecimalFactory* gpiVMFactory;

// What a conversion, comparison or arithmetic call answers when the entry it
// needs is not bound: "the operation does not apply", nothing changed.
inline constexpr int kVXNotBound = 105;

// Binds "nConversionDepassementExt", "FinConversion" and the decimal factory
// of the library. Answers 0 at once, looking nothing up, when nCompat > 2 or
// nVersion < 2, or when hLibrary is null. A missing entry answers 0: the
// conversion entry found before a missing release entry stays stored, the
// missing one is stored as null, and the factory is not bound. 1 when all
// three are bound.
KQ_EXPORT int bInitVXConvFromVM(HINSTANCE hLibrary, int nVersion, int nCompat);
// Binds the decimal factory through "pQueryProxy"(102). 0 when the name is
// missing or the library answers no factory; the factory bound before stays.
int bInitFactory(HINSTANCE hLibrary);
// Passes the binding already made to another loaded library that carries the
// same entry; 1 when it has none (or hOtherLibrary is null), else its answer.
int bInitVXConvFromServeur_AVERIFIER(HINSTANCE hOtherLibrary);

#endif  // KQ230_VALUES_VALUE_CONVERSION_H_
