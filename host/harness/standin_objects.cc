#include "host/harness/standin_objects.h"

#include <cstdio>
#include <cstdlib>
#include <new>

int CStandInDataSource::g_nLive = 0;

CStandInDataSource* CStandInDataSource::pclNew(const wchar_t* pszName) {
  return new CStandInDataSource(pszName);
}

CStandInDataSource::CStandInDataSource(const wchar_t* pszName)
    : m_bHasName(pszName != nullptr), m_strName(pszName != nullptr ? pszName : L"") {
  ++g_nLive;
}

CStandInDataSource::~CStandInDataSource() { --g_nLive; }

namespace {

[[noreturn]] void AbortSlot(const char* pszWhat, int nSlot) {
  std::fprintf(stderr, "stand-in server: the driver called %s slot %d, which it must not call\n",
               pszWhat, nSlot);
  std::fflush(stderr);
  std::abort();
}

}  // namespace

// The version head: the driver reads none of it from the server's
// descriptions.
int CStandInDataSource::nGetVersion() { AbortSlot("INADataSourceDescription", 0); }
int CStandInDataSource::nGetCompatSince() { AbortSlot("INADataSourceDescription", 1); }
int CStandInDataSource::nGetNAVersion() { AbortSlot("INADataSourceDescription", 2); }
int CStandInDataSource::nGetNACompatSince() { AbortSlot("INADataSourceDescription", 3); }
void CStandInDataSource::NAVersion_EmptySlot_3() { AbortSlot("INADataSourceDescription", 4); }

int CStandInDataSource::nExternalRelease() {
  if (m_nRefCount <= 0) AbortSlot("INADataSourceDescription (released past 0)", 6);
  const int nCount = --m_nRefCount;
  if (nCount == 0) delete this;
  return nCount;
}

const wchar_t* CStandInDataSource::pszGetLogicalName() {
  return m_bHasName ? m_strName.c_str() : nullptr;
}

void CStandInAborting::Abort(int nSlot) const { AbortSlot(m_pszWhat, nSlot); }

#define KQ_ABORTING_SLOT(n) \
  intptr_t CStandInAborting::Slot##n() { Abort(n); }
KQ_ABORTING_SLOT(0) KQ_ABORTING_SLOT(1) KQ_ABORTING_SLOT(2) KQ_ABORTING_SLOT(3)
KQ_ABORTING_SLOT(4) KQ_ABORTING_SLOT(5) KQ_ABORTING_SLOT(6) KQ_ABORTING_SLOT(7)
KQ_ABORTING_SLOT(8) KQ_ABORTING_SLOT(9) KQ_ABORTING_SLOT(10) KQ_ABORTING_SLOT(11)
KQ_ABORTING_SLOT(12) KQ_ABORTING_SLOT(13) KQ_ABORTING_SLOT(14) KQ_ABORTING_SLOT(15)
KQ_ABORTING_SLOT(16) KQ_ABORTING_SLOT(17) KQ_ABORTING_SLOT(18) KQ_ABORTING_SLOT(19)
KQ_ABORTING_SLOT(20) KQ_ABORTING_SLOT(21) KQ_ABORTING_SLOT(22) KQ_ABORTING_SLOT(23)
KQ_ABORTING_SLOT(24) KQ_ABORTING_SLOT(25) KQ_ABORTING_SLOT(26) KQ_ABORTING_SLOT(27)
KQ_ABORTING_SLOT(28) KQ_ABORTING_SLOT(29) KQ_ABORTING_SLOT(30) KQ_ABORTING_SLOT(31)
#undef KQ_ABORTING_SLOT
