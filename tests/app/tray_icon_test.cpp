#include "app/tray_icon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fake_window.h"

namespace zarn {
namespace {

using platform::NotifyIconOperation;
using test::FakeTrayHost;
using test::FakeWindow;

class TrayIconTest : public ::testing::Test {
 protected:
  TrayIconTest()
      : form_("test",
              [this](std::string_view, platform::MessageTarget& target) {
                auto window = std::make_unique<FakeWindow>(target);
                window_ = window.get();
                return window;
              }),
        tray_(form_, [this](platform::MessageTarget&) {
          auto host = std::make_unique<FakeTrayHost>();
          host_ = host.get();
          return host;
        }) {
    tray_.OnClick = [this](TTrayIcon&) { events_.push_back("click"); };
    tray_.OnDblClick = [this](TTrayIcon&) { events_.push_back("dblclick"); };
    tray_.OnMouseDown = [this](TTrayIcon&, TMouseButton b, TShiftState s, int x, int y) {
      events_.push_back("down " + Name(b) + Double(s) + At(x, y));
    };
    tray_.OnMouseUp = [this](TTrayIcon&, TMouseButton b, TShiftState s, int x, int y) {
      events_.push_back("up " + Name(b) + Double(s) + At(x, y));
    };
    tray_.OnMouseMove = [this](TTrayIcon&, TShiftState, int x, int y) {
      events_.push_back("move" + At(x, y));
    };
  }

  static std::string Name(TMouseButton b) {
    return b == TMouseButton::mbLeft ? "left" : b == TMouseButton::mbRight ? "right" : "middle";
  }
  static std::string Double(TShiftState s) { return (s & ssDouble) ? " double" : ""; }
  static std::string At(int x, int y) { return " @" + std::to_string(x) + "," + std::to_string(y); }

  void SendIconMessage(std::uint32_t mouse_message) {
    tray_.HandleMessage(
        {platform::kTrayCallbackMessage, 0, static_cast<std::intptr_t>(mouse_message)});
  }

  // A form whose own procedure records what reaches it.
  class RecordingForm : public TForm {
   public:
    using TForm::TForm;
    std::vector<std::uint32_t> seen;
    bool closed = false;

   protected:
    std::intptr_t WndProc(const platform::WindowMessage& message) override {
      seen.push_back(message.message);
      return TForm::WndProc(message);
    }
    bool FormCloseQuery() override { return true; }
    void FormClose() override { closed = true; }
  };

  FakeWindow* window_ = nullptr;
  FakeTrayHost* host_ = nullptr;
  RecordingForm form_;
  TTrayIcon tray_;
  std::vector<std::string> events_;
};

TEST_F(TrayIconTest, MouseMessagesFireTheirEventsInOrder) {
  tray_.Loaded();
  const struct {
    std::uint32_t message;
    std::vector<std::string> expected;
  } cases[] = {
      {platform::kWmMouseMove, {"move @40,50"}},
      {platform::kWmLButtonDown, {"down left @40,50"}},
      {platform::kWmLButtonUp, {"click", "up left @40,50"}},
      {platform::kWmLButtonDblClk, {"dblclick", "down left double @40,50"}},
      {platform::kWmRButtonDown, {"down right @40,50"}},
      {platform::kWmRButtonUp, {"click", "up right @40,50"}},
      {platform::kWmRButtonDblClk, {"dblclick", "down right double @40,50"}},
      {platform::kWmMButtonDown, {"down middle @40,50"}},
      {platform::kWmMButtonUp, {"click", "up middle @40,50"}},
      {platform::kWmMButtonDblClk, {"dblclick", "down middle double @40,50"}},
      {0x020A /* wheel */, {}},
  };
  for (const auto& c : cases) {
    events_.clear();
    SendIconMessage(c.message);
    EXPECT_EQ(events_, c.expected) << "mouse message 0x" << std::hex << c.message;
  }
}

TEST_F(TrayIconTest, OtherCallbackWindowMessagesGoToTheDefaultHandling) {
  tray_.HandleMessage({platform::kWmTimer, 0, 0});
  EXPECT_EQ(host_->default_calls, 1);
  EXPECT_TRUE(events_.empty());
}

TEST_F(TrayIconTest, RightButtonPopsTheMenuUpAtTheCursorAfterOnPopUp) {
  tray_.Loaded();
  platform::Point shown_at{};
  tray_.OnPopUp = [this](TTrayIcon&) { events_.push_back("popup"); };
  tray_.PopUpMenu = [&](TTrayIcon&, platform::Point at) {
    events_.push_back("menu");
    shown_at = at;
  };
  SendIconMessage(platform::kWmRButtonDown);
  EXPECT_EQ(events_, (std::vector<std::string>{"down right @40,50", "popup", "menu"}));
  EXPECT_EQ(shown_at.x, 40);
  EXPECT_EQ(shown_at.y, 50);
}

TEST_F(TrayIconTest, LoadingHidesTheOwnerAndAddsTheIcon) {
  window_->visible = true;
  tray_.Loaded();
  EXPECT_FALSE(window_->visible);
  EXPECT_GE(window_->taskbar_hides, 1);
  ASSERT_EQ(host_->notifications.size(), 1u);
  EXPECT_EQ(host_->notifications[0].first, NotifyIconOperation::kAdd);
}

TEST_F(TrayIconTest, CloseCommandHidesWhileNoCloseAndClosesOtherwise) {
  tray_.Loaded();
  const struct {
    bool no_close;
    bool active;
    bool expect_closed;
  } cases[] = {{true, true, false}, {false, true, true}, {true, false, true}};
  for (const auto& c : cases) {
    form_.closed = false;
    tray_.NoClose = c.no_close;
    tray_.SetActive(c.active);
    window_->visible = true;
    form_.HandleMessage({platform::kWmSysCommand, platform::kScClose, 0});
    EXPECT_EQ(form_.closed, c.expect_closed) << c.no_close << c.active;
    EXPECT_FALSE(window_->visible);
  }
}

TEST_F(TrayIconTest, MinimiseAlwaysHidesAfterThePlatformMinimises) {
  tray_.Loaded();
  tray_.NoClose = false;
  window_->visible = true;
  form_.HandleMessage({platform::kWmSysCommand, platform::kScMinimize, 0});
  EXPECT_TRUE(window_->minimized);
  EXPECT_FALSE(window_->visible);
}

TEST_F(TrayIconTest, OwnerMessagesPassThroughAndStopAfterDestroy) {
  tray_.Loaded();
  tray_.NoClose = true;
  form_.HandleMessage({platform::kWmTimer, 0, 0});
  form_.HandleMessage({platform::kWmDestroy, 0, 0});
  // After the owner's destroy the icon no longer intercepts its close command.
  form_.HandleMessage({platform::kWmSysCommand, platform::kScClose, 0});
  EXPECT_EQ(form_.seen, (std::vector<std::uint32_t>{platform::kWmTimer, platform::kWmDestroy,
                                                    platform::kWmSysCommand,
                                                    platform::kWmClose}));
}

TEST_F(TrayIconTest, TipIsCutTo63CharactersAndSentOnChange) {
  tray_.Loaded();
  tray_.SetHint(std::string(70, 'x'));
  ASSERT_EQ(host_->notifications.size(), 2u);
  EXPECT_EQ(host_->notifications[1].first, NotifyIconOperation::kModify);
  EXPECT_EQ(host_->notifications[1].second, std::string(63, 'x'));
  tray_.SetHint("short");
  EXPECT_EQ(host_->notifications.back().second, "short");
}

TEST_F(TrayIconTest, DeactivatingDeletesTheIconAndReactivatingAddsIt) {
  tray_.Loaded();
  tray_.SetActive(false);
  tray_.SetHint("ignored while inactive");
  tray_.SetActive(true);
  std::vector<NotifyIconOperation> operations;
  for (const auto& n : host_->notifications) operations.push_back(n.first);
  EXPECT_EQ(operations, (std::vector<NotifyIconOperation>{NotifyIconOperation::kAdd,
                                                          NotifyIconOperation::kDelete,
                                                          NotifyIconOperation::kAdd}));
}

}  // namespace
}  // namespace zarn
