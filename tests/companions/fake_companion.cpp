#include "tests/companions/fake_companion.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/build_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zarn::test {

namespace fs = std::filesystem;

namespace {

// Waits up to ten seconds for the condition.
template <typename Condition>
bool WaitUntil(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

#ifdef _WIN32

// The fake program built next to the tests, as a Windows path.
std::string FakeProgramPath() {
  return BuildFolderFile("fake_companion.exe");
}

class WindowsFake final : public FakeCompanion {
 public:
  explicit WindowsFake(PROCESS_INFORMATION info) : info_(info) {}
  ~WindowsFake() override {
    if (!Ended()) {
      TerminateProcess(info_.hProcess, 1);
      WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  bool Ended() override { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; }

 private:
  PROCESS_INFORMATION info_;
};

#else

class PosixFake final : public FakeCompanion {
 public:
  explicit PosixFake(pid_t pid) : pid_(pid) {}
  ~PosixFake() override {
    if (!Ended()) {
      ::kill(-pid_, SIGKILL);  // the script and its sleep
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool Ended() override {
    if (ended_) return true;
    ended_ = ::waitpid(pid_, nullptr, WNOHANG) == pid_;
    return ended_;
  }

 private:
  pid_t pid_;
  bool ended_ = false;
};

#endif

}  // namespace

#ifdef _WIN32
CompanionTestLock::CompanionTestLock() {
  const HANDLE file =
      CreateFileA("Z:\\tmp\\zarn-companion-tests.lock", GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  OVERLAPPED at{};
  if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
    handle_ = reinterpret_cast<std::intptr_t>(file);
  } else {
    CloseHandle(file);
  }
}
CompanionTestLock::~CompanionTestLock() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));  // releases the lock
}
#else
CompanionTestLock::CompanionTestLock() {
  const int fd = ::open("/tmp/zarn-companion-tests.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  struct flock range {};
  range.l_type = F_WRLCK;
  range.l_whence = SEEK_SET;
  range.l_start = 0;
  range.l_len = 1;
  while (::fcntl(fd, F_SETLKW, &range) != 0 && errno == EINTR) {
  }
  handle_ = fd;
}
CompanionTestLock::~CompanionTestLock() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));  // closing releases the lock
}
#endif

void InstallFakeCompanion(const std::string& folder, const std::string& program,
                          int close_delay_ms) {
  const std::string path = folder + program;
#ifdef _WIN32
  ASSERT_TRUE(CopyFileA(FakeProgramPath().c_str(), path.c_str(), FALSE)) << path;
  std::ofstream(path + ".delay") << close_delay_ms;
#else
  // Asked to close (SIGTERM), the script lingers for the delay, then ends. It waits in short
  // foreground sleeps, which the shell finishes before it runs the trap: a sleep never outlives
  // the script. The ready file tells the test that the trap is set.
  std::ofstream script(path);
  script << "#!/bin/sh\n"
         << "trap 'sleep " << close_delay_ms / 1000.0 << "; exit 0' TERM\n"
         << ": > \"$0.ready\"\n"
         << "while :; do sleep 0.2; done\n";
  script.close();
  fs::permissions(path, fs::perms::owner_all);
#endif
}

std::unique_ptr<FakeCompanion> StartFakeCompanion(const std::string& folder,
                                                  const std::string& program) {
  const std::string path = folder + program;
#ifdef _WIN32
  std::string command = "\"" + path + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    ADD_FAILURE() << "cannot start " << path << ": " << GetLastError();
    return nullptr;
  }
  auto fake = std::make_unique<WindowsFake>(info);
  // Ready once its window exists.
  const char* window_class = program == "zarn4.exe" ? "TZARN4MF" : "TfrmZarnNet";
  EXPECT_TRUE(WaitUntil([&] { return FindWindowA(window_class, nullptr) != nullptr; }))
      << program << " shows no window";
  return fake;
#else
  fs::remove(path + ".ready");
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
  pid_t pid = 0;
  const int error = posix_spawn(&pid, path.c_str(), nullptr, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    ADD_FAILURE() << "cannot start " << path << ": " << error;
    return nullptr;
  }
  auto fake = std::make_unique<PosixFake>(pid);
  EXPECT_TRUE(WaitUntil([&] { return fs::exists(path + ".ready"); })) << program << " not ready";
  return fake;
#endif
}

}  // namespace zarn::test
