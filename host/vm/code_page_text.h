// The stand-in server's 8-bit texts: which code page a STOCAW names, and the
// conversions between those bytes and wide text.
//
// Code page 0 and code pages the stand-in does not know mean 1252; a null
// STOCAW or the code page -1 mean the current code page of the stand-in's
// locale; 65001 is UTF-8. 1252 and UTF-8 are converted here; the others
// (437, 850, 852, 866, 874, 932, 936, 949, 950, 1250 to 1258, 20127, 28591,
// 28592, 28595, 28597, 28605) through iconv.
//
// Threads: no shared state.
#ifndef KQ230_HOST_VM_CODE_PAGE_TEXT_H_
#define KQ230_HOST_VM_CODE_PAGE_TEXT_H_

#include <cstddef>
#include <string>

#include "kq230/vm_values.h"

namespace standin_values {

// The code page of 8-bit texts under this code-page information.
int ResolveCodePage(const STOCAW* pstCodePage);

// Bytes of the code page to wide text: 0, or 125 (kStandInBadCodePage) for
// bytes that are not text of the code page (invalid or cut UTF-8 ...).
int nDecodeText(const char* p, size_t n, int nCodePage, std::wstring* pOut);

// Wide text to bytes of the code page; characters it cannot hold become '?'.
void EncodeText(const std::wstring& text, int nCodePage, std::string* pOut);

}  // namespace standin_values

#endif  // KQ230_HOST_VM_CODE_PAGE_TEXT_H_
