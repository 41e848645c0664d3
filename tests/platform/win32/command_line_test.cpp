// Splitting of the Windows command line into parameters.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/system.h"
#include "platform/win32/command_line.h"

namespace zarn::platform::win32 {
namespace {

TEST(CommandLine, SplitsAtBlanksWithQuotesGroupingAndRemoved) {
  const struct {
    const char* line;
    std::vector<std::string> parameters;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {"prog.exe", {"prog.exe"}},
      {"prog.exe /run", {"prog.exe", "/run"}},
      {"prog.exe  \t /RUN   x ", {"prog.exe", "/RUN", "x"}},
      {"\"C:\\Program Files\\Z\\prog.exe\" /run", {"C:\\Program Files\\Z\\prog.exe", "/run"}},
      {"prog.exe \"/run \"", {"prog.exe", "/run "}},
      {"prog.exe /r\"u\"n", {"prog.exe", "/run"}},
      {"prog.exe \"a b\"c d", {"prog.exe", "a bc", "d"}},
      {"prog.exe \"\" x", {"prog.exe", "", "x"}},
      {"prog.exe \"unclosed quote", {"prog.exe", "unclosed quote"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line), c.parameters) << c.line;
  }
}

TEST(CommandLine, ParameterZeroIsTheProgramsFullPath) {
  const auto parameters = CommandLineParameters();
  ASSERT_FALSE(parameters.empty());
  EXPECT_EQ(parameters[0], ExecutablePath());
  EXPECT_NE(parameters[0].find("test_platform.exe"), std::string::npos) << parameters[0];
}

}  // namespace
}  // namespace zarn::platform::win32
