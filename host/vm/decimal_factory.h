// The stand-in server's decimal numbers and their factory, answered by the
// exported "pQueryProxy" for the identifier 102 (kVXProxyDecimalFactory).
//
// A decimal is a signed coefficient of at most `precision` digits (1 to 38)
// and a scale (0 to precision): value = coefficient / 10^scale. A new object
// is 0 with precision 38 and scale 0.
//
// Forms the driver sees:
// - Data (1st/2nd/3rd operations) and the 18-byte form (6th/7th): byte 0 the
//   precision, byte 1 the scale, bytes 2..17 the coefficient as a 128-bit
//   two's-complement integer, least significant byte first. The data is the
//   18-byte form itself (size 18).
// - The 32-byte key (8th): the value scaled to 38 decimals, as a 256-bit
//   two's-complement integer with its top bit inverted, most significant byte
//   first; memcmp order is numeric order whatever the scales, and equal
//   values (1.5 and 1.50) give equal keys.
//
// Malformed input never crashes: a form whose precision or scale is out of
// range, or whose coefficient has more digits than its precision, leaves the
// object unchanged and marks the operation refused (see nReserved9).
// SetPrecisionScale rounds dropped decimals half away from zero; when the
// integer part does not fit the new precision the object is left unchanged
// and the operation is marked refused. Precision is clamped to 1..38 and the
// scale to 0..precision first.
//
// Meanings given to the slots the driver never calls: nReserved4 answers the
// precision, nReserved5 the scale, nReserved9 1 when the last setting
// operation (3rd, 7th, 25th) was refused and 0 otherwise; the others answer 0.
//
// Ownership: objects belong to the factory's caller until DestroyDecimal;
// the stand-in counts live objects (StandInLiveDecimals). The factory itself
// is a process-wide object that is never destroyed.
// Threads: creation, destruction and the counters are safe from any thread;
// one object is used by one thread at a time.
#ifndef KQ230_HOST_VM_DECIMAL_FACTORY_H_
#define KQ230_HOST_VM_DECIMAL_FACTORY_H_

#include "host/vm/wide_int.h"
#include "kq230/platform_types.h"
#include "kq230/vm_values.h"

namespace standin_values {

inline constexpr int kMaxDecimalPrecision = 38;

class CStandInDecimal final : public IVXDecimal {
 public:
  CStandInDecimal();
  virtual ~CStandInDecimal();

  const void* pGetData() override;
  unsigned int nGetDataSize() override;
  void SetFromData(int nPrecision, int nScale, const void* pData) override;
  int nReserved4() override;
  int nReserved5() override;
  void WriteForm(void* pForm18) override;
  void SetFromForm(const void* pForm18) override;
  void WriteKey(void* pKey32) override;
  int nReserved9() override;
  void Assign(const IVXDecimal* pOther) override;
  int nReserved11() override { return 0; }
  int nReserved12() override { return 0; }
  int nReserved13() override { return 0; }
  int nReserved14() override { return 0; }
  int nReserved15() override { return 0; }
  int nReserved16() override { return 0; }
  int nReserved17() override { return 0; }
  int nReserved18() override { return 0; }
  int nReserved19() override { return 0; }
  int nReserved20() override { return 0; }
  int nReserved21() override { return 0; }
  int nReserved22() override { return 0; }
  int nReserved23() override { return 0; }
  int bIsNegative() const override;
  void SetPrecisionScale(int nPrecision, int nScale) override;

  // For the stand-in's own entries.
  const CExactNumber& Number() const { return m_number; }
  int nPrecision() const { return m_nPrecision; }
  // Stores the number with precision 38 and the number's scale, rounding
  // decimals beyond 38 - (integer digits) away. Answers false (object
  // unchanged) when the integer part alone has more than 38 digits.
  bool bSetNumber(const CExactNumber& number);

 private:
  bool bSetChecked(int nPrecision, int nScale, const CExactNumber& number);

  CExactNumber m_number;
  int m_nPrecision = kMaxDecimalPrecision;
  int m_bLastRefused = 0;
  unsigned char m_abyData[kVXDecimalFormSize] = {};
};

// The process-wide factory: pCreateDecimal may throw
// CStandInDecimalCreateFailure when the control panel asked for it.
IVXDecimalFactory* StandInDecimalFactory();

// Control-panel services (standin_control.h).
int StandInLiveDecimals();
void StandInFailDecimalCreateAt(int n);
void StandInResetDecimalSettings();

// Whether p is an object of this factory that is still alive: the entries
// check DECIMAL operands before they read them.
bool bIsLiveStandInDecimal(const IVXDecimal* p);

}  // namespace standin_values

// The interface of the given identifier: 102 the decimal factory, else null.
KQ_EXPORT void* pQueryProxy(int nIdentifier);

#endif  // KQ230_HOST_VM_DECIMAL_FACTORY_H_
