// The framework's allocation entry points.
//
// Every heap block of the framework and of the driver that is not a counted
// string buffer goes through these three functions. They behave exactly as the
// system's malloc, free and realloc, and their blocks are interchangeable with
// the system's: other code frees with free() what FormatMessageW allocated, and
// releases through XMALLOC_Del_ what these entry points gave.
//
// Threads: as thread-safe as the C library's heap.
#ifndef KQ230_CORE_XMALLOC_H_
#define KQ230_CORE_XMALLOC_H_

// A new uninitialised block, or null when memory is exhausted. No message, no
// error object, no retry.
void* XMALLOC_pNew_(unsigned int nSize);

// Frees a block; null is accepted and does nothing.
void XMALLOC_Del_(void* pBlock);

// Null block: as XMALLOC_pNew_. Otherwise realloc. On failure the answer is
// null and the old block is left untouched and still owned by the caller.
void* XMALLOC_pResize_(void* pBlock, unsigned int nSize);

// Allocation statistics are not kept: these hooks answer 0 and dump nothing.
int Alloc_bDump(const wchar_t* pszText, int nOption);
int Alloc_bMarque();
int Alloc_nTailleTotale();

#endif  // KQ230_CORE_XMALLOC_H_
