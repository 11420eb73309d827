// Files: reading a large text file line by line, and copying a large file.
//
//   LinesFileObject   CXFile::bReadLine over a disk stream (8-bit lines, a
//                     1 KB buffer): the framework's reader, which reads 80
//                     bytes at a time and repositions the stream after each
//                     line so that the file offset always stands just after
//                     the line given (the contract callers rely on).
//   LinesGetline      std::getline on an std::ifstream: buffered reading, for
//                     comparison.
//   CopyFramework     CDiskFile::bCopy: copy_file_range (else sendfile) does
//                     the copy in the kernel.
//   CopyCp            the system's cp, started through posix_spawn and
//                     waited for (its start-up is part of its figure).
//
// The file is 100 MB of lines of 20 to 99 characters (KQ_FILE_BENCH_MB
// chooses another size), made once in the temporary directory and removed at
// the end.
//
// Running it: qemu-i386 build-<dir>/bench/file_bench. Under the emulator the
// framework's figures include the emulation of every system call (cp runs
// natively); compare them with each other.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bench/bench_context.h"
#include "platform/disk_file.h"
#include "platform/file_object.h"

extern char** environ;

namespace {

long long BenchBytes() {
  const char* p = std::getenv("KQ_FILE_BENCH_MB");
  const long long nMb = p != nullptr ? std::atoll(p) : 100;
  return (nMb > 0 ? nMb : 100) * 1024 * 1024;
}

// The directory of the benchmark's files, made on first use.
const std::string& Directory() {
  static std::string dir = [] {
    char templ[] = "/tmp/kqfilebench.XXXXXX";
    const char* p = mkdtemp(templ);
    return std::string(p != nullptr ? p : "/tmp");
  }();
  return dir;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// The text file, written once; answers its name and its number of lines.
const std::string& TextFile(long long* pnLines) {
  static long long nLines = 0;
  static std::string name = [] {
    const std::string path = Directory() + "/lines.txt";
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    std::string line;
    unsigned int nSeed = 12345;
    for (long long nWritten = 0, nTotal = BenchBytes(); nWritten < nTotal; ++nLines) {
      nSeed = nSeed * 1103515245u + 12345u;
      line.assign(20 + (nSeed >> 16) % 80, static_cast<char>('a' + (nSeed >> 8) % 26));
      line += '\n';
      f.write(line.data(), static_cast<std::streamsize>(line.size()));
      nWritten += static_cast<long long>(line.size());
    }
    return path;
  }();
  if (pnLines != nullptr) *pnLines = nLines;
  return name;
}

void LinesFileObject(benchmark::State& state) {
  long long nExpected = 0;
  const std::wstring name = Wide(TextFile(&nExpected));
  char szLine[1024];
  for (auto _ : state) {
    CXFile clFile;
    if (!clFile.bOpen(name.c_str(), IXStream::eACCESS_READ, IXStream::eSHARE_SHARED,
                      IXStream::eCREATE_EXISTING, IXStream::eFLAG_NONE, nullptr)) {
      state.SkipWithError("open failed");
      return;
    }
    long long nLines = 0;
    int bTruncated = 0;
    while (clFile.bReadLine(szLine, sizeof(szLine), &bTruncated, 0)) ++nLines;
    if (nLines != nExpected) state.SkipWithError("wrong number of lines");
    benchmark::DoNotOptimize(nLines);
  }
  state.SetBytesProcessed(state.iterations() * BenchBytes());
}

void LinesGetline(benchmark::State& state) {
  long long nExpected = 0;
  const std::string& name = TextFile(&nExpected);
  std::string line;
  for (auto _ : state) {
    std::ifstream f(name, std::ios::binary);
    long long nLines = 0;
    while (std::getline(f, line)) ++nLines;
    if (nLines != nExpected) state.SkipWithError("wrong number of lines");
    benchmark::DoNotOptimize(nLines);
  }
  state.SetBytesProcessed(state.iterations() * BenchBytes());
}

void CopyFramework(benchmark::State& state) {
  const std::wstring source = Wide(TextFile(nullptr));
  const std::wstring target = Wide(Directory() + "/copy_framework.txt");
  for (auto _ : state) {
    if (!CDiskFile::bCopy(target.c_str(), source.c_str(), nullptr)) {
      state.SkipWithError("copy failed");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() * BenchBytes());
  std::remove((Directory() + "/copy_framework.txt").c_str());
}

void CopyCp(benchmark::State& state) {
  const std::string& source = TextFile(nullptr);
  const std::string target = Directory() + "/copy_cp.txt";
  for (auto _ : state) {
    char* argv[] = {const_cast<char*>("cp"), const_cast<char*>(source.c_str()),
                    const_cast<char*>(target.c_str()), nullptr};
    pid_t pid = 0;
    int nStatus = 0;
    if (posix_spawnp(&pid, "cp", nullptr, nullptr, argv, environ) != 0 ||
        waitpid(pid, &nStatus, 0) != pid || !WIFEXITED(nStatus) || WEXITSTATUS(nStatus) != 0) {
      state.SkipWithError("cp failed");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() * BenchBytes());
  std::remove(target.c_str());
}

BENCHMARK(LinesFileObject)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(LinesGetline)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(CopyFramework)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(CopyCp)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  const int nResult = kqbench::nRunBenchmarks(argc, argv);
  std::remove((Directory() + "/lines.txt").c_str());
  rmdir(Directory().c_str());
  return nResult;
}
