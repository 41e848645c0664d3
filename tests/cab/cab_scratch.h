// Helpers of the cabinet tests: the cabinets made by gcab at build time, a scratch folder that
// removes itself, and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace zarn::testing {

// A file of the fixture folder that the build fills with gcab (tests/cab/make_fixtures.sh).
std::string CabFixture(const std::string& name);

// A fresh empty folder below the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder, and a path below it ("a/b" in either delimiter), in the platform's form.
  std::string Path() const { return path_.string(); }
  std::string operator/(const std::string& relative) const;

 private:
  std::filesystem::path path_;
};

std::string ReadWholeFile(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// The names of every file and folder below a folder, relative to it with "/" between levels,
// sorted.
std::string ListTree(const std::string& folder);

}  // namespace zarn::testing
