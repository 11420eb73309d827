// Zero-terminated string buffers: the framework's toolbox for plain C strings,
// wide (wchar_t, 4 bytes a character) and 8-bit (char).
//
// Heap strings are created and freed through the framework's allocation entry
// points; fixed buffers are filled by bounded copies and appends that always
// terminate; texts are cut, searched forwards and backwards with and without
// case, replaced, shortened with an ellipsis and trimmed in place. Wide names
// without a suffix are the same as those with W.
//
// Sizes of destination buffers count characters, the terminator included.
// Counts of source characters exclude the terminator; -1 means "up to the
// terminator".
//
// Ownership: every STR_psz* creation function (and STR_RemplaceW) returns a
// block of XMALLOC_pNew_ that the caller owns and frees with STR_Delete,
// STR_DeleteW or STR_DeleteA (all XMALLOC_Del_). Search functions return
// pointers into the text they were given.
// Threads: no state; callers own their buffers.
#ifndef KQ230_CORE_ZSTRING_H_
#define KQ230_CORE_ZSTRING_H_

// Where STR_Ellipsis puts the "...".
enum eELLIPSISPOSITION : int {
  ELLIPSIS_END = 0,
  ELLIPSIS_MIDDLE = 1,
  ELLIPSIS_START = 2,
};

// ---------------------------------------------------------------------------
// Creation and release. Every creation function answers null when the
// allocation fails.

// An uninitialised buffer of n + 1 characters.
wchar_t* STR_pszCreateW(unsigned int n);
wchar_t* STR_pszCreate(unsigned int n);
char* STR_pszCreateA(unsigned int n);
// A copy of s; null for a null s.
wchar_t* STR_pszCreateW(const wchar_t* psz);
wchar_t* STR_pszCreate(const wchar_t* psz);
char* STR_pszCreateA(const char* psz);
// a followed by b (a null text reads as "").
wchar_t* STR_pszCreateW(const wchar_t* pszA, const wchar_t* pszB);
char* STR_pszCreateA(const char* pszA, const char* pszB);
// The first n characters of s, zero-filled when s is shorter, terminated at n.
// Reads s no further than its terminator.
wchar_t* STR_pszCreateW(unsigned int n, const wchar_t* psz);
wchar_t* STR_pszCreate(unsigned int n, const wchar_t* psz);
char* STR_pszCreateA(unsigned int n, const char* psz);
// The same from wide text that may not lie on a 4-byte boundary.
wchar_t* STR_pszCreateW_UNALIGNED(const wchar_t* psz);
wchar_t* STR_pszCreateW_UNALIGNED(unsigned int n, const wchar_t* psz);
// s in its standard form (upper case, no accents; STR_nMapStringEx with
// mapping 3), in a buffer as large as the mapping needs (ß becomes "SS");
// null for a null s. REQUIRES: the locale service is bound.
wchar_t* STR_pszCreateStandard(const wchar_t* psz);
// a + "." + b (a null text reads as "").
wchar_t* STR_pszConcatPoint(const wchar_t* pszA, const wchar_t* pszB);
// a + b + c (a null text reads as "").
wchar_t* STR_pszConcat(const wchar_t* pszA, const wchar_t* pszB, const wchar_t* pszC);

// Frees; null is ignored.
void STR_Delete(wchar_t* psz);
void STR_DeleteW(wchar_t* psz);
void STR_DeleteA(char* psz);
// Frees *pp and stores a copy of s there (null when s is null or the copy
// failed); true when a copy was made.
bool STR_bRedefine(wchar_t** pp, const wchar_t* psz);
// Resizes *pp to n characters (the caller counts the terminator). 1 and *pp
// replaced on success; 0 and *pp unchanged on failure (n <= 0 fails).
int STR_bResizeW(wchar_t** pp, int n);
int STR_bResizeA(char** pp, int n);

// ---------------------------------------------------------------------------
// Bounded copies. Each writes a terminator whenever the destination size is
// not 0, and never reads a source past its terminator. A null source reads as
// "".

// Copies min(count, length of src, size - 1) characters and terminates;
// answers the count copied. Size 0: nothing written, 0.
int STR_nCopyW(wchar_t* pszDst, unsigned int nSize, const wchar_t* pszSrc, int nCount = -1);
int STR_nCopy(wchar_t* pszDst, unsigned int nSize, const wchar_t* pszSrc, int nCount = -1);
int STR_nCopyA(char* pszDst, unsigned int nSize, const char* pszSrc, int nCount = -1);
// STR_nCopy at the end of the text in dst with the room left; nothing when
// dst already fills size. Answers the count appended.
// REQUIRES: dst holds size units; it is terminated within them or size is 0.
int STR_nCatW(wchar_t* pszDst, unsigned int nSize, const wchar_t* pszSrc, int nCount = -1);
int STR_nCat(wchar_t* pszDst, unsigned int nSize, const wchar_t* pszSrc, int nCount = -1);
int STR_nCatA(char* pszDst, unsigned int nSize, const char* pszSrc, int nCount = -1);
// src whole when it fits, else its first size - 1 characters; answers the
// length copied. Size 0: nothing written, 0.
int STR_nCut(wchar_t* pszDst, unsigned int nSize, const wchar_t* pszSrc);
int STR_nCut(char* pszDst, unsigned int nSize, const char* pszSrc);
// STR_nCut at the end of the text in dst with the room left.
int STR_nCatCut(wchar_t* pszDst, unsigned int nSize, const wchar_t* pszSrc);
// Pads s with c to size - 1 characters and terminates at size - 1 (a longer
// text is cut there). Null s or size 0: nothing.
// REQUIRES: s holds size units.
template <class T>
void STR_Complete(T* psz, unsigned int nSize, T c);
// src shortened to max characters with "..." at the given place. max < 3 or
// an unknown place: dst untouched. src not longer than max: copied whole.
// REQUIRES: dst holds max + 1 characters (or src's length + 1 when shorter).
void STR_Ellipsis(wchar_t* pszDst, const wchar_t* pszSrc, unsigned int nMax,
                  eELLIPSISPOSITION eWhere);

// ---------------------------------------------------------------------------
// Searching. Results point into s; null when not found.

// First occurrence of sub starting at 0..n - length(sub). Null or empty sub:
// s. REQUIRES: s holds n readable characters (callers pass at most its length).
const wchar_t* STR_pszStrnstr(const wchar_t* psz, const wchar_t* pszSub, int n);
// First occurrence ignoring case through the locale service (each character
// mapped with STR_nMapCharEx(1, ...), locale id 1036). Empty sub: s.
const wchar_t* STR_pszUpStrstr(const wchar_t* psz, const wchar_t* pszSub);
// First occurrence ignoring case by the C library (wcsncasecmp). Empty sub: s.
const wchar_t* STR_StrIStr(const wchar_t* psz, const wchar_t* pszSub);
// First occurrence ignoring case (strncasecmp) lying wholly within the first n
// characters of s (never past its terminator). Empty sub: s.
char* STR_strnistrA(char* psz, const char* pszSub, unsigned int n);
// The same with case.
char* STR_strnstrA(char* psz, const char* pszSub, unsigned int n);
// Last occurrence of sub starting at or before pos (pos, pos - 1, ..., 0).
// REQUIRES: pos is below s's length (or negative: nothing found).
const wchar_t* STRRSTRW(const wchar_t* psz, int nPos, const wchar_t* pszSub);
const wchar_t* STRRSTR(const wchar_t* psz, int nPos, const wchar_t* pszSub);
const char* STRRSTRA(const char* psz, int nPos, const char* pszSub);
// The last character of s that belongs to set; null also for an empty set.
const wchar_t* STRRPBRK(const wchar_t* psz, const wchar_t* pszSet);
// The last c at or before position pos; null when none or pos < 0.
// REQUIRES: pos is below s's length.
const char* strrchr(const char* psz, int nPos, char c);
const wchar_t* wcsrchr(const wchar_t* psz, int nPos, wchar_t c);

// ---------------------------------------------------------------------------
// Replacing

// A new string in which every occurrence of pattern (left to right, without
// overlap) is replaced; a copy of s when pattern does not occur; null when s
// or pattern is null or empty, or the allocation fails. A null replacement
// reads as "".
wchar_t* STR_RemplaceW(const wchar_t* psz, const wchar_t* pszPattern,
                       const wchar_t* pszReplacement);

// ---------------------------------------------------------------------------
// Trimming in place; null strings are left alone.

// White space as iswspace / isspace (bytes taken as unsigned) sees it.
void STR_SuppressLeftSpaces(wchar_t* psz);
void STR_SuppressLeftSpaces(char* psz);
void STR_SuppressRightSpaces(wchar_t* psz);
void STR_SuppressRightSpaces(char* psz);
void STR_SuppressSideSpaces(wchar_t* psz);
void STR_SuppressSideSpaces(char* psz);
// Every white-space character; the wide form answers the new terminator
// (null for a null text).
wchar_t* STR_SuppressAllSpacesW(wchar_t* psz);
void STR_SuppressAllSpacesA(char* psz);
// The leading run, the trailing run, or both of c.
template <class T>
void STR_SuppressLeftCar(T* psz, T c);
template <class T>
void STR_SuppressRightCar(T* psz, T c);
void STR_SuppressSideCar(wchar_t* psz, wchar_t c);

#endif  // KQ230_CORE_ZSTRING_H_
