// Text in the stand-in's code pages: 1252 and UTF-8 by hand, the others
// through iconv.
#include "host/vm/code_page_text.h"

#include <iconv.h>

#include <cstdio>
#include <cstring>

#include "host/vm/locale_tables.h"
#include "host/vm/standin_control.h"
#include "host/vm/standin_services.h"

namespace standin_values {
namespace {

const char* IconvName(int nCodePage, char* pBuffer, size_t nSize) {
  switch (nCodePage) {
    case 20127: return "ASCII";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28595: return "ISO-8859-5";
    case 28597: return "ISO-8859-7";
    case 28605: return "ISO-8859-15";
    case 65001: return "UTF-8";
    default:
      std::snprintf(pBuffer, nSize, "CP%d", nCodePage);
      return pBuffer;
  }
}

wchar_t Decode1252(unsigned char c) {
  if (c >= 0x80 && c <= 0x9F) return static_cast<wchar_t>(standin_locale::kCp1252High[c - 0x80]);
  return static_cast<wchar_t>(c);
}

int Encode1252(wchar_t w) {
  if (w < 0x80 || (w >= 0xA0 && w <= 0xFF)) return static_cast<int>(w);
  for (int i = 0; i < 32; ++i)
    if (standin_locale::kCp1252High[i] == static_cast<uint32_t>(w)) return 0x80 + i;
  return -1;
}

int nDecodeUtf8(const unsigned char* p, size_t n, std::wstring* pOut) {
  size_t i = 0;
  while (i < n) {
    unsigned char c = p[i];
    uint32_t cp;
    int nMore;
    if (c < 0x80) { cp = c; nMore = 0; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; nMore = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; nMore = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; nMore = 3; }
    else return kStandInBadCodePage;
    if (nMore > 0 && i + static_cast<size_t>(nMore) >= n) return kStandInBadCodePage;
    for (int k = 1; k <= nMore; ++k) {
      unsigned char d = p[i + k];
      if ((d & 0xC0) != 0x80) return kStandInBadCodePage;
      cp = (cp << 6) | (d & 0x3F);
    }
    static const uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[nMore] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      return kStandInBadCodePage;
    pOut->push_back(static_cast<wchar_t>(cp));
    i += nMore + 1;
  }
  return 0;
}

void EncodeUtf8(wchar_t w, std::string* pOut) {
  uint32_t cp = static_cast<uint32_t>(w);
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = '?';
  if (cp < 0x80) {
    pOut->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    pOut->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    pOut->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    pOut->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    pOut->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    pOut->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    pOut->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    pOut->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    pOut->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    pOut->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

int ResolveCodePage(const STOCAW* pstCodePage) {
  int nCodePage = pstCodePage ? *reinterpret_cast<const int*>(pstCodePage) : -1;
  if (nCodePage == -1) nCodePage = StandInInfoLocale()->vnGetCurrentCodePage();
  switch (nCodePage) {
    case 437: case 850: case 852: case 866: case 874: case 932: case 936: case 949: case 950:
    case 1250: case 1251: case 1252: case 1253: case 1254: case 1255: case 1256: case 1257:
    case 1258: case 20127: case 28591: case 28592: case 28595: case 28597: case 28605:
    case 65001:
      return nCodePage;
    default:
      return 1252;
  }
}

// Bytes of the code page to wide text. 0 or 125.
int nDecodeText(const char* p, size_t n, int nCodePage, std::wstring* pOut) {
  pOut->clear();
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  if (nCodePage == 1252) {
    pOut->reserve(n);
    for (size_t i = 0; i < n; ++i) pOut->push_back(Decode1252(u[i]));
    return 0;
  }
  if (nCodePage == 65001) return nDecodeUtf8(u, n, pOut);
  char szName[16];
  iconv_t cd = iconv_open("UTF-32LE", IconvName(nCodePage, szName, sizeof szName));
  if (cd == reinterpret_cast<iconv_t>(-1)) return kStandInBadCodePage;
  std::string strOut(n * 4 + 16, '\0');
  char* pIn = const_cast<char*>(p);
  size_t nIn = n;
  char* pOutBytes = strOut.data();
  size_t nOutLeft = strOut.size();
  size_t r = iconv(cd, &pIn, &nIn, &pOutBytes, &nOutLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return kStandInBadCodePage;
  size_t nChars = (strOut.size() - nOutLeft) / 4;
  for (size_t i = 0; i < nChars; ++i) {
    uint32_t cp;
    std::memcpy(&cp, strOut.data() + 4 * i, 4);
    pOut->push_back(static_cast<wchar_t>(cp));
  }
  return 0;
}

// Wide text to bytes of the code page; unmappable characters become '?'.
void EncodeText(const std::wstring& text, int nCodePage, std::string* pOut) {
  pOut->clear();
  if (nCodePage == 1252) {
    pOut->reserve(text.size());
    for (wchar_t w : text) {
      int b = Encode1252(w);
      pOut->push_back(static_cast<char>(b < 0 ? '?' : b));
    }
    return;
  }
  if (nCodePage == 65001) {
    for (wchar_t w : text) EncodeUtf8(w, pOut);
    return;
  }
  char szName[16];
  iconv_t cd = iconv_open(IconvName(nCodePage, szName, sizeof szName), "UTF-32LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    for (wchar_t w : text) pOut->push_back(w < 0x80 ? static_cast<char>(w) : '?');
    return;
  }
  for (wchar_t w : text) {
    uint32_t cp = static_cast<uint32_t>(w);
    char abyIn[4];
    std::memcpy(abyIn, &cp, 4);
    char abyOut[16];
    char* pIn = abyIn;
    size_t nIn = 4;
    char* pOutBytes = abyOut;
    size_t nOutLeft = sizeof abyOut;
    if (iconv(cd, &pIn, &nIn, &pOutBytes, &nOutLeft) == static_cast<size_t>(-1)) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      pOut->push_back('?');
    } else {
      pOut->append(abyOut, sizeof abyOut - nOutLeft);
    }
  }
  // Flush any shift state (stateful encodings).
  char abyOut[16];
  char* pOutBytes = abyOut;
  size_t nOutLeft = sizeof abyOut;
  iconv(cd, nullptr, nullptr, &pOutBytes, &nOutLeft);
  pOut->append(abyOut, sizeof abyOut - nOutLeft);
  iconv_close(cd);
}

}  // namespace standin_values
