// CAny: the dynamic value of the server's language, the value type that crosses
// between the application server and the driver (items, keys, parameters and
// the results of value arithmetic).
//
// Layout (read in place by the server, so it is fixed):
//   offset  0  a 32-bit word, 0 after construction, never read or changed by a
//              value operation (a swap leaves it in place);
//   offset  4  the behaviour object: an embedded CAny_Intern or one of its
//              per-type classes (values/any_behaviour.h), whose only state is
//              its table of virtual operations. __SetType replaces it in place;
//   offset  8  the 16-bit type word: the type code in the low byte, 0x100 the
//              NULL flag, 0x400 a second flag (kept by copies and casts,
//              cleared by the typed setters);
//   offset 12  the 40-byte value area, laid out as the type code says
//              (include/kq230/vm_values.h lists the codes).
//
// Ownership: a value owns what its area holds for the string, binary, decimal
// and object types (one reference of a counted buffer, a heap copy of a
// zero-terminated string, one decimal object, one object reference) and
// releases it on a change of type and at destruction. A BUFFER value owns
// nothing. Copies of counted texts and binaries share the buffer (copy on
// write through nUnshare); copies of decimals get an object of their own.
//
// Threads: one value is used by one thread at a time; the counted buffers it
// shares with other values change their counts atomically.
//
// REQUIRES: the string allocator is bound before the first text or binary is
// stored; the decimal factory (gpiVMFactory) before the first DECIMAL; the
// conversion entries before the first cast.
#ifndef KQ230_VALUES_ANY_H_
#define KQ230_VALUES_ANY_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "core/binary_buffer.h"
#include "core/counted_string.h"
#include "kq230/vm_values.h"
#include "core/code_pages.h"
#include "values/any_behaviour.h"

class CDateTime;
class CDuree;

class CAny {
 public:
  // Untyped: first word 0, CAny_Intern, type word 0; the area is not
  // initialised.
  CAny() : m_dwReserved(0), m_nType(0) { new (m_abyIntern) CAny_Intern; }
  CAny(const CAny& other) : m_dwReserved(0), m_nType(0) {
    new (m_abyIntern) CAny_Intern;
    CopyFrom(other);
  }
  CAny& operator=(const CAny& other) {
    if (this != &other) CopyFrom(other);
    return *this;
  }
  // A referenced object whose release throws here ends the process (a
  // destructor does not throw); __SetType lets such an exception through.
  ~CAny() { DestroyContent(); }

  // Exchanges behaviour object, type word and value area; the first words stay.
  void swap(CAny& other) {
    uint32_t adw[kAreaWords + 1];
    std::memcpy(adw, m_abyIntern, sizeof(void*));
    std::memcpy(m_abyIntern, other.m_abyIntern, sizeof(void*));
    std::memcpy(other.m_abyIntern, adw, sizeof(void*));
    std::swap(m_nType, other.m_nType);
    std::memcpy(adw, m_abyValeur, kVXValueAreaSize);
    std::memcpy(m_abyValeur, other.m_abyValeur, kVXValueAreaSize);
    std::memcpy(other.m_abyValeur, adw, kVXValueAreaSize);
  }

  // --- Type ------------------------------------------------------------------
  // Installs the behaviour class of the low byte of wType (unknown codes: the
  // base class and type word 0; 15 becomes 8), after destroying the current
  // content, unless the whole type word already equals wType. The flags are
  // cleared. Unless bKeep, the area receives the type's initial content. A
  // DECIMAL gets a new object from the factory; when the factory throws, the
  // base class is left under type word 13 and the exception continues.
  void __SetType(unsigned short wType, int bKeep);

  unsigned short wGetType() const { return m_nType; }
  unsigned char nGetTypeCode() const { return static_cast<unsigned char>(m_nType); }
  // Sets the type word as it stands, flags included, without touching the
  // behaviour object or the area. For the flags (and for code that fills the
  // area itself after __SetType with bKeep).
  void SetTypeWord(unsigned short wType) { m_nType = wType; }
  bool bIsNull() const { return (m_nType & kVXNullFlag) != 0; }
  void SetNull(bool bNull) {
    m_nType = bNull ? static_cast<unsigned short>(m_nType | kVXNullFlag)
                    : static_cast<unsigned short>(m_nType & ~kVXNullFlag);
  }

  // The behaviour object (never null).
  CAny_Intern* pclGetIntern() { return std::launder(reinterpret_cast<CAny_Intern*>(m_abyIntern)); }
  const CAny_Intern* pclGetIntern() const {
    return std::launder(reinterpret_cast<const CAny_Intern*>(m_abyIntern));
  }
  // The 40-byte value area.
  unsigned char* pbyGetValeur() { return m_abyValeur; }
  const unsigned char* pbyGetValeur() const { return m_abyValeur; }
  // The first word of the area as a pointer (strings, decimals, objects).
  void* pGetPointeur() const {
    void* p;
    std::memcpy(&p, m_abyValeur, sizeof p);
    return p;
  }
  void SetPointeur(const void* p) { std::memcpy(m_abyValeur, &p, sizeof p); }

  // --- Typed setters: __SetType(code, 0), SetValue, flags cleared ------------
  void SetBOOL(int b) { SetTyped(VX_BOOL, &b); }
  void SetUI1(unsigned char n) { SetTyped(VX_UI1, &n); }
  void SetUI2(unsigned short n) { SetTyped(VX_UI2, &n); }
  void SetUI4(unsigned int n) { SetTyped(VX_UI4, &n); }
  void SetUI8(unsigned long long n) { SetTyped(VX_UI8, &n); }
  void SetI1(char n) { SetTyped(VX_I1, &n); }
  void SetI2(short n) { SetTyped(VX_I2, &n); }
  void SetI4(int n) { SetTyped(VX_I4, &n); }
  void SetI8(long long n) { SetTyped(VX_I8, &n); }
  void SetR4(float f) { SetTyped(VX_R4, &f); }
  void SetR8(double d) { SetTyped(VX_R8, &d); }
  void SetDATE(const wchar_t* psz) { SetTyped(VX_DATEW, psz); }
  void SetDATEW(const wchar_t* psz) { SetTyped(VX_DATEW, psz); }
  void SetTIME(const wchar_t* psz) { SetTyped(VX_TIMEW, psz); }
  void SetTIMEW(const wchar_t* psz) { SetTyped(VX_TIMEW, psz); }
  void SetDATEA(const char* psz) { SetTyped(VX_DATEA, psz); }
  void SetTIMEA(const char* psz) { SetTyped(VX_TIMEA, psz); }
  // The first 8 bytes of a CDateTime are its CDateTimeBase.
  void SetDATETIME(const CDateTime& dt) { SetTyped(VX_DATETIME, &dt); }
  void SetDATETIME(CDateTime* pdt) { SetTyped(VX_DATETIME, pdt); }
  // The first 8 bytes of a CDuree are its milliseconds.
  void SetDUREE(CDuree* pd) { SetTyped(VX_DUREE, pd); }
  void SetBIN(const unsigned char* p, unsigned int n) {
    __SetType(VX_BIN, 0);
    pclGetIntern()->SetValue(p, n);
    m_nType &= kVXClearFlagsMask;
  }
  // Bytes of the current type, through the two-argument SetValue.
  void SetValueByte(const void* p, unsigned int n) {
    pclGetIntern()->SetValue(p, n);
    m_nType &= kVXClearFlagsMask;
  }

  // --- Typed getters: output 0 first; 105 unless the whole type word (flags
  // included) is one of the getter's types --------------------------------
  int nGetINT(int* pn) const;
  int nGetINT_64(long long* pn) const;
  int nGetBitField_64(unsigned long long& n) const;
  int nGetREAL(double* pd) const;
  // Codes 16, 19, 28, 148 and 149: the buffer pointer (null when empty), the
  // type word and 0; no reference is taken. Other types, and those codes
  // under a flag: zeroed, 105.
  int nGetManipAUB(STManipAUB* pst) const;
  // Type word 141 with an object: what the object's 48th virtual operation
  // answers; null otherwise.
  void* piGetTraitement() const;

  // --- Strings -----------------------------------------------------------------
  // Makes the counted buffer of a text value (16, 148, 149 when not empty; 19)
  // the value's own before a change. 108 above the length limit, the
  // allocator's code when the copy cannot be had (the value then unchanged);
  // 0 otherwise and for every other type.
  int nUnshare();
  // The value as counted text (see values/value_conversion.cc).
  int __nFillString(CXYString<wchar_t>& str, const STOCAW* pstOCAW) const;
  int __nFillString(CXYString<char>& str, const STOCAW* pstOCAW) const;
  // The value becomes a DSTRA holding n wide characters of psz in the code
  // page of pstOCAW (null: the server's current one).
  int __nSetString(const wchar_t* psz, int n, const STOCAW* pstOCAW);

  // --- Casts through the server's conversion entry (values/value_conversion.cc)
  int __nCastTo(unsigned short nType, const STOCAW* pstOCAW, unsigned int nOptions);
  int __nCastToString(const wchar_t** ppsz, const STOCAW* pstOCAW);
  int __nCastToString(const char** ppsz, const STOCAW* pstOCAW);
  static int __s_nCastTo(void* pDest, const wchar_t* psz, unsigned short nType,
                         const STOCAW* pstOCAW);

  // --- Raw transfer and BIN casts ------------------------------------------------
  // Releases what the value owns (the area's pointer then null), installs
  // wType keeping the area, then copies the 40 bytes at pbyArea into the area:
  // the value takes over whatever they own.
  void __TransfertValeurInterne(unsigned short wType, const unsigned char* pbyArea);
  // A BIN value of exactly 8 bytes becomes a DUREE (DATETIME) of those bytes:
  // 0. Anything else: 104, the value unchanged.
  int nCastFrom_BIN_DUREE_To_DUREE();
  int nCastFrom_BIN_DATEHEURE_To_DATEHEURE();

  // Releases the current content through the behaviour's destructor and
  // leaves CAny_Intern installed; the type word is not changed.
  // An exception of a referenced object's release still leaves the base class.
  void DestroyContent() {
    try {
      pclGetIntern()->~CAny_Intern();
    } catch (...) {
      new (m_abyIntern) CAny_Intern;
      throw;
    }
    new (m_abyIntern) CAny_Intern;
  }

 private:
  static constexpr size_t kAreaWords = kVXValueAreaSize / 4;

  void SetTyped(unsigned short nType, const void* p) {
    __SetType(nType, 0);
    pclGetIntern()->SetValue(p);
    m_nType &= kVXClearFlagsMask;
  }
  void CopyFrom(const CAny& other) {
    DestroyContent();
    m_nType = 0;
    __SetType(other.m_nType & 0xFF, 0);
    other.pclGetIntern()->Duplique(this);
  }

  uint32_t m_dwReserved;
  alignas(void*) unsigned char m_abyIntern[sizeof(void*)];
  unsigned short m_nType;
  alignas(4) unsigned char m_abyValeur[kVXValueAreaSize];

  friend struct CAnyLayout;
};

// The layout the server reads.
struct CAnyLayout {
  static constexpr size_t kReserved = offsetof(CAny, m_dwReserved);
  static constexpr size_t kIntern = offsetof(CAny, m_abyIntern);
  static constexpr size_t kType = offsetof(CAny, m_nType);
  static constexpr size_t kValeur = offsetof(CAny, m_abyValeur);
};
static_assert(CAnyLayout::kReserved == 0, "leading word first");
static_assert(CAnyLayout::kIntern == 4, "behaviour object after the leading word");
static_assert(CAnyLayout::kType == 8, "type word after the behaviour object");
static_assert(CAnyLayout::kValeur == 12, "value area after the type word");
static_assert(sizeof(CAny) == 52, "leading word, behaviour, type word, 40-byte area");
static_assert(sizeof(CAny_Intern) == sizeof(void*), "the behaviour object is its vptr only");

// The value that embeds a behaviour object.
inline CAny* CAny_Intern::pAny() {
  return reinterpret_cast<CAny*>(reinterpret_cast<unsigned char*>(this) - CAnyLayout::kIntern);
}
inline const CAny* CAny_Intern::pAny() const {
  return reinterpret_cast<const CAny*>(reinterpret_cast<const unsigned char*>(this) -
                                       CAnyLayout::kIntern);
}
inline unsigned char* CAny_Intern::pbyArea() { return pAny()->pbyGetValeur(); }
inline const unsigned char* CAny_Intern::pbyArea() const { return pAny()->pbyGetValeur(); }

#endif  // KQ230_VALUES_ANY_H_
