// Stand-ins for the platform's window and icon host that record what the core asks of them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/window.h"

namespace zarn::test {

class FakeWindow : public platform::MainWindow {
 public:
  explicit FakeWindow(platform::MessageTarget& owner) : target(owner) {}

  platform::WindowId Id() const override { return 1; }
  void SetStatusText(std::string_view text) override { status = text; }
  void SetProgressVisible(bool shown) override { progress_visible = shown; }
  void SetProgress(int position) override { progress = position; }
  void Show() override { visible = true; }
  void Hide() override { visible = false; }
  bool Visible() const override { return visible; }
  void HideTaskbarButton() override { ++taskbar_hides; }
  void SetBusyCursor(bool busy) override { busy_cursor = busy; }
  std::intptr_t DefaultHandling(const platform::WindowMessage& message) override {
    defaults.push_back(message.message);
    if (message.message == platform::kWmSysCommand && message.wparam == platform::kScClose) {
      return target.HandleMessage({platform::kWmClose, 0, 0});
    }
    if (message.message == platform::kWmSysCommand && message.wparam == platform::kScMinimize) {
      minimized = true;
    }
    return 0;
  }
  void Post(const platform::WindowMessage& message) override { target.HandleMessage(message); }

  platform::MessageTarget& target;
  std::string status;
  bool progress_visible = false;
  int progress = 0;
  bool visible = false;
  bool minimized = false;
  bool busy_cursor = false;
  int taskbar_hides = 0;
  std::vector<std::uint32_t> defaults;
};

class FakeTrayHost final : public platform::TrayIconHost {
 public:
  platform::WindowId Id() const override { return 2; }
  void Notify(platform::NotifyIconOperation operation, std::string_view tip) override {
    notifications.emplace_back(operation, std::string(tip));
  }
  platform::Point CursorPos() override { return cursor; }
  std::intptr_t DefaultHandling(const platform::WindowMessage&) override {
    ++default_calls;
    return 0;
  }

  std::vector<std::pair<platform::NotifyIconOperation, std::string>> notifications;
  platform::Point cursor{40, 50};
  int default_calls = 0;
};

}  // namespace zarn::test
