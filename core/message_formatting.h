// Message formatting: the printf family and the Win32 FormatMessage emulation
// over formats written in the Windows wide convention.
//
// The framework writes its wide formats as Windows does: in a wide format
// "%s" is a wide text and "%S" (or "%hs") an 8-bit one. The wide printf of the
// GNU C library reads "%s" as 8-bit and "%ls" as wide. Every wide function
// here converts its format from the one convention to the other on each call
// (_ConvertFormatWindowsToUnix), then formats with the C library.
//
// Arguments: args is the packed argument list of the caller (a va_list; on
// 32-bit x86 a char* to the arguments). The FormatMessage emulations take its
// address (null: no arguments) or, with FORMAT_MESSAGE_ARGUMENT_ARRAY, the
// address of an array of 32-bit values. No function consumes the caller's
// list: each works on a copy.
//
// Failures go to errno, never to an error object; results are Win32-style.
//
// Ownership: with FORMAT_MESSAGE_ALLOCATE_BUFFER the buffer argument is the
// address of a pointer that receives a malloc block, which the caller frees
// with free(); vaswprintf grows a malloc block the caller owns.
// Threads: no shared state.
#ifndef KQ230_CORE_MESSAGE_FORMATTING_H_
#define KQ230_CORE_MESSAGE_FORMATTING_H_

#include <cstdarg>

// Flags of the FormatMessage emulations (the Win32 values).
inline constexpr unsigned int FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x100;
inline constexpr unsigned int FORMAT_MESSAGE_IGNORE_INSERTS = 0x200;
inline constexpr unsigned int FORMAT_MESSAGE_FROM_STRING = 0x400;
inline constexpr unsigned int FORMAT_MESSAGE_FROM_HMODULE = 0x800;
inline constexpr unsigned int FORMAT_MESSAGE_FROM_SYSTEM = 0x1000;
inline constexpr unsigned int FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x2000;
inline constexpr unsigned int FORMAT_MESSAGE_MAX_WIDTH_MASK = 0xFF;

// errno of a failed allocation in FormatMessageWin (STATUS_NO_MEMORY).
inline constexpr int FORMAT_MESSAGE_ERROR_NO_MEMORY = static_cast<int>(0xC0000017u);

// ---------------------------------------------------------------------------
// Format conversion.

// Copies format to out, changing each conversion from the Windows convention
// to the C library's: "s" -> "ls", "S" -> "s", "hs" -> "s", "hS" -> "s",
// "ls"/"lS" -> "ls", "c" -> "lc", "C" -> "c", "hc"/"hC" -> "c", after any
// flags, width, precision and positional index ("%1$-10.3s" -> "%1$-10.3ls").
// Other conversions are copied as they stand. A null format leaves out
// untouched.
// REQUIRES: out holds _nCalculeTailleChaineFormattageUnix(format) characters.
// nSize is not read.
void _ConvertFormatWindowsToUnix(const wchar_t* pszFormat, wchar_t* pszOut, unsigned int nSize);

// The characters (terminator included) that the conversion of format needs:
// its length + 1, + 1 for every conversion that grows; 0 for a null format.
unsigned int _nCalculeTailleChaineFormattageUnix(const wchar_t* pszFormat);

// ---------------------------------------------------------------------------
// The printf family (wide formats in the Windows convention).

// vswprintf into buffer of size characters. Answers the length, or -1 when
// the text does not fit or cannot be formatted (errno as the C library left
// it; 0 when it did not set one).
int vsnwprintfWin(wchar_t* pszBuffer, unsigned int nSize, const wchar_t* pszFormat, va_list args);
int snwprintfWin(wchar_t* pszBuffer, unsigned int nSize, const wchar_t* pszFormat, ...);
// The unbounded forms write at most 10,000,000 characters.
// REQUIRES: buffer holds the whole text and its terminator.
int vswprintfWin(wchar_t* pszBuffer, const wchar_t* pszFormat, va_list args);
int swprintfWin(wchar_t* pszBuffer, const wchar_t* pszFormat, ...);

// Bounded to n characters in a buffer of n + 1: always terminated (at n when
// the text is cut). Answer the length, or -1 when the text was cut.
int vsznwprintf(wchar_t* pszBuffer, unsigned int n, const wchar_t* pszFormat, va_list args);
int sznwprintf(wchar_t* pszBuffer, unsigned int n, const wchar_t* pszFormat, ...);
int vsznwprintfWin(wchar_t* pszBuffer, unsigned int n, const wchar_t* pszFormat, va_list args);
int sznwprintfWin(wchar_t* pszBuffer, unsigned int n, const wchar_t* pszFormat, ...);
// The 8-bit twins (no format conversion: the C library's convention).
int vsznprintf(char* pszBuffer, unsigned int n, const char* pszFormat, va_list args);
int sznprintf(char* pszBuffer, unsigned int n, const char* pszFormat, ...);

// Formats into *ppBuffer, a malloc block (null at first, or a block of the
// caller's, which is resized) sized first by the larger of the format's length
// (rounded up to a multiple of 8) and the printf length estimate
// (core/string_templates.h), then doubled until the text fits, so the work is
// linear in the text. On success *ppBuffer holds the terminated text and the
// answer is its length. Text that cannot be encoded (EILSEQ): *ppBuffer holds
// the format itself, unformatted, the answer is its length and errno is
// EILSEQ. Any other failure answers -1 with errno (EINVAL for a null format or
// a malformed conversion, ENOMEM when memory is refused or the text would pass
// 10,000,000 characters); *ppBuffer is then still the caller's to free.
int vaswprintf(wchar_t** ppBuffer, const wchar_t* pszFormat, va_list args);

// ---------------------------------------------------------------------------
// FormatMessage.

// printf-style message formatting (the message loaders' road): with
// FORMAT_MESSAGE_FROM_SYSTEM the source is strerror(errno); with
// FORMAT_MESSAGE_ALLOCATE_BUFFER the text goes into a new block stored in
// *(wchar_t**)buffer (null on failure), of at least nSize characters;
// otherwise into buffer (nSize characters). Answers the length, 0 on failure.
// The message id and language are not read.
unsigned int FormatMessageW(unsigned int dwFlags, const void* pSource, unsigned int dwMessageId,
                            unsigned int dwLanguageId, wchar_t* pszBuffer, unsigned int nSize,
                            va_list* pArgs);
// The 8-bit twin, without format conversion.
unsigned int FormatMessageA(unsigned int dwFlags, const void* pSource, unsigned int dwMessageId,
                            unsigned int dwLanguageId, char* pszBuffer, unsigned int nSize,
                            va_list* pArgs);

// The Win32 FormatMessage: inserts "%1" to "%99" with optional printf
// specifications ("%1!d!"), escapes ("%n", "%t", "%b", "%%", "%0"), line
// handling and wrapping by the low byte of the flags. See the implementation
// for the rules. Answers the characters written without the terminator; 0 on
// failure with errno 22 (bad flags, a malformed insert), 75 (the output is
// full) or FORMAT_MESSAGE_ERROR_NO_MEMORY. When the text does not fit a
// caller's buffer, errno is 75 and the buffer holds what fitted, terminated;
// the answer is its length (nSize - 1 when the buffer filled, less when the
// next piece, a line break or an insert, did not fit whole). With
// FORMAT_MESSAGE_ALLOCATE_BUFFER a text that does not fit is a failure (the
// block is freed, *(wchar_t**)buffer is null).
// dwError: the system error of FORMAT_MESSAGE_FROM_SYSTEM (0: errno).
unsigned int FormatMessageWin(unsigned int dwFlags, const void* pSource, unsigned int dwError,
                              unsigned int dwLanguageId, wchar_t* pszBuffer, unsigned int nSize,
                              va_list* pArgs);

#endif  // KQ230_CORE_MESSAGE_FORMATTING_H_
