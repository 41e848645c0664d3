#include "tests/cab/cab_files.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <vector>

#include "tests/support/build_files.h"

namespace zarn::test {

std::string CabFixture(const std::string& name) {
  return BuildFolderFile("cab-fixtures/" + name);
}

std::string ListTree(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    names.push_back(std::filesystem::relative(entry.path(), folder).generic_string());
  }
  std::sort(names.begin(), names.end());
  std::ostringstream out;
  for (const auto& name : names) out << name << "\n";
  return out.str();
}

}  // namespace zarn::test
