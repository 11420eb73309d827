// Installing the driver's kind of archive: 200 files, 50 MB in all (half of
// each file random bytes, half text that deflates well), made once by
// Info-ZIP zip, installed into a fresh copy of the same kind of directory on
// every iteration.
//
//   InstallExtractor  CDataExtractor::bInstall, the setup program's whole
//                     install: plan, staging beside each destination with
//                     size and CRC checks, owner and mode on the
//                     descriptor, one syncfs of the target's file system,
//                     then the renames.
//   ReplaceExtractor  the same over a previous install of the same files
//                     (every file exchanged with its old version, the old
//                     ones removed after).
//   UnzipOverwrite    Info-ZIP unzip -o -q of the same archive (started
//                     through posix_spawn and waited for: its start-up is
//                     part of its figure), which writes in place.
//   ReadOnly          the reader alone: every entry inflated and checked,
//                     the bytes thrown away.
//
// Running it: qemu-i386 build-<dir>/bench/install_bench. Under the emulator
// the extractor's figures include the emulation of its code and system calls
// while unzip runs natively: the comparison then favours unzip.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "bench/bench_context.h"
#include "installer/data_extractor.h"
#include "installer/zip_archive.h"

extern char** environ;

namespace {

constexpr int kFiles = 200;
constexpr size_t kFileBytes = 50u * 1000 * 1000 / kFiles;

const std::string& WorkDirectory() {
  static const std::string str = "/tmp/kq-install-bench-" + std::to_string(getpid());
  return str;
}

int Spawn(const char* pszProgram, char* const* argv) {
  pid_t pid = 0;
  if (posix_spawnp(&pid, pszProgram, nullptr, nullptr, argv, environ) != 0) return -1;
  int nStatus = 0;
  if (waitpid(pid, &nStatus, 0) != pid) return -1;
  return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

int Shell(const std::string& strCommand) {
  char szSh[] = "/bin/sh";
  char szC[] = "-c";
  std::string str = strCommand;
  char* argv[] = {szSh, szC, str.data(), nullptr};
  return Spawn("/bin/sh", argv);
}

// The archive, made on first use.
const std::string& Archive() {
  static const std::string str = [] {
    const std::string strSource = WorkDirectory() + "/source";
    Shell("rm -rf " + WorkDirectory() + " && mkdir -p " + strSource + "/lib/plugin " + strSource +
          "/share");
    std::mt19937 rng(42);
    for (int i = 0; i < kFiles; ++i) {
      std::string strData(kFileBytes, '\0');
      for (size_t k = 0; k < kFileBytes / 2; ++k) strData[k] = static_cast<char>(rng());
      for (size_t k = kFileBytes / 2; k < kFileBytes; ++k)
        strData[k] = "SELECT a, b FROM t WHERE c = 1;\n"[k % 32];
      const char* pszFolder = i % 3 == 0 ? "lib/plugin/" : (i % 3 == 1 ? "share/" : "");
      std::ofstream(strSource + "/" + pszFolder + "file" + std::to_string(i) + ".so", std::ios::binary)
          << strData;
    }
    const std::string strArchive = WorkDirectory() + "/mariadb_install.zip";
    if (Shell("cd " + strSource + " && zip -q -r -X " + strArchive + " .") != 0) {
      std::fprintf(stderr, "install_bench: zip failed\n");
      std::exit(1);
    }
    return strArchive;
  }();
  return str;
}

std::string FreshTarget() {
  const std::string strTarget = WorkDirectory() + "/target";
  Shell("rm -rf " + strTarget + " && mkdir -p " + strTarget + " && echo vm > " + strTarget +
        "/kq230vm.so");
  return strTarget;
}

void Install(benchmark::State& state, bool bReplace) {
  const std::string& strArchive = Archive();
  std::wstring strTargetW;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string strTarget = FreshTarget();
    strTargetW.assign(strTarget.begin(), strTarget.end());
    strTargetW += L'/';
    CDataExtractor clFirst;
    if (bReplace && !(clFirst.bInitPath(strArchive.c_str()) &&
                      clFirst.bInstall(strTargetW.c_str(), 0755, getuid(), getgid(), 0644, getuid(), getgid()))) {
      state.SkipWithError("the first install failed");
      break;
    }
    state.ResumeTiming();
    CDataExtractor clExtractor;
    if (!clExtractor.bInitPath(strArchive.c_str()) ||
        !clExtractor.bInstall(strTargetW.c_str(), 0755, getuid(), getgid(), 0644, getuid(), getgid())) {
      state.SkipWithError("the install failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFiles * kFileBytes);
}

void InstallExtractor(benchmark::State& state) { Install(state, false); }
void ReplaceExtractor(benchmark::State& state) { Install(state, true); }

void UnzipOverwrite(benchmark::State& state) {
  std::string strArchive = Archive();
  for (auto _ : state) {
    state.PauseTiming();
    std::string strTarget = FreshTarget();
    state.ResumeTiming();
    char szUnzip[] = "unzip";
    char szO[] = "-o";
    char szQ[] = "-q";
    char szD[] = "-d";
    char* argv[] = {szUnzip, szO, szQ, strArchive.data(), szD, strTarget.data(), nullptr};
    if (Spawn("unzip", argv) != 0) {
      state.SkipWithError("unzip failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFiles * kFileBytes);
}

class NullSink : public IZipSink {
 public:
  bool bWrite(const void*, uint32_t) override { return true; }
};

void ReadOnly(benchmark::State& state) {
  const std::string& strArchive = Archive();
  for (auto _ : state) {
    CKQWinZip clZip;
    if (clZip.eOuvreArchiveA(strArchive.c_str()) != KQZIP_OK) {
      state.SkipWithError("open failed");
      break;
    }
    NullSink clSink;
    for (size_t i = 0; i < clZip.vGetEntries().size(); ++i) clZip.eExtrait(i, &clSink);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFiles * kFileBytes);
}

BENCHMARK(InstallExtractor)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ReplaceExtractor)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(UnzipOverwrite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ReadOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  const int nStatus = kqbench::nRunBenchmarks(argc, argv);
  Shell("rm -rf " + WorkDirectory());
  return nStatus;
}
