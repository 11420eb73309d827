// Drives FormatMessageWin with arbitrary sources, flags and sizes: inserts
// with and without specifications, escapes, line breaks, wrapping widths,
// ignored inserts, argument lists and arrays, caller's buffers of every size
// and allocated ones. Nothing may crash, read past an argument or write past
// the caller's buffer (which is allocated with exactly its size); a success
// is terminated within it and a result never exceeds its size. The source's
// format conversion is checked on the way: its measured size is exact.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

#include "core/message_formatting.h"

namespace {

// Every argument is the address of the text "ab" here, which reads as a wide
// text ("ab"), as an 8-bit one ("a") and as a number, so that any
// specification a source asks for reads valid memory. Its address ends in the
// byte 4, so that as a character it is never the terminator.
alignas(256) const wchar_t kArgumentStore[] = L"xab";
const wchar_t* const kArgumentText = kArgumentStore + 1;
constexpr int kArguments = 208;

struct Arguments {
  uint32_t a[kArguments];
  Arguments() {
    for (uint32_t& v : a) v = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(kArgumentText));
  }
};

// Bytes become characters; a few byte values stand for the characters that
// matter most to the formatter.
wchar_t Character(uint8_t b) {
  switch (b) {
    case 0:
      return L'%';
    case 0xF0:
      return L'\r';
    case 0xF1:
      return L'\n';
    case 0xF2:
      return L'\u00e9';
    case 0xF3:
      return static_cast<wchar_t>(0x1F600);
    case 0xF4:
      return L'\t';
    default:
      return static_cast<wchar_t>(b);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  static Arguments args;
  if (nSize < 4) return 0;
  const uint8_t bFlags = pData[0];
  const uint8_t bWidth = pData[1];
  const unsigned int nBuffer = (unsigned{pData[2]} | unsigned{pData[3]} << 8) % 1200;
  std::vector<wchar_t> source;
  for (size_t i = 4; i < nSize; ++i) source.push_back(Character(pData[i]));
  source.push_back(0);

  std::vector<wchar_t> converted(_nCalculeTailleChaineFormattageUnix(source.data()));
  _ConvertFormatWindowsToUnix(source.data(), converted.data(), converted.size());
  if (std::wcslen(converted.data()) + 1 != converted.size()) std::abort();

  unsigned int dwFlags =
      (bFlags & 0x20) && (bFlags & 0x40) ? FORMAT_MESSAGE_FROM_SYSTEM : FORMAT_MESSAGE_FROM_STRING;
  if (bFlags & 0x01) dwFlags |= FORMAT_MESSAGE_IGNORE_INSERTS;
  if (bFlags & 0x02) dwFlags |= FORMAT_MESSAGE_ARGUMENT_ARRAY;
  if (bFlags & 0x04) dwFlags |= FORMAT_MESSAGE_ALLOCATE_BUFFER;
  if ((bFlags & 0x80) && (bFlags & 0x10)) dwFlags |= FORMAT_MESSAGE_FROM_HMODULE;
  switch ((bFlags >> 3) & 3) {
    case 0:
      break;
    case 1:
      dwFlags |= 0xFF;
      break;
    default:
      dwFlags |= 1 + bWidth % 254;
      break;
  }
  // An argument list is, on this platform, a pointer to the packed words.
  va_list list = reinterpret_cast<char*>(args.a);
  va_list* pArgs = (bFlags & 0x02) ? reinterpret_cast<va_list*>(args.a) : &list;
  if ((bFlags & 0x60) == 0x60 && !(bFlags & 0x02)) pArgs = nullptr;

  // Allocated outputs are blocks of 65,536 characters and more, which ASan
  // maps one by one. Under qemu, after some thousands of such maps with a
  // quarantine, one lands where ASan has no shadow and ASan itself aborts
  // (a CHECK in its allocator, not a finding). A bounded number per process
  // keeps the road covered without reaching that.
  static int nAllocatedRuns = 0;
  if ((dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) && ++nAllocatedRuns > 1500)
    dwFlags &= ~FORMAT_MESSAGE_ALLOCATE_BUFFER;
  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    wchar_t* p = nullptr;
    const unsigned int n = FormatMessageWin(dwFlags, source.data(), bWidth, 0,
                                            reinterpret_cast<wchar_t*>(&p), nBuffer, pArgs);
    if (n != 0 && p == nullptr) std::abort();
    std::free(p);
    return 0;
  }
  wchar_t* pBuffer = new wchar_t[nBuffer == 0 ? 1 : nBuffer];
  const unsigned int n =
      FormatMessageWin(dwFlags, source.data(), bWidth, 0, pBuffer, nBuffer, pArgs);
  if (nBuffer != 0 && n > nBuffer - 1) std::abort();
  // Whatever the answer, it is the length of the text the buffer holds.
  if (n != 0 && (pBuffer[n] != 0 || std::wmemchr(pBuffer, 0, n) != nullptr)) std::abort();
  delete[] pBuffer;
  return 0;
}
