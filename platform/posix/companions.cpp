// The suite's companion programs on POSIX: processes of the same user found by program name in
// /proc, closed with SIGTERM, started detached.
#include "platform/companions.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <memory>
#include <string>

#include "common/text.h"

namespace zarn::platform {

namespace {

struct CompanionName {
  std::string_view window_class;
  std::string_view program;
};

constexpr std::array<CompanionName, 2> kCompanions{{
    {"TZARN4MF", "zarn4.exe"},
    {"TfrmZarnNet", "zarn4net.exe"},
}};

// The kernel keeps at most 15 characters of a program's name.
constexpr std::size_t kCommLength = 15;

// The contents of a small /proc file; empty when the process has gone meanwhile.
std::string ReadProcFile(const std::string& path) {
  std::string text;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

std::string_view BaseName(std::string_view path) {
  const auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// True when the process runs under the program name and is alive (not a zombie waiting to be
// reaped, which has no window any more).
bool RunsAs(const std::string& proc_dir, std::string_view program) {
  const std::string stat = ReadProcFile(proc_dir + "/stat");
  const auto open = stat.find('(');
  const auto close = stat.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close + 2 >= stat.size())
    return false;
  const char state = stat[close + 2];
  if (state == 'Z' || state == 'X' || state == 'x') return false;
  const std::string_view comm = std::string_view(stat).substr(open + 1, close - open - 1);
  if (comm == program.substr(0, kCommLength)) return true;

  const std::string cmdline = ReadProcFile(proc_dir + "/cmdline");
  if (BaseName(std::string_view(cmdline.c_str())) == program) return true;
  char exe[PATH_MAX];
  const ssize_t n = ::readlink((proc_dir + "/exe").c_str(), exe, sizeof exe - 1);
  return n > 0 && BaseName(std::string_view(exe, static_cast<std::size_t>(n))) == program;
}

std::optional<pid_t> FindProcessOfUser(std::string_view program) {
  const std::unique_ptr<DIR, DirCloser> proc(::opendir("/proc"));
  if (!proc) return std::nullopt;
  const uid_t user = ::geteuid();
  const pid_t self = ::getpid();
  while (const dirent* entry = ::readdir(proc.get())) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || pid <= 0 || pid == self) continue;
    const std::string dir = std::string("/proc/") + entry->d_name;
    struct stat info {};
    if (::stat(dir.c_str(), &info) != 0 || info.st_uid != user) continue;
    if (RunsAs(dir, program)) return static_cast<pid_t>(pid);
  }
  return std::nullopt;
}

// Writes all of the bytes, as far as the pipe takes them; used between fork and exec.
void WriteErrno(int fd, int error) {
  [[maybe_unused]] const ssize_t n = ::write(fd, &error, sizeof error);
}

// The grandchild of a detached start: no terminal input or output, then the program. Its
// standard error goes too: a program that outlives this one must not hold this one's terminal
// or keep a pipe it writes into open.
[[noreturn]] void ExecDetached(const char* file, int error_pipe) {
  // Descriptors this process opened without close-on-exec stay ours.
  ::close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC);
  // The program starts as from the shell: no blocked signals, none ignored, so that a close
  // request (SIGTERM) reaches it.
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  for (const int signal_number : {SIGHUP, SIGINT, SIGPIPE, SIGTERM, SIGUSR1, SIGUSR2}) {
    ::signal(signal_number, SIG_DFL);
  }
  const int null = ::open("/dev/null", O_RDWR);
  if (null >= 0) {
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    if (null > STDERR_FILENO) ::close(null);
  }
  char* const argv[] = {const_cast<char*>(file), nullptr};
  ::execv(file, argv);
  WriteErrno(error_pipe, errno);
  ::_exit(127);
}

}  // namespace

std::optional<ForeignWindow> FindWindowOfClass(std::string_view window_class) {
  for (const CompanionName& companion : kCompanions) {
    if (!EqualsIgnoringCase(companion.window_class, window_class)) continue;
    const auto pid = FindProcessOfUser(companion.program);
    if (pid) return static_cast<ForeignWindow>(*pid);
    return std::nullopt;
  }
  return std::nullopt;
}

void SendCloseRequest(ForeignWindow window) {
  ::kill(static_cast<pid_t>(window), SIGTERM);
}

bool ShellOpen(WindowId, std::string_view file) {
  const std::string path(file);
  int error_pipe[2];
  if (::pipe2(error_pipe, O_CLOEXEC) != 0) return false;
  // Twice forked and in a session of its own, the program is nobody's child here: it outlives
  // this process and never waits as a zombie for it.
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(error_pipe[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild == 0) ExecDetached(path.c_str(), error_pipe[1]);
    if (grandchild < 0) WriteErrno(error_pipe[1], errno);
    ::_exit(0);
  }
  ::close(error_pipe[1]);
  if (child < 0) {
    ::close(error_pipe[0]);
    return false;
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // The write end closes on a successful exec; an error number arrives otherwise.
  int error = 0;
  ssize_t n;
  while ((n = ::read(error_pipe[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  ::close(error_pipe[0]);
  return n == 0;
}

}  // namespace zarn::platform
