#include "host/parser/standin_query_parameters.h"

#include <cstdio>
#include <cstdlib>

#include "host/parser/standin_analysis.h"

CStandInQueryParameters* CStandInQueryParameters::pclNew() { return new CStandInQueryParameters; }

CStandInQueryParameters::CStandInQueryParameters() { ++StandInParserCounts::g_nLive; }

CStandInQueryParameters::~CStandInQueryParameters() {
  for (Parameter& p : m_parameters) DropValue(p);
  --StandInParserCounts::g_nLive;
}

int CStandInQueryParameters::Release() {
  if (m_nRefCount <= 0) {
    std::fprintf(stderr, "stand-in: INAQueryParametersValue released past 0 (slot 6)\n");
    std::abort();
  }
  const int n = --m_nRefCount;
  if (n == 0) delete this;
  return n;
}

void CStandInQueryParameters::DropValue(Parameter& p) {
  if (p.pclValue != nullptr) {
    IStandInValueMaker* piMaker = StandInGetValueMaker();
    if (piMaker != nullptr) piMaker->Delete(p.pclValue);
    p.pclValue = nullptr;
  }
  p.bHasValue = false;
  p.value = StandInValue::Null();
}

CStandInQueryParameters::Parameter* CStandInQueryParameters::pstFind(const wchar_t* pszName) {
  for (Parameter& p : m_parameters) {
    if (StandInSameName(p.strName, pszName)) return &p;
  }
  return nullptr;
}

const CStandInQueryParameters::Parameter* CStandInQueryParameters::pstFind(
    const wchar_t* pszName) const {
  for (const Parameter& p : m_parameters) {
    if (StandInSameName(p.strName, pszName)) return &p;
  }
  return nullptr;
}

void CStandInQueryParameters::SetValue(const wchar_t* pszName, const StandInValue& value,
                                       int nDirection) {
  SetNoValue(pszName, nDirection);
  Parameter* p = pstFind(pszName);
  if (p == nullptr) return;
  p->bHasValue = true;
  p->value = value;
  IStandInValueMaker* piMaker = StandInGetValueMaker();
  if (piMaker != nullptr) p->pclValue = piMaker->pclNew(value);
}

void CStandInQueryParameters::SetNoValue(const wchar_t* pszName, int nDirection) {
  if (pszName == nullptr) return;
  Parameter* p = pstFind(pszName);
  if (p == nullptr) {
    m_parameters.emplace_back();
    p = &m_parameters.back();
    p->strName = pszName;
  }
  DropValue(*p);
  p->nDirection = nDirection;
}

const CAny* CStandInQueryParameters::pclGetParameterValue(const wchar_t* pszName) {
  const Parameter* p = pstFind(pszName);
  return p != nullptr && p->bHasValue ? p->pclValue : nullptr;
}

int CStandInQueryParameters::nGetParameterDirection(const wchar_t* pszName) {
  const Parameter* p = pstFind(pszName);
  return p != nullptr ? p->nDirection : kQueryParamUnknown;
}

const wchar_t* CStandInQueryParameters::pszGetNomParametre(int i) {
  if (i < 0 || i >= static_cast<int>(m_parameters.size())) return nullptr;
  return m_parameters[static_cast<size_t>(i)].strName.c_str();
}

const StandInValue* CStandInQueryParameters::pstGetValue(const wchar_t* pszName) const {
  const Parameter* p = pstFind(pszName);
  return p != nullptr && p->bHasValue ? &p->value : nullptr;
}
