// The stand-in decimal objects and their factory.
#include "host/vm/decimal_factory.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "host/vm/standin_control.h"

namespace standin_values {
namespace {

// Live objects: the count for the control panel, the set so that the entries
// can refuse a DECIMAL operand that is not (or no longer) an object of ours.
struct DecimalRegistry {
  std::mutex mutex;
  std::unordered_set<const IVXDecimal*> live;
  int nFailCountdown = 0;
};

DecimalRegistry& Registry() {
  static DecimalRegistry* p = new DecimalRegistry();  // outlives static destructors
  return *p;
}

bool bFitsPrecision(const CWideUInt& mag, int nPrecision) {
  return CWideUInt::Compare(mag, CWideUInt::PowerOfTen(nPrecision)) < 0;
}

// Little-endian two's complement of a signed magnitude below 2^127.
void WriteCoefficient(const CExactNumber& n, unsigned char* p16) {
  CWideUInt v = n.mag;
  if (n.bNegative && !v.bIsZero()) {
    for (uint32_t& x : v.w) x = ~x;
    v.Add(CWideUInt::FromU64(1));
  }
  for (int i = 0; i < 16; ++i) p16[i] = static_cast<unsigned char>(v.w[i / 4] >> (8 * (i % 4)));
}

void ReadCoefficient(const unsigned char* p16, CExactNumber* pOut) {
  CWideUInt v;
  for (int i = 0; i < 16; ++i) v.w[i / 4] |= static_cast<uint32_t>(p16[i]) << (8 * (i % 4));
  bool bNegative = (p16[15] & 0x80) != 0;
  if (bNegative) {
    for (int i = 0; i < 4; ++i) v.w[i] = ~v.w[i];
    v.Add(CWideUInt::FromU64(1));
    for (int i = 4; i < CWideUInt::kLimbs; ++i) v.w[i] = 0;
  }
  pOut->bNegative = bNegative;
  pOut->mag = v;
}

class CStandInDecimalFactory final : public IVXDecimalFactory {
 public:
  IVXDecimal* pCreateDecimal(int /*nReserved*/) override {
    DecimalRegistry& r = Registry();
    {
      std::lock_guard<std::mutex> lock(r.mutex);
      if (r.nFailCountdown > 0 && --r.nFailCountdown == 0) throw CStandInDecimalCreateFailure{};
    }
    return new CStandInDecimal();
  }
  void DestroyDecimal(IVXDecimal* pDecimal) override {
    // Objects of other origins are never ours to delete.
    if (pDecimal && bIsLiveStandInDecimal(pDecimal)) delete static_cast<CStandInDecimal*>(pDecimal);
  }
};

}  // namespace

CStandInDecimal::CStandInDecimal() {
  DecimalRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.live.insert(this);
}

CStandInDecimal::~CStandInDecimal() {
  DecimalRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.live.erase(this);
}

const void* CStandInDecimal::pGetData() {
  WriteForm(m_abyData);
  return m_abyData;
}

unsigned int CStandInDecimal::nGetDataSize() { return kVXDecimalFormSize; }

void CStandInDecimal::SetFromData(int nPrecision, int nScale, const void* pData) {
  if (!pData) {
    m_bLastRefused = 1;
    return;
  }
  CStandInDecimal temp;
  temp.SetFromForm(pData);
  if (temp.m_bLastRefused) {
    m_bLastRefused = 1;
    return;
  }
  temp.SetPrecisionScale(nPrecision, nScale);
  if (temp.m_bLastRefused) {
    m_bLastRefused = 1;
    return;
  }
  m_number = temp.m_number;
  m_nPrecision = temp.m_nPrecision;
  m_bLastRefused = 0;
}

int CStandInDecimal::nReserved4() { return m_nPrecision; }
int CStandInDecimal::nReserved5() { return m_number.nScale; }

void CStandInDecimal::WriteForm(void* pForm18) {
  if (!pForm18) return;
  unsigned char* p = static_cast<unsigned char*>(pForm18);
  p[0] = static_cast<unsigned char>(m_nPrecision);
  p[1] = static_cast<unsigned char>(m_number.nScale);
  WriteCoefficient(m_number, p + 2);
}

void CStandInDecimal::SetFromForm(const void* pForm18) {
  if (!pForm18) {
    m_bLastRefused = 1;
    return;
  }
  const unsigned char* p = static_cast<const unsigned char*>(pForm18);
  int nPrecision = p[0], nScale = p[1];
  CExactNumber n;
  ReadCoefficient(p + 2, &n);
  n.nScale = nScale;
  m_bLastRefused = bSetChecked(nPrecision, nScale, n) ? 0 : 1;
}

void CStandInDecimal::WriteKey(void* pKey32) {
  if (!pKey32) return;
  // value x 10^38 / 10^scale: below 10^76 < 2^253, so it fits 256 bits with
  // room for the sign.
  CWideUInt v = m_number.mag;
  for (int i = m_number.nScale; i < kMaxDecimalPrecision; ++i) v.MulSmall(10);
  if (m_number.bNegative && !v.bIsZero()) {
    for (uint32_t& x : v.w) x = ~x;
    v.Add(CWideUInt::FromU64(1));
  }
  v.w[CWideUInt::kLimbs - 1] ^= 0x80000000u;
  unsigned char* p = static_cast<unsigned char*>(pKey32);
  for (int i = 0; i < 32; ++i) {
    int nByte = 31 - i;  // most significant first
    p[i] = static_cast<unsigned char>(v.w[nByte / 4] >> (8 * (nByte % 4)));
  }
}

int CStandInDecimal::nReserved9() { return m_bLastRefused; }

void CStandInDecimal::Assign(const IVXDecimal* pOther) {
  if (!pOther || pOther == this || !bIsLiveStandInDecimal(pOther)) return;
  const CStandInDecimal* p = static_cast<const CStandInDecimal*>(pOther);
  m_number = p->m_number;
  m_nPrecision = p->m_nPrecision;
  m_bLastRefused = 0;
}

int CStandInDecimal::bIsNegative() const {
  return m_number.bNegative && !m_number.mag.bIsZero() ? 1 : 0;
}

void CStandInDecimal::SetPrecisionScale(int nPrecision, int nScale) {
  if (nPrecision < 1) nPrecision = 1;
  if (nPrecision > kMaxDecimalPrecision) nPrecision = kMaxDecimalPrecision;
  if (nScale < 0) nScale = 0;
  if (nScale > nPrecision) nScale = nPrecision;
  CExactNumber n = m_number;
  if (!n.Rescale(nScale)) {
    m_bLastRefused = 1;
    return;
  }
  m_bLastRefused = bSetChecked(nPrecision, nScale, n) ? 0 : 1;
}

bool CStandInDecimal::bSetNumber(const CExactNumber& number) {
  CExactNumber n = number;
  n.Normalise();
  if (n.nScale < 0) {
    if (!n.Rescale(0)) return false;
  }
  // Drop the decimals beyond 38 digits (or all of them) in one rounding step:
  // dropping them one at a time would round twice (0.445 -> 0.45 -> 0.5). A
  // carry into a 39th digit (9.99...95 -> 10.00...0) then drops one zero more.
  const int nExcess = n.mag.nDigitCount() - kMaxDecimalPrecision;
  if (nExcess > 0 && n.nScale > 0) n.Rescale(n.nScale - (nExcess < n.nScale ? nExcess : n.nScale));
  if (!bFitsPrecision(n.mag, kMaxDecimalPrecision) && n.nScale > 0) n.Rescale(n.nScale - 1);
  if (n.nScale > kMaxDecimalPrecision) n.Rescale(kMaxDecimalPrecision);
  return bSetChecked(kMaxDecimalPrecision, n.nScale, n);
}

bool CStandInDecimal::bSetChecked(int nPrecision, int nScale, const CExactNumber& number) {
  if (nPrecision < 1 || nPrecision > kMaxDecimalPrecision || nScale < 0 || nScale > nPrecision ||
      number.nScale != nScale || !bFitsPrecision(number.mag, nPrecision))
    return false;
  m_number = number;
  m_number.Normalise();
  m_nPrecision = nPrecision;
  return true;
}

IVXDecimalFactory* StandInDecimalFactory() {
  static CStandInDecimalFactory* p = new CStandInDecimalFactory();
  return p;
}

namespace {
// The registry and the factory are made when the library loads, so that a
// program that loads the stand-in before main counts them in its start, not
// against the first test that makes a decimal.
[[maybe_unused]] const bool gbMadeAtLoad = (Registry(), StandInDecimalFactory(), true);
}  // namespace

int StandInLiveDecimals() {
  DecimalRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return static_cast<int>(r.live.size());
}

void StandInFailDecimalCreateAt(int n) {
  DecimalRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.nFailCountdown = n > 0 ? n : 0;
}

void StandInResetDecimalSettings() {
  StandInFailDecimalCreateAt(0);
  // An empty set keeps its buckets; give them back, so that a program that
  // balances its allocator sees only decimals that are still live.
  DecimalRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (r.live.empty()) std::unordered_set<const IVXDecimal*>().swap(r.live);
}

bool bIsLiveStandInDecimal(const IVXDecimal* p) {
  if (!p) return false;
  DecimalRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.live.count(p) != 0;
}

}  // namespace standin_values

KQ_EXPORT void* pQueryProxy(int nIdentifier) {
  if (nIdentifier == kVXProxyDecimalFactory) return standin_values::StandInDecimalFactory();
  return nullptr;
}
