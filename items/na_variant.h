// CNAVariant: the native access's typed value holder: one language value
// (CAny) inside a reference-counted object, with setters by plain value type,
// equality and ordering, a 32-bit checksum, emptiness tests, conversion to
// text, decimal precision and scale, and loading a whole file into the value
// or storing the value into a file (memo contents). The value conversion
// holder (items/convert_variant.h) derives from it.
//
// Ordering of same-type values is byte by byte (the I4 values 256 and 1
// compare as 00 01 00 00 against 01 00 00 00, so 256 orders first): its
// callers only test equality and hash with the checksum, and stored record
// identifiers rely on that order staying as it is.
//
// Ownership: the holder owns its value (and what the value owns). Counted as
// CInterf: born at 0, the release that reaches 0 destroys it.
// Threads: none of its own; a holder belongs to one column, parameter or
// define and is used under the driver lock.
#ifndef KQ230_ITEMS_NA_VARIANT_H_
#define KQ230_ITEMS_NA_VARIANT_H_

#include "core/counted_string.h"
#include "core/wide_string.h"
#include "driver/reference_counted.h"
#include "items/item_types.h"
#include "values/any.h"

struct CMoney;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;

// User errors of the holders' table.
inline constexpr unsigned int kNAErrOutOfMemoryUser = 12;
inline constexpr unsigned int kNAErrFileOpen = 15;
inline constexpr unsigned int kNAErrConversion = 53;
// File number of the holders' debug lines.
inline constexpr int kNAFileVariant = 18;

class CNAVariant : public CInterf {
 public:
  CNAVariant() = default;
  ~CNAVariant() override;
  CNAVariant(const CNAVariant&) = delete;
  CNAVariant& operator=(const CNAVariant&) = delete;

  // ---- Virtual operations, in slot order after CInterf's
  // Casts the value in place (option 1); true when the cast answers below 100.
  // The flag is read only by the conversion holder.
  virtual int vbChangeVXType(unsigned short nType, int bNoFill);
  virtual int vbGetValue(CAny* pOut) const;
  // The value's language type is 0.
  virtual int vbIsEmpty() const;
  virtual const void* vpGetData() const;
  virtual unsigned int vnGetSize() const;
  // The connection of the holder; none for this class.
  virtual CNAConnectionDescription* pclGetCnx();

  // ---- Setters by plain type: the language type of the table (money 10,
  // double 12, float 11, long long 9, unsigned long long 5, int 8, unsigned 4,
  // short 7, unsigned short 3, char 6, unsigned char 2, bool 1), flags
  // cleared; true.
  int bSetValue(const CMoney& clMoney);
  int bSetValue(double d);
  int bSetValue(float f);
  int bSetValue(long long ll);
  int bSetValue(unsigned long long ull);
  int bSetValue(int n);
  int bSetValue(unsigned int n);
  int bSetValue(short n);
  int bSetValue(unsigned short n);
  int bSetValue(char c);
  int bSetValue(unsigned char c);
  int bSetValue(bool b);
  // n raw bytes under the current language type; flags cleared; true.
  int bSetValue(const unsigned char* p, unsigned int n);
  // A copy of *pv (its own value: nothing). True.
  int bSetValue(const CAny* pv);

  // A copy into *pOut (its own value: nothing). True.
  int bGetValue(CAny* pOut) const;
  int bGetValue(const CAny** ppv) const;
  int bGetValue(CAny** ppv);
  CAny* pclGetValue() { return &m_clValue; }
  const CAny* pclGetValue() const { return &m_clValue; }

  // Null src: NULL of the current type. src == this: nothing. True.
  int bCopyVariant(const CNAVariant* pclSrc);
  // A new holder (count 0) holding a copy of the value; null without memory.
  CNAConvertVariant* pclGetCloneVariant() const;

  // Null for language type 0, else the value's data address.
  const void* pGetData() const;
  unsigned int nGetSize() const;
  unsigned int nGetUtilDataSize() const;

  // Sum of the little-endian 32-bit words of vpGetData/vnGetSize, then of the
  // 0-3 trailing bytes; 0 without data.
  unsigned int nChecksum32() const;

  int bIsEmptyString() const;
  int bIsEmptyStringEx() const;
  int bIsNumeric0() const;
  int bCouldBeNullOnZB() const { return bIsEmptyStringEx() || bIsNumeric0(); }

  int nCmp(const CAny* pv) const;
  int nCmp(const CNAVariant* pclOther) const;
  int bEqualsNAVariant(const CAny* pv) const;
  int bEqualsNAVariant(const CNAVariant* pclOther) const;
  // A missing holder counts as NULL.
  static int g_bEqualsNAVariant(const CNAConvertVariant* pA, const CNAConvertVariant* pB);

  int bChangeItemType(eNA_ITEMTYPE eType, int bNoFill);
  eNA_ITEMTYPE eNAGetItemTypeValue() const;

  void GetString(CXYString<wchar_t>* pOut, const wchar_t* pszFormat, int nOption) const;
  void GetString(CTString* pOut, const wchar_t* pszFormat, int nOption) const;

  // Precision and scale of the value as a decimal; 0 and 0 and false when it
  // is none.
  int bGetDecimalInfo(int* pnDigits, int* pnDecimals) const;

  // The whole file into the value: BIN with bBinary, else DSTRA. An empty
  // file gives an empty value of that type (true). A missing or unreadable
  // file: user error 15 (path, system message) on pclError, false, value
  // unchanged.
  int bLoadFile(const wchar_t* pszPath, CNAError* pclError, int bBinary);
  // The value's useful data (a text without its terminator) into the file
  // (created or truncated). User error 15 when
  // it cannot be opened; false when a query or the write fails.
  int bStoreFile(const wchar_t* pszPath, CNAError* pclError);
  static int gbLoadFile(CAny* pValue, const wchar_t* pszPath, CNAError* pclError, int bBinary);
  static int gbStoreFile(CAny* pValue, const wchar_t* pszPath, CNAError* pclError);

 protected:
  CAny m_clValue;
};

#endif  // KQ230_ITEMS_NA_VARIANT_H_
