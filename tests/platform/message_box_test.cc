// The console message box with piped standard input, and the graphical one
// through a stand-in object library that the process has already loaded. Each
// case runs in a forked child with its own standard input and error.
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "host/obj/standin_object_library.h"
#include "tests/platform/child_process.h"

namespace {

using kqtest::RunInChild;

// Runs fn in a child whose standard input holds input and whose standard
// error goes to a file; answers the child's result and what it wrote.
struct ConsoleRun {
  int nResult;
  std::string stderrText;
};

ConsoleRun RunWithConsole(const std::string& input, const std::function<int()>& fn) {
  char szErr[] = "/tmp/kq-msgbox-XXXXXX";
  const int fdErr = mkstemp(szErr);
  ConsoleRun run{-1, ""};
  if (fdErr < 0) return run;
  run.nResult = RunInChild([&] {
    int fds[2];
    if (pipe(fds) != 0) return 200;
    // A writer of its own: input larger than the pipe's buffer must not block
    // the reader before it reads.
    const pid_t writer = fork();
    if (writer < 0) return 201;
    if (writer == 0) {
      close(fds[0]);
      size_t nDone = 0;
      while (nDone < input.size()) {
        const ssize_t n = write(fds[1], input.data() + nDone, input.size() - nDone);
        if (n <= 0) break;
        nDone += static_cast<size_t>(n);
      }
      _exit(0);
    }
    close(fds[1]);
    dup2(fds[0], 0);
    dup2(fdErr, 2);
    const int n = fn();
    close(0);  // a writer still writing gets EPIPE and ends
    waitpid(writer, nullptr, 0);
    return n;
  });
  close(fdErr);
  std::ifstream in(szErr, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  run.stderrText = ss.str();
  unlink(szErr);
  return run;
}

std::string ProgramDirectory() {
  char sz[PATH_MAX + 1];
  const ssize_t n = readlink("/proc/self/exe", sz, PATH_MAX);
  if (n <= 0) return "";
  std::string path(sz, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

TEST(ConsoleMessageBox, ShowsCaptionTextAndPromptThenReadsTheAnswer) {
  const ConsoleRun run = RunWithConsole("yes\n", [] {
    return MessageBox(nullptr, L"Le texte \u00e9", L"Titre", MB_YESNO);
  });
  EXPECT_EQ(run.nResult, IDYES);
  EXPECT_EQ(run.stderrText,
            "Titre\nLe texte \xC3\xA9\n"
            "Entrez votre choix (y = YES, n = NO) pour continuer (exemple : y + ENTREE) : \n");
}

TEST(ConsoleMessageBox, FirstCharacterOfTheWordGivesTheButton) {
  struct Case { const char* input; int expected; };
  const Case cases[] = {
      {"a\n", IDABORT}, {"cancel\n", IDCANCEL}, {"  \n\t i\n", IDIGNORE}, {"no\n", IDNO},
      {"r\n", IDRETRY}, {"y", IDYES},           {"ok\n", IDOK},           {"", IDOK},
      {"Y\n", IDOK},    {"\xC3\xA9\n", IDOK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    const ConsoleRun run = RunWithConsole(c.input, [] {
      return _MessageBox_NO_GUI(L"text", L"caption", MB_ABORTRETRYIGNORE, 1);
    });
    EXPECT_EQ(run.nResult, c.expected);
  }
}

TEST(ConsoleMessageBox, AWordLongerThanAnyBufferIsReadSafely) {
  // The answer's reading buffer once held 50 characters and an unbounded
  // read; the word is now read byte by byte whatever its length.
  const std::string word = "n" + std::string(100000, 'x') + "\ny\n";
  const ConsoleRun run = RunWithConsole(word, [] {
    const int nFirst = _MessageBox_NO_GUI(L"t", L"c", MB_YESNO, 1);
    const int nSecond = _MessageBox_NO_GUI(L"t", L"c", MB_YESNO, 1);
    return nFirst == IDNO && nSecond == IDYES ? 0 : 1;
  });
  EXPECT_EQ(run.nResult, 0);
}

TEST(ConsoleMessageBox, PromptsFollowTheButtonSet) {
  EXPECT_STREQ(_pszMessageBoxPrompt(MB_OK), "Appuyez sur ENTREE pour continuer : \n");
  EXPECT_STREQ(_pszMessageBoxPrompt(MB_OKCANCEL),
               "Entrez votre choix (o = OK, c = CANCEL) pour continuer (exemple : o + ENTREE) : \n");
  EXPECT_STREQ(_pszMessageBoxPrompt(MB_YESNOCANCEL),
               "Entrez votre choix (y = YES, n = NO, c = CANCEL) pour continuer (exemple : y + ENTREE) : \n");
  EXPECT_STREQ(_pszMessageBoxPrompt(MB_RETRYCANCEL),
               "Entrez votre choix (r = RETRY, c = CANCEL) pour continuer (exemple : r + ENTREE) : \n");
  EXPECT_STREQ(_pszMessageBoxPrompt(9), _pszMessageBoxPrompt(MB_ABORTRETRYIGNORE));
  EXPECT_STREQ(_pszMessageBoxPrompt(0x40 | MB_YESNO), _pszMessageBoxPrompt(MB_YESNO));
}

TEST(ConsoleMessageBox, RetryWritesAHintLine) {
  const ConsoleRun run = RunWithConsole("r\n", [] { return _MessageBox_NO_GUI(L"t", L"c", MB_RETRYCANCEL, 1); });
  EXPECT_EQ(run.nResult, IDRETRY);
  const std::string prompt = _pszMessageBoxPrompt(MB_RETRYCANCEL);
  const size_t nAt = run.stderrText.find(prompt);
  ASSERT_NE(nAt, std::string::npos);
  const std::string hint = run.stderrText.substr(nAt + prompt.size());
  EXPECT_FALSE(hint.empty());
  EXPECT_EQ(hint.find('\n'), hint.size() - 1);  // one line
}

TEST(ConsoleMessageBox, EightBitTextIsWrittenUnchanged) {
  const ConsoleRun run = RunWithConsole("\n", [] {
    return _MessageBox_NO_GUI(reinterpret_cast<const wchar_t*>("raw \xE9 bytes"), L"c", MB_OK, 0);
  });
  EXPECT_EQ(run.nResult, IDOK);
  EXPECT_EQ(run.stderrText.substr(0, 14), "c\nraw \xE9 bytes\n");
}

TEST(ConsoleMessageBox, Utf16TextIsConvertedBeforeItIsWritten) {
  const ConsoleRun run = RunWithConsole("y\n", [] {
    // "é€" and U+1F600 as a surrogate pair.
    const unsigned short text[] = {0x00E9, 0x20AC, 0xD83D, 0xDE00, 0};
    return MessageBoxW(nullptr, text, L"caption", MB_YESNO);
  });
  EXPECT_EQ(run.nResult, IDYES);
  EXPECT_EQ(run.stderrText.substr(0, 18), "caption\n\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\n");
}

TEST(GraphicalMessageBox, NotLoadedLibraryIsNeverLoaded) {
  const std::string path = ProgramDirectory() + kObjectLibraryFileName;
  const ConsoleRun run = RunWithConsole("n\n", [&] {
    const int n = MessageBox(nullptr, L"t", L"c", MB_YESNO);
    if (dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD) != nullptr) return 100;  // it was loaded
    return n;
  });
  EXPECT_EQ(run.nResult, IDNO);
}

// The library beside the program (a copy made by the build) or, through the
// working directory, the stand-in itself.
class LoadedObjectLibrary : public testing::TestWithParam<bool> {};

INSTANTIATE_TEST_SUITE_P(Places, LoadedObjectLibrary, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "BesideTheProgram" : "InTheWorkingDirectory");
                         });

TEST_P(LoadedObjectLibrary, AnswersThroughTheLoadedLibrary) {
  const bool bBeside = GetParam();
  const std::string path = bBeside ? ProgramDirectory() + kObjectLibraryFileName : KQ_STANDIN_OBJ_PATH;
  const ConsoleRun run = RunWithConsole("y\n", [&] {
    void* h = dlopen(path.c_str(), RTLD_NOW);
    if (h == nullptr) return 100;
    if (!bBeside) {
      const std::string dir = path.substr(0, path.rfind('/'));
      if (chdir(dir.c_str()) != 0) return 101;
    }
    auto pfnSet = reinterpret_cast<PFNSTANDINOBJSETANSWER>(dlsym(h, "StandInObj_SetAnswer"));
    auto pfnCalls = reinterpret_cast<PFNSTANDINOBJNCALLS>(dlsym(h, "StandInObj_nCalls"));
    auto pfnLast = reinterpret_cast<PFNSTANDINOBJGETLASTCALL>(dlsym(h, "StandInObj_bGetLastCall"));
    if (!pfnSet || !pfnCalls || !pfnLast) return 102;
    pfnSet(IDRETRY);
    HWND__* hWnd = reinterpret_cast<HWND__*>(0x1234);
    if (MessageBox(hWnd, L"Texte", L"Titre", MB_RETRYCANCEL) != IDRETRY) return 103;
    HWND__* hSeen = nullptr;
    const wchar_t *pszText = nullptr, *pszCaption = nullptr;
    unsigned int nType = 0;
    if (pfnCalls() != 1 || !pfnLast(&hSeen, &pszText, &pszCaption, &nType)) return 104;
    if (hSeen != hWnd || std::wcscmp(pszText, L"Texte") != 0 || std::wcscmp(pszCaption, L"Titre") != 0 ||
        nType != MB_RETRYCANCEL) {
      return 105;
    }
    // A library that shows no box (-1) leaves the question to the console.
    pfnSet(-1);
    if (MessageBox(hWnd, L"Texte", L"Titre", MB_YESNO) != IDYES) return 106;
    dlclose(h);
    return 0;
  });
  EXPECT_EQ(run.nResult, 0);
  // Only the fallback reached the console.
  EXPECT_EQ(run.stderrText.find("Titre\nTexte\n"), 0u);
  EXPECT_EQ(run.stderrText.find("RETRY"), std::string::npos);
}

TEST(MessageBoxDebugOutput, WritesTheTextWithoutLineEnd) {
  const ConsoleRun run = RunWithConsole("", [] {
    OutputDebugString(L"debug text");
    return 0;
  });
  EXPECT_EQ(run.stderrText, "debug text");
}

}  // namespace
