// Support for the tests of files, paths and directories: a temporary
// directory per test, byte-exact file contents, the check that a failure was
// recorded as file failures are (level 3, module 76, system error, numbered
// message with the name, the name as information item 1), a child process
// that holds a lock, and running a check without root's privileges.
//
// Ownership: TempDir removes its tree (without following links) when it
// dies; CLockHolder ends its child.
// Threads: the tests are single-threaded; the children are forked processes.
#ifndef KQ230_TESTS_PLATFORM_FILE_TEST_SUPPORT_H_
#define KQ230_TESTS_PLATFORM_FILE_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "core/error_object.h"
#include "core/numbered_messages.h"
#include "core/unicode.h"
#include "core/wide_string.h"
#include "tests/support/bound_framework.h"

namespace kqtest {

// UTF-8 to wide and back, for names built in tests.
inline std::wstring W(const std::string& s) {
  std::wstring out(s.size() + 1, L'\0');
  const unsigned int n = UTF8ToWide(out.data(), static_cast<unsigned int>(out.size()), s.c_str());
  out.resize(n);
  return out;
}

inline std::string U(const std::wstring& s) {
  std::string out(s.size() * 4 + 1, '\0');
  const int n = WideToUTF8(out.data(), static_cast<unsigned int>(out.size()), s.c_str());
  out.resize(static_cast<size_t>(n));
  return out;
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline bool bExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// A directory of its own under /tmp (or under base), open to every user so
// that an unprivileged child can work in it.
class TempDir {
 public:
  explicit TempDir(const char* pszBase = "/tmp") {
    std::string templ = std::string(pszBase) + "/kqfiles.XXXXXX";
    char* p = mkdtemp(templ.data());
    if (p != nullptr) {
      m_path = p;
      chmod(p, 0777);
    }
  }
  ~TempDir() {
    if (m_path.empty()) return;
    std::error_code ec;
    // Directories a test made unreadable are opened up first.
    for (auto it = std::filesystem::recursive_directory_iterator(
             m_path, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_directory(ec) && !it->is_symlink(ec)) chmod(it->path().c_str(), 0777);
    }
    std::filesystem::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool bOk() const { return !m_path.empty(); }
  const std::string& Path() const { return m_path; }
  std::string Path(const std::string& name) const { return m_path + "/" + name; }
  std::wstring WPath(const std::string& name) const { return W(Path(name)); }

 private:
  std::string m_path;
};

// A directory whose name is the same on every run of a test in this process
// (made empty on each call), for values given to setenv: the C library keeps
// every "name=value" text it is given for good, and reuses an equal one, so
// only a value that repeats keeps the repeated runs free of new allocations.
inline std::string ProcessDir(const std::string& tag) {
  const std::string path = "/tmp/kqfiles-" + tag + "-" + std::to_string(getpid());
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  std::filesystem::create_directory(path, ec);
  chmod(path.c_str(), 0777);
  return path;
}

inline void RemoveProcessDir(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

// The user message that message n gives with the inserts.
template <typename... Args>
std::wstring Message(unsigned int n, Args... args) {
  CTString clText;
  if (!DLLRES_bFormatMessage(&gstMyModuleInfo76, n, &clText, args...)) return L"<no message>";
  return clText.pszGet();
}

inline std::wstring InfoText(const CXError* pError, CXError::eERRORINFOTYPE eType) {
  const void* p = nullptr;
  if (pError == nullptr || !pError->bGetInfo(eType, &p) || p == nullptr) return L"<none>";
  return static_cast<const wchar_t*>(p);
}

// The failure as file operations record it. The message's inserts follow.
template <typename... Args>
void ExpectFileFailure(const CXError* pError, unsigned int nSystemError, const std::wstring& name,
                       unsigned int nMessage, Args... inserts) {
  ASSERT_NE(pError, nullptr);
  EXPECT_EQ(pError->eGetErrorLevel(), CXError::EL_ERROR);
  EXPECT_EQ(pError->nGetModuleId(), 76u);
  EXPECT_EQ(pError->dwGetSystemErrorCode(), nSystemError);
  EXPECT_EQ(std::wstring(pError->pszGetUserMessage()), Message(nMessage, inserts...));
  EXPECT_EQ(InfoText(pError, CXError::EIT_SRCFILE), name);
}

// Runs fn in a child process that has given up root's privileges (user and
// group "nobody"), where permission bits count; answers fn's result, or -1
// when the child failed otherwise. Without root the child keeps the user.
inline int RunUnprivileged(const std::function<int()>& fn) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(250);
    _exit(fn() & 0xFF);
  }
  if (pid < 0) return -1;
  int nStatus = 0;
  if (waitpid(pid, &nStatus, 0) != pid || !WIFEXITED(nStatus)) return -1;
  return WEXITSTATUS(nStatus);
}

// A child process that holds a POSIX record lock on a file, until told to
// go or for a given time.
class CLockHolder {
 public:
  // nType: F_RDLCK or F_WRLCK over the whole file. With nHoldMs the child
  // lets the lock go by itself after that many milliseconds. Waits until the
  // child holds the lock; bHolding() tells whether it does.
  CLockHolder(const std::string& path, short nType, unsigned int nHoldMs = 0) {
    // A child that went by itself closes its end of the pipe: a write must
    // then fail, not kill the test program.
    signal(SIGPIPE, SIG_IGN);
    int aReady[2];
    int aGo[2];
    if (pipe(aReady) != 0) return;
    if (pipe(aGo) != 0) {
      close(aReady[0]);
      close(aReady[1]);
      return;
    }
    m_pid = fork();
    if (m_pid == 0) {
      close(aReady[0]);
      close(aGo[1]);
      const int fd = open(path.c_str(), nType == F_RDLCK ? O_RDONLY : O_RDWR);
      struct flock stLock = {};
      stLock.l_type = nType;
      stLock.l_whence = SEEK_SET;
      const char cOk = fd >= 0 && fcntl(fd, F_SETLK, &stLock) == 0 ? 'y' : 'n';
      if (write(aReady[1], &cOk, 1) != 1) _exit(2);
      if (nHoldMs > 0) {
        usleep(nHoldMs * 1000);
        _exit(0);
      }
      char c;
      while (read(aGo[0], &c, 1) < 0 && errno == EINTR) {
      }
      _exit(0);
    }
    close(aReady[1]);
    close(aGo[0]);
    m_fdGo = aGo[1];
    char c = 'n';
    if (m_pid > 0 && read(aReady[0], &c, 1) == 1) m_bHolding = c == 'y';
    close(aReady[0]);
  }
  ~CLockHolder() { Release(); }
  CLockHolder(const CLockHolder&) = delete;
  CLockHolder& operator=(const CLockHolder&) = delete;

  bool bHolding() const { return m_bHolding; }
  // Lets the child go (when it still waits) and waits for its end.
  void Release() {
    if (m_fdGo >= 0) {
      const char c = 'g';
      if (write(m_fdGo, &c, 1) != 1) {
        // the child has already gone by itself
      }
      close(m_fdGo);
      m_fdGo = -1;
    }
    if (m_pid > 0) {
      int nStatus;
      waitpid(m_pid, &nStatus, 0);
      m_pid = -1;
    }
  }

 private:
  pid_t m_pid = -1;
  int m_fdGo = -1;
  bool m_bHolding = false;
};

// The fixture of the file tests: the framework bound (counted strings need
// the server's allocator) and a temporary directory.
class FilesTest : public BoundFrameworkTest {
 protected:
  void SetUp() override {
    BoundFrameworkTest::SetUp();
    ASSERT_TRUE(m_dir.bOk()) << "no temporary directory";
  }
  std::string P(const std::string& name) const { return m_dir.Path(name); }
  std::wstring WP(const std::string& name) const { return m_dir.WPath(name); }

  TempDir m_dir;
};

}  // namespace kqtest

#endif  // KQ230_TESTS_PLATFORM_FILE_TEST_SUPPORT_H_
