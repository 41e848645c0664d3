// Helpers of the cabinet tests: the cabinets made by gcab at build time and the listing of an
// extracted tree.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/file_contents.h"

namespace zarn::test {

// A file of the fixture folder that the build fills with gcab (tests/cab/make_fixtures.sh).
std::string CabFixture(const std::string& name);

// The names of every file and folder below a folder, relative to it with "/" between levels,
// sorted.
std::string ListTree(const std::string& folder);

}  // namespace zarn::test
