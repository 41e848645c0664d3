// Helpers of the cabinet tests: the cabinets made by gcab at build time, and whole-file reads and
// writes.
#pragma once

#include <cstdint>
#include <string>

namespace zarn::testing {

// A file of the fixture folder that the build fills with gcab (tests/cab/make_fixtures.sh).
std::string CabFixture(const std::string& name);

std::string ReadWholeFile(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// The names of every file and folder below a folder, relative to it with "/" between levels,
// sorted.
std::string ListTree(const std::string& folder);

}  // namespace zarn::testing
