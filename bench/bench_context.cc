#include "bench/bench_context.h"

#include <benchmark/benchmark.h>
#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif
#include <sys/personality.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace kqbench {
namespace {

// "i386", "i486", "i586", "i686": the names of one 32-bit x86 kernel.
bool bIs32BitX86(const std::string& strMachine) {
  return strMachine.size() == 4 && strMachine[0] == 'i' && strMachine[1] >= '3' &&
         strMachine[1] <= '6' && strMachine.compare(2, 2, "86") == 0;
}

bool bSameArchitecture(const std::string& strA, const std::string& strB) {
  return strA == strB || (bIs32BitX86(strA) && bIs32BitX86(strB));
}

// The architecture the kernel was built for, which qemu's user mode does not
// rewrite; "x86_64" when the kernel does not say.
std::string strKernelArchitecture() {
  std::string str = "x86_64";
  if (FILE* pFile = std::fopen("/proc/sys/kernel/arch", "r")) {
    char sz[64] = {};
    if (std::fgets(sz, sizeof sz, pFile) != nullptr) {
      sz[std::strcspn(sz, "\n")] = '\0';
      if (sz[0] != '\0') str = sz;
    }
    std::fclose(pFile);
  }
  return str;
}

// True when the processor calls itself QEMU's TCG, its software translator:
// a real processor, and a virtual one under a hypervisor, never does.
bool bProcessorIsQemuTcg() {
#if defined(__i386__) || defined(__x86_64__)
  unsigned int nWords[12] = {};
  if (__get_cpuid_max(0x80000000u, nullptr) < 0x80000004u) return false;
  for (unsigned int i = 0; i < 3; ++i)
    __get_cpuid(0x80000002u + i, &nWords[4 * i], &nWords[4 * i + 1], &nWords[4 * i + 2],
                &nWords[4 * i + 3]);
  char szBrand[sizeof nWords + 1] = {};
  std::memcpy(szBrand, nWords, sizeof nWords);
  return std::strstr(szBrand, "QEMU TCG") != nullptr;
#else
  return false;
#endif
}

}  // namespace

bool bRunsUnderEmulation() {
  if (bProcessorIsQemuTcg()) return true;
  utsname name{};
  if (uname(&name) != 0) return false;  // no evidence either way: say native
  // personality(0xffffffff) reads the persona without changing it.
  const int nPersona = personality(0xffffffff);
  if (nPersona != -1 && (nPersona & PER_MASK) == PER_LINUX32) return false;
  return !bSameArchitecture(name.machine, strKernelArchitecture());
}

void AddEmulationContext() {
  benchmark::AddCustomContext("i386",
                              bRunsUnderEmulation() ? "under emulation (qemu-i386)" : "native");
}

int nRunBenchmarks(int argc, char** argv) {
  char szDefaultName[] = "benchmark";
  char* pszDefaultArgs = szDefaultName;
  if (argv == nullptr) {
    argc = 1;
    argv = &pszDefaultArgs;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  AddEmulationContext();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace kqbench
