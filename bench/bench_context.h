// What every benchmark prints above its figures besides Google Benchmark's own
// context: whether this i386 program ran natively or under emulation. Figures
// taken under qemu-i386 include the emulator's translation and are slower by
// an unknown factor, so they are never compared with figures taken natively;
// the line says which kind a report holds:
//
//   i386: native
//   i386: under emulation (qemu-i386)
//
// How it is told, at run time, by either of two signs:
// - The processor's brand text (CPUID) names "QEMU TCG", QEMU's software
//   translator: qemu-i386's default processor model says so ("QEMU TCG CPU
//   version 2.5+"); real processors, and virtual ones under a hypervisor,
//   never do.
// - uname() disagrees with the kernel. qemu's user mode answers uname()
//   itself with the guest's machine ("i686" for qemu-i386, on any host) but
//   passes /proc/sys/kernel/arch through from the host kernel ("x86_64",
//   "aarch64"). A 32-bit program run natively sees the kernel's own machine
//   in uname() ("x86_64" on an x86-64 kernel; "i686" with the kernel's
//   "i386" on a 32-bit one), except under the PER_LINUX32 personality
//   (`linux32`, `setarch i686`), where uname answers "i686" on an x86-64
//   kernel: that personality counts as native. Older kernels, which lack
//   /proc/sys/kernel/arch, are taken to be x86-64, the usual case.
// Only qemu started with another processor model (-cpu) under `linux32`
// escapes both signs and reads as native.
//
// Threads: call from main, before the benchmarks run.
#ifndef KQ230_BENCH_BENCH_CONTEXT_H_
#define KQ230_BENCH_BENCH_CONTEXT_H_

namespace kqbench {

// True when this process runs under a user-mode emulator (see above).
bool bRunsUnderEmulation();

// Adds the "i386" line to the context that Google Benchmark prints.
// REQUIRES: called before benchmark::RunSpecifiedBenchmarks.
void AddEmulationContext();

// The whole of a benchmark program's main: Google Benchmark's own main
// (BENCHMARK_MAIN) with the "i386" line added. Answers main's exit status.
int nRunBenchmarks(int argc, char** argv);

}  // namespace kqbench

#endif  // KQ230_BENCH_BENCH_CONTEXT_H_
