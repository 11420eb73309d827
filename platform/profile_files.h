// The Win32 profile functions over the C library's streams: key/value pairs
// grouped under section headers in INI-style text files, 8-bit or UTF-16,
// plus a per-user profile file ".QNT.conf" in the home directory.
//
// File form. A file that begins with the bytes 0xFF 0xFE is UTF-16
// little-endian (the mark stays: writers never rewrite the start of a file);
// any other file is 8-bit text, and new files are created 8-bit. 8-bit calls
// pass 8-bit files through byte for byte; wide calls convert for 8-bit files
// through code page 0 (Windows-1252), and 8-bit calls convert for UTF-16
// files through the same code page.
//
// Lines. A line runs up to and including a line feed (the unit 0x000A in
// UTF-16 files); a carriage return and what follows it are no part of a
// value. Leading white space is skipped. A section header is "[" name "]",
// the name compared without regard to case over its whole length; the first
// header of a name is the section (later headers of that name are never
// reached). Names and keys compare without regard to case: ASCII letters in
// 8-bit files, towlower (the process locale) of the units of UTF-16 files.
// A key line is the key, then a blank, a tab or "=", then "="
// somewhere further on; the value starts after that "=" and the blanks and
// tabs after it, and runs to the end of the line (trailing blanks kept, no
// quoting). A line that begins with ":"
// is a comment. Written key lines are key, " = ", value, line feed.
//
// Readers and writers find the same lines: a writer replaces exactly the
// line a reader would read (same case rule, same leading white space, same
// comment rule), so that a write never "succeeds" into a line the readers
// skip. A writer that appends to a file whose last line has no line feed
// ends that line first, so that a new header or key never joins it.
//
// File names. A name without "/" and "\\" is a file in the home directory of
// the current user: $HOME when it is set and not empty, else the directory of
// the password entry of the real user id. Every "\\" becomes "/". A path of
// more than 260 characters is refused (errno ENAMETOOLONG), as is a bare name
// when no home directory is known (errno ENOENT): reads then give the
// default, writes 0.
//
// Failures go to errno in the Win32 manner, never to an error object.
// Threads: no state of their own; two writers of one file at once are the
// callers' business (no lock is taken on the file).
#ifndef KQ230_PLATFORM_PROFILE_FILES_H_
#define KQ230_PLATFORM_PROFILE_FILES_H_

#include "platform/environment.h"  // kMaxPathChars

// The value of a key (section and key given), the keys of a section, each
// followed by "\r\n" (key null or empty), or the names of all sections, each
// followed by "\r\n" (section null or empty), in pszBuffer of nSize
// characters. Answers the length put in the buffer. A list holds the entries
// that fit whole within nSize - 1 characters; a value is cut to nSize - 1.
// A key present with an empty value gives 0 and an empty buffer; otherwise,
// when nothing was found or the file cannot be read, the default (cut to
// nSize - 1) and its length, or 0 and an empty buffer without default.
// nSize 0: nothing written, 0.
unsigned int GetPrivateProfileStringA(const char* pszSection, const char* pszKey, const char* pszDefault,
                                      char* pszBuffer, unsigned int nSize, const char* pszFileName);
unsigned int GetPrivateProfileStringW(const wchar_t* pszSection, const wchar_t* pszKey,
                                      const wchar_t* pszDefault, wchar_t* pszBuffer, unsigned int nSize,
                                      const wchar_t* pszFileName);
unsigned int GetPrivateProfileString(const wchar_t* pszSection, const wchar_t* pszKey,
                                     const wchar_t* pszDefault, wchar_t* pszBuffer, unsigned int nSize,
                                     const wchar_t* pszFileName);
// The value read (with the default written in decimal) as wcstol reads it in
// base 10: 0 for a text that does not start with a number.
int GetPrivateProfileInt(const wchar_t* pszSection, const wchar_t* pszKey, int nDefault,
                         const wchar_t* pszFileName);

// Sets the key's value; a null value deletes the key, a null key deletes the
// whole section (header to the next header). A missing section is appended
// at the end of the file; a missing key is inserted before the section's
// first empty line, else before the next section, else at the end of the
// file. 1 when every write and the close succeeded; 0 when the file cannot
// be opened or created, a write or the close fails, or the section is null.
int WritePrivateProfileStringA(const char* pszSection, const char* pszKey, const char* pszValue,
                               const char* pszFileName);
int WritePrivateProfileStringW(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszValue,
                               const wchar_t* pszFileName);
int WritePrivateProfileString(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszValue,
                              const wchar_t* pszFileName);

// The same on the per-user file (bGetQNTCONFPath); without a home directory
// the reads give the default and the write 0.
unsigned int GetProfileString(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszDefault,
                              wchar_t* pszBuffer, unsigned int nSize);
int GetProfileInt(const wchar_t* pszSection, const wchar_t* pszKey, int nDefault);
int WriteProfileString(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszValue);

// The home directory followed by "/.QNT.conf" in pszPath (kMaxPathChars
// characters); false, pszPath empty, when no home directory is known or the
// path is too long.
bool bGetQNTCONFPath(wchar_t* pszPath);

// The path a profile function opens for a file name (see File names), in
// pszOut of kMaxPathChars units. False, pszOut empty, when the name is null,
// no home directory is known for a bare name, or the path is too long. The
// 8-bit form keeps the name's bytes (the home directory in UTF-8).
bool __PrivateProfilePatchName(const wchar_t* pszName, wchar_t* pszOut);
bool __PrivateProfilePatchName(const char* pszName, char* pszOut);

#endif  // KQ230_PLATFORM_PROFILE_FILES_H_
