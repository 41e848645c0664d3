// The terminal's message boxes: answers read from standard input.
#include "platform/dialogs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace zarn::platform {
namespace {

// Puts text on standard input for one question, then restores the real one.
int AskWithInput(const std::string& input, std::uint32_t flags) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  EXPECT_EQ(::write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  ::close(fds[1]);
  const int saved = ::dup(STDIN_FILENO);
  ::dup2(fds[0], STDIN_FILENO);
  ::close(fds[0]);
  const int answer = ShowMessageBox("Install the update?", "ZARN4 Program Update", flags);
  ::dup2(saved, STDIN_FILENO);
  ::close(saved);
  return answer;
}

TEST(TerminalDialogs, YesNoAnswersFromStandardInput) {
  const struct {
    std::string input;
    std::uint32_t flags;
    int expected;
  } cases[] = {
      {"y\n", kMbYesNo, kIdYes},
      {"YES\n", kMbYesNo, kIdYes},
      {"  no \r\n", kMbYesNo, kIdNo},
      {"N\n", kMbYesNo, kIdNo},
      {"\n", kMbYesNo, kIdYes},                 // Enter: the first button is the default
      {"\n", kMbYesNo | kMbDefButton2, kIdNo},  // ... or the second when so marked
      {"maybe\nyes\n", kMbYesNo, kIdYes},       // asked again after a word it does not know
      {"", kMbYesNo, kIdNo},                    // end of input
      {"y", kMbYesNo, kIdYes},                  // a last line without its line end
      {"n\n", kMbOk, kIdOk},                    // a plain box asks nothing
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AskWithInput(c.input, c.flags), c.expected) << "input '" << c.input << "'";
  }
}

}  // namespace
}  // namespace zarn::platform
