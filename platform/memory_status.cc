#include "platform/memory_status.h"

#include <sys/sysinfo.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// The last reading and the second it was taken; second -1: none.
unsigned char g_abyCache[kMemoryStatusExFilled];
time_t g_tCache = static_cast<time_t>(-1);

void SetLoad(tagMEMORYSTATUSEX* p) {
  p->dwMemoryLoad = 0;
  const uint64_t nTotal = p->ullTotalPhys + p->ullTotalPageFile;
  const uint64_t nAvail = p->ullAvailPhys + p->ullAvailPageFile;
  // Below 100 bytes in all the percentage has no divisor; never divide by 0.
  if (p->ullTotalPhys == 0 || nTotal / 100 == 0 || nAvail > nTotal) return;
  p->dwMemoryLoad = static_cast<uint32_t>((nTotal - nAvail) / (nTotal / 100));
}

}  // namespace

bool __bReadMeminfo(const char* pszPath, tagMEMORYSTATUSEX* pStatus) {
  FILE* pFile = std::fopen(pszPath, "r");
  if (pFile == nullptr) return false;
  tagMEMORYSTATUSEX st;
  std::memcpy(&st, pStatus, sizeof st);
  st.dwLength = kMemoryStatusExFilled;
  st.ullTotalPhys = st.ullAvailPhys = st.ullTotalPageFile = st.ullAvailPageFile = 0;
  char szLine[257];
  while (std::fgets(szLine, sizeof szLine, pFile) != nullptr) {
    unsigned long long a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
    if (std::sscanf(szLine, "Mem: %llu %llu %llu %llu %llu %llu", &a, &b, &c, &d, &e, &f) == 6) {
      st.ullTotalPhys += a;
      st.ullAvailPhys += c + e + f;
    } else if (std::sscanf(szLine, "Swap: %llu %llu %llu", &a, &b, &c) == 3) {
      st.ullTotalPageFile += a;
      st.ullAvailPageFile += c;
    } else if (std::sscanf(szLine, "MemTotal: %llu", &a) == 1) {
      st.ullTotalPhys = a * 1024;
    } else if (std::sscanf(szLine, "MemFree: %llu", &a) == 1) {
      st.ullAvailPhys = a * 1024;
    } else if (std::sscanf(szLine, "SwapTotal: %llu", &a) == 1) {
      st.ullTotalPageFile = a * 1024;
    } else if (std::sscanf(szLine, "SwapFree: %llu", &a) == 1) {
      st.ullAvailPageFile = a * 1024;
    } else if (std::sscanf(szLine, "Buffers: %llu", &a) == 1 ||
               std::sscanf(szLine, "Cached: %llu", &a) == 1) {
      st.ullAvailPhys += a * 1024;
    }
    // A line longer than the buffer continues in the next read; its rest
    // starts with none of the names above.
  }
  std::fclose(pFile);
  SetLoad(&st);
  std::memcpy(pStatus, &st, kMemoryStatusExFilled);
  return true;
}

void __ResetMemoryStatusCache() { g_tCache = static_cast<time_t>(-1); }

int GlobalMemoryStatusEx(tagMEMORYSTATUSEX* pStatus) {
  const time_t tNow = time(nullptr);
  if (g_tCache != static_cast<time_t>(-1) && tNow == g_tCache) {
    std::memcpy(pStatus, g_abyCache, kMemoryStatusExFilled);
    return 1;
  }
  if (!__bReadMeminfo("/proc/meminfo", pStatus)) {
    pStatus->dwLength = kMemoryStatusExFilled;
    pStatus->dwMemoryLoad = 0;
    struct sysinfo si;
    if (sysinfo(&si) == 0) {
      pStatus->ullTotalPhys = uint64_t(si.totalram) * si.mem_unit;
      pStatus->ullAvailPhys = uint64_t(si.freeram) * si.mem_unit;
      pStatus->ullTotalPageFile = uint64_t(si.totalswap) * si.mem_unit;
      pStatus->ullAvailPageFile = uint64_t(si.freeswap) * si.mem_unit;
    } else {
      pStatus->ullTotalPhys = pStatus->ullAvailPhys = 0x1000000;
      pStatus->ullTotalPageFile = pStatus->ullAvailPageFile = 0x1000000;
    }
  }
  std::memcpy(g_abyCache, pStatus, kMemoryStatusExFilled);
  g_tCache = tNow;
  return 1;
}

void GlobalMemoryStatus(tagMEMORYSTATUS* pStatus) {
  tagMEMORYSTATUSEX st;
  std::memset(&st, 0, sizeof st);
  GlobalMemoryStatusEx(&st);
  pStatus->dwLength = kMemoryStatusFilled;
  pStatus->dwMemoryLoad = st.dwMemoryLoad;
  pStatus->dwTotalPhys = static_cast<uint32_t>(st.ullTotalPhys);
  pStatus->dwAvailPhys = static_cast<uint32_t>(st.ullAvailPhys);
  pStatus->dwTotalPageFile = static_cast<uint32_t>(st.ullTotalPageFile);
  pStatus->dwAvailPageFile = static_cast<uint32_t>(st.ullAvailPageFile);
}
