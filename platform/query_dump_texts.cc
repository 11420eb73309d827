#include "platform/query_dump_texts.h"

#include "core/module_entry.h"
#include "core/module_info.h"
#include "core/numbered_messages.h"
#include "core/wide_string.h"
#include "core/zstring.h"

wchar_t* CKQVariant::s_pszDumpVXType = nullptr;
wchar_t* CKQVariant::s_pszDumpADOType = nullptr;
wchar_t* CKQVariant::s_pszDumpValue = nullptr;
wchar_t* CKQVariant::s_pszDumpTime = nullptr;
wchar_t* CKQVariant::s_pszDumpDate = nullptr;
wchar_t* CKQVariant::s_pszDumpConvFailed_Text = nullptr;
wchar_t* CKQVariant::s_pszDumpConvFailed_Date = nullptr;
wchar_t* CKQVariant::s_pszDumpConvFailed_Time = nullptr;

namespace {

struct _stDumpCaption {
  wchar_t** ppszStatic;
  unsigned int nMessage;
  const wchar_t* pszFallback;
};

const _stDumpCaption kCaptions[] = {
    {&CKQVariant::s_pszDumpVXType, 25675, L"Type Orvatic"},
    {&CKQVariant::s_pszDumpADOType, 25680, L"Type ADO"},
    {&CKQVariant::s_pszDumpValue, 25670, L"Valeur"},
    {&CKQVariant::s_pszDumpTime, 25669, L"Heure"},
    {&CKQVariant::s_pszDumpDate, 25671, L"Date"},
    {&CKQVariant::s_pszDumpConvFailed_Text, 25674, L"Echec de la conversion de la valeur en texte."},
    {&CKQVariant::s_pszDumpConvFailed_Date, 25672, L"Echec de la conversion de la valeur en date"},
    {&CKQVariant::s_pszDumpConvFailed_Time, 25673, L"Echec de la conversion de la valeur en heure"},
};

int LoadFromModule(unsigned int nNumber, CTString* pclText) {
  return DLLRES_bLoadString(&gstMyModuleInfo76, nNumber, pclText);
}

}  // namespace

void CKQVariant::InitQueryDumpRessources() { __InitQueryDumpRessources(&LoadFromModule); }

void CKQVariant::__InitQueryDumpRessources(PFNLOADCAPTION pfnLoad) {
  // A second load must not leak the first texts.
  FreeQueryDumpRessources();
  for (const _stDumpCaption& row : kCaptions) {
    CTString clText;
    const wchar_t* pszText = pfnLoad(row.nMessage, &clText) ? clText.pszGet() : row.pszFallback;
    *row.ppszStatic = STR_pszCreate(pszText);  // null when memory is refused
  }
  CMainCommun76::ms_pfnFreeQueryDumpRessources = &CKQVariant::FreeQueryDumpRessources;
}

void CKQVariant::FreeQueryDumpRessources() {
  for (const _stDumpCaption& row : kCaptions) {
    if (*row.ppszStatic != nullptr) {
      STR_Delete(*row.ppszStatic);
      *row.ppszStatic = nullptr;
    }
  }
}
