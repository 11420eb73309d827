// CAny: the type table, the typed getters, copy on write of texts, the raw
// transfer and the BIN casts. The casts through the server's conversion entry
// are in values/value_conversion.cc.
#include "values/any.h"

#include <cstring>

#include "core/zstring.h"
#include "values/date_time_base.h"
#include "values/value_conversion.h"

namespace {

template <typename T>
T Read(const unsigned char* pbyArea) {
  T v;
  std::memcpy(&v, pbyArea, sizeof v);
  return v;
}

// The first 8 (date) or 9 (time) characters of an initial text, narrowed to
// T; a time shorter than 9 characters is padded with '0'; a date is cut
// short. Then a zero.
template <typename T>
void InitialText(unsigned char* pbyArea, const wchar_t* pszInit, size_t nChars, bool bPad) {
  T aText[10] = {};
  size_t i = 0;
  if (pszInit != nullptr) {
    for (; i < nChars && pszInit[i] != 0; ++i) aText[i] = static_cast<T>(pszInit[i]);
  }
  if (bPad) {
    for (; i < nChars; ++i) aText[i] = static_cast<T>('0');
  }
  std::memcpy(pbyArea, aText, (nChars + 1) * sizeof(T));
}

bool bIsCountedTextCode(unsigned char nCode) {
  return nCode == VX_DSTRW || nCode == VX_DSTRA || nCode == VX_BIN || nCode == 148 || nCode == 149;
}

}  // namespace

void CAny::__SetType(unsigned short wType, int bKeep) {
  if (m_nType == wType) return;
  DestroyContent();

  unsigned char* const pbyArea = m_abyValeur;
  unsigned short nCode = static_cast<unsigned char>(wType);
  // Installs class C under the row's code; the initial content follows.
#define KQ_INSTALL(C) new (m_abyIntern) C
  switch (nCode) {
    case VX_BOOL:
      KQ_INSTALL(CAny_VXBOOL);
      if (!bKeep) std::memset(pbyArea, 0, 4);
      break;
    case VX_UI1:
      KQ_INSTALL(CAny_VXUI1);
      if (!bKeep) pbyArea[0] = 0;
      break;
    case VX_UI2:
      KQ_INSTALL(CAny_VXUI2);
      if (!bKeep) std::memset(pbyArea, 0, 2);
      break;
    case VX_UI4:
      KQ_INSTALL(CAny_VXUI4);
      if (!bKeep) std::memset(pbyArea, 0, 4);
      break;
    case VX_UI8:
      KQ_INSTALL(CAny_VXUI8);
      if (!bKeep) std::memset(pbyArea, 0, 8);
      break;
    case VX_I1:
      KQ_INSTALL(CAny_VXI1);
      if (!bKeep) pbyArea[0] = 0;
      break;
    case VX_I2:
      KQ_INSTALL(CAny_VXI2);
      if (!bKeep) std::memset(pbyArea, 0, 2);
      break;
    case VX_I4_ALIAS:
      nCode = VX_I4;
      [[fallthrough]];
    case VX_I4:
      KQ_INSTALL(CAny_VXI4);
      if (!bKeep) std::memset(pbyArea, 0, 4);
      break;
    case VX_I8:
      KQ_INSTALL(CAny_VXI8);
      if (!bKeep) std::memset(pbyArea, 0, 8);
      break;
    case VX_CY:
      KQ_INSTALL(CAny_VXCY);
      if (!bKeep) std::memset(pbyArea, 0, 10);
      break;
    case VX_R4:
      KQ_INSTALL(CAny_VXR4);
      if (!bKeep) std::memset(pbyArea, 0, 4);
      break;
    case VX_R8:
      KQ_INSTALL(CAny_VXR8);
      if (!bKeep) std::memset(pbyArea, 0, 8);
      break;
    case VX_DECIMAL:
      KQ_INSTALL(CAny_VXDECIMAL);
      m_nType = nCode;
      if (!bKeep) {
        // The area holds no object until the factory answers; an unbound
        // factory leaves the value without one (its operations then do
        // nothing) rather than calling through a null interface.
        SetPointeur(nullptr);
        if (gpiVMFactory != nullptr) {
          try {
            SetPointeur(gpiVMFactory->pCreateDecimal(0));
          } catch (...) {
            DestroyContent();
            throw;
          }
        }
      }
      return;
    case VX_UIX:
      KQ_INSTALL(CAny_VXUIX);
      if (!bKeep) std::memset(pbyArea, 0, 4);
      break;
    case VX_DSTRW:
    case 148:
    case 149:
      KQ_INSTALL(CAny_VXDSTRW);
      if (!bKeep) SetPointeur(nullptr);
      break;
    case VX_CARA:
      KQ_INSTALL(CAny_VXCARA);
      if (!bKeep) std::memset(pbyArea, 0, 2);
      break;
    case VX_PSTRA:
      KQ_INSTALL(CAny_VXPSTRA);
      if (!bKeep) SetPointeur(nullptr);
      break;
    case VX_DSTRA:
      KQ_INSTALL(CAny_VXDSTRA);
      if (!bKeep) SetPointeur(nullptr);
      break;
    case VX_DATEW:
      KQ_INSTALL(CAny_VXDATEW);
      if (!bKeep) InitialText<wchar_t>(pbyArea, CDateTimeBase::ms_pcszValeurInitDate, 8, false);
      break;
    case VX_TIMEW:
      KQ_INSTALL(CAny_VXTIMEW);
      if (!bKeep) InitialText<wchar_t>(pbyArea, CDateTimeBase::ms_pcszValeurInitTime, 9, true);
      break;
    case VX_DATETIME:
      KQ_INSTALL(CAny_VXDATETIME);
      if (!bKeep) {
        CDateTimeBase dt;
        dt.InitDate();
        std::memcpy(pbyArea, &dt, sizeof dt);
      }
      break;
    case VX_DUREE:
      KQ_INSTALL(CAny_VXDUREE);
      if (!bKeep) std::memset(pbyArea, 0, 8);
      break;
    case VX_BIN:
      KQ_INSTALL(CAny_VXBIN);
      if (!bKeep) SetPointeur(nullptr);
      break;
    case VX_BUFFER:
      KQ_INSTALL(CAny_VXBUFFER);
      if (!bKeep) std::memset(pbyArea, 0, 8);
      break;
    case VX_MEMOIMG:
      KQ_INSTALL(CAny_VXMEMOIMG);
      if (!bKeep) SetPointeur(nullptr);
      break;
    case VX_CONVOYEUR:
      KQ_INSTALL(CAny_VXCONVOYEUR);
      if (!bKeep) SetPointeur(nullptr);
      break;
    case VX_POLICE:
      KQ_INSTALL(CAny_VXPOLICE);
      if (!bKeep) SetPointeur(nullptr);
      break;
    case VX_CARW:
      KQ_INSTALL(CAny_VXCARW);
      if (!bKeep) std::memset(pbyArea, 0, 8);
      break;
    case VX_TABVALANY:
      KQ_INSTALL(CAny_VXTABVALANY);
      if (!bKeep) SetPointeur(nullptr);
      break;
    case VX_OBJET_BASE:
    case 135:
    case 136:
    case 141:
    case 142:
    case 143:
      KQ_INSTALL(CAny_VXOBJET_BASE);
      if (!bKeep) SetPointeur(nullptr);
      break;
    case VX_PSTRW:
      KQ_INSTALL(CAny_VXPSTRW);
      if (!bKeep) SetPointeur(nullptr);
      break;
    case VX_DINO:
      KQ_INSTALL(CAny_VXDINO);
      if (!bKeep) SetPointeur(nullptr);
      break;
    case VX_DATEA:
      KQ_INSTALL(CAny_VXDATEA);
      if (!bKeep) InitialText<char>(pbyArea, CDateTimeBase::ms_pcszValeurInitDate, 8, false);
      break;
    case VX_TIMEA:
      KQ_INSTALL(CAny_VXTIMEA);
      if (!bKeep) InitialText<char>(pbyArea, CDateTimeBase::ms_pcszValeurInitTime, 9, true);
      break;
    case VX_POINT:
      KQ_INSTALL(CAny_VXPOINT);
      if (!bKeep) std::memset(pbyArea, 0, 8);
      break;
    case VX_RECTANGLE:
      KQ_INSTALL(CAny_VXRECTANGLE);
      if (!bKeep) std::memset(pbyArea, 0, 16);
      break;
    default:
      // Unknown codes: the untyped value (DestroyContent installed the base).
      nCode = VX_NONE;
      break;
  }
#undef KQ_INSTALL
  m_nType = nCode;
}

// ---------------------------------------------------------------------------
// Typed getters: the whole type word decides, so a flagged value answers 105.

int CAny::nGetINT(int* pn) const {
  *pn = 0;
  switch (m_nType) {
    case VX_BOOL:
    case VX_I4:
    case VX_UIX:
      *pn = Read<int32_t>(m_abyValeur);
      return 0;
    case VX_UI1:
      *pn = Read<uint8_t>(m_abyValeur);
      return 0;
    case VX_UI2:
      *pn = Read<uint16_t>(m_abyValeur);
      return 0;
    case VX_I1:
      *pn = Read<int8_t>(m_abyValeur);
      return 0;
    case VX_I2:
      *pn = Read<int16_t>(m_abyValeur);
      return 0;
    default:
      return 105;
  }
}

int CAny::nGetINT_64(long long* pn) const {
  *pn = 0;
  switch (m_nType) {
    case VX_BOOL:
    case VX_I4:
      *pn = Read<int32_t>(m_abyValeur);
      return 0;
    case VX_UI1:
      *pn = Read<uint8_t>(m_abyValeur);
      return 0;
    case VX_UI2:
      *pn = Read<uint16_t>(m_abyValeur);
      return 0;
    case VX_UI4:
      *pn = Read<uint32_t>(m_abyValeur);
      return 0;
    case VX_I1:
      *pn = Read<int8_t>(m_abyValeur);
      return 0;
    case VX_I2:
      *pn = Read<int16_t>(m_abyValeur);
      return 0;
    case VX_I8:
      *pn = Read<int64_t>(m_abyValeur);
      return 0;
    default:
      return 105;
  }
}

int CAny::nGetBitField_64(unsigned long long& n) const {
  n = 0;
  switch (m_nType) {
    case VX_UI1:
      n = Read<uint8_t>(m_abyValeur);
      return 0;
    case VX_UI2:
      n = Read<uint16_t>(m_abyValeur);
      return 0;
    case VX_UI4:
      n = Read<uint32_t>(m_abyValeur);
      return 0;
    case VX_I1:
      n = static_cast<unsigned long long>(static_cast<long long>(Read<int8_t>(m_abyValeur)));
      return 0;
    case VX_I2:
      n = static_cast<unsigned long long>(static_cast<long long>(Read<int16_t>(m_abyValeur)));
      return 0;
    case VX_I4:
    case VX_UIX:
      n = static_cast<unsigned long long>(static_cast<long long>(Read<int32_t>(m_abyValeur)));
      return 0;
    case VX_UI8:
    case VX_I8:
      n = Read<uint64_t>(m_abyValeur);
      return 0;
    default:
      return 105;
  }
}

int CAny::nGetREAL(double* pd) const {
  *pd = 0;
  switch (m_nType) {
    case VX_R4:
      *pd = Read<float>(m_abyValeur);
      return 0;
    case VX_R8:
      *pd = Read<double>(m_abyValeur);
      return 0;
    default:
      return 105;
  }
}

int CAny::nGetManipAUB(STManipAUB* pst) const {
  pst->pData = nullptr;
  pst->nType = 0;
  pst->dwReserved = 0;
  // The whole type word decides, as for the other getters: a flagged value
  // is not handed out.
  if ((m_nType & ~0xFFu) != 0 || !bIsCountedTextCode(nGetTypeCode())) return 105;
  pst->pData = static_cast<unsigned char*>(pGetPointeur());
  pst->nType = m_nType;
  return 0;
}

void* CAny::piGetTraitement() const {
  if (m_nType != 141) return nullptr;
  void* pObject = pGetPointeur();
  if (pObject == nullptr) return nullptr;
  // The object's 48th virtual operation, with the object as its only argument.
  typedef void* (*PFNTRAITEMENT)(void*);
  PFNTRAITEMENT* pVTable = *static_cast<PFNTRAITEMENT**>(pObject);
  return pVTable[47](pObject);
}

// ---------------------------------------------------------------------------
// Copy on write.

int CAny::nUnshare() {
  switch (nGetTypeCode()) {
    case VX_DSTRW:
    case 148:
    case 149: {
      CXYString<wchar_t>& s = *reinterpret_cast<CXYString<wchar_t>*>(m_abyValeur);
      if (s.pGetData() == nullptr) return 0;
      return s.__nPrepareModification(s.nGetLongueur(), 0);
    }
    case VX_DSTRA: {
      CXYString<char>& s = *reinterpret_cast<CXYString<char>*>(m_abyValeur);
      if (s.pGetData() == nullptr) return 0;
      return s.__nPrepareModification(s.nGetLongueur(), 0);
    }
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------
// Raw transfer and the BIN casts.

// Everything the value owns goes first, object references included (the
// destructor of its class releases it), so that a transfer into a value of
// the same type leaks nothing.
void CAny::__TransfertValeurInterne(unsigned short wType, const unsigned char* pbyArea) {
  DestroyContent();
  m_nType = VX_NONE;
  __SetType(wType, 1);
  std::memcpy(m_abyValeur, pbyArea, kVXValueAreaSize);
}

namespace {

// A BIN of exactly 8 bytes becomes a value of nType holding them.
int CastBinTo8Bytes(CAny* pAny, unsigned short nType) {
  if (pAny->nGetTypeCode() != VX_BIN) return 104;
  unsigned char* pData = static_cast<unsigned char*>(pAny->pGetPointeur());
  if (pData == nullptr || StrMemHeader(pData)->nLength != 8) return 104;
  // The bytes stay alive while the old type goes.
  CountedBuffer_AddRef(pData);
  pAny->__SetType(nType, 0);
  pAny->pclGetIntern()->SetValue(pData);
  CountedBuffer_Release(pData);
  return 0;
}

}  // namespace

int CAny::nCastFrom_BIN_DUREE_To_DUREE() { return CastBinTo8Bytes(this, VX_DUREE); }
int CAny::nCastFrom_BIN_DATEHEURE_To_DATEHEURE() { return CastBinTo8Bytes(this, VX_DATETIME); }
