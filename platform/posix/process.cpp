// Starting the suite's helper programs on POSIX: posix_spawn of folder + "/" + file, with the
// parameter text split as Windows splits a command line (at blanks; double quotes group and are
// removed), the folder as working directory, standard input from /dev/null, and the signal
// dispositions and mask reset to their defaults. The end of the child is awaited through a pidfd,
// which poll reports readable when the child ends.
#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/posix/windows_error.h"

extern char** environ;

namespace zarn::platform {

namespace {

std::vector<std::string> SplitParameters(std::string_view parameters) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  bool quoted = false;
  for (const char c : parameters) {
    if (c == '"') {
      quoted = !quoted;
      in_word = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(word);
  return words;
}

// The program's path, absolute so that it still names the file after the child changed into
// the folder.
std::string ProgramPath(std::string_view folder, std::string_view file) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  path += file;
  if (!path.empty() && path.front() != '/') {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) != nullptr) path = std::string(cwd) + "/" + path;
  }
  return path;
}

class SpawnedProcess final : public ChildProcess {
 public:
  SpawnedProcess(pid_t pid, int pidfd) : pid_(pid), pidfd_(pidfd) {}
  ~SpawnedProcess() override {
    // The child goes on running; only our handle on it is released. Should it end later, it
    // waits as a zombie until this process ends: the program lets go of a running child only
    // when it is terminating itself.
    if (pidfd_ >= 0) ::close(pidfd_);
  }
  SpawnedProcess(const SpawnedProcess&) = delete;
  SpawnedProcess& operator=(const SpawnedProcess&) = delete;

  bool Running() override {
    if (ended_) return false;
    siginfo_t info{};
    // Reaps the child once it has ended, so that it does not stay behind as a zombie.
    if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG) != 0) {
      ended_ = errno == ECHILD;  // already reaped elsewhere
      return !ended_;
    }
    ended_ = info.si_pid == pid_;
    return !ended_;
  }

  std::intptr_t WaitHandle() const override { return pidfd_; }

 private:
  pid_t pid_;
  int pidfd_;
  bool ended_ = false;
};

// Restores what a fresh program expects: no blocked signals, every signal at its default.
struct SpawnAttributes {
  posix_spawnattr_t attributes;
  SpawnAttributes() {
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
};

struct FileActions {
  posix_spawn_file_actions_t actions;
  FileActions() { posix_spawn_file_actions_init(&actions); }
  ~FileActions() { posix_spawn_file_actions_destroy(&actions); }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
};

}  // namespace

std::unique_ptr<ChildProcess> StartHidden(std::string_view file, std::string_view parameters,
                                          std::string_view folder, std::uint32_t& error) {
  const std::string folder_text(folder);
  if (!folder_text.empty() && !DirectoryExists(folder_text)) {
    error = 3;  // ERROR_PATH_NOT_FOUND, as Windows reports a missing directory
    return nullptr;
  }
  const std::string program = ProgramPath(folder, file);
  std::vector<std::string> words = SplitParameters(parameters);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  FileActions files;
  posix_spawn_file_actions_addopen(&files.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!folder_text.empty())
    posix_spawn_file_actions_addchdir_np(&files.actions, folder_text.c_str());
  SpawnAttributes attributes;
  pid_t pid = 0;
  const int result = posix_spawn(&pid, program.c_str(), &files.actions, &attributes.attributes,
                                 argv.data(), environ);
  if (result != 0) {
    error = posix::WindowsErrorFromErrno(result);
    return nullptr;
  }
  // A child that cannot be watched through a pidfd (kernels before 5.3) is still polled by
  // Running(); the waits then end by their timeout.
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  return std::make_unique<SpawnedProcess>(pid, pidfd);
}

}  // namespace zarn::platform
