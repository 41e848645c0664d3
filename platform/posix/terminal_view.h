// The window and the notification-area icon drawn on a terminal: one line on standard error that
// shows the latest status while the icon is up, with a progress bar while the window is shown.
// With no terminal nothing is drawn; the log file is the record.
#pragma once

#include <string>
#include <string_view>

namespace zarn::platform::posix {

// Writes all of text to standard error, unbuffered (the terminal line and dialogs share it).
void WriteStandardError(std::string_view text);

class TerminalView {
 public:
  static TerminalView& Get();

  void SetIconShown(bool shown);
  void SetWindowShown(bool shown);
  void SetStatus(std::string_view text);
  void SetProgressVisible(bool visible);
  void SetProgress(int position);
  // Clears the line so that other output (a dialog) starts on a clean line.
  void Clear();
  // On a terminal, replaces the line by the session's last status and the saved log's path,
  // which stay on the screen after the program has ended.
  void LeaveSummary(std::string_view last_status, std::string_view log_path);

 private:
  TerminalView();
  void Redraw();

  bool terminal_;
  bool icon_shown_ = false;
  bool window_shown_ = false;
  bool progress_visible_ = false;
  int progress_ = 0;
  bool drawn_ = false;
  bool summarised_ = false;
  std::string status_;
};

}  // namespace zarn::platform::posix
