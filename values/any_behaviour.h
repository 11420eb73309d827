// The per-type behaviour classes of CAny (values/any.h).
//
// Every CAny embeds one behaviour object whose class is chosen by the value's
// type code: CAny_Intern for the untyped value, one CAny_VX<type> class per
// language type. The object holds nothing but its table of virtual
// operations; each operation works on the type word and the 40-byte value
// area of the CAny that embeds it. CAny::__SetType replaces the class in place.
//
// The server calls these operations through the table, so the slot order of
// CAny_Intern's virtual operations is the contract: never reorder, insert or
// remove one. CAny_VXPSTRA and CAny_VXPSTRW add three operations after the
// base's.
//
// Results: 0 success, 102 the type has no such representation, 105 the
// operation does not apply to the type. Setters report nothing: a counted
// text whose buffer cannot be grown keeps its previous content; one that
// cannot get a new buffer is left empty.
//
// Ownership: the destructors release what the value area owns (one counted
// reference, a heap copy of a zero-terminated string, a decimal object, an
// object reference), clear the area's pointer and leave CAny_Intern in place.
// The behaviour object's own memory is the CAny's and is never freed.
//
// Threads: as CAny; the counts of counted buffers and of the referenced
// objects change atomically.
#ifndef KQ230_VALUES_ANY_BEHAVIOUR_H_
#define KQ230_VALUES_ANY_BEHAVIOUR_H_

#include <cstddef>
#include <cstdint>

class CAny;

class CAny_Intern {
 public:
  CAny_Intern() = default;
  CAny_Intern(const CAny_Intern&) = delete;
  CAny_Intern& operator=(const CAny_Intern&) = delete;

  // 1, 2: the complete and the deleting destructor. May let an exception of a
  // referenced object's release through; the area is cleared first.
  virtual ~CAny_Intern() noexcept(false) {}
  // 3: stores a copy of this value's content into pTarget (already given this
  // type by the caller) and, where the class does so, the two flags.
  virtual void Duplique(CAny* pTarget) const;
  // 4-6: the representation as it sits in the value area.
  virtual int nGetSize(unsigned int* pn) const;
  virtual int nGetAdr(void** pp) const;
  virtual int nFillBuffer(void* pOut) const;
  // 7-9: the data itself; texts with their terminator.
  virtual int nGetDataSize(unsigned int* pn) const;
  virtual int nGetDataAdr(void** pp) const;
  virtual int nFillDataBuffer(void* pOut) const;
  // 10, 11: stores the type's own representation at p (the number, the text,
  // the buffer handle, the object pointer); the second form takes a length.
  virtual void SetValue(const void* p);
  virtual void SetValue(const void* p, unsigned int n);
  // 12-14: the value as zero-terminated text and its length in characters.
  virtual int nGetPCASTR(const char** pp) const;
  virtual int nGetPCWSTR(const wchar_t** pp) const;
  virtual int nGetSTRLEN(unsigned int* pn) const;
  // 15
  virtual int bIsPositive() const;
  // 16, 17: the useful data, texts without their terminator.
  virtual int nGetUtilDataSize(unsigned int* pn) const;
  virtual int nFillUtilDataBuffer(void* pOut) const;
  // 18, 19: steps by one; 1 when the result left the type's range.
  virtual int nIncremente();
  virtual int nDecremente();
  // 20-27: text given in another width or code page. Classes that do not
  // override them pass the pointer on unconverted.
  virtual void SetValueFromANSI(const void* p);
  virtual void SetValueFromANSI(const void* p, unsigned int n);
  virtual void SetValueFromUNICODE(const void* p);
  virtual void SetValueFromUNICODE(const void* p, unsigned int n);
  virtual void SetValueFromANSI_CP(int nCodePage, const void* p);
  virtual void SetValueFromANSI_CP(int nCodePage, const void* p, unsigned int n);
  virtual void SetValueFromUNICODE_CP(int nCodePage, const void* p);
  virtual void SetValueFromUNICODE_CP(int nCodePage, const void* p, unsigned int n);
  // 28
  virtual void SetValueOption(const void* p, unsigned int n, unsigned int nOptions);

  // The memory is the CAny's: a deleting destruction frees nothing.
  static void operator delete(void*) noexcept {}

  // What the text getters of the zero-terminated-string classes answer for a
  // value without text.
  static constexpr wchar_t ChaineVide[1] = {};
  static constexpr char ChaineVideA[1] = {};

 protected:
  // The value that embeds this object (defined in values/any.h).
  CAny* pAny();
  const CAny* pAny() const;
  unsigned char* pbyArea();
  const unsigned char* pbyArea() const;
};

// Declares the operations every fixed-size class overrides: its area holds
// the whole value.
#define KQ_ANY_FIXED_OPERATIONS                               \
  void Duplique(CAny* pTarget) const override;                \
  int nGetSize(unsigned int* pn) const override;              \
  int nGetAdr(void** pp) const override;                      \
  int nFillBuffer(void* pOut) const override;                 \
  int nGetDataSize(unsigned int* pn) const override;          \
  int nGetDataAdr(void** pp) const override;                  \
  int nFillDataBuffer(void* pOut) const override;             \
  using CAny_Intern::SetValue;                                \
  void SetValue(const void* p) override

// Operations of the numbers that step and know their sign.
#define KQ_ANY_NUMBER_OPERATIONS        \
  KQ_ANY_FIXED_OPERATIONS;              \
  int bIsPositive() const override;     \
  int nIncremente() override;           \
  int nDecremente() override

// --- Numbers -------------------------------------------------------------------

class CAny_VXBOOL : public CAny_Intern {
 public:
  KQ_ANY_FIXED_OPERATIONS;
  // The 4 bytes zeroed, then the first min(n, 4) bytes of p.
  void SetValue(const void* p, unsigned int n) override;
};

class CAny_VXUI1 : public CAny_Intern {
 public:
  KQ_ANY_NUMBER_OPERATIONS;
};
class CAny_VXUI2 : public CAny_Intern {
 public:
  KQ_ANY_NUMBER_OPERATIONS;
};
class CAny_VXUI4 : public CAny_Intern {
 public:
  KQ_ANY_NUMBER_OPERATIONS;
};
// Steps report 1 exactly when the value wraps (+1 from 2^64 - 1, -1 from 0).
class CAny_VXUI8 : public CAny_Intern {
 public:
  KQ_ANY_NUMBER_OPERATIONS;
};
class CAny_VXI1 : public CAny_Intern {
 public:
  KQ_ANY_NUMBER_OPERATIONS;
};
class CAny_VXI2 : public CAny_Intern {
 public:
  KQ_ANY_NUMBER_OPERATIONS;
};
class CAny_VXI4 : public CAny_Intern {
 public:
  KQ_ANY_NUMBER_OPERATIONS;
};
// Steps wrap and always report 0.
class CAny_VXI8 : public CAny_Intern {
 public:
  KQ_ANY_NUMBER_OPERATIONS;
};
// Money: ten bytes of CMoney. Steps add or subtract exactly one unit (one
// million millionths) and report 1 on an overflow of the 80 bits.
class CAny_VXCY : public CAny_Intern {
 public:
  KQ_ANY_NUMBER_OPERATIONS;
};
class CAny_VXR4 : public CAny_Intern {
 public:
  KQ_ANY_NUMBER_OPERATIONS;
};
class CAny_VXR8 : public CAny_Intern {
 public:
  KQ_ANY_NUMBER_OPERATIONS;
};
// Sizes, steps and positivity of a 32-bit integer tested as signed.
class CAny_VXUIX : public CAny_Intern {
 public:
  KQ_ANY_NUMBER_OPERATIONS;
};

// A decimal object of the server's factory, by pointer; a copy gets an object
// of its own. The data forms are the object's 18-byte form.
class CAny_VXDECIMAL : public CAny_Intern {
 public:
  ~CAny_VXDECIMAL() noexcept(false) override;
  void Duplique(CAny* pTarget) const override;
  int nGetSize(unsigned int* pn) const override;
  int nGetAdr(void** pp) const override;
  int nFillBuffer(void* pOut) const override;
  int nGetDataSize(unsigned int* pn) const override;
  int nGetDataAdr(void** pp) const override;
  int nFillDataBuffer(void* pOut) const override;
  // p is a decimal object to assign from.
  void SetValue(const void* p) override;
  // p is an 18-byte form; the length is not used.
  void SetValue(const void* p, unsigned int n) override;
  int bIsPositive() const override;
};

// --- Characters ------------------------------------------------------------------

class CAny_VXCARA : public CAny_Intern {
 public:
  KQ_ANY_FIXED_OPERATIONS;
  int nGetPCASTR(const char** pp) const override;
  int nGetSTRLEN(unsigned int* pn) const override;
  using CAny_Intern::SetValueFromUNICODE;
  using CAny_Intern::SetValueFromUNICODE_CP;
  // One wide character to one byte (code page 1252, or nCodePage).
  void SetValueFromUNICODE(const void* p) override;
  void SetValueFromUNICODE_CP(int nCodePage, const void* p) override;
  void SetValueFromUNICODE_CP(int nCodePage, const void* p, unsigned int n) override;
};

class CAny_VXCARW : public CAny_Intern {
 public:
  KQ_ANY_FIXED_OPERATIONS;
  int nGetPCWSTR(const wchar_t** pp) const override;
  int nGetSTRLEN(unsigned int* pn) const override;
  // One byte to one wide character (code page 1252, or nCodePage).
  void SetValueFromANSI(const void* p) override;
  void SetValueFromANSI(const void* p, unsigned int n) override;
  void SetValueFromANSI_CP(int nCodePage, const void* p) override;
  void SetValueFromANSI_CP(int nCodePage, const void* p, unsigned int n) override;
  // The first character of n UTF-16 units (nothing for n <= 0).
  static void s_SetFromUTF16(CAny* pAny, const unsigned short* p, int n);
};

// --- Zero-terminated strings --------------------------------------------------------

// An owned heap copy of an 8-bit text (STR_pszCreateA), or null.
class CAny_VXPSTRA : public CAny_Intern {
 public:
  ~CAny_VXPSTRA() noexcept(false) override;
  void Duplique(CAny* pTarget) const override;
  int nGetSize(unsigned int* pn) const override;
  int nGetAdr(void** pp) const override;
  int nFillBuffer(void* pOut) const override;
  int nGetDataSize(unsigned int* pn) const override;
  int nGetDataAdr(void** pp) const override;
  int nFillDataBuffer(void* pOut) const override;
  // p: the text; with n: n characters of it.
  void SetValue(const void* p) override;
  void SetValue(const void* p, unsigned int n) override;
  int nGetPCASTR(const char** pp) const override;
  int nGetSTRLEN(unsigned int* pn) const override;
  int nGetUtilDataSize(unsigned int* pn) const override;
  int nFillUtilDataBuffer(void* pOut) const override;
  // Option bit 1: a zero-filled buffer of n characters, p copied into it.
  void SetValueOption(const void* p, unsigned int n, unsigned int nOptions) override;
  // 29-31
  virtual void __CreateStr(const char* p);
  virtual void __CreateStr(const char* p, unsigned int n);
  virtual void __DeleteStr();
};

// An owned heap copy of a wide text (STR_pszCreateW_UNALIGNED), or null.
class CAny_VXPSTRW : public CAny_Intern {
 public:
  ~CAny_VXPSTRW() noexcept(false) override;
  void Duplique(CAny* pTarget) const override;
  int nGetSize(unsigned int* pn) const override;
  int nGetAdr(void** pp) const override;
  int nFillBuffer(void* pOut) const override;
  int nGetDataSize(unsigned int* pn) const override;
  int nGetDataAdr(void** pp) const override;
  int nFillDataBuffer(void* pOut) const override;
  // p: the text; with n: n bytes of it (n / 4 characters).
  void SetValue(const void* p) override;
  void SetValue(const void* p, unsigned int n) override;
  int nGetPCWSTR(const wchar_t** pp) const override;
  int nGetSTRLEN(unsigned int* pn) const override;
  int nGetUtilDataSize(unsigned int* pn) const override;
  int nFillUtilDataBuffer(void* pOut) const override;
  // 8-bit text of code page 1252 (or nCodePage); n bytes, or up to the zero.
  void SetValueFromANSI(const void* p) override;
  void SetValueFromANSI(const void* p, unsigned int n) override;
  void SetValueFromANSI_CP(int nCodePage, const void* p) override;
  void SetValueFromANSI_CP(int nCodePage, const void* p, unsigned int n) override;
  void SetValueOption(const void* p, unsigned int n, unsigned int nOptions) override;
  // 29-31
  virtual void __CreateStr(const wchar_t* p);
  virtual void __CreateStr(const wchar_t* p, unsigned int n);
  virtual void __DeleteStr();
  // Exactly n UTF-16 units (nothing for n <= 0).
  static void s_SetFromUTF16(CAny* pAny, const unsigned short* p, int n);
};

// --- Counted strings and binaries ----------------------------------------------------

// A counted 8-bit string (CXYString<char> buffer pointer).
class CAny_VXDSTRA : public CAny_Intern {
 public:
  ~CAny_VXDSTRA() noexcept(false) override;
  void Duplique(CAny* pTarget) const override;
  int nGetSize(unsigned int* pn) const override;
  int nGetAdr(void** pp) const override;
  int nFillBuffer(void* pOut) const override;
  int nGetDataSize(unsigned int* pn) const override;
  int nGetDataAdr(void** pp) const override;
  int nFillDataBuffer(void* pOut) const override;
  // p: a CXYString<char> whose buffer is shared; with n: n bytes of text
  // (n = 0xFFFFFFFF: up to the zero).
  void SetValue(const void* p) override;
  void SetValue(const void* p, unsigned int n) override;
  int nGetPCASTR(const char** pp) const override;
  int nGetSTRLEN(unsigned int* pn) const override;
  int nGetUtilDataSize(unsigned int* pn) const override;
  int nFillUtilDataBuffer(void* pOut) const override;
};

// A counted wide string (CXYString<wchar_t> buffer pointer); codes 16, 148, 149.
class CAny_VXDSTRW : public CAny_Intern {
 public:
  ~CAny_VXDSTRW() noexcept(false) override;
  void Duplique(CAny* pTarget) const override;
  int nGetSize(unsigned int* pn) const override;
  int nGetAdr(void** pp) const override;
  int nFillBuffer(void* pOut) const override;
  int nGetDataSize(unsigned int* pn) const override;
  int nGetDataAdr(void** pp) const override;
  int nFillDataBuffer(void* pOut) const override;
  // p: a CXYString<wchar_t> whose buffer is shared; with n: n bytes of wide
  // text, rounded down to whole characters.
  void SetValue(const void* p) override;
  void SetValue(const void* p, unsigned int n) override;
  int nGetPCWSTR(const wchar_t** pp) const override;
  int nGetSTRLEN(unsigned int* pn) const override;
  int nGetUtilDataSize(unsigned int* pn) const override;
  int nFillUtilDataBuffer(void* pOut) const override;
  // 8-bit text of the server's current code page (or nCodePage): n bytes, or
  // strlen(p) for the one-argument forms.
  void SetValueFromANSI(const void* p) override;
  void SetValueFromANSI(const void* p, unsigned int n) override;
  void SetValueFromANSI_CP(int nCodePage, const void* p) override;
  void SetValueFromANSI_CP(int nCodePage, const void* p, unsigned int n) override;
  // Exactly n UTF-16 units (n <= 0 empties the value).
  static void s_SetFromUTF16(CAny* pAny, const unsigned short* p, int n);
};

// A counted binary buffer (CVXBIN buffer pointer).
class CAny_VXBIN : public CAny_Intern {
 public:
  ~CAny_VXBIN() noexcept(false) override;
  void Duplique(CAny* pTarget) const override;
  int nGetSize(unsigned int* pn) const override;
  int nGetAdr(void** pp) const override;
  int nFillBuffer(void* pOut) const override;
  int nGetDataSize(unsigned int* pn) const override;
  int nGetDataAdr(void** pp) const override;
  int nFillDataBuffer(void* pOut) const override;
  // p: a CVXBIN whose buffer is shared; with n: n bytes copied.
  void SetValue(const void* p) override;
  void SetValue(const void* p, unsigned int n) override;
  int nGetUtilDataSize(unsigned int* pn) const override;
  int nFillUtilDataBuffer(void* pOut) const override;
};

// A memory block of the caller's: pointer and 32-bit size, not owned.
class CAny_VXBUFFER : public CAny_Intern {
 public:
  void Duplique(CAny* pTarget) const override;
  int nGetSize(unsigned int* pn) const override;
  int nGetAdr(void** pp) const override;
  int nFillBuffer(void* pOut) const override;
  int nGetDataSize(unsigned int* pn) const override;
  int nGetDataAdr(void** pp) const override;
  int nFillDataBuffer(void* pOut) const override;
  // p alone: size 0.
  void SetValue(const void* p) override;
  void SetValue(const void* p, unsigned int n) override;
};

// --- Dates, times, durations, points and rectangles -------------------------------

// Date text YYYYMMDD (8-bit / wide) and time text HHMMSSmmm, in the area.
class CAny_VXDATEA : public CAny_Intern {
 public:
  KQ_ANY_FIXED_OPERATIONS;
  int nGetPCASTR(const char** pp) const override;
  int nGetUtilDataSize(unsigned int* pn) const override;
  int nFillUtilDataBuffer(void* pOut) const override;
  using CAny_Intern::SetValueFromUNICODE;
  void SetValueFromUNICODE(const void* p) override;
};
class CAny_VXTIMEA : public CAny_Intern {
 public:
  KQ_ANY_FIXED_OPERATIONS;
  int nGetPCASTR(const char** pp) const override;
  int nGetUtilDataSize(unsigned int* pn) const override;
  int nFillUtilDataBuffer(void* pOut) const override;
  using CAny_Intern::SetValueFromUNICODE;
  void SetValueFromUNICODE(const void* p) override;
};
class CAny_VXDATEW : public CAny_Intern {
 public:
  KQ_ANY_FIXED_OPERATIONS;
  int nGetPCWSTR(const wchar_t** pp) const override;
  int nGetUtilDataSize(unsigned int* pn) const override;
  int nFillUtilDataBuffer(void* pOut) const override;
  void SetValueFromANSI(const void* p) override;
  void SetValueFromANSI(const void* p, unsigned int n) override;
};
class CAny_VXTIMEW : public CAny_Intern {
 public:
  KQ_ANY_FIXED_OPERATIONS;
  int nGetPCWSTR(const wchar_t** pp) const override;
  int nGetUtilDataSize(unsigned int* pn) const override;
  int nFillUtilDataBuffer(void* pOut) const override;
  void SetValueFromANSI(const void* p) override;
  void SetValueFromANSI(const void* p, unsigned int n) override;
};

class CAny_VXDATETIME : public CAny_Intern {
 public:
  KQ_ANY_FIXED_OPERATIONS;
};
class CAny_VXDUREE : public CAny_Intern {
 public:
  KQ_ANY_FIXED_OPERATIONS;
};
class CAny_VXPOINT : public CAny_Intern {
 public:
  KQ_ANY_FIXED_OPERATIONS;
};
class CAny_VXRECTANGLE : public CAny_Intern {
 public:
  KQ_ANY_FIXED_OPERATIONS;
};

// --- Object references ------------------------------------------------------------
// Objects made by the server, held by one counted reference. The fill
// operations hand the pointer out without a reference.

#define KQ_ANY_OBJECT_OPERATIONS                             \
  void Duplique(CAny* pTarget) const override;               \
  int nGetSize(unsigned int* pn) const override;             \
  int nGetAdr(void** pp) const override;                     \
  int nFillBuffer(void* pOut) const override;                \
  int nGetDataSize(unsigned int* pn) const override;         \
  int nGetDataAdr(void** pp) const override;                 \
  int nFillDataBuffer(void* pOut) const override;            \
  using CAny_Intern::SetValue;                               \
  void SetValue(const void* p) override

// Reference count: the 32-bit word after the object's table of virtual
// operations, incremented atomically; release: the object's third operation.
// SetValue does not release a previous object (it serves freshly typed values).
class CAny_VXMEMOIMG : public CAny_Intern {
 public:
  ~CAny_VXMEMOIMG() noexcept(false) override;
  KQ_ANY_OBJECT_OPERATIONS;
};
class CAny_VXPOLICE : public CAny_Intern {
 public:
  ~CAny_VXPOLICE() noexcept(false) override;
  KQ_ANY_OBJECT_OPERATIONS;
};
class CAny_VXCONVOYEUR : public CAny_Intern {
 public:
  ~CAny_VXCONVOYEUR() noexcept(false) override;
  KQ_ANY_OBJECT_OPERATIONS;
};
// Release: the object's third operation, add-reference its second. Copies do
// not carry the flags.
class CAny_VXTABVALANY : public CAny_Intern {
 public:
  ~CAny_VXTABVALANY() noexcept(false) override;
  KQ_ANY_OBJECT_OPERATIONS;
};
// Release: the object's second operation, add-reference its first. Codes 108,
// 135, 136, 141, 142 and 143; copies keep the kind and drop the flags.
class CAny_VXOBJET_BASE : public CAny_Intern {
 public:
  ~CAny_VXOBJET_BASE() noexcept(false) override;
  KQ_ANY_OBJECT_OPERATIONS;
};
class CAny_VXDINO : public CAny_Intern {
 public:
  ~CAny_VXDINO() noexcept(false) override;
  KQ_ANY_OBJECT_OPERATIONS;
};

#undef KQ_ANY_FIXED_OPERATIONS
#undef KQ_ANY_NUMBER_OPERATIONS
#undef KQ_ANY_OBJECT_OPERATIONS

#endif  // KQ230_VALUES_ANY_BEHAVIOUR_H_
