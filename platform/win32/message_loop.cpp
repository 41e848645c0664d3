// The main thread's message queue. Waits block in MsgWaitForMultipleObjectsEx until input arrives
// (or the awaited process ends, or the time is up), so a waiting program costs no processor time.
#include "platform/message_loop.h"

#include <utility>

#include "platform/process.h"
#include "platform/win32/window_class.h"

namespace zarn::platform {

namespace {

// Application-wide, as the queue itself is: set by Quit or by a WM_QUIT taken off the queue.
bool g_terminated = false;

bool DispatchOne() {
  MSG message{};
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  if (message.message == WM_QUIT) {
    g_terminated = true;
    return true;
  }
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

// Waits for input on the queue or for handle (when given); true when input is waiting.
bool WaitForInput(HANDLE handle, std::uint32_t timeout_ms) {
  const DWORD count = handle != nullptr ? 1 : 0;
  const DWORD result = MsgWaitForMultipleObjectsEx(count, count != 0 ? &handle : nullptr,
                                                   timeout_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (result == WAIT_OBJECT_0 + count) return true;
  return result == WAIT_OBJECT_0 && count != 0 && MessageLoop::MessageWaiting();
}

// A repeating timer on a message-only window of its own; its WM_TIMER comes through dispatch.
class WindowTimer final : public Timer, private win32::WindowHandler {
 public:
  WindowTimer(std::uint32_t interval_ms, std::function<void()> callback)
      : callback_(std::move(callback)), window_(TimerWindowSettings(), *this) {
    window_.Route();
    SetTimer(window_.Handle(), kTimerId, interval_ms, nullptr);
  }

  ~WindowTimer() override { KillTimer(window_.Handle(), kTimerId); }

 private:
  static constexpr UINT_PTR kTimerId = 1;

  static win32::WindowSettings TimerWindowSettings() {
    win32::WindowSettings settings;
    settings.class_name = "ZarnTimerWindow";
    settings.parent = HWND_MESSAGE;
    return settings;
  }

  LRESULT OnMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_TIMER && wparam == kTimerId) {
      // The callback may delete this timer: it runs from a copy that outlives the object.
      const std::function<void()> callback = callback_;
      callback();
      return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
  }

  std::function<void()> callback_;
  win32::OwnedWindow window_;
};

}  // namespace

void MessageLoop::ProcessMessages() {
  while (DispatchOne()) {
  }
}

bool MessageLoop::ProcessOneMessage() {
  return DispatchOne();
}

bool MessageLoop::MessageWaiting() {
  MSG message{};
  return PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
}

bool MessageLoop::WaitForMessage(std::uint32_t timeout_ms) {
  return WaitForInput(nullptr, timeout_ms);
}

bool MessageLoop::WaitForMessageOrExit(const ChildProcess& process, std::uint32_t timeout_ms) {
  return WaitForInput(reinterpret_cast<HANDLE>(process.WaitHandle()), timeout_ms);
}

void MessageLoop::Run() {
  while (!g_terminated) {
    ProcessMessages();
    if (g_terminated) break;
    WaitForInput(nullptr, INFINITE);
  }
}

void MessageLoop::ResetQuit() {
  MSG message{};
  while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  g_terminated = false;
}

void MessageLoop::Quit() {
  g_terminated = true;
  PostQuitMessage(0);
}

bool MessageLoop::Terminated() {
  return g_terminated;
}

std::unique_ptr<Timer> Timer::Start(std::uint32_t interval_ms, std::function<void()> callback) {
  return std::make_unique<WindowTimer>(interval_ms, std::move(callback));
}

}  // namespace zarn::platform
