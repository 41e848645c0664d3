// A scratch folder for one test, removed with everything in it (read-only and hidden entries
// included) when the test ends.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zarn::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder as the program writes folders: ending in the platform's delimiter.
  std::string Folder() const;
  // The path of a name inside the folder ("a/b" in either delimiter), in the platform's form;
  // PathOf("") is Folder().
  std::string PathOf(std::string_view name) const;
  // Writes the bytes as they are (no line-end translation) to a name inside the folder and
  // returns the file's path.
  std::string Write(std::string_view name, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

// Sets an environment variable for the life of the object (a null value removes it), then puts
// the old value back.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string old_value_;
  bool had_value_;
};

}  // namespace zarn::test
