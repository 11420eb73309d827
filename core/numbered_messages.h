// Numbered messages: every user-visible text of the driver (error messages,
// dump labels, query-dump captions) is looked up by number, first through a
// string loader that the server may install, then in the driver's own message
// block: one packed block in the library's read-only data, indexed by number
// and unpacked on each request (texts are not cached).
//
// A loaded text is a printf-style format in the Windows wide convention ("%s"
// a wide text, "%d" a 32-bit int), formatted through FormatMessageW. A message
// may hold several variants (singular and plural) separated by
// szSeparateurSingulierPluriel.
//
// Ownership: texts returned through wchar_t** come from malloc and are freed
// by the caller with free(); s_pszDeCompress's block is freed with
// XMALLOC_Del_. Everything else is written into the caller's buffers.
// Threads: the loader pointer and the initialised flag are written at start,
// before any other call, and only read afterwards. The block's index is built
// on the first lookup without a lock (library start runs on one thread) and
// is read-only after that.
#ifndef KQ230_CORE_NUMBERED_MESSAGES_H_
#define KQ230_CORE_NUMBERED_MESSAGES_H_

#include <cstdint>

#include "core/module_info.h"
#include "kq230/module_exports.h"

class CTString;

// ---------------------------------------------------------------------------
// The message block.
//
// A sequence of records, little-endian, sorted by ascending message number,
// ended by a record size of 0:
//   offset 0, 2 bytes: record size in bytes, header included
//   offset 2, 2 bytes: message number
//   offset 4, 1 byte:  flags: bits 0-1 the usage value; 0x40 the unpacked
//                      bytes are UTF-16LE, else UTF-8
//   offset 5, 2 bytes: packed length in bytes
//   offset 7:          packed text (a few spare bytes may follow it)
// The first record (257) and the last (65535) are markers without message;
// the first is never returned by a lookup.
extern const unsigned char _pbyBufferRes76[];
extern const unsigned int _nTailleBufferRes76;  // bytes, the ending 0 included

inline constexpr int kResRecordHeader = 7;
inline constexpr unsigned char kResFlagUsageMask = 0x03;
inline constexpr unsigned char kResFlagUtf16 = 0x40;
inline constexpr int kResTextUtf8 = 1;
inline constexpr int kResTextUtf16 = 2;

// Request and answer of one lookup.
struct STRessourceModule {
  uint32_t nNumber;     // compared on its low 16 bits
  uint32_t dwReserved;  // 0
  const unsigned char* pbyPacked;
  int nPackedLength;
  int nTextKind;     // kResTextUtf8 or kResTextUtf16
  int nUtilisation;  // the usage value; -1 until a record is found
};

// The static index of the block, built on the first lookup.
struct _stResIndex {
  const unsigned char* pbyBlock;
  int (*pfnCompare)(const void*, const void*);
  const uint32_t* pnOffsets;  // one per record, in block order
  int nCount;
  int bInitialised;
};

class CResAnsi76 {
 public:
  // bsearch comparison: the low 16 bits of the requested number (key points
  // to a uint32_t) minus the number of the record whose offset element points
  // to, as ints.
  static int nCompareRes(const void* pKey, const void* pOffset);

  // Walks a block record by record. Returns the number of well-formed records
  // before the ending zero size, or -1 when a record runs past nBlockSize, is
  // shorter than its header or its packed text, or the ending size is missing.
  // When pnOffsets is given (room for nMaxOffsets) it receives their offsets.
  static int nScanBlock(const unsigned char* pbyBlock, unsigned int nBlockSize, uint32_t* pnOffsets,
                        int nMaxOffsets);

  static _stResIndex m_stRessource;
};

// The resource-lookup function of gstMyModuleInfo76: finds the record of
// stRequest.nNumber in the block and fills the packed-text pointer, its
// length, the text kind and the usage value. 1 found, 0 not.
int bGetResAnsi76(STRessourceModule& stRequest);

// ---------------------------------------------------------------------------
// The unpacker.
//
// Packed bytes go in pairs (c, d), each 1 to 255: n = c * 255 + d - 256 holds
// three base-40 codes (n / 1600, n / 40 % 40, n % 40). A single byte at the
// end holds one code, the byte - 1. Codes 0-3 shift the next character to
// set 0-3 once; 4-7 select set 0-3 for good; 8-39 output an entry of the
// current (or shifted) set; in the fourth set 38 and 39 escape one raw byte or
// a counted run of raw bytes that follows the pair.
class CDataCompressor {
 public:
  // The character sets, each sorted by byte value. The fourth uses its first
  // 30 entries: codes 38 and 39 are its escapes.
  // Set 1: blank, the commonest punctuation and the lower-case letters.
  static constexpr unsigned char tabCharset1[32] = {
      ' ', '%', '\'', ',', '.', ':', 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j',
      'k', 'l', 'm',  'n', 'o', 'p', 'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z'};
  // Set 2: brackets, dash and the upper-case letters.
  static constexpr unsigned char tabCharset2[32] = {
      '(', ')', '-', '<', '>', 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K',
      'L', 'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', '_'};
  // Set 3: control characters of texts, digits and the other punctuation.
  static constexpr unsigned char tabCharset3[32] = {
      '\t', '\n', '\r', '!', '"', '#', '$', '&', '*', '+', '/',  '0', '1', '2', '3', '4',
      '5',  '6',  '7',  '8', '9', ';', '=', '?', '@', '[', '\\', ']', '{', '|', '}', '~'};
  // Set 4: the UTF-8 bytes of typographic marks and accented Latin letters.
  static constexpr unsigned char tabCharset4[32] = {0x5E, 0x60, 0x80, 0x88, 0x89, 0x8A, 0x93, 0x94,
                                                    0x99, 0x9C, 0x9D, 0xA0, 0xA2, 0xA4, 0xA6, 0xA7,
                                                    0xA8, 0xA9, 0xAA, 0xAB, 0xAE, 0xAF, 0xB0, 0xB4,
                                                    0xB6, 0xB9, 0xBB, 0xC2, 0xC3, 0xE2, 0,    0};
  static constexpr int kCharsetEntries[4] = {32, 32, 32, 30};
  // Set 0 to 3 (tabCharset1 to tabCharset4).
  static constexpr const unsigned char* pGetCharset(int nSet) {
    return nSet == 0   ? tabCharset1
           : nSet == 1 ? tabCharset2
           : nSet == 2 ? tabCharset3
                       : tabCharset4;
  }

  // Result codes.
  static constexpr int kOk = 0;
  static constexpr int kCut = 2;        // the text did not fit the output
  static constexpr int kBadByte = 4;    // a 0 byte in a pair; also: bad text kind
  static constexpr int kBadEscape = 5;  // raw bytes run past the packed length
  static constexpr int kBadCode = 6;    // a code above 39: corrupt record

  // Unpacks nPacked bytes into pbyOutput (*pnCapacity bytes). Output bytes
  // are written while fewer than *pnCapacity - 1 are written; the count goes
  // on. The output is zero-terminated and *pnCapacity receives the count of
  // bytes the text has (written or not). Returns kOk, or kCut when the text
  // did not fit; kBadByte, kBadEscape or kBadCode for a corrupt text, whose
  // bytes up to the fault are kept (terminated).
  // REQUIRES: *pnCapacity >= 1; pbyPacked holds nPacked bytes.
  static int nDeCompress(unsigned char* pbyOutput, int* pnCapacity, const unsigned char* pbyPacked,
                         int nPacked);

  // Unpacks the record of an answered request into pszOutput (*pnCapacity
  // characters) as wide text, zero-terminated; *pnCapacity receives its
  // length. Returns kOk, kCut (the last character of the buffer is 0), or
  // kBadByte with -1 as the length for an unknown text kind. A corrupt packed
  // text, or bytes that are not text of their kind, give the empty text and
  // the fault's code (kBadByte for bytes that do not convert).
  // REQUIRES: *pnCapacity >= 1.
  static int s_nDeCompress(wchar_t* pszOutput, int* pnCapacity, const STRessourceModule& stRes);

  // The whole text of an answered request in a new block (free it with
  // XMALLOC_Del_), or null when memory runs out or the text is corrupt.
  static wchar_t* s_pszDeCompress(const STRessourceModule& stRes);
};

// ---------------------------------------------------------------------------
// Loading and formatting.

// Separator of message variants: line feed, U+00A7, line feed.
extern const wchar_t szSeparateurSingulierPluriel[];

// The server's string loader, installed through CommandeComposante(2); null
// when the server installed none. Its result is the text's length in
// characters; 0 or less means not found; a result of the capacity or more
// means the text was cut and is that long.
extern PFNLOADSTRINGKQM gpfnLoadStringKQM;

// The installed loader into pszBuffer (nCapacity characters): the length of
// what the buffer holds (at most nCapacity - 1), always terminated; 0 when
// not found or when no loader is installed.
int KQM_nLoadString(unsigned int nNumber, wchar_t* pszBuffer, int nCapacity);

// The installed loader's text into *pclText, whole: a text longer than 255
// characters is fetched again into a buffer of its length + 1. 1 found, 0 not
// (or no loader, or no memory for the second call).
int KQM_bLoadString(unsigned int nNumber, CTString* pclText);

// The text of message nNumber into *pclText: the host loader first, then the
// module's block. 1 when found (even when the text unpacks to nothing), 0 when
// neither has it.
int DLLRES_bLoadString(const _stMyModuleInfo* pModule, unsigned int nNumber, CTString* pclText);

// The text of message nNumber into pszBuffer (nCapacity characters), always
// zero-terminated when nCapacity > 0. Returns the number of characters,
// nCapacity - 1 when the text was cut, 0 when not found or not unpackable.
int DLLRES_nLoadString(const _stMyModuleInfo* pModule, unsigned int nNumber, wchar_t* pszBuffer,
                       int nCapacity);

// The usage value (0 to 3) of message nNumber in the module's block, or -1.
// The host loader is not asked.
int DLLRES_nGetUtilisation(const _stMyModuleInfo* pModule, unsigned int nNumber);

// FormatMessageW (0x500: from string, allocate) of pszFormat with the
// argument list *ppArgs (a va_list*; null: no arguments). *ppszOut receives
// the new text, freed with free(); null on failure. Returns its length, 0 on
// failure.
unsigned int DLLRES_dwFormatMessage(const wchar_t* pszFormat, wchar_t** ppszOut, char** ppArgs);
// The same into *pclOut (unchanged on failure).
unsigned int DLLRES_dwFormatMessage(const wchar_t* pszFormat, CTString* pclOut, char** ppArgs);

// Load message nNumber, then format it as DLLRES_dwFormatMessage does.
// Return the length, 0 when not found or formatting failed.
int DLLRES_nFormatMessageList(const _stMyModuleInfo* pModule, unsigned int nNumber,
                              wchar_t** ppszOut, char** ppArgs);
int DLLRES_nFormatMessage(const _stMyModuleInfo* pModule, unsigned int nNumber, wchar_t** ppszOut,
                          ...);

// Load message nNumber, then format it into *pclOut. True when found and the
// formatting gave a result.
int DLLRES_bFormatMessageList(const _stMyModuleInfo* pModule, unsigned int nNumber,
                              CTString* pclOut, char** ppArgs);
int DLLRES_bFormatMessage(const _stMyModuleInfo* pModule, unsigned int nNumber, CTString* pclOut,
                          ...);

// Variant nIndex (0-based piece of the text cut at each
// szSeparateurSingulierPluriel) of message nNumber into *pclText; false when
// the message or the piece is missing. Which index is singular or plural is
// the caller's choice.
int __bLoadStringSingulierPluriel(const _stMyModuleInfo* pModule, int nIndex, unsigned int nNumber,
                                  CTString& clText);

// Load variant nIndex of message nNumber and format it into *pclOut.
int DLLRES_bFormatMessageSingulierPluriel(const _stMyModuleInfo* pModule, int nIndex,
                                          unsigned int nNumber, CTString* pclOut, ...);
int DLLRES_bFormatMessageSingulierPlurielList(const _stMyModuleInfo* pModule, int nIndex,
                                              unsigned int nNumber, CTString* pclOut,
                                              char** ppArgs);

// ---------------------------------------------------------------------------
// The layer's life and its external resources (none here).

// Set / clear the layer's initialised flag. DLLRES_bInit answers 1.
int DLLRES_bInit(HINSTANCE hModule, int nOption);
void DLLRES_Term();
int DLLRES_bIsInitialised();

// 0: no external resource library is used.
int DLLRES_bUtiliseDLLRes();
// Null: no resource library handle.
HINSTANCE ghGetRessourceHandle();
// Does nothing: messages never come from a message file here.
void DLLRES_SetFichierKQM(const wchar_t* pszFile);

// Looks up "DLLRES_pLoadResourceModule" in hLibrary and returns what it gives
// for (pModule, nNumber, pszText, pOut); null when the library (or the handle)
// has no such entry.
void* DLLRES_pLoadResource(const _stMyModuleInfo* pModule, HINSTANCE hLibrary, unsigned int nNumber,
                           const wchar_t* pszText, void* pOut);

// Calls pfnCommande(3, request) with an empty load request (size 20, number
// 0, no buffer, capacity 0). 1 when a function was given, else 0.
int DLLRES_bForceInitRessource(int (*pfnCommande)(int, void*));

#endif  // KQ230_CORE_NUMBERED_MESSAGES_H_
