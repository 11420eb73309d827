// The Win32 memory status from /proc/meminfo (sysinfo when the file cannot be
// read), cached for one second.
//
// Filled here: the first 40 bytes of MEMORYSTATUSEX (length, load in percent,
// total and available physical memory, total and available page file, in
// bytes) and the first 24 of MEMORYSTATUS (the same amounts cut to 32 bits).
// The virtual-memory fields are left as the caller set them.
//
// Threads: the one-second cache is process-wide and unguarded; callers
// serialise (the driver mutex).
#ifndef KQ230_PLATFORM_MEMORY_STATUS_H_
#define KQ230_PLATFORM_MEMORY_STATUS_H_

#include <cstdint>

typedef struct tagMEMORYSTATUSEX {
  uint32_t dwLength;
  uint32_t dwMemoryLoad;
  uint64_t ullTotalPhys;
  uint64_t ullAvailPhys;
  uint64_t ullTotalPageFile;
  uint64_t ullAvailPageFile;
  uint64_t ullTotalVirtual;
  uint64_t ullAvailVirtual;
  uint64_t ullAvailExtendedVirtual;
} MEMORYSTATUSEX;

typedef struct tagMEMORYSTATUS {
  uint32_t dwLength;
  uint32_t dwMemoryLoad;
  uint32_t dwTotalPhys;
  uint32_t dwAvailPhys;
  uint32_t dwTotalPageFile;
  uint32_t dwAvailPageFile;
  uint32_t dwTotalVirtual;
  uint32_t dwAvailVirtual;
} MEMORYSTATUS;

// The part of MEMORYSTATUSEX that is filled.
inline constexpr unsigned int kMemoryStatusExFilled = 40;
inline constexpr unsigned int kMemoryStatusFilled = 24;

// Fills the first 40 bytes (within one second of the last reading, from the
// cache). Answers 1: the status always has an answer (16 MiB everywhere when
// neither /proc/meminfo nor sysinfo gives one). The Windows function answers
// success this way; reading the structure's last word as the result would
// report a failure whenever the free page file is below 4 GiB.
// REQUIRES: pStatus is not null.
int GlobalMemoryStatusEx(tagMEMORYSTATUSEX* pStatus);
// GlobalMemoryStatusEx cut to 32 bits into the first 24 bytes.
void GlobalMemoryStatus(tagMEMORYSTATUS* pStatus);

// The reading itself, without the cache, from a meminfo file of the given
// path: lines "MemTotal:", "MemFree:", "SwapTotal:", "SwapFree:" (kB) set
// the amounts, "Buffers:" and "Cached:" add to the available memory, and the
// old lines "Mem:" and "Swap:" (bytes) add to them. False, *pStatus
// untouched, when the file cannot be opened. For the tests.
bool __bReadMeminfo(const char* pszPath, tagMEMORYSTATUSEX* pStatus);
// Forgets the cached reading.
void __ResetMemoryStatusCache();

#endif  // KQ230_PLATFORM_MEMORY_STATUS_H_
