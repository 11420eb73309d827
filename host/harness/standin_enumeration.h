// The stand-in server's enumeration and combination objects (IEnumerationVM,
// ICombinaisonVM): what an item of type NA_IT_ENUMERATION or
// NA_IT_COMBINAISON carries, and what turns a language value into the
// item's record form and back.
//
// Byte forms (the stand-in's own; the real server's are its business):
// - Enumeration: member i (counted from 0) has the code i + 1; the record
//   form is the code as a 32-bit little-endian integer. A value names a
//   member by its code (an integer) or by its name (a text, compared
//   exactly); the value read back is the member's name.
// - Combination: member i is bit i; the record form is the set of bits,
//   little-endian over the item's size (bit i in byte i / 8, bit i % 8). A
//   value is the set as an integer; the value read back is that integer. A
//   bit that names no member, or that does not fit the size, is refused.
// A refusal answers 0 and fills the error given (user code
// kStandInEnumerationRefused or kStandInCombinationRefused).
//
// The stand-in links only the boundary headers, so it cannot read or make a
// language value, nor fill an error, itself: whoever links the value library
// lends an IStandInValueAccess at creation. Without one every conversion is
// refused (and no error can be filled).
//
// Calls are counted (nCalls) and the last record form seen is kept, so that
// tests can check what the driver asked.
//
// Ownership: born with one reference, the creator's; deleted at the last
// release (StandInDescriptionCounts::g_nLive counts them with the other
// stand-in description objects). A release past 0 aborts. The value access
// is borrowed and must outlive the object.
// Threads: one thread at a time.
#ifndef KQ230_HOST_HARNESS_STANDIN_ENUMERATION_H_
#define KQ230_HOST_HARNESS_STANDIN_ENUMERATION_H_

#include <string>
#include <vector>

#include "kq230/item_description_interface.h"

class CAny;
class CXError;

inline constexpr unsigned int kStandInEnumerationRefused = 9001;
inline constexpr unsigned int kStandInCombinationRefused = 9002;

// Reads and makes language values and fills errors for the stand-in.
class IStandInValueAccess {
 public:
  // The value as an integer; false when it is none (or NULL).
  virtual bool bGetInteger(const CAny* pValue, long long* pn) = 0;
  // The value as a text; false when it is none.
  virtual bool bGetText(const CAny* pValue, std::wstring* pstr) = 0;
  virtual bool bSetInteger(CAny* pValue, long long n) = 0;
  virtual bool bSetText(CAny* pValue, const std::wstring& str) = 0;
  // Fills the error with the user code and a debug text.
  virtual void SetError(CXError* pclError, unsigned int nCode, const std::wstring& strText) = 0;

 protected:
  ~IStandInValueAccess() = default;
};

// What the driver asked of one object.
struct StandInConversionCalls {
  int nToRecord = 0;    // slot 2
  int nFromRecord = 0;  // slot 3
  int nRefused = 0;
  // The record form of the last call of either kind (written or read).
  std::vector<unsigned char> lastRecord;
};

class CStandInEnumeration final : public IEnumerationVM {
 public:
  // One reference, the creator's. Without members and access: only counted.
  static CStandInEnumeration* pclNew();
  static CStandInEnumeration* pclNew(const std::vector<std::wstring>& members,
                                     IStandInValueAccess* piAccess);
  int nAddRef() override { return ++m_nRefCount; }
  int nRelease() override;
  int vbValueToCode(const CAny* pValue, int* pnCode, CXError* pclError) override;
  int vbCodeToValue(const void* pCode, CAny* pValue, CXError* pclError) override;

  int nGetRefCount() const { return m_nRefCount; }
  const StandInConversionCalls& Calls() const { return m_calls; }

 private:
  CStandInEnumeration();
  ~CStandInEnumeration();
  int _bRefuse(CXError* pclError, const std::wstring& strText);

  int m_nRefCount = 1;
  std::vector<std::wstring> m_members;
  IStandInValueAccess* m_piAccess = nullptr;
  StandInConversionCalls m_calls;
};

class CStandInCombination final : public ICombinaisonVM {
 public:
  // One reference, the creator's. Without members and access: only counted.
  static CStandInCombination* pclNew();
  static CStandInCombination* pclNew(const std::vector<std::wstring>& members,
                                     IStandInValueAccess* piAccess);
  int nAddRef() override { return ++m_nRefCount; }
  int nRelease() override;
  int vbValueToBytes(const CAny* pValue, void* pBytes, unsigned int nSize,
                     CXError* pclError) override;
  int vbBytesToValue(const void* pBytes, unsigned int nSize, CAny* pValue,
                     CXError* pclError) override;

  int nGetRefCount() const { return m_nRefCount; }
  const StandInConversionCalls& Calls() const { return m_calls; }

 private:
  CStandInCombination();
  ~CStandInCombination();
  int _bRefuse(CXError* pclError, const std::wstring& strText);

  int m_nRefCount = 1;
  std::vector<std::wstring> m_members;
  IStandInValueAccess* m_piAccess = nullptr;
  StandInConversionCalls m_calls;
};

#endif  // KQ230_HOST_HARNESS_STANDIN_ENUMERATION_H_
