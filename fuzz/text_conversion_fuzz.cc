// Feeds arbitrary bytes to the UTF-8 readers, the validity and length
// functions and the code-page conversions. The first bytes choose a code page
// of the conversion table and the output sizes; the rest is the text, read
// once as a counted input (in a block of exactly its size, so that any read
// past it is caught) and once as a terminated one. Besides never reading or
// writing out of bounds, the functions must agree with each other: a counting
// pass gives what the conversion writes, the strict and lenient decoders give
// the same characters for well-formed text, and a character count equals the
// byte-wise one.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

#include "core/char_conv.h"
#include "core/unicode.h"
#include "core/xmalloc.h"
#include "core/codepage_conversion.h"

namespace {

void Check(bool bCondition) {
  if (!bCondition) std::abort();
}

unsigned int PickCodePage(uint8_t nChoice) {
  int nCount = 0;
  const _stCodePageName* pTable = CodePage_pGetTable(&nCount);
  // A few values outside the table too: they read as CP1252.
  if (nCount <= 0 || nChoice % 8 == 7) return nChoice % 2 ? 0u : 437u;
  return pTable[nChoice % nCount].nCodePage;
}

void ReadUtf8(const std::vector<char>& counted, const char* pszText) {
  const unsigned int n = static_cast<unsigned int>(counted.size());
  const size_t nTerminated = std::strlen(pszText);

  // The readers over the terminated text never pass its terminator.
  int nSteps = 0;
  for (const char* p = pszText; *p;) {
    const char* q = p;
    UTF8_GetNext(&q);
    Check(q > p && q <= pszText + nTerminated);
    Check(UTF8next(p) <= pszText + nTerminated);
    Check(UTF8Len(p) >= 1);
    UTF8ToUTF32(p);
    p = q;
  }
  for (const char* p = pszText; *p; p = UTF8next(p)) ++nSteps;
  Check(UTF8ToWideLen(pszText) == nSteps);

  // The counted reader stays within its count.
  const char* p = counted.data();
  unsigned int nRemaining = n;
  while (nRemaining > 0) {
    const unsigned int nBefore = nRemaining;
    const char* pBefore = p;
    UTF8_GetNext(&p, &nRemaining);
    Check(nRemaining < nBefore && p >= pBefore && p - pBefore <= static_cast<long>(nBefore - nRemaining));
  }
  int nFirst = static_cast<int>(n);
  const int c = UTF8FirstChar(counted.data(), nFirst);
  Check((c < 0 && nFirst == 0) || (nFirst >= 1 && nFirst <= static_cast<int>(n)));

  // Lengths.
  size_t nLeads = 0;
  for (size_t i = 0; i < nTerminated; ++i) nLeads += (static_cast<unsigned char>(pszText[i]) & 0xC0) != 0x80;
  Check(StrLenUTF8(pszText) == static_cast<int>(nLeads));
  Check(StrNLenUTF8(counted.data(), static_cast<int>(n)) >= 0);
  UTF8Valide(pszText, -1);
  UTF8Valide(counted.data(), static_cast<int>(n));

  // Decoders: the strict one agrees with the lenient one where it accepts.
  std::vector<wchar_t> lenient(n + 1), strict(n + 1);
  const int nLenient = nUTF8ToWide(lenient.data(), static_cast<int>(n + 1), counted.data(), static_cast<int>(n));
  const int nStrict = UTF8ToWideStrict(counted.data(), static_cast<int>(n), strict.data(), static_cast<int>(n + 1));
  Check(UTF8ToWideStrict(counted.data(), static_cast<int>(n), nullptr, 0) == nStrict);
  if (nStrict >= 0) {
    Check(nStrict == nLenient);
    Check(std::wmemcmp(strict.data(), lenient.data(), static_cast<size_t>(nStrict)) == 0);
  }
  const unsigned int nOut = n % 7;
  UTF8ToWide(lenient.data(), nOut < n + 1 ? nOut : n + 1, pszText);

  // UTF-16 and back to UTF-8.
  const unsigned int nUnits = UTF8ToUTF16Len(counted.data(), n);
  std::vector<unsigned short> utf16(nUnits + 3);
  const unsigned int nWritten = UTF8ToUTF16(utf16.data(), nUnits + 3, counted.data(), n);
  Check(nWritten == nUnits);
  const int nBytes = UTF16ToUtf8(utf16.data(), static_cast<int>(nUnits), nullptr, 0);
  std::vector<char> utf8(static_cast<size_t>(nBytes) + 1);
  Check(UTF16ToUtf8(utf16.data(), static_cast<int>(nUnits), utf8.data(), nBytes + 1) == nBytes);
}

void ConvertCodePages(unsigned int nCodePage, unsigned int nOutSize, const std::vector<char>& counted) {
  const unsigned int n = static_cast<unsigned int>(counted.size());

  // Code page to UTF-8, with a counting pass and a given output size.
  const int nNeeded = MultiByteToUTF8(nCodePage, counted.data(), n, nullptr, 0, 0);
  std::vector<char> out(nOutSize + 1);  // never null: size 0 is a size, not a counting pass
  const int nWritten = MultiByteToUTF8(nCodePage, counted.data(), n, out.data(), nOutSize, 0);
  Check(nWritten >= 0 && static_cast<unsigned>(nWritten) <= nOutSize);
  if (nNeeded > 0) {
    std::vector<char> exact(static_cast<size_t>(nNeeded) + 1);
    Check(MultiByteToUTF8(nCodePage, counted.data(), n, exact.data(), nNeeded + 1, 0) == nNeeded);
  }

  // UTF-8 to the code page, the same way.
  int bUsed = 0;
  const int nBack = UTF8ToMultiByte(nCodePage, counted.data(), n, nullptr, 0, 0, nullptr, &bUsed);
  Check(UTF8ToMultiByte(nCodePage, counted.data(), n, out.data(), nOutSize, 0, "", &bUsed) <=
        static_cast<int>(nOutSize));
  if (nBack > 0) {
    // The count excludes the terminator, which the 65001 copy always writes.
    std::vector<char> exact(static_cast<size_t>(nBack) + 1);
    Check(UTF8ToMultiByte(nCodePage, counted.data(), n, exact.data(), static_cast<unsigned>(nBack) + 1, 0, nullptr,
                          &bUsed) == nBack);
  }

  // Into new buffers, and back.
  wchar_t* pWide = nullptr;
  int nWide = 0;
  if (STR_CharToWChar_AnyCodepage(counted.data(), static_cast<int>(n), nCodePage, &pWide, &nWide, 0)) {
    Check(pWide != nullptr && pWide[nWide] == 0);
    char* pBytes = nullptr;
    int nBytes = 0;
    if (__STR_WCharToChar(pWide, nWide, &pBytes, &nBytes, static_cast<int>(nCodePage))) Check(pBytes[nBytes] == 0);
    XMALLOC_Del_(pBytes);
    bAnsiCompatible(pWide, nCodePage);
    XMALLOC_Del_(pWide);
  } else {
    Check(pWide == nullptr && nWide == 0);
  }

  // UTF-16 both ways.
  std::vector<unsigned short> utf16(nOutSize + 1);
  MultiByteToUTF16(nCodePage, 0, counted.data(), static_cast<int>(n), utf16.data(), static_cast<int>(nOutSize));
  std::vector<unsigned short> units(n / 2);
  if (!units.empty()) std::memcpy(units.data(), counted.data(), units.size() * 2);
  UTF16ToMultiByte(nCodePage, 0, units.data(), static_cast<int>(units.size()), out.data(),
                   static_cast<int>(nOutSize), nullptr, &bUsed);

  char* pOther = nullptr;
  int nOther = 0;
  if (STR_CharToChar_AnyCodepage(counted.data(), static_cast<int>(n), static_cast<int>(nCodePage), &pOther, &nOther,
                                 65001))
    Check(pOther[nOther] == 0);
  XMALLOC_Del_(pOther);
}

}  // namespace

// Under qemu's user-mode emulator (where the i386 target runs on kernels
// without 32-bit support) a large ASan quarantine ends up mapped where the
// shadow memory cannot describe it, and ASan stops on an internal check; the
// test programs keep it small for the same reason. ASAN_OPTIONS still wins.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
  return "quarantine_size_mb=64";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  if (nSize < 2 || nSize > 4096) return 0;
  const unsigned int nCodePage = PickCodePage(pData[0]);
  const unsigned int nOutSize = pData[1] % 64;
  std::vector<char> counted(pData + 2, pData + nSize);
  std::vector<char> terminated(counted);
  terminated.push_back('\0');

  ReadUtf8(counted, terminated.data());
  ConvertCodePages(nCodePage, nOutSize, counted);

  char* pEnd = nullptr;
  qnt::strtod(terminated.data(), &pEnd);
  Check(pEnd >= terminated.data() && pEnd <= terminated.data() + terminated.size() - 1);
  return 0;
}
