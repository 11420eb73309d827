// The SQL type map: see sql_type_map.h.
#include "items/sql_type_map.h"

#include <new>

#include "items/item_description.h"

// ---------------------------------------------------------------------------
// CNATypeInfo

CNATypeInfo::CNATypeInfo(const wchar_t* pszText, int bTakesSize)
    : m_csText(pszText != nullptr ? pszText : L""), m_bTakesSize(bTakesSize != 0 ? 1 : 0) {}

CNATypeInfo::~CNATypeInfo() = default;

void CNATypeInfo::s_Substitute(const wchar_t* pszText, const int* pnNumbers, int n,
                               CTString* pOut) {
  pOut->Vide();
  int iNext = 0;
  for (const wchar_t* p = pszText; *p != L'\0'; ++p) {
    if (p[0] == L'%' && p[1] == L'd') {
      pOut->AddI4(iNext < n ? pnNumbers[iNext] : 0);
      ++iNext;
      ++p;
    } else if (p[0] == L'%' && p[1] == L'%') {
      pOut->Add(L'%');
      ++p;
    } else {
      pOut->Add(*p);
    }
  }
}

int CNATypeInfo::Format(const stNATypeItemFacts& stItem, CXYString<wchar_t>* pOut) const {
  CTString csText;
  if (!m_bTakesSize) {
    csText = m_csText;
  } else if (stItem.eItemType == NA_IT_HEURE) {
    // HHMMSS, the fraction digits, the terminator: what is left after 7
    // bytes is the fraction; the server holds at most 6 digits.
    int nDigits = stItem.nItemSize - 7;
    if (nDigits < 0) nDigits = 0;
    if (nDigits > 6) nDigits = 6;
    s_Substitute(m_csText.pszGet(), &nDigits, 1, &csText);
  } else if (stItem.eItemType == NA_IT_DECIMAL) {
    // Digits that would overflow an int are left to the server to refuse.
    const long long llPrecision = static_cast<long long>(stItem.nIntegerPart) + stItem.nDecimalPart;
    const int an[2] = {llPrecision > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(llPrecision),
                       stItem.nDecimalPart};
    s_Substitute(m_csText.pszGet(), an, 2, &csText);
  } else {
    s_Substitute(m_csText.pszGet(), &stItem.nLogicalSize, 1, &csText);
  }
  if (csText.nTaille() == 0) {
    pOut->ReleaseDynStr();
    return 1;
  }
  return pOut->nAffecteConversion(csText.pszGet(), csText.nTaille()) == 0 ? 1 : 0;
}

// ---------------------------------------------------------------------------
// CNAMapConvertType

CNAMapConvertType::CNAMapConvertType() : CNARefHashTable<eNA_ITEMTYPE, CNATypeInfo*>(7) {}

CNAMapConvertType::~CNAMapConvertType() = default;  // the base releases the entries

int CNAMapConvertType::Add(eNA_ITEMTYPE eType, const wchar_t* pszText, int bTakesSize) {
  CNATypeInfo* pclNew = new (std::nothrow) CNATypeInfo(pszText, bTakesSize);
  if (pclNew == nullptr) return 0;
  pclNew->AddRef();  // our hold while the old entry goes
  Remove(eType);
  if (!bAddElement(pKeyOf(eType), pclNew)) {
    pclNew->nRelease();
    return 0;
  }
  // The hold taken above becomes the map's reference.
  return 1;
}

int CNAMapConvertType::Remove(eNA_ITEMTYPE eType) {
  void* pValue = nullptr;
  int bRemoved = 0;
  // Equal keys are never stored twice, but a loop costs nothing.
  while (bDeleteElement(pKeyOf(eType), &pValue, nullptr)) {
    _Release(static_cast<CNATypeInfo*>(pValue));
    bRemoved = 1;
  }
  return bRemoved;
}

CNATypeInfo* CNAMapConvertType::pclGet(eNA_ITEMTYPE eType) const {
  void* pValue = nullptr;
  if (!bGetElement(pKeyOf(eType), &pValue, nullptr)) return nullptr;
  return static_cast<CNATypeInfo*>(pValue);
}

int CNAMapConvertType::bFormat(const stNATypeItemFacts& stItem, CXYString<wchar_t>* pOut) const {
  CInterfRef<CNATypeInfo> clEntry(pclGet(stItem.eItemType));
  if (!clEntry) return 0;
  return clEntry->Format(stItem, pOut);
}

int CNAMapConvertType::bFormat(const INAItemDescription* piItem, CXYString<wchar_t>* pOut) const {
  // The server's interface has no const operations; reading the facts
  // changes nothing.
  return bFormat(CNAItemDescription::s_stGetTypeFacts(const_cast<INAItemDescription*>(piItem)),
                 pOut);
}

void CNAMapConvertType::_Init() {
  struct Default {
    eNA_ITEMTYPE eType;
    const wchar_t* pszText;
    int bTakesSize;
  };
  static const Default kDefaults[] = {
      {NA_IT_IDAUTO, L"NUMERIC(19,0)", 0},   {NA_IT_IDAUTO4, L"INTEGER", 0},
      {NA_IT_I1, L"SMALLINT", 0},            {NA_IT_I2, L"SMALLINT", 0},
      {NA_IT_I4, L"INTEGER", 0},             {NA_IT_I8, L"NUMERIC(19,0)", 0},
      {NA_IT_UI1, L"SMALLINT", 0},           {NA_IT_UI2, L"SMALLINT", 0},
      {NA_IT_UI4, L"INTEGER", 0},            {NA_IT_UI8, L"NUMERIC(20,0)", 0},
      {NA_IT_BOOLEEN, L"SMALLINT", 0},       {NA_IT_MONETAIRE, L"NUMERIC(24,6)", 0},
      {NA_IT_DECIMAL, L"NUMERIC(%d,%d)", 1}, {NA_IT_R4, L"REAL", 0},
      {NA_IT_R8, L"FLOAT", 0},               {NA_IT_REELTURBO, L"FLOAT", 0},
      {NA_IT_CHAR, L"CHARACTER", 0},         {NA_IT_IMAGE, L"CHARACTER(%d)", 1},
      {NA_IT_TEXTE, L"VARCHAR(%d)", 1},      {NA_IT_MEMOTEXTE, L"TEXT", 0},
      {NA_IT_UNICODE, L"NVARCHAR(%d)", 1},   {NA_IT_MEMOUNICODE, L"NTEXT", 0},
      {NA_IT_BINAIRE, L"VARBINARY(%d)", 1},  {NA_IT_DATE6, L"DATE", 0},
      {NA_IT_DATE8, L"DATE", 0},             {NA_IT_HEURE, L"TIME", 0},
      {NA_IT_DATETIME, L"TIMESTAMP", 0},     {NA_IT_TIMELENGHT, L"NUMERIC(19,0)", 0},
      {NA_IT_ENUMERATION, L"INTEGER", 0},    {NA_IT_COMBINAISON, L"VARBINARY(%d)", 1},
  };
  for (const Default& d : kDefaults) Add(d.eType, d.pszText, d.bTakesSize);
}
