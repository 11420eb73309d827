// The code-page converters: see code_page_converters.h.
#include "items/code_page_converters.h"

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "core/unicode.h"

namespace {

constexpr int kCodePageUTF8 = 65001;

// UTF-8 to wide text, each malformed, overlong, surrogate or truncated
// sequence becoming U+FFFD.
std::wstring sDecodeUTF8Leniently(const char* p, int nBytes) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(p);
  std::wstring out;
  out.reserve(static_cast<size_t>(nBytes));
  int i = 0;
  while (i < nBytes) {
    const unsigned char c = s[i];
    int nMore;
    uint32_t cp;
    uint32_t nMin;
    if (c < 0x80) {
      out.push_back(static_cast<wchar_t>(c));
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      nMore = 1, cp = c & 0x1F, nMin = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      nMore = 2, cp = c & 0x0F, nMin = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      nMore = 3, cp = c & 0x07, nMin = 0x10000;
    } else {
      out.push_back(L'\uFFFD');
      ++i;
      continue;
    }
    int j = 1;
    while (j <= nMore && i + j < nBytes && (s[i + j] & 0xC0) == 0x80) {
      cp = (cp << 6) | (s[i + j] & 0x3F);
      ++j;
    }
    if (j <= nMore || cp < nMin || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(L'\uFFFD');
      i += j;  // the lead and the continuation bytes read so far
      continue;
    }
    out.push_back(static_cast<wchar_t>(cp));
    i += j;
  }
  return out;
}

}  // namespace

CNACodePageCnv::~CNACodePageCnv() = default;

// ---------------------------------------------------------------------------
// Wide text to the database

CNACodePageCnvIN::CNACodePageCnvIN(const wchar_t* pszText, int nLength, int nCodePage)
    : CNACodePageCnv(nCodePage), m_pszSource(pszText), m_nSourceLength(nLength) {}

CNACodePageCnvIN::~CNACodePageCnvIN() { m_clResult.ReleaseDynStr(); }

void CNACodePageCnvIN::Convert() {
  if (m_bConverted) return;
  m_bConverted = true;
  if (m_pszSource == nullptr) return;
  if (m_nSourceLength < 0) {
    const size_t n = std::wcslen(m_pszSource);
    if (n > static_cast<size_t>(kCountedMaxUnits)) {
      m_bFailed = true;
      return;
    }
    m_nSourceLength = static_cast<int>(n);
  }
  if (m_nSourceLength == 0) return;

  if (m_nCodePage != kCodePageUTF16) {
    if (m_clResult.__nConversion(m_pszSource, m_nSourceLength, 0, m_nCodePage, 0, nullptr) != 0)
      m_bFailed = true;
    return;
  }
  // UTF-16: at most two units a character, two bytes a unit, computed in 64
  // bits so that a long text cannot wrap the size.
  const int nUnits = WideCharToUTF16(m_pszSource, m_nSourceLength, nullptr, 0);
  const int64_t nBytes = int64_t(nUnits) * 2;
  if (nUnits <= 0 || nBytes + 2 > kCountedMaxUnits) {
    m_bFailed = true;
    return;
  }
  // Two more bytes for the 16-bit terminator (the counted string adds its
  // own 32-bit zero word after the length as well).
  if (m_clResult.__nNew(static_cast<int>(nBytes + 2), nullptr, 0, 0) != 0) {
    m_bFailed = true;
    return;
  }
  std::vector<unsigned short> aUnits(static_cast<size_t>(nUnits));
  const int nDone = WideCharToUTF16(m_pszSource, m_nSourceLength, aUnits.data(), nUnits);
  m_clResult.__FillDynStr(reinterpret_cast<const char*>(aUnits.data()), nDone * 2, 0);
}

const char* CNACodePageCnvIN::pszGetForDB() {
  Convert();
  if (m_pszSource == nullptr) return nullptr;
  return m_clResult.pszGet();
}

int CNACodePageCnvIN::nGetLengthForDB() {
  Convert();
  return m_clResult.nGetLongueur();
}

bool CNACodePageCnvIN::bFailed() {
  Convert();
  return m_bFailed;
}

// ---------------------------------------------------------------------------
// Database text to wide text

CNACodePageCnvOUT::CNACodePageCnvOUT(const void* pSource, int nCodePage)
    : CNACodePageCnv(nCodePage), m_pSource(pSource) {}

CNACodePageCnvOUT::~CNACodePageCnvOUT() { m_clResult.ReleaseDynStr(); }

const wchar_t* CNACodePageCnvOUT::ConvertBytes(int nBytes) {
  if (!m_bConverted) {
    m_bConverted = true;
    if (nBytes > 0) {
      if (m_nCodePage == kCodePageUTF16) {
        const int nUnits = nBytes / 2;
        if (nUnits > 0) {
          // The client library's buffer need not be aligned for 16-bit reads.
          std::vector<unsigned short> aUnits(static_cast<size_t>(nUnits));
          std::memcpy(aUnits.data(), m_pSource, static_cast<size_t>(nUnits) * 2);
          m_clResult.nAffecteUTF16(aUnits.data(), nUnits);
        }
      } else {
        const char* p = static_cast<const char*>(m_pSource);
        m_clResult.__nConversion(p, nBytes, 0, m_nCodePage, 0, nullptr);
        if (m_clResult.nGetLongueur() == 0 && m_nCodePage == kCodePageUTF8) {
          // The strict conversion refuses the whole text for one bad sequence
          // (a message cut inside a character, a server in another charset):
          // keep the rest readable instead.
          const std::wstring sText = sDecodeUTF8Leniently(p, nBytes);
          m_clResult.nAffecteConversion(sText.data(), static_cast<int>(sText.size()));
        }
      }
    }
  }
  return m_clResult.pszGet();  // "" when empty or failed, never null
}

const wchar_t* CNACodePageCnvOUT::pszGetForZB() {
  if (m_pSource == nullptr) return nullptr;
  if (m_bConverted) return m_clResult.pszGet();
  size_t nBytes;
  if (m_nCodePage == kCodePageUTF16) {
    // Units up to the zero unit, read bytewise (the text may be unaligned).
    const unsigned char* p = static_cast<const unsigned char*>(m_pSource);
    size_t nUnits = 0;
    while (p[2 * nUnits] != 0 || p[2 * nUnits + 1] != 0) ++nUnits;
    nBytes = nUnits * 2;
  } else {
    nBytes = std::strlen(static_cast<const char*>(m_pSource));
  }
  if (nBytes > static_cast<size_t>(kCountedMaxUnits)) nBytes = 0;  // beyond any string: empty
  return ConvertBytes(static_cast<int>(nBytes));
}

CNACodePageCnvOUTPtr::CNACodePageCnvOUTPtr(const void* pSource, int nBytes, int nCodePage)
    : CNACodePageCnvOUT(pSource, nCodePage), m_nBytes(nBytes) {}

CNACodePageCnvOUTPtr::~CNACodePageCnvOUTPtr() = default;

const wchar_t* CNACodePageCnvOUTPtr::pszGetForZB() {
  if (m_pSource == nullptr) return nullptr;
  return ConvertBytes(m_nBytes);
}
