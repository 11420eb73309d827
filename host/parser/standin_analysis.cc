#include "host/parser/standin_analysis.h"

#include <cwctype>

#include "host/harness/standin_descriptions.h"
#include "host/parser/standin_value_maker.h"

int StandInParserCounts::g_nLive = 0;

namespace {
IStandInValueMaker* g_piValueMaker = nullptr;
const std::wstring kEmpty;
}  // namespace

IStandInValueMaker* StandInSetValueMaker(IStandInValueMaker* piMaker) {
  IStandInValueMaker* piOld = g_piValueMaker;
  g_piValueMaker = piMaker;
  return piOld;
}

IStandInValueMaker* StandInGetValueMaker() { return g_piValueMaker; }

bool StandInSameName(const std::wstring& a, const wchar_t* b) {
  if (b == nullptr) return false;
  size_t i = 0;
  for (; i < a.size() && b[i] != 0; ++i) {
    if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i])))
      return false;
  }
  return i == a.size() && b[i] == 0;
}

CStandInAnalysis::~CStandInAnalysis() {
  for (Table& t : m_tables) t.pclDescription->nExternalRelease();
}

void CStandInAnalysis::AddTable(CStandInDescription* pclDescription,
                                const wchar_t* pszPhysicalName) {
  if (pclDescription == nullptr) return;
  pclDescription->ExternalAddRef();
  m_tables.push_back({pclDescription, pszPhysicalName != nullptr ? pszPhysicalName : L""});
}

void CStandInAnalysis::SetTable(CStandInDescription* pclDescription,
                                const wchar_t* pszPhysicalName) {
  if (pclDescription == nullptr) return;
  for (Table& t : m_tables) {
    if (!StandInSameName(pclDescription->pszGetLogicalName(), t.pclDescription->pszGetLogicalName()))
      continue;
    pclDescription->ExternalAddRef();
    t.pclDescription->nExternalRelease();
    t.pclDescription = pclDescription;
    t.strPhysical = pszPhysicalName != nullptr ? pszPhysicalName : L"";
    return;
  }
  AddTable(pclDescription, pszPhysicalName);
}

const CStandInAnalysis::Table* CStandInAnalysis::pstFind(const wchar_t* pszLogicalName) const {
  if (pszLogicalName == nullptr) return nullptr;
  for (const Table& t : m_tables) {
    if (StandInSameName(pszLogicalName, t.pclDescription->pszGetLogicalName())) return &t;
  }
  return nullptr;
}

CStandInDescription* CStandInAnalysis::pclGetTable(const wchar_t* pszLogicalName) const {
  const Table* p = pstFind(pszLogicalName);
  return p != nullptr ? p->pclDescription : nullptr;
}

const std::wstring& CStandInAnalysis::strGetPhysicalName(const wchar_t* pszLogicalName) const {
  const Table* p = pstFind(pszLogicalName);
  return p != nullptr ? p->strPhysical : kEmpty;
}
