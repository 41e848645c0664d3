// The tool window, the icon's callback window and message boxes, on a real (virtual) display.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "cab/cabinet_callbacks.h"
#include "common/exception.h"
#include "platform/dialogs.h"
#include "platform/message_loop.h"
#include "platform/system.h"
#include "platform/win32/notify_icon_record.h"
#include "platform/win32/window_class.h"
#include "platform/win32/windows_api.h"
#include "platform/window.h"

namespace zarn::platform {
namespace {

// Records the messages above the system's range and hands everything on to the default.
class RecordingTarget : public MessageTarget {
 public:
  virtual ~RecordingTarget() = default;
  std::intptr_t HandleMessage(const WindowMessage& message) override {
    // The core's window object finishes its own construction only after Create has returned.
    if (window == nullptr && tray == nullptr) ++early;
    if (message.message >= WM_USER) seen.push_back(message);
    if (window != nullptr) return window->DefaultHandling(message);
    if (tray != nullptr) return tray->DefaultHandling(message);
    return 0;
  }

  std::vector<WindowMessage> seen;
  int early = 0;  // messages that arrived while Create was still running
  MainWindow* window = nullptr;
  TrayIconHost* tray = nullptr;
};

struct Child {
  HWND handle = nullptr;
  RECT rect{};  // in the parent's client coordinates
};

// The first child of parent with the class name and, when style_bits is given, those styles.
Child FindChild(HWND parent, const char* class_name, LONG style_bits = 0) {
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    char name[64] = {};
    GetClassNameA(child, name, sizeof name);
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if (lstrcmpiA(name, class_name) != 0 || (style & style_bits) != style_bits) continue;
    Child found{child, {}};
    GetWindowRect(child, &found.rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&found.rect), 2);
    return found;
  }
  return {};
}

// A length of the 96-DPI layout at the display's DPI (scripts/wine-tests may run at 144).
int Scaled(int length) {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return MulDiv(length, dpi, 96);
}

bool HasStyle(HWND window, LONG bits) {
  return (GetWindowLongA(window, GWL_STYLE) & bits) == bits;
}

void Pump(std::uint32_t ms) {
  const std::uint32_t start = TickCount();
  do {
    MessageLoop::ProcessMessages();
  } while (TickCount() - start < ms && MessageLoop::WaitForMessage(ms));
}

// The application manifest this test program carries, as the system applies it: the process's
// activation context sends comctl32.dll to version 6 of the common controls, and the process
// scales its own windows.
TEST(Manifest, DeclarationsReachTheProcess) {
  ACTCTX_SECTION_KEYED_DATA found{};
  found.cbSize = sizeof found;
  EXPECT_TRUE(FindActCtxSectionStringA(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                       "comctl32.dll", &found))
      << "comctl32.dll is not redirected, error " << GetLastError();
  using AwareFunction = BOOL(WINAPI*)();
  const auto aware = reinterpret_cast<AwareFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "IsProcessDPIAware")));
  ASSERT_NE(aware, nullptr);
  EXPECT_TRUE(aware());
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  // For the script that runs this on a changed system: what the process was told.
  std::printf("system version as reported: %lu.%lu\n", version.dwMajorVersion,
              version.dwMinorVersion);
  const HDC screen = GetDC(nullptr);
  std::printf("display DPI: %d\n", GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(nullptr, screen);
}

class Win32Window : public testing::Test {
 protected:
  void SetUp() override {
    window_ = MainWindow::Create("ZARN4 Program Update", target_);
    target_.window = window_.get();
    hwnd_ = reinterpret_cast<HWND>(window_->Id());
    ASSERT_NE(hwnd_, nullptr);
    EXPECT_EQ(target_.early, 0);
  }

  RecordingTarget target_;
  std::unique_ptr<MainWindow> window_;
  HWND hwnd_ = nullptr;
};

TEST_F(Win32Window, IsAHiddenCentredToolWindowOfTheFixedClientSize) {
  char caption[64] = {};
  GetWindowTextA(hwnd_, caption, sizeof caption);
  EXPECT_STREQ(caption, "ZARN4 Program Update");
  EXPECT_FALSE(window_->Visible());
  EXPECT_TRUE(GetWindowLongA(hwnd_, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  RECT client{};
  GetClientRect(hwnd_, &client);
  EXPECT_EQ(client.right, Scaled(302));
  EXPECT_EQ(client.bottom, Scaled(69));
  RECT frame{};
  GetWindowRect(hwnd_, &frame);
  EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

TEST_F(Win32Window, HoldsStatusTextProgressBarAndIconWhereTheLayoutPutsThem) {
  const Child status = FindChild(hwnd_, "Static", WS_VISIBLE);
  const Child image = FindChild(hwnd_, "Static", SS_ICON);
  const Child progress = FindChild(hwnd_, "msctls_progress32");
  ASSERT_NE(status.handle, nullptr);
  ASSERT_NE(image.handle, nullptr);
  ASSERT_NE(progress.handle, nullptr);
  const struct {
    const char* what;
    RECT actual;
    POINT origin;
    SIZE size;  // {0, 0}: not checked
  } cases[] = {
      {"status", status.rect, {17, 9}, {0, 0}},
      {"image", image.rect, {264, 32}, {0, 0}},  // the icon's own size
      {"progress", progress.rect, {16, 39}, {220, 9}},
  };
  RECT client{};
  GetClientRect(hwnd_, &client);
  for (const auto& c : cases) {
    EXPECT_EQ(c.actual.left, Scaled(c.origin.x)) << c.what;
    EXPECT_EQ(c.actual.top, Scaled(c.origin.y)) << c.what;
    EXPECT_LE(c.actual.right, client.right) << c.what;
    EXPECT_LE(c.actual.bottom, client.bottom) << c.what;
    if (c.size.cx == 0) continue;
    EXPECT_EQ(c.actual.right - c.actual.left, Scaled(c.size.cx)) << c.what;
    EXPECT_EQ(c.actual.bottom - c.actual.top, Scaled(c.size.cy)) << c.what;
  }
  // A status line in the menu font stays above the bar.
  window_->SetStatusText("Download Complete.  3 files to extract.");
  EXPECT_LE(FindChild(hwnd_, "Static", WS_VISIBLE).rect.bottom, progress.rect.top);
  EXPECT_NE(SendMessageA(image.handle, STM_GETICON, 0, 0), 0);

  // The bar starts hidden, counts 0..100 and shows on request.
  EXPECT_FALSE(HasStyle(progress.handle, WS_VISIBLE));
  PBRANGE range{};
  SendMessageA(progress.handle, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 100);
  window_->SetProgressVisible(true);
  window_->SetProgress(42);
  EXPECT_TRUE(HasStyle(progress.handle, WS_VISIBLE));
  EXPECT_EQ(SendMessageA(progress.handle, PBM_GETPOS, 0, 0), 42);
  window_->SetProgressVisible(false);
  EXPECT_FALSE(HasStyle(progress.handle, WS_VISIBLE));
}

TEST_F(Win32Window, StatusTextSizesItselfToItsText) {
  const HWND status = FindChild(hwnd_, "Static", WS_VISIBLE).handle;
  ASSERT_NE(status, nullptr);
  const auto width = [&] {
    RECT r{};
    GetWindowRect(status, &r);
    return r.right - r.left;
  };
  window_->SetStatusText("Quit");
  const int short_width = width();
  window_->SetStatusText("Looking for Update & more");
  const int long_width = width();
  char text[64] = {};
  GetWindowTextA(status, text, sizeof text);
  EXPECT_STREQ(text, "Looking for Update & more");
  EXPECT_GT(short_width, 0);
  EXPECT_GT(long_width, 3 * short_width);
}

TEST_F(Win32Window, ShowsHidesAndHandsEveryMessageToTheTarget) {
  window_->Show();
  EXPECT_TRUE(window_->Visible());
  window_->HideTaskbarButton();
  EXPECT_FALSE(GetWindowLongA(hwnd_, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  window_->Hide();
  EXPECT_FALSE(window_->Visible());

  window_->Post({WM_USER + 5, 11, 22});
  Pump(200);
  ASSERT_EQ(target_.seen.size(), 1u);
  EXPECT_EQ(target_.seen[0].message, WM_USER + 5);
  EXPECT_EQ(target_.seen[0].wparam, 11u);
  EXPECT_EQ(target_.seen[0].lparam, 22);

  // The default handling of the close command is the system's: the window is destroyed.
  SendMessageA(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(hwnd_));
  window_.reset();  // and the object copes with a window already gone
}

TEST(Win32Dialogs, MessageBoxIsOwnedByTheMainWindowAndAnswersWithTheButton) {
  RecordingTarget target;
  auto window = MainWindow::Create("Owner", target);
  target.window = window.get();
  const HWND owner = reinterpret_cast<HWND>(window->Id());
  const auto question = [](std::uint32_t flags) {
    return [flags] { return ShowMessageBox("Install the update?", "Question?", flags); };
  };
  const struct {
    const char* caption;
    std::function<int()> show;
    WPARAM button;
    int answer;
    HWND owner;
  } cases[] = {
      {"Question?", question(kMbOk | kMbIconError), IDOK, kIdOk, owner},
      {"Question?", question(kMbYesNo | kMbIconQuestion | kMbDefButton2), IDYES, kIdYes, owner},
      {"Question?", question(kMbYesNo | kMbIconQuestion), IDNO, kIdNo, owner},
      // The cabinet's warning stands on its own, also while the main window exists.
      {"Error",
       [] {
         cab_callbacks::ShowSystemError(ERROR_ACCESS_DENIED);
         return kIdOk;
       },
       IDOK, kIdOk, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    HWND box_owner = owner;
    bool found = false;
    // The box runs its own loop; a timer finds the box there and presses the button.
    auto presser = Timer::Start(50, [&] {
      const HWND box = FindWindowA("#32770", c.caption);
      if (box == nullptr) return;
      found = true;
      box_owner = GetWindow(box, GW_OWNER);
      PostMessageA(box, WM_COMMAND, c.button, 0);
    });
    EXPECT_EQ(c.show(), c.answer);
    EXPECT_TRUE(found);
    EXPECT_EQ(box_owner, c.owner);
  }
}

TEST(Win32Tray, RecordIsTheFirstLayoutWithTheTipCutTo63Characters) {
  const HWND window = reinterpret_cast<HWND>(0x1234);
  const HICON icon = reinterpret_cast<HICON>(0x5678);
  const std::string long_tip(100, 'x');
  const struct {
    std::string tip;
    std::size_t kept;
  } cases[] = {{"", 0},
               {"ZARN 4 Update", 13},
               {long_tip.substr(0, 63), 63},
               {long_tip.substr(0, 64), 63},
               {long_tip, 63}};
  for (const auto& c : cases) {
    const win32::NotifyIconRecord record = win32::MakeNotifyIconRecord(window, icon, c.tip);
    EXPECT_EQ(record.cbSize, win32::kFirstNotifyIconRecordSize);
    EXPECT_EQ(record.hWnd, window);
    EXPECT_EQ(record.uID, 0u);
    EXPECT_EQ(record.uFlags, 7u);
    EXPECT_EQ(record.uCallbackMessage, 1125u);
    EXPECT_EQ(record.hIcon, icon);
    EXPECT_EQ(std::strlen(record.szTip), c.kept);
    EXPECT_EQ(std::string(record.szTip), c.tip.substr(0, c.kept));
  }
}

TEST(Win32Tray, CallbackWindowIsHiddenAndHandsItsMessagesToTheTarget) {
  RecordingTarget target;
  auto tray = TrayIconHost::Create(target);
  EXPECT_EQ(target.early, 0);
  target.tray = tray.get();
  const HWND window = reinterpret_cast<HWND>(tray->Id());
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(window));
  tray->Notify(NotifyIconOperation::kAdd, "ZARN 4 Program Update");
  tray->Notify(NotifyIconOperation::kModify, "Looking for Update");
  PostMessageA(window, kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK);
  Pump(200);
  ASSERT_EQ(target.seen.size(), 1u);
  EXPECT_EQ(target.seen[0].message, kTrayCallbackMessage);
  EXPECT_EQ(target.seen[0].lparam, WM_LBUTTONDBLCLK);
  tray->Notify(NotifyIconOperation::kDelete, "");

  ASSERT_TRUE(SetCursorPos(120, 80));
  const Point position = tray->CursorPos();
  EXPECT_EQ(position.x, 120);
  EXPECT_EQ(position.y, 80);
}

class NoHandler : public win32::WindowHandler {
 public:
  virtual ~NoHandler() = default;
  LRESULT OnMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override {
    return DefWindowProcA(window, message, wparam, lparam);
  }
};

TEST(Win32WindowCreation, AFailureRaisesTheSystemError) {
  NoHandler handler;
  win32::WindowSettings settings;
  settings.class_name = "ZarnTestOrphan";
  settings.style = WS_CHILD;  // a child window needs a parent, and there is none
  try {
    win32::OwnedWindow window(settings, handler);
    FAIL() << "created";
  } catch (const EOSError& error) {
    EXPECT_NE(error.ErrorCode(), 0u);
  }
}

}  // namespace
}  // namespace zarn::platform
