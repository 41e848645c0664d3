#include "app/form.h"

#include "platform/message_loop.h"

namespace zarn {

TForm::TForm(std::string_view caption, const WindowFactory& factory)
    : window_proc_([this](const platform::WindowMessage& m) { return WndProc(m); }),
      window_(factory(caption, *this)) {}

TForm::WindowProc TForm::ReplaceWindowProc(WindowProc proc) {
  WindowProc previous = std::move(window_proc_);
  window_proc_ = std::move(proc);
  return previous;
}

std::intptr_t TForm::HandleMessage(const platform::WindowMessage& message) {
  // A copy, so that a procedure that replaces itself while it runs stays alive until it returns.
  const WindowProc proc = window_proc_;
  return proc(message);
}

std::intptr_t TForm::WndProc(const platform::WindowMessage& message) {
  if (message.message == platform::kWmClose) {
    Close();
    return 0;
  }
  // Messages sent while the platform window is still being made get no handling of ours.
  return window_ ? window_->DefaultHandling(message) : 0;
}

void TForm::Close() {
  if (!FormCloseQuery()) return;
  FormClose();
  closed_ = true;
  Hide();
  platform::MessageLoop::Quit();
}

}  // namespace zarn
