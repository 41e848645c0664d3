// The base of the program's window: owns the platform window, routes every message through a
// replaceable window procedure (so a component such as the icon can see the window's messages
// first), and closes in two steps: the close query, then the close itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/window.h"

namespace zarn {

class TForm : public platform::MessageTarget {
 public:
  using WindowProc = std::function<std::intptr_t(const platform::WindowMessage&)>;
  using WindowFactory =
      std::function<std::unique_ptr<platform::MainWindow>(std::string_view, MessageTarget&)>;

  TForm(std::string_view caption, const WindowFactory& factory);
  virtual ~TForm() = default;
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  platform::MainWindow& Window() { return *window_; }

  // Puts proc in place of the current window procedure and returns the one it replaced.
  WindowProc ReplaceWindowProc(WindowProc proc);

  std::intptr_t HandleMessage(const platform::WindowMessage& message) override;

  void Show() { window_->Show(); }
  void Hide() { window_->Hide(); }
  bool Visible() const { return window_->Visible(); }

  // Closes the window when the close query allows it; closing the main window ends the loop.
  // A loop ended otherwise (the last client of a program that COM started let go) ends the
  // program without a close.
  void Close();
  bool Closed() const { return closed_; }

 protected:
  // The window's own handling of its messages: the close message closes, the rest goes to the
  // platform.
  virtual std::intptr_t WndProc(const platform::WindowMessage& message);
  virtual bool FormCloseQuery() { return true; }
  virtual void FormClose() {}

 private:
  // The procedure comes first: it must exist before the platform window can send a message.
  WindowProc window_proc_;
  std::unique_ptr<platform::MainWindow> window_;
  bool closed_ = false;
};

}  // namespace zarn
