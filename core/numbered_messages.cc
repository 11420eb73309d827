#include "core/numbered_messages.h"

#include <dlfcn.h>

#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <type_traits>

#include "core/unicode.h"
#include "core/wide_string.h"
#include "core/xmalloc.h"
#include "core/codepage_conversion.h"
#include "core/message_formatting.h"

// The argument lists handed on as char** are the address of a va_list: the
// two are the same type on this platform.
static_assert(std::is_same_v<va_list, char*>, "va_list is a char* on 32-bit x86");

namespace {
constexpr bool bSortedAndDistinct(const unsigned char* pTable, int nEntries) {
  for (int i = 1; i < nEntries; ++i) {
    if (pTable[i - 1] >= pTable[i]) return false;
  }
  return true;
}
}  // namespace

// The packer finds a byte's set by search and the sets are read by index: a
// byte in two sets would still round-trip, but the layout promises order.
static_assert(bSortedAndDistinct(CDataCompressor::tabCharset1, 32));
static_assert(bSortedAndDistinct(CDataCompressor::tabCharset2, 32));
static_assert(bSortedAndDistinct(CDataCompressor::tabCharset3, 32));
static_assert(bSortedAndDistinct(CDataCompressor::tabCharset4, 30));

PFNLOADSTRINGKQM gpfnLoadStringKQM = nullptr;

const wchar_t szSeparateurSingulierPluriel[] = L"\n\u00A7\n";

namespace {

int gbDllResInitialised = 0;

// The block holds a few hundred records; more than this many would mean a
// block this code was not built for, and the rest are left out of the index.
constexpr int kMaxIndexedRecords = 4096;
uint32_t g_anRecordOffsets[kMaxIndexedRecords];

// The loader's first attempt: most messages are far shorter.
constexpr int kLoaderFirstCapacity = 256;

// Largest text the host loader may announce that we fetch again: within the
// counted-string limit, and its byte count fits 32 bits.
constexpr int64_t kLoaderMaxLength = 2147483391 / static_cast<int64_t>(sizeof(wchar_t));

unsigned int nLe16(const unsigned char* p) { return p[0] | (static_cast<unsigned int>(p[1]) << 8); }

void BuildIndex() {
  _stResIndex& idx = CResAnsi76::m_stRessource;
  const int nCount = CResAnsi76::nScanBlock(_pbyBufferRes76, _nTailleBufferRes76, g_anRecordOffsets,
                                            kMaxIndexedRecords);
  idx.pbyBlock = _pbyBufferRes76;
  idx.pfnCompare = CResAnsi76::nCompareRes;
  idx.pnOffsets = g_anRecordOffsets;
  // A malformed block keeps no record rather than some: it is our own build
  // output, and a test checks it.
  idx.nCount = nCount < 0 ? 0 : (nCount > kMaxIndexedRecords ? kMaxIndexedRecords : nCount);
  idx.bInitialised = 1;
}

// The unpacked bytes of a record in the text kind's encoding, into pbyOut.
// Returns nDeCompress's code; *pnBytes receives the byte count of the text.
int nUnpackBytes(const STRessourceModule& stRes, unsigned char* pbyOut, int nOutBytes,
                 int* pnBytes) {
  int nCapacity = nOutBytes;
  const int nCode =
      CDataCompressor::nDeCompress(pbyOut, &nCapacity, stRes.pbyPacked, stRes.nPackedLength);
  *pnBytes = nCapacity < nOutBytes ? nCapacity : nOutBytes - 1;
  return nCode;
}

// Wide text of nBytes unpacked bytes into a new XMALLOC block; *pnLength its
// length. Null when memory runs out or the bytes do not convert.
wchar_t* pszToWide(const unsigned char* pbyText, int nBytes, int nTextKind, int* pnLength) {
  *pnLength = 0;
  wchar_t* pszWide = nullptr;
  int nLength = 0;
  if (nTextKind == kResTextUtf8) {
    const char* pszBytes = reinterpret_cast<const char*>(pbyText);
    const int nNeeded =
        nBytes == 0 ? 0 : MultiByteToWideChar(65001, 0, pszBytes, nBytes, nullptr, 0);
    if (nBytes != 0 && nNeeded <= 0) return nullptr;
    pszWide = static_cast<wchar_t*>(
        XMALLOC_pNew_(static_cast<unsigned int>(nNeeded + 1) * sizeof(wchar_t)));
    if (pszWide == nullptr) return nullptr;
    if (nNeeded != 0) {
      nLength = MultiByteToWideChar(65001, 0, pszBytes, nBytes, pszWide, nNeeded + 1);
      if (nLength <= 0) {
        XMALLOC_Del_(pszWide);
        return nullptr;
      }
    }
  } else {
    // UTF-16LE: an odd last byte is not part of any unit.
    const int nUnits = nBytes / 2;
    unsigned short* pUnits =
        static_cast<unsigned short*>(XMALLOC_pNew_(static_cast<unsigned int>(nUnits + 1) * 2));
    pszWide = static_cast<wchar_t*>(
        XMALLOC_pNew_(static_cast<unsigned int>(nUnits + 1) * sizeof(wchar_t)));
    if (pUnits == nullptr || pszWide == nullptr) {
      XMALLOC_Del_(pUnits);
      XMALLOC_Del_(pszWide);
      return nullptr;
    }
    for (int i = 0; i < nUnits; ++i)
      pUnits[i] = static_cast<unsigned short>(nLe16(pbyText + 2 * i));
    nLength = nUnits == 0 ? 0 : UTF16ToWideChar(pUnits, nUnits, pszWide, nUnits + 1);
    XMALLOC_Del_(pUnits);
    if (nLength < 0) nLength = 0;
  }
  if (nLength > 0 && pszWide[nLength - 1] == L'\0') --nLength;
  pszWide[nLength] = L'\0';
  *pnLength = nLength;
  return pszWide;
}

// What a loader's answer nResult (> 0) leaves in its buffer of nCapacity
// characters: at most capacity - 1 characters, and no more than it wrote
// before a terminator (a loader may announce a length it did not write).
// Terminates the buffer there and returns the length.
int nKeepLoaderText(wchar_t* pszBuffer, int nCapacity, int nResult) {
  const int nLimit = nResult < nCapacity ? nResult : nCapacity - 1;
  const int nKept = static_cast<int>(wcsnlen(pszBuffer, static_cast<size_t>(nLimit)));
  pszBuffer[nKept] = L'\0';
  return nKept;
}

// The module's record of nNumber; false when the module has no lookup or the
// record is missing.
bool bFindRecord(const _stMyModuleInfo* pModule, unsigned int nNumber, STRessourceModule* pstRes) {
  *pstRes = {nNumber, 0, nullptr, 0, 0, -1};
  return pModule != nullptr && pModule->pfnGetRes != nullptr && pModule->pfnGetRes(*pstRes) != 0;
}

}  // namespace

_stResIndex CResAnsi76::m_stRessource = {nullptr, nullptr, nullptr, 0, 0};

// ---------------------------------------------------------------------------
// The block and its index.

int CResAnsi76::nCompareRes(const void* pKey, const void* pOffset) {
  const uint32_t nKey = *static_cast<const uint32_t*>(pKey) & 0xFFFF;
  const uint32_t nOffset = *static_cast<const uint32_t*>(pOffset);
  const unsigned int nRecordNumber = nLe16(m_stRessource.pbyBlock + nOffset + 2);
  return static_cast<int>(nKey) - static_cast<int>(nRecordNumber);
}

int CResAnsi76::nScanBlock(const unsigned char* pbyBlock, unsigned int nBlockSize,
                           uint32_t* pnOffsets, int nMaxOffsets) {
  if (pbyBlock == nullptr) return -1;
  unsigned int nPos = 0;
  int nCount = 0;
  for (;;) {
    if (nPos > nBlockSize || nBlockSize - nPos < 2) return -1;  // no ending zero size
    const unsigned int nSize = nLe16(pbyBlock + nPos);
    if (nSize == 0) return nCount;
    if (nSize < kResRecordHeader || nSize > nBlockSize - nPos) return -1;
    const unsigned int nPacked = nLe16(pbyBlock + nPos + 5);
    if (nPacked > nSize - kResRecordHeader) return -1;
    if (pnOffsets != nullptr && nCount < nMaxOffsets) pnOffsets[nCount] = nPos;
    ++nCount;
    nPos += nSize;
  }
}

int bGetResAnsi76(STRessourceModule& stRequest) {
  _stResIndex& idx = CResAnsi76::m_stRessource;
  if (!idx.bInitialised) BuildIndex();
  // The first record is a marker that a lookup never returns.
  if (idx.nCount < 2) return 0;
  const uint32_t nKey = stRequest.nNumber;
  const auto* pnFound = static_cast<const uint32_t*>(bsearch(&nKey, idx.pnOffsets + 1,
                                                             static_cast<size_t>(idx.nCount - 1),
                                                             sizeof(uint32_t), idx.pfnCompare));
  if (pnFound == nullptr) return 0;
  const unsigned char* pbyRecord = idx.pbyBlock + *pnFound;
  const unsigned char byFlags = pbyRecord[4];
  stRequest.pbyPacked = pbyRecord + kResRecordHeader;
  stRequest.nPackedLength = static_cast<int>(nLe16(pbyRecord + 5));
  stRequest.nTextKind = (byFlags & kResFlagUtf16) ? kResTextUtf16 : kResTextUtf8;
  stRequest.nUtilisation = byFlags & kResFlagUsageMask;
  return 1;
}

// ---------------------------------------------------------------------------
// The unpacker.

int CDataCompressor::nDeCompress(unsigned char* pbyOutput, int* pnCapacity,
                                 const unsigned char* pbyPacked, int nPacked) {
  const int nRoom = *pnCapacity - 1;  // bytes that may be written before the terminator
  int nCount = 0;
  int nCurrent = 0;
  int nShift = -1;
  int nResult = kOk;
  auto emit = [&](unsigned char b) {
    if (nCount < nRoom) pbyOutput[nCount] = b;
    ++nCount;
  };
  int i = 0;
  while (i < nPacked && nResult == kOk) {
    int anCodes[3];
    int nCodes;
    if (nPacked - i >= 2) {
      const int c = pbyPacked[i];
      const int d = pbyPacked[i + 1];
      if (c == 0 || d == 0) {
        nResult = kBadByte;
        break;
      }
      const int n = c * 255 + d - 256;
      anCodes[0] = n / 1600;
      anCodes[1] = (n % 1600) / 40;
      anCodes[2] = n % 40;
      nCodes = 3;
      i += 2;
    } else {
      if (pbyPacked[i] == 0) {
        nResult = kBadByte;
        break;
      }
      anCodes[0] = pbyPacked[i] - 1;
      nCodes = 1;
      i += 1;
    }
    for (int k = 0; k < nCodes; ++k) {
      const int nCode = anCodes[k];
      // A pair can reach 65024 and a lone byte 254: codes past 39 exist in no
      // table, so the record is corrupt.
      if (nCode > 39) {
        nResult = kBadCode;
        break;
      }
      if (nCode < 4) {
        nShift = nCode;
        continue;
      }
      if (nCode < 8) {
        nCurrent = nCode - 4;
        nShift = -1;
        continue;
      }
      const bool bEscape =
          nCode >= 38 && ((nShift < 0 && nCurrent == 3) || (nCurrent != 3 && nShift == 3));
      if (bEscape) {
        // The raw bytes follow the pair; the rest of the pair is ignored and
        // a pending shift stays pending.
        int nRaw = 1;
        if (nCode == 39) {
          if (i >= nPacked) {
            nResult = kBadEscape;
            break;
          }
          nRaw = pbyPacked[i++];
        }
        if (nRaw > nPacked - i) {
          nResult = kBadEscape;
          break;
        }
        for (int r = 0; r < nRaw; ++r) emit(pbyPacked[i + r]);
        i += nRaw;
        break;
      }
      const int nSet = nShift >= 0 ? nShift : nCurrent;
      nShift = -1;
      // The fourth set's last two entries hold no character.
      if (nCode - 8 >= kCharsetEntries[nSet]) {
        nResult = kBadCode;
        break;
      }
      emit(pGetCharset(nSet)[nCode - 8]);
    }
  }
  pbyOutput[nCount < nRoom ? nCount : nRoom] = 0;
  *pnCapacity = nCount;
  if (nResult != kOk) return nResult;
  return nCount > nRoom ? kCut : kOk;
}

int CDataCompressor::s_nDeCompress(wchar_t* pszOutput, int* pnCapacity,
                                   const STRessourceModule& stRes) {
  const int nCapacity = *pnCapacity;
  pszOutput[0] = L'\0';
  if (stRes.nTextKind != kResTextUtf8 && stRes.nTextKind != kResTextUtf16) {
    *pnCapacity = -1;
    return kBadByte;
  }
  *pnCapacity = 0;
  if (stRes.pbyPacked == nullptr || stRes.nPackedLength <= 0) return kOk;
  // Three codes per pair give at most 1.5 bytes per packed byte; raw bytes one.
  const int nBytesRoom = static_cast<int>(stRes.nPackedLength * 3LL / 2) + 2;
  unsigned char abyStack[256];
  unsigned char* pbyBytes =
      nBytesRoom <= 256
          ? abyStack
          : static_cast<unsigned char*>(XMALLOC_pNew_(static_cast<unsigned int>(nBytesRoom)));
  if (pbyBytes == nullptr) return kBadByte;
  int nBytes = 0;
  const int nCode = nUnpackBytes(stRes, pbyBytes, nBytesRoom, &nBytes);
  int nResult = nCode;
  if (nCode == kOk || nCode == kCut) {
    int nLength = 0;
    wchar_t* pszWide = pszToWide(pbyBytes, nBytes, stRes.nTextKind, &nLength);
    if (pszWide == nullptr) {
      nResult = kBadByte;
    } else {
      const int nKept = nLength < nCapacity - 1 ? nLength : nCapacity - 1;
      for (int i = 0; i < nKept; ++i) pszOutput[i] = pszWide[i];
      pszOutput[nKept] = L'\0';
      *pnCapacity = nKept;
      nResult = nLength > nKept ? kCut : kOk;
      XMALLOC_Del_(pszWide);
    }
  }
  if (pbyBytes != abyStack) XMALLOC_Del_(pbyBytes);
  return nResult;
}

wchar_t* CDataCompressor::s_pszDeCompress(const STRessourceModule& stRes) {
  if (stRes.nPackedLength < 0) return nullptr;
  // Every unpacked byte gives at most one character.
  const int64_t nChars = stRes.nPackedLength * 3LL / 2 + 2;
  auto* pszText =
      static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<unsigned int>(nChars * sizeof(wchar_t))));
  if (pszText == nullptr) return nullptr;
  int nCapacity = static_cast<int>(nChars);
  if (s_nDeCompress(pszText, &nCapacity, stRes) != kOk) {
    XMALLOC_Del_(pszText);
    return nullptr;
  }
  return pszText;
}

// ---------------------------------------------------------------------------
// Loading.

int KQM_nLoadString(unsigned int nNumber, wchar_t* pszBuffer, int nCapacity) {
  if (gpfnLoadStringKQM == nullptr || pszBuffer == nullptr || nCapacity < 1) return 0;
  pszBuffer[0] = L'\0';
  const int nResult = gpfnLoadStringKQM(nNumber, pszBuffer, nCapacity);
  if (nResult <= 0) {
    pszBuffer[0] = L'\0';
    return 0;
  }
  // A result of the capacity or more is the full length of a text that was
  // cut: what the buffer holds is the first capacity - 1 characters.
  return nKeepLoaderText(pszBuffer, nCapacity, nResult);
}

int KQM_bLoadString(unsigned int nNumber, CTString* pclText) {
  if (gpfnLoadStringKQM == nullptr || pclText == nullptr) return 0;
  wchar_t szFirst[kLoaderFirstCapacity];
  szFirst[0] = L'\0';
  const int nResult = gpfnLoadStringKQM(nNumber, szFirst, kLoaderFirstCapacity);
  if (nResult <= 0) return 0;
  if (nResult < kLoaderFirstCapacity) {
    const int nKept = nKeepLoaderText(szFirst, kLoaderFirstCapacity, nResult);
    pclText->Set(szFirst, static_cast<unsigned int>(nKept));
    return 1;
  }
  // Cut: fetch again with room for the whole text and its terminator.
  if (nResult > kLoaderMaxLength) return 0;
  const int nCapacity = nResult + 1;
  auto* pszWhole =
      static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<unsigned int>(nCapacity) * sizeof(wchar_t)));
  if (pszWhole == nullptr) return 0;
  pszWhole[0] = L'\0';
  const int nSecond = gpfnLoadStringKQM(nNumber, pszWhole, nCapacity);
  int bFound = 0;
  if (nSecond > 0) {
    const int nKept = nKeepLoaderText(pszWhole, nCapacity, nSecond);
    pclText->Set(pszWhole, static_cast<unsigned int>(nKept));
    bFound = 1;
  }
  XMALLOC_Del_(pszWhole);
  return bFound;
}

int DLLRES_bLoadString(const _stMyModuleInfo* pModule, unsigned int nNumber, CTString* pclText) {
  if (pclText == nullptr) return 0;
  if (gpfnLoadStringKQM != nullptr && KQM_bLoadString(nNumber, pclText)) return 1;
  STRessourceModule stRes;
  if (!bFindRecord(pModule, nNumber, &stRes)) return 0;
  wchar_t* pszText = CDataCompressor::s_pszDeCompress(stRes);
  if (pszText == nullptr) {
    pclText->Vide();
  } else {
    pclText->Set(pszText);
    XMALLOC_Del_(pszText);
  }
  return 1;
}

int DLLRES_nLoadString(const _stMyModuleInfo* pModule, unsigned int nNumber, wchar_t* pszBuffer,
                       int nCapacity) {
  if (pszBuffer == nullptr || nCapacity < 1) return 0;
  pszBuffer[0] = L'\0';
  const int nFromLoader = KQM_nLoadString(nNumber, pszBuffer, nCapacity);
  if (nFromLoader > 0) return nFromLoader;
  STRessourceModule stRes;
  if (!bFindRecord(pModule, nNumber, &stRes)) return 0;
  int nLength = nCapacity;
  const int nCode = CDataCompressor::s_nDeCompress(pszBuffer, &nLength, stRes);
  if (nCode != CDataCompressor::kOk && nCode != CDataCompressor::kCut) {
    pszBuffer[0] = L'\0';
    return 0;
  }
  return nLength;
}

int DLLRES_nGetUtilisation(const _stMyModuleInfo* pModule, unsigned int nNumber) {
  STRessourceModule stRes;
  if (!bFindRecord(pModule, nNumber, &stRes)) return -1;
  return stRes.nUtilisation;
}

// ---------------------------------------------------------------------------
// Formatting.

unsigned int DLLRES_dwFormatMessage(const wchar_t* pszFormat, wchar_t** ppszOut, char** ppArgs) {
  if (ppszOut == nullptr) return 0;
  *ppszOut = nullptr;
  if (pszFormat == nullptr) return 0;
  const unsigned int nLength =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING, pszFormat, 0, 0,
                     reinterpret_cast<wchar_t*>(ppszOut), 0, ppArgs);
  if (nLength == 0 && *ppszOut != nullptr) {
    free(*ppszOut);
    *ppszOut = nullptr;
  }
  return nLength;
}

unsigned int DLLRES_dwFormatMessage(const wchar_t* pszFormat, CTString* pclOut, char** ppArgs) {
  if (pclOut == nullptr) return 0;
  wchar_t* pszText = nullptr;
  const unsigned int nLength = DLLRES_dwFormatMessage(pszFormat, &pszText, ppArgs);
  if (pszText != nullptr) {
    pclOut->Set(pszText);
    free(pszText);
  }
  return nLength;
}

int DLLRES_nFormatMessageList(const _stMyModuleInfo* pModule, unsigned int nNumber,
                              wchar_t** ppszOut, char** ppArgs) {
  if (ppszOut != nullptr) *ppszOut = nullptr;
  CTString clFormat;
  if (!DLLRES_bLoadString(pModule, nNumber, &clFormat)) return 0;
  return static_cast<int>(DLLRES_dwFormatMessage(clFormat.pszGet(), ppszOut, ppArgs));
}

int DLLRES_nFormatMessage(const _stMyModuleInfo* pModule, unsigned int nNumber, wchar_t** ppszOut,
                          ...) {
  va_list args;
  va_start(args, ppszOut);
  const int nLength = DLLRES_nFormatMessageList(pModule, nNumber, ppszOut, &args);
  va_end(args);
  return nLength;
}

int DLLRES_bFormatMessageList(const _stMyModuleInfo* pModule, unsigned int nNumber,
                              CTString* pclOut, char** ppArgs) {
  CTString clFormat;
  if (!DLLRES_bLoadString(pModule, nNumber, &clFormat)) return 0;
  return DLLRES_dwFormatMessage(clFormat.pszGet(), pclOut, ppArgs) != 0;
}

int DLLRES_bFormatMessage(const _stMyModuleInfo* pModule, unsigned int nNumber, CTString* pclOut,
                          ...) {
  va_list args;
  va_start(args, pclOut);
  const int bResult = DLLRES_bFormatMessageList(pModule, nNumber, pclOut, &args);
  va_end(args);
  return bResult;
}

int __bLoadStringSingulierPluriel(const _stMyModuleInfo* pModule, int nIndex, unsigned int nNumber,
                                  CTString& clText) {
  CTString clMessage;
  if (!DLLRES_bLoadString(pModule, nNumber, &clMessage)) return 0;
  return clMessage.bExtraitChaine(nIndex, szSeparateurSingulierPluriel, &clText);
}

int DLLRES_bFormatMessageSingulierPlurielList(const _stMyModuleInfo* pModule, int nIndex,
                                              unsigned int nNumber, CTString* pclOut,
                                              char** ppArgs) {
  CTString clVariant;
  if (!__bLoadStringSingulierPluriel(pModule, nIndex, nNumber, clVariant)) return 0;
  return DLLRES_dwFormatMessage(clVariant.pszGet(), pclOut, ppArgs) != 0;
}

int DLLRES_bFormatMessageSingulierPluriel(const _stMyModuleInfo* pModule, int nIndex,
                                          unsigned int nNumber, CTString* pclOut, ...) {
  va_list args;
  va_start(args, pclOut);
  const int bResult =
      DLLRES_bFormatMessageSingulierPlurielList(pModule, nIndex, nNumber, pclOut, &args);
  va_end(args);
  return bResult;
}

// ---------------------------------------------------------------------------
// The layer's life and external resources.

int DLLRES_bInit(HINSTANCE, int) {
  gbDllResInitialised = 1;
  return 1;
}

void DLLRES_Term() { gbDllResInitialised = 0; }

int DLLRES_bIsInitialised() { return gbDllResInitialised; }

int DLLRES_bUtiliseDLLRes() { return 0; }

HINSTANCE ghGetRessourceHandle() { return nullptr; }

void DLLRES_SetFichierKQM(const wchar_t*) {}

void* DLLRES_pLoadResource(const _stMyModuleInfo* pModule, HINSTANCE hLibrary, unsigned int nNumber,
                           const wchar_t* pszText, void* pOut) {
  // A null handle would make dlsym search the whole process.
  if (hLibrary == nullptr) return nullptr;
  using PFNLOADRESOURCEMODULE = void* (*)(const void*, unsigned int, const wchar_t*, void*);
  auto pfn = reinterpret_cast<PFNLOADRESOURCEMODULE>(
      dlsym(static_cast<void*>(hLibrary), "DLLRES_pLoadResourceModule"));
  if (pfn == nullptr) return nullptr;
  return pfn(pModule, nNumber, pszText, pOut);
}

int DLLRES_bForceInitRessource(int (*pfnCommande)(int, void*)) {
  if (pfnCommande == nullptr) return 0;
  _stLoadStringRequest stRequest = {20, 0, nullptr, 0, 0};
  pfnCommande(COMPONENT_LOAD_STRING, &stRequest);
  return 1;
}
