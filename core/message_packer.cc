// message_packer: builds the driver's message block at build time.
//
//   message_packer <messages.txt> <output.cc>
//
// Reads the message source, packs every text and writes the C++ source that
// defines the block. The output is written only when it changes, so that an
// edit of a comment in the source does not rebuild the library.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/message_packing.h"

namespace {

bool bReadFile(const char* pszPath, std::string* pstrContent) {
  std::ifstream in(pszPath, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  *pstrContent = ss.str();
  return true;
}

}  // namespace

// Leak detection does not work under the i386 emulator that runs the packer on
// some build machines, and a one-shot program has nothing to gain from it.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "detect_leaks=0";
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: message_packer <messages.txt> <output.cc>\n");
    return 2;
  }
  std::string strSource;
  if (!bReadFile(argv[1], &strSource)) {
    std::fprintf(stderr, "message_packer: cannot read %s\n", argv[1]);
    return 1;
  }
  std::vector<kqmessages::SourceMessage> vMessages;
  std::string strError;
  std::string strBlock;
  if (!kqmessages::bParseSource(strSource, &vMessages, &strError) ||
      !kqmessages::bBuildBlock(vMessages, &strBlock, &strError)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], strError.c_str());
    return 1;
  }
  const std::string strOutput = kqmessages::strBlockSource(strBlock, "core/messages.txt");
  std::string strOld;
  if (bReadFile(argv[2], &strOld) && strOld == strOutput) return 0;
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << strOutput;
  if (!out.flush()) {
    std::fprintf(stderr, "message_packer: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
