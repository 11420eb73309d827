// The record commands a data access does not offer yet: writes, locks,
// filters, queries, counts and reindexing. Each answers user error 8.

#include "tables/na_data_access.h"

#include "driver/na_error.h"

int CNADataAccess::bHCreation(const wchar_t*, int) {
  return _nNotBuiltYet(L"CNADataAccess::bHCreation", 101);
}

int CNADataAccess::bHCreationSiInexistant(_eNA_ACCESS, const wchar_t*) {
  return _nNotBuiltYet(L"CNADataAccess::bHCreationSiInexistant", 102);
}

int CNADataAccess::bSupprimeFichier() {
  return _nNotBuiltYet(L"CNADataAccess::bSupprimeFichier", 103);
}

int CNADataAccess::bSupprimeTout() {
  return _nNotBuiltYet(L"CNADataAccess::bSupprimeTout", 104);
}

int CNADataAccess::bHReindexe(unsigned int, IGaugeControl*) {
  return _nNotBuiltYet(L"CNADataAccess::bHReindexe", 105);
}

int CNADataAccess::bHAjoute(unsigned int, eNA_LOCKTYPE) {
  return _nNotBuiltYet(L"CNADataAccess::bHAjoute", 106);
}

int CNADataAccess::bHEcrit(long long, unsigned int, eNA_LOCKTYPE) {
  return _nNotBuiltYet(L"CNADataAccess::bHEcrit", 107);
}

int CNADataAccess::bHRaye(long long, eNA_LOCKTYPE) {
  return _nNotBuiltYet(L"CNADataAccess::bHRaye", 108);
}

int CNADataAccess::bHSupprime(long long, eNA_LOCKTYPE) {
  return _nNotBuiltYet(L"CNADataAccess::bHSupprime", 109);
}

int CNADataAccess::bHModifie(long long, unsigned int, eNA_LOCKTYPE) {
  return _nNotBuiltYet(L"CNADataAccess::bHModifie", 110);
}

int CNADataAccess::bHBloqueFichier(eNA_LOCKTYPE, eNA_LOCKTYPE*) {
  return _nNotBuiltYet(L"CNADataAccess::bHBloqueFichier", 111);
}

int CNADataAccess::bHDebloqueFichier() {
  return _nNotBuiltYet(L"CNADataAccess::bHDebloqueFichier", 112);
}

int CNADataAccess::bHBloqueNumEnr(long long, eNA_LOCKTYPE, eNA_LOCKTYPE*) {
  return _nNotBuiltYet(L"CNADataAccess::bHBloqueNumEnr", 113);
}

int CNADataAccess::bHDebloqueNumEnr(long long) {
  return _nNotBuiltYet(L"CNADataAccess::bHDebloqueNumEnr", 114);
}

int CNADataAccess::bHLibere() {
  return _nNotBuiltYet(L"CNADataAccess::bHLibere", 115);
}

int CNADataAccess::bHFiltre(ISQLParserInformation*, wchar_t*) {
  return _nNotBuiltYet(L"CNADataAccess::bHFiltre", 116);
}

int CNADataAccess::bHFiltre(const wchar_t*, const CAny*, int, const CAny*, int, ISQLParserInformation*) {
  return _nNotBuiltYet(L"CNADataAccess::bHFiltre", 117);
}

int CNADataAccess::bHActiveFiltre(const wchar_t*) {
  return _nNotBuiltYet(L"CNADataAccess::bHActiveFiltre", 118);
}

int CNADataAccess::bHDesactiveFiltre(const wchar_t*) {
  return _nNotBuiltYet(L"CNADataAccess::bHDesactiveFiltre", 119);
}

int CNADataAccess::bSetBLOB(unsigned int, const CAny*) {
  return _nNotBuiltYet(L"CNADataAccess::bSetBLOB", 120);
}

int CNADataAccess::bSetRecord(CNAZBRecordBase*) {
  return _nNotBuiltYet(L"CNADataAccess::bSetRecord", 121);
}

int CNADataAccess::bHAttacheMemo(unsigned int, const wchar_t*) {
  return _nNotBuiltYet(L"CNADataAccess::bHAttacheMemo", 122);
}

int CNADataAccess::bExecuteQuery(int*, const wchar_t*, ISQLParserInformation*, unsigned int, const INAQueryExecution*) {
  return _nNotBuiltYet(L"CNADataAccess::bExecuteQuery", 123);
}

int CNADataAccess::bHNbEnr(long long*, unsigned int, unsigned int) {
  return _nNotBuiltYet(L"CNADataAccess::bHNbEnr", 124);
}

int CNADataAccess::bHVersion(int*) {
  return _nNotBuiltYet(L"CNADataAccess::bHVersion", 125);
}

void CNADataAccess::CancelRecordLock(INAConnectionDescription*, CNATransactionBase*) {}

int CNADataAccess::_nNotBuiltYet(const wchar_t* pszOperation, int nSite) {
  _nRaise(nSite, kErrNotOffered, nullptr);
  if (m_pclError != nullptr) {
    CTString csText(pszOperation, L": not built yet", nullptr);
    m_pclError->AddDebugMessageNoFormat(csText.pszGet());
  }
  return 0;
}
