// Message boxes on POSIX: caption and text on standard error; a Yes/No question reads its answer
// from standard input (y/yes or n/no in any case, Enter for the default button, end of input for
// No). Window messages keep flowing while the question waits, as under a modal box.
#include "platform/dialogs.h"

#include <unistd.h>

#include <string>

#include "common/text.h"
#include "platform/message_loop.h"
#include "platform/posix/event_loop.h"
#include "platform/posix/terminal_view.h"

namespace zarn::platform {

namespace {

// Reads one line from standard input while dispatching window messages; false at end of input.
bool ReadAnswerLine(std::string& line) {
  line.clear();
  for (;;) {
    if (posix::WaitForMessageOrDescriptor(STDIN_FILENO, posix::kInfinite)) {
      MessageLoop::ProcessMessages();
      continue;
    }
    char c;
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n <= 0) return !line.empty();
    if (c == '\n') return true;
    if (c != '\r') line += c;
  }
}

}  // namespace

int ShowMessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) {
  posix::TerminalView::Get().Clear();
  // Texts may carry names from a cabinet or a server: no escape sequence reaches the terminal.
  posix::WriteStandardError(EscapeControlCharacters(caption) + ": " +
                            EscapeControlCharacters(text, true) + "\n");
  if ((flags & 0xF) != kMbYesNo) return kIdOk;

  const int default_answer = (flags & kMbDefButton2) != 0 ? kIdNo : kIdYes;
  for (;;) {
    posix::WriteStandardError(default_answer == kIdYes ? "[Y/n] " : "[y/N] ");
    std::string line;
    if (!ReadAnswerLine(line)) {
      posix::WriteStandardError("\n");
      return kIdNo;
    }
    const std::string answer = LowerAscii(Trim(line));
    if (answer.empty()) return default_answer;
    if (answer == "y" || answer == "yes") return kIdYes;
    if (answer == "n" || answer == "no") return kIdNo;
  }
}

void WriteErrorLine(std::string_view caption, std::string_view text) {
  posix::TerminalView::Get().Clear();
  posix::WriteStandardError(EscapeControlCharacters(caption) + ": " +
                            EscapeControlCharacters(text) + "\n");
}

// A terminal has no owner windows: the box is the same.
int ShowUnownedMessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) {
  return ShowMessageBox(text, caption, flags);
}

}  // namespace zarn::platform
