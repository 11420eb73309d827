// String templates written once for char and wchar_t: heap buffer creation,
// reading one line of a file into a growing buffer, and the upper bound of the
// length that the Windows-style printf of the emulation (platform/
// message_formatting.h) writes for a format and its arguments.
//
// The instances below are the only ones: the .cc instantiates them
// explicitly. The driver also exports the wide creation, character and line
// reading instances by plain names (driver/library_exports.cc), so that other
// libraries of the framework create buffers and read lines the same way.
//
// Ownership: STRG_pszCreate hands the caller a block of the framework's
// allocation entry points (free it with STR_Delete / STR_DeleteA). The line
// readers own nothing: *buffer is the caller's malloc block, allocated or
// grown for it, and stays the caller's on every result.
// Threads: no state; a FILE is used by one thread at a time.
#ifndef KQ230_CORE_STRING_TEMPLATES_H_
#define KQ230_CORE_STRING_TEMPLATES_H_

#include <cstdarg>
#include <cstdio>

// A buffer for n characters and a terminator (STR_pszCreateW / STR_pszCreateA);
// null when memory is refused.
template <class T>
T* STRG_pszCreate(unsigned int n);

// The next character of the file, or -1 at its end (or on a read error).
//   <char, char>                  one byte (fgetc)
//   <wchar_t, wchar_t>            one wide character as the C library reads it
//                                 (fgetwc, under the process locale)
//   <wchar_t, unsigned short>     two bytes, one UTF-16 unit in machine order;
//                                 a surrogate stays a lone unit
template <class T, class U>
int STRG_nGetChar(FILE* pFile);

// Result of the line readers when the buffer cannot be allocated or grown.
// Distinct from every line length (which is never negative) and from -1.
inline constexpr int STRG_GETLINE_NO_MEMORY = -12;

// Reads one line (up to and including "\n", or to the end of the file) with
// STRG_nGetChar<T, U> into buffer, which grows as needed (by 256 bytes for
// wide characters, 64 for bytes; a null buffer is first allocated with that
// many bytes). size is the buffer's size in bytes. The line is terminated.
// Answers the number of bytes consumed from the file; -1 at the end of the
// file when nothing was read (the buffer then holds ""); STRG_GETLINE_NO_MEMORY
// when memory is refused (buffer and size then describe the caller's buffer,
// unchanged or grown, still terminated when it exists).
// REQUIRES: buffer is null or a malloc block of size bytes; pFile is open for
// reading and positionable (ftell).
template <class T, class U>
int __STRG_nGetLine(T*& pBuffer, int& nSize, FILE* pFile);

// __STRG_nGetLine<wchar_t, wchar_t> and __STRG_nGetLine<char, char>.
template <class T>
int STRG_nGetLine(T** ppBuffer, int* pnSize, FILE* pFile);

// An upper bound of the characters that the Windows-style printf writes for
// format and the packed argument list args (not consumed: a copy is read).
// The 8-bit instance reads "%s" arguments as 8-bit text and "%S" as wide; the
// wide instance the other way round. Conversions it does not know count
// nothing and take no argument.
template <class T>
int STRG_nCalculeLongueurPrintf(const T* pszFormat, va_list args);

// The instances.
template <>
wchar_t* STRG_pszCreate<wchar_t>(unsigned int n);
template <>
char* STRG_pszCreate<char>(unsigned int n);
template <>
int STRG_nGetChar<char, char>(FILE* pFile);
template <>
int STRG_nGetChar<wchar_t, wchar_t>(FILE* pFile);
template <>
int STRG_nGetChar<wchar_t, unsigned short>(FILE* pFile);
template <>
int STRG_nGetLine<wchar_t>(wchar_t** ppBuffer, int* pnSize, FILE* pFile);
template <>
int STRG_nGetLine<char>(char** ppBuffer, int* pnSize, FILE* pFile);
extern template int __STRG_nGetLine<wchar_t, wchar_t>(wchar_t*&, int&, FILE*);
extern template int __STRG_nGetLine<wchar_t, unsigned short>(wchar_t*&, int&, FILE*);
extern template int __STRG_nGetLine<char, char>(char*&, int&, FILE*);
extern template int STRG_nCalculeLongueurPrintf<char>(const char*, va_list);
extern template int STRG_nCalculeLongueurPrintf<wchar_t>(const wchar_t*, va_list);

#endif  // KQ230_CORE_STRING_TEMPLATES_H_
