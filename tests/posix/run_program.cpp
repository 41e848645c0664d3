#include "tests/posix/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace zarn::test {

namespace {}  // namespace

ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& args,
                         const std::string& input) {
  // Files rather than pipes: nothing can fill up and block either side.
  const TempDir scratch;
  const std::string base = scratch.PathOf("run");
  const std::string in_path = base + ".in", out_path = base + ".out", err_path = base + ".err";
  std::ofstream(in_path, std::ios::binary) << input;

  std::vector<char*> argv{const_cast<char*>(path.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ProgramResult result;
  if (rc != 0) {
    result.err = "cannot start " + path;
    return result;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  result.out = ReadWholeFile(out_path);
  result.err = ReadWholeFile(err_path);
  return result;
}

std::string BuiltProgram(const std::string& name) {
  return std::string(ZARN_BINARY_DIR) + "/" + name;
}

}  // namespace zarn::test
