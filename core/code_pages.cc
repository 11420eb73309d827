#include "core/code_pages.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "core/locale_compare.h"
#include "core/module_entry.h"
#include "kq230/host_services.h"

// ---------------------------------------------------------------------------
// Tables 1 to 4

unsigned int dwGetCodePageFromCharset(int nCharset) {
  switch (nCharset) {
    case 0:
    case 255: return 1252;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 65001: return 65001;
    default: return 0;
  }
}

int nGetCharsetFromCodePage(int nCodePage) {
  switch (nCodePage) {
    case 0: return 127;
    case 874: return 222;
    case 932: return 128;
    case 936: return 134;
    case 949: return 129;
    case 950: return 136;
    case 1250: return 238;
    case 1251: return 204;
    case 1252: return 0;
    case 1253: return 161;
    case 1254: return 162;
    case 1255: return 177;
    case 1256: return 178;
    case 1257: return 186;
    case 1258: return 163;
    case 1361: return 130;
    case 65001: return 65001;
    default: return -1;
  }
}

unsigned short wGetLanguageID(int nCharset) {
  switch (nCharset) {
    case 128: return 17;
    case 129:
    case 130: return 18;
    case 134: return 2052;
    case 136: return 1028;
    case 161: return 8;
    case 162: return 31;
    case 163: return 42;
    case 177: return 13;
    case 178: return 1;
    case 186: return 37;
    case 204: return 1049;
    case 222: return 30;
    case 238: return 21;
    default: return 0;
  }
}

namespace {

int CharsetOfLanguage(unsigned int nLangId) {
  const unsigned int nPrimary = nLangId & 0x3FF;
  const unsigned int nSub = (nLangId >> 10) & 0x3F;
  switch (nPrimary) {
    case 1: return 178;
    case 2:
    case 25:
    case 34:
    case 35: return 204;
    case 4: return nSub == 1 ? 136 : 134;
    case 5:
    case 14:
    case 21:
    case 24:
    case 27:
    case 28:
    case 36:
    case 47: return 238;
    case 8: return 161;
    case 13: return 177;
    case 17: return 128;
    case 18: return 129;
    case 26: return nSub == 3 ? 204 : 238;
    case 30: return 222;
    case 31: return 162;
    case 37:
    case 38:
    case 39: return 186;
    case 42: return 163;
    case 43:
    case 55: return 65001;
    case 67: return nSub == 2 ? 204 : 238;
    default: return 0;
  }
}

}  // namespace

int nGetCharsetFromLanguage(unsigned short wLangId) { return CharsetOfLanguage(wLangId); }

int GetCharSetFromLanguageID(unsigned int nLangId) { return CharsetOfLanguage(nLangId); }

// ---------------------------------------------------------------------------
// Table 5

int nLangueVersNation(int nPrimary, int nSub) {
  switch (nPrimary) {
    case 1: return 19;
    case 2: return 21;
    case 3: return 45;
    case 4: return nSub == 1 ? 22 : 23;
    case 5: return 18;
    case 6: return 6;
    case 7: return 1;
    case 8: return 27;
    case 9:
      switch (nSub) {
        case 1: return 2;
        case 3: return 4;
        case 6: return 30;
        default: return 3;  // 2, 4, 5 and every other sub-language
      }
    case 10: return 7;
    case 11: return 8;
    case 12: return nSub == 3 ? 9 : 5;
    case 13: return 28;
    case 14: return 29;
    case 15: return 10;
    case 16: return 11;
    case 17: return 31;
    case 18: return 24;
    case 19: return 12;
    case 20: return 13;
    case 21: return 34;
    case 22: return nSub == 1 ? 15 : 14;
    case 24: return 35;
    case 25: return 16;
    case 26: return (nSub == 2 || nSub == 3) ? 36 : 25;
    case 27: return 37;
    case 29: return 17;
    case 30: return 39;
    case 31: return 40;
    case 33: return 46;
    case 35: return 44;
    case 36: return 38;
    case 37: return 26;
    case 38: return 32;
    case 39: return 33;
    case 42: return 41;
    case 47: return 47;
    case 54: return 42;
    case 57: return 50;
    case 69: return 43;
    case 70: return 48;
    case 89: return 49;
    default: return 0;
  }
}

// ---------------------------------------------------------------------------
// Table 6

bool CountedWideBeginsWith(const wchar_t* pData, const wchar_t* pszPrefix) {
  if (pszPrefix == nullptr || pszPrefix[0] == L'\0') return true;
  if (pData == nullptr) return false;
  // The counted length, not the terminator, bounds the text: a counted string
  // may hold zero characters inside it.
  const unsigned char* pBytes = reinterpret_cast<const unsigned char*>(pData);
  const _stStrMemHeader* pHeader =
      reinterpret_cast<const _stStrMemHeader*>(pBytes - sizeof(_stStrMemHeader));
  const size_t nLength = pHeader->nLength / sizeof(wchar_t);
  const size_t nPrefix = std::wcslen(pszPrefix);
  return nPrefix <= nLength && std::wmemcmp(pData, pszPrefix, nPrefix) == 0;
}

namespace {

struct LocaleNation {
  const wchar_t* pszPrefix;
  int nNation;
};

// In the order of the table: the first match decides.
constexpr LocaleNation kLocaleNations[] = {
    {L"fr", 5},  {L"en", 3},  {L"es", 7},  {L"de", 1},  {L"it", 11}, {L"ja", 31},
    {L"pt", 14}, {L"zh", 23}, {L"ar", 19}, {L"bg", 21}, {L"ko", 24}, {L"hr", 25},
    {L"sh", 25}, {L"da", 6},  {L"et", 26}, {L"fi", 8},  {L"el", 27}, {L"iw", 28},
    {L"hu", 29}, {L"is", 10}, {L"lv", 32}, {L"lt", 33}, {L"nl", 12}, {L"no", 13},
    {L"pl", 34}, {L"ro", 35}, {L"ru", 16}, {L"sk", 37}, {L"sl", 38}, {L"sv", 17},
    {L"cs", 18}, {L"th", 39}, {L"tr", 40}, {L"vi", 41}, {L"be", 44}, {L"mk", 47},
    {L"af", 42}, {L"bn", 43}, {L"ca", 45}, {L"id", 46}, {L"pa", 48}, {L"sd", 49},
    {L"hi", 50},
};

// A counted wide buffer of the server's allocator holding a copy of a text,
// given back (reference count to 0, then vReleaseStrMem) when it goes.
class BorrowedCountedText {
 public:
  BorrowedCountedText(const wchar_t* pszText, size_t nLength) {
    m_piAlloc = CInformationModule::ms_piStrMemAlloc;
    if (m_piAlloc == nullptr) return;
    if (nLength > 0x7FFFFEFFu / sizeof(wchar_t)) return;  // the counted limit
    const unsigned int nBytes = static_cast<unsigned int>(nLength * sizeof(wchar_t));
    unsigned char* pData = nullptr;
    if (m_piAlloc->vnAllocStrMemEx(&pData, nBytes, 0) != 0 || pData == nullptr) return;
    std::memcpy(pData, pszText, nBytes);
    reinterpret_cast<wchar_t*>(pData)[nLength] = L'\0';  // the allocator keeps room for it
    StrMemHeader(pData)->nLength = nBytes;
    m_pData = pData;
  }
  ~BorrowedCountedText() {
    if (m_pData == nullptr) return;
    if (__atomic_sub_fetch(&StrMemHeader(m_pData)->nRefCount, 1, __ATOMIC_ACQ_REL) == 0)
      m_piAlloc->vReleaseStrMem(m_pData);
  }
  BorrowedCountedText(const BorrowedCountedText&) = delete;
  BorrowedCountedText& operator=(const BorrowedCountedText&) = delete;

  const wchar_t* pData() const { return reinterpret_cast<const wchar_t*>(m_pData); }

 private:
  IStrMemAlloc* m_piAlloc = nullptr;
  unsigned char* m_pData = nullptr;
};

}  // namespace

int nLocaleVersNation(const wchar_t* pszLocale) {
  if (pszLocale == nullptr || pszLocale[0] == L'\0') return 0;
  BorrowedCountedText clText(pszLocale, std::wcslen(pszLocale));
  // Without its buffer the text is the null string: no prefix matches.
  if (clText.pData() == nullptr) return -1;
  for (const LocaleNation& stRow : kLocaleNations) {
    if (CountedWideBeginsWith(clText.pData(), stRow.pszPrefix)) return stRow.nNation;
  }
  return -1;
}

// ---------------------------------------------------------------------------
// ChangeLocale

const char* ChangeLocale_pszLocaleName(int nCharset, char (&szName)[257]) {
  const unsigned int nCodePage = dwGetCodePageFromCharset(nCharset);
  if (nCodePage == 0) return nullptr;
  const char* pszLanguage;
  switch (nCharset) {
    case 161: pszLanguage = "greek_greece"; break;
    case 162: pszLanguage = "turkey_turkish"; break;
    case 204: pszLanguage = "russian_russia"; break;
    case 177:
    case 178: pszLanguage = ""; break;
    default: return nullptr;
  }
  std::snprintf(szName, sizeof szName, "%s.%u", pszLanguage, nCodePage);
  return szName;
}

int ChangeLocale(int nCharset) {
  const unsigned int nCodePage = dwGetCodePageFromCharset(nCharset);
  if (nCodePage == 0) return 0;
  char szName[257];
  if (ChangeLocale_pszLocaleName(nCharset, szName) == nullptr)
    return static_cast<int>(nCodePage);
  return std::setlocale(LC_ALL, szName) != nullptr ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Table 7

namespace {

// The code page that table 7 sets for a type of 8-bit text; false for the
// types that leave it alone.
bool bCodePageOfType(unsigned int nType, unsigned int* pnCodePage) {
  switch (nType) {
    case 121:
    case 122: *pnCodePage = 1252; return true;
    case 126:
    case 127: *pnCodePage = 0; return true;
    case 130:
    case 131: *pnCodePage = static_cast<unsigned int>(STR_nGetCurrentCodePage()); return true;
    default: return false;
  }
}

}  // namespace

unsigned int PrepareConversionAnsiUnicode(unsigned int nType, unsigned int& nOptions,
                                          STOCAW& stInfo, int bDynamic, int bMark) {
  if (bMark && nType >= 121 && nType <= 131) nOptions |= 0x40;
  switch (nType) {
    case 18: return bDynamic ? 19 : 18;
    case 110: return bDynamic ? 16 : 110;
    case 121:
    case 126:
    case 130: bCodePageOfType(nType, &stInfo.nCodePage); return 16;
    case 122:
    case 127:
    case 131: bCodePageOfType(nType, &stInfo.nCodePage); return bDynamic ? 16 : 110;
    default: return nType;
  }
}

int PrepareConversionUnicodeAnsi(unsigned short nType, STOCAW& stInfo) {
  unsigned int nCodePage = 0;
  if (!bCodePageOfType(nType, &nCodePage)) return 0;
  stInfo.nCodePage = nCodePage;
  return 1;
}

_ELangueProduit LANG_To_ELangueProduit(unsigned int nPrimaryLanguage) {
  switch (nPrimaryLanguage) {
    case 4: return LANGUE_PRODUIT_CHINOIS;
    case 12: return LANGUE_PRODUIT_FRANCAIS;
    default: return LANGUE_PRODUIT_ANGLAIS;
  }
}

unsigned int ELangueProduit_To_LANG(_ELangueProduit eLangue) {
  switch (eLangue) {
    case LANGUE_PRODUIT_FRANCAIS: return 12;
    case LANGUE_PRODUIT_ANGLAIS: return 9;
    case LANGUE_PRODUIT_CHINOIS: return 4;
    default: return 9;
  }
}
