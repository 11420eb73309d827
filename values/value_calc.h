// Comparison, logic and arithmetic of language values through the server's
// virtual-machine library, and the one-line text of a value for debug and
// error messages.
//
// The driver never decides itself how two values compare or add up: which
// types meet, what "almost equal" means, how a money value plus a real is
// typed all belong to the server. The exported bInitVXCalcFromVM binds thirty
// entries of its library by name; the free functions below test the
// operands' NULL flag, hand the value areas and type words to the bound entry
// and bring the result back as an int or as a new CAny.
//
// Results: 0 to 99 success (the entry's own code, passed back); 103 an operand
// of a test carries the NULL flag (nothing is called); 105 the entry the call
// needs is not bound (nothing is called, nothing changes); any other code
// above 99 is the entry's failure, passed back.
//
// Ownership: the library handle belongs to the server and is never closed
// here. Result values take over what the entry left in the result area.
// Threads: the binding is written once at start, before any other use; the
// wrappers only read it and touch the values passed to them.
#ifndef KQ230_VALUES_VALUE_CALC_H_
#define KQ230_VALUES_VALUE_CALC_H_

#include "core/counted_string.h"
#include "kq230/platform_types.h"
#include "kq230/vm_values.h"

class CAny;
class CTString;

// ---------------------------------------------------------------------------
// Bound state: null or 0 until bound.

extern void* ghCalcVM;
extern int gnVersionCalcVM;
extern int gnVersionCompatCalcVM;

// The thirty entries, in the order in which they are looked up.
extern PFNVXCANCOMPARE gpfnCompareEx;             // "bCanCompareEx"
extern PFNVXRESULTTYPE gpfnGetTypeAjouteEx;       // "wAjouteEx"
extern PFNVXRESULTTYPE gpfnGetTypeSoustraitEx;    // "wSoustraitEx"
extern PFNVXRESULTTYPE gpfnGetTypeMultiplieEx;    // "wMultiplieEx"
extern PFNVXRESULTTYPE gpfnGetTypeDiviseEx;       // "wDiviseEx"
extern PFNVXRESULTTYPE gpfnGetTypeModuloEx;       // "wModuloEx"
extern PFNVXTEST2 gpfnComparaisonEx;              // "nComparaisonEx"
extern PFNVXTEST2 gpfnEgaliteEx;                  // "nEgaliteEx"
extern PFNVXTEST2 gpfnSuperieurEx;                // "nSuperieurEx"
extern PFNVXTEST2 gpfnInferieurEx;                // "nInferieurEx"
extern PFNVXTEST2 gpfnPresqueEgalEx;              // "nPresqueEgalEx"
extern PFNVXTEST2 gpfnSoupleEgalEx;               // "nSoupleEgalEx"
extern PFNVXTEST2 gpfnCommenceParEx;              // "nCommenceParEx"
extern PFNVXTEST2 gpfnCommenceParSoupleEx;        // "nCommenceParSoupleEx"
extern PFNVXTEST2 gpfnCommenceParTresSoupleEx;    // "nCommenceParTresSoupleEx"
extern PFNVXTEST2 gpfnContientEx;                 // "nContientEx"
extern PFNVXTEST2 gpfnContientSoupleEx;           // "nContientSoupleEx"
extern PFNVXTEST2 gpfnContientTresSoupleEx;       // "nContientTresSoupleEx"
extern PFNVXTEST2 gpfnTermineParEx;               // "nTermineParEx"
extern PFNVXTEST2 gpfnTermineParSoupleEx;         // "nTermineParSoupleEx"
extern PFNVXTEST2 gpfnTermineParTresSoupleEx;     // "nTermineParTresSoupleEx"
extern PFNVXTEST2 gpfnETLogiqueEx;                // "nETLogiqueEx"
extern PFNVXTEST2 gpfnOULogiqueEx;                // "nOULogiqueEx"
extern PFNVXTEST1 gpfnNONLogiqueEx;               // "nNONLogiqueEx"
extern PFNVXARITH1 gpfnNegationEx;                // "nNegationEx"
extern PFNVXARITH2 gpfnAdditionEx;                // "nAdditionEx"
extern PFNVXARITH2 gpfnSoustractionEx;            // "nSoustractionEx"
extern PFNVXARITH2 gpfnMultiplicationEx;          // "nMultiplicationEx"
extern PFNVXARITH2 gpfnDivisionEx;                // "nDivisionEx"
extern PFNVXARITH2 gpfnModuloEx;                  // "nModuloEx"

// Number of calculation entries and their names in look-up order.
inline constexpr int kVXCalcEntryCount = 30;
extern const char* const gapszVXCalcEntryNames[kVXCalcEntryCount];

// ---------------------------------------------------------------------------
// Binding.

// Binds the thirty entries of the library hLibrary. Answers 0 at once, looking
// nothing up, when nCompat > 2 or nVersion < 2. Otherwise looks the entries up
// in order; at the first missing one answers 0 (those before it stay bound,
// the handle and versions are not recorded). 1 when all are bound.
KQ_EXPORT int bInitVXCalcFromVM(void* hLibrary, int nVersion, int nCompat);
// Passes the binding already made to another loaded library that carries
// "bInitVXCalcFromVM"; 1 when it has none (or hOther is null).
int bInitVXCalcFromServeur(HINSTANCE hOther);

// ---------------------------------------------------------------------------
// Tests with an int result: 103 when a (or b) carries the NULL flag, nothing
// called; 105 when the entry is not bound; else the entry's code, and *pnResult
// holds what the entry wrote (negated for nDifferent, nSupEgal, nInfEgal).
// REQUIRES: pnResult is not null.

int nCompare(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nEgalite(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nDifferent(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nSuperieur(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nSupEgal(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nInferieur(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nInfEgal(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nPresqueEgal(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nSoupleEgal(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nCommencePar(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nCommenceParSouple(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nCommenceParTresSouple(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nContient(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nContientSouple(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nContientTresSouple(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nTerminePar(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nTermineParSouple(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nTermineParTresSouple(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nAnd(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nOr(const CAny& a, const CAny& b, int* pnResult, unsigned int nOptions);
int nNot(const CAny& a, int* pnResult, unsigned int nOptions);

// Tests with a CAny result: 103 (result untouched) when an operand carries the
// NULL flag; 105 (result untouched) when the entry is not bound. Otherwise the
// result becomes a BOOL holding the test's int, flags clear, also when the
// entry's code is above 99; the entry's code is returned.
// REQUIRES: pResult is not null.

int nCompare(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
// Options 0; the result is an I4 holding the ordering value.
int nCompare(const CAny& a, const CAny& b, CAny* pResult);
int nEgalite(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nDifferent(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nSuperieur(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nSupEgal(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nInferieur(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nInfEgal(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nPresqueEgal(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nSoupleEgal(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nCommencePar(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nCommenceParSouple(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nCommenceParTresSouple(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nContient(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nContientSouple(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nContientTresSouple(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nTerminePar(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nTermineParSouple(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nTermineParTresSouple(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nAnd(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nOr(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nNot(const CAny& a, CAny* pResult, unsigned int nOptions);

// ---------------------------------------------------------------------------
// Arithmetic: the entry is called whatever the operands' NULL flags (with the
// type codes alone); a code above 99 (or 105 when unbound) leaves the result
// untouched; otherwise the result takes over the entry's value and gets the
// NULL flag when a or b has it. Returns the entry's code.
// REQUIRES: pResult is not null and is neither a nor b.

int nAjoute(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nAjouteEx(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nSoustrait(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nMultiplie(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nDivise(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nModulo(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
// -a into *pResult, which may be a itself. 105 when unbound, *pResult
// untouched. An entry's code above 99 leaves *pResult with the initial
// content of a's type, or a unchanged when it is the result.
int nNegatif(const CAny& a, CAny* pResult, unsigned int nOptions);
// A copy of a into *pResult, no entry called; always 0.
int nPositif(const CAny& a, CAny* pResult, unsigned int nOptions);
// *pValue += step (or -= step), options 0; a code above 99 (or 105 when
// unbound) leaves *pValue unchanged. The result carries the NULL flag exactly
// when step does.
int nIncrementeNumerique(CAny* pValue, const CAny& step);
int nDecrementeNumerique(CAny* pValue, const CAny& step);

// ---------------------------------------------------------------------------
// The one-line text of v: prefix, then "<Empty>" for an untyped value; with
// bDetail "Type=%d, Len=%d, Value=" first; "<NULL>" for a NULL-flagged value;
// else the value as wide text (cast through the conversion entry), and with
// bDetail ", Value(binary)=" and its data bytes in hexadecimal (at most 500).
// A failed cast appends "<ERROR>" and answers its code (103 when the cast
// copy is NULL, 105 when it is not wide text). A null pointer v gives the
// prefix and "<NULL>". Returns 0 otherwise, or the allocator's code when the
// text cannot be built.

int nGetString(CXYString<wchar_t>* pOut, const CAny& v, const wchar_t* pszPrefix, int bDetail);
int nGetString(CXYString<wchar_t>* pOut, const CAny* pv, const wchar_t* pszPrefix, int bDetail);
int nGetString(CTString* pOut, const CAny* pv, const wchar_t* pszPrefix, int bDetail);
int nGetString(CTString* pOut, const CAny& v, const wchar_t* pszPrefix, int bDetail);

#endif  // KQ230_VALUES_VALUE_CALC_H_
