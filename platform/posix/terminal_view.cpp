#include "platform/posix/terminal_view.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "common/text.h"

namespace zarn::platform::posix {

void WriteStandardError(std::string_view text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

namespace {

int TerminalWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace

TerminalView& TerminalView::Get() {
  static TerminalView view;
  return view;
}

TerminalView::TerminalView() : terminal_(::isatty(STDERR_FILENO) == 1) {}

void TerminalView::SetIconShown(bool shown) {
  icon_shown_ = shown;
  Redraw();
}

void TerminalView::SetWindowShown(bool shown) {
  window_shown_ = shown;
  Redraw();
}

void TerminalView::SetStatus(std::string_view text) {
  // The status line may carry a server's reply text; the log keeps it as received.
  status_ = EscapeControlCharacters(text);
  Redraw();
}

void TerminalView::SetProgressVisible(bool visible) {
  progress_visible_ = visible;
  Redraw();
}

void TerminalView::SetProgress(int position) {
  progress_ = std::clamp(position, 0, 100);
  Redraw();
}

void TerminalView::Clear() {
  if (terminal_ && drawn_) WriteStandardError("\r\033[K");
  drawn_ = false;
}

void TerminalView::LeaveSummary(std::string_view last_status, std::string_view log_path) {
  if (!terminal_) return;
  Clear();
  summarised_ = true;  // the summary stays the last thing on the screen
  WriteStandardError("zarn4update: " + std::string(last_status) +
                     "\nUpdate log: " + std::string(log_path) + "\n");
}

void TerminalView::Redraw() {
  if (!terminal_ || summarised_) return;
  if (!icon_shown_ && !window_shown_) {
    Clear();
    return;
  }
  const int width = TerminalWidth();
  std::string line = "[zarn4update] ";
  std::string bar;
  if (window_shown_ && progress_visible_) {
    constexpr int kCells = 20;
    const int filled = progress_ * kCells / 100;
    bar = " [" + std::string(static_cast<std::size_t>(filled), '#') +
          std::string(static_cast<std::size_t>(kCells - filled), ' ') + "] " +
          std::to_string(progress_) + "%";
  }
  const int room = std::max(0, width - 1 - static_cast<int>(line.size() + bar.size()));
  line += status_.substr(0, static_cast<std::size_t>(room)) + bar;
  WriteStandardError("\r\033[K" + line);
  drawn_ = true;
}

}  // namespace zarn::platform::posix
