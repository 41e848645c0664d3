// The main window's start-up: mode, program and work folders, the log header, the start timer
// and the saved log.
#include "app/main_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/text.h"
#include "net/net_exceptions.h"
#include "platform/files.h"
#include "platform/message_loop.h"
#include "platform/system.h"
#include "tests/support/fake_window.h"
#include "tests/support/file_contents.h"
#include "tests/support/scripted_ftp_server.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;
using test::FakeTrayHost;
using test::FakeWindow;

void Touch(const fs::path& path) {
  std::ofstream(path) << "x";
}

class MainFormTest : public ::testing::Test {
 protected:
  // The program folder as the program spells it: upper case where names ignore case.
  std::string ProgramFolder() const {
    return platform::FileNamesIgnoreCase() ? UpperAscii(dir_.Folder()) : dir_.Folder();
  }

  std::unique_ptr<TfrmZarnUpdate> Create(const std::vector<std::string>& arguments = {}) {
    TfrmZarnUpdate::Parts parts;
    parts.parameters = [arguments] {
      std::vector<std::string> parameters{"zarn4update"};
      parameters.insert(parameters.end(), arguments.begin(), arguments.end());
      return parameters;
    };
    parts.window = [this](std::string_view, platform::MessageTarget& target) {
      auto window = std::make_unique<FakeWindow>(target);
      window_ = window.get();
      return window;
    };
    parts.tray = [this](platform::MessageTarget&) {
      auto host = std::make_unique<FakeTrayHost>();
      tray_ = host.get();
      return host;
    };
    parts.executable_path = [this] { return (dir_.path() / "zarn4update").string(); };
    // Connected through a LAN, whatever the machine's own network: nothing is ever dialled.
    parts.connected_state = [] { return platform::ConnectedState{true, platform::kConnectionLan}; };
    parts.dial = [this](std::uint32_t, platform::WindowId) {
      ++dials_;
      return false;
    };
    return std::make_unique<TfrmZarnUpdate>(parts);
  }

  test::SettingsSandbox settings_;
  test::TempDir dir_;
  FakeWindow* window_ = nullptr;
  FakeTrayHost* tray_ = nullptr;
  int dials_ = 0;
};

TEST_F(MainFormTest, HeaderLinesFollowModeSwitchAndFolders) {
  const std::string delimiter(1, platform::PathDelimiter());
  const struct {
    const char* name;
    std::vector<std::string> arguments;
    bool beta, last_was_beta, repeat_rollback, main_program_beside;
    std::vector<std::string> expected;  // "*" stands for the time line; "<work>" the work folder
  } cases[] = {
      {"standalone",
       {},
       false,
       false,
       false,
       true,
       {"Update " ZARN_TEST_VERSION " Standalone", "*", "Production Update",
        "Temp Update Folder: <work>"}},
      {"launched",
       {"/RUN"},
       false,
       false,
       false,
       true,
       {"Update " ZARN_TEST_VERSION " Launched from Zarn", "*", "Production Update",
        "Temp Update Folder: <work>"}},
      {"not a switch",
       {"/run2", "-run", "run"},
       false,
       false,
       false,
       true,
       {"Update " ZARN_TEST_VERSION " Standalone", "*", "Production Update",
        "Temp Update Folder: <work>"}},
      {"beta",
       {},
       true,
       true,
       true,
       true,
       {"Update " ZARN_TEST_VERSION " Standalone", "*", "Beta Update",
        "Temp Update Folder: <work>"}},
      {"roll back after beta",
       {},
       false,
       true,
       false,
       true,
       {"Update " ZARN_TEST_VERSION " Standalone", "*", "Production Update",
        "Rolling Back To Production Version", "Temp Update Folder: <work>"}},
      {"repeat roll back",
       {},
       false,
       false,
       true,
       true,
       {"Update " ZARN_TEST_VERSION " Standalone", "*", "Production Update",
        "Rolling Back To Production Version", "Temp Update Folder: <work>"}},
      {"structure error",
       {},
       false,
       false,
       false,
       false,
       {"Update " ZARN_TEST_VERSION " Standalone", "*", "Production Update",
        "Temp Update Folder: <work>", "! Possible Folder Structure Error", "ProgramPath: <program>",
        // The diagnostic listings, over a registry that holds no class of the suite.
        "Registered Program Components", "-----------------------------",
        "zarn4dsi.exe Class Not in Registry", "zarn4update.exe Class Not in Registry",
        "zarn4net.exe Class Not in Registry", "zarn4server.exe Class Not in Registry", "", "",
        "Registered Receiver Drivers", "---------------------------", "! None Found", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::SettingsSandbox settings;
    if (c.beta) settings.SetDword("Beta Mode Enabled", 1);
    if (c.last_was_beta) settings.SetDword("Last Update Was Beta", 2);
    if (c.repeat_rollback) settings.SetDword("Repeat Rollback", 1);
    fs::remove(dir_.path() / "zarn4.exe");
    if (c.main_program_beside) Touch(dir_.path() / "zarn4.exe");

    auto form = Create(c.arguments);
    const auto& lines = form->log()->Lines();
    ASSERT_EQ(lines.size(), c.expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      std::string expected = c.expected[i];
      if (expected == "*") {
        EXPECT_EQ(lines[i].rfind("Update Time: ", 0), 0u) << lines[i];
        continue;
      }
      if (auto at = expected.find("<work>"); at != std::string::npos) {
        expected.replace(at, 6, ProgramFolder() + "temp_update" + delimiter);
      }
      if (auto at = expected.find("<program>"); at != std::string::npos) {
        expected.replace(at, 9, ProgramFolder());
      }
      EXPECT_EQ(lines[i], expected);
    }
    // Beta mode clears a pending roll-back; the program folder is stored only when the main
    // program stands beside the updater.
    if (c.beta) {
      EXPECT_EQ(settings.GetDword("Repeat Rollback"), std::optional<std::uint32_t>(0));
    }
    EXPECT_EQ(settings.GetString("Program Folder"), c.main_program_beside ? ProgramFolder() : "");
    EXPECT_EQ(form->FolderStructureError(), !c.main_program_beside);
  }
}

TEST_F(MainFormTest, StoredProgramFolderDecidesTheFoldersAndTheStructureCheck) {
  const struct {
    std::string stored;
    bool error;
  } cases[] = {
      {dir_.Folder(), false},
      {dir_.path().string(), true},  // no trailing delimiter: never equal to the own folder
      {dir_.Folder() + "other" + std::string(1, platform::PathDelimiter()), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    settings_.SetString("Program Folder", c.stored);
    fs::create_directories(fs::path(c.stored));
    auto form = Create();
    const std::string stored = platform::FileNamesIgnoreCase() ? UpperAscii(c.stored) : c.stored;
    EXPECT_EQ(form->session().program_folder, stored);
    EXPECT_EQ(form->session().work_folder,
              stored + "temp_update" + std::string(1, platform::PathDelimiter()));
    EXPECT_EQ(form->FolderStructureError(), c.error);
  }
  // The folder stored without its delimiter put a work folder beside the scratch folder, which
  // the scratch folder does not remove.
  std::error_code ignored;
  fs::remove_all(dir_.path().string() + "temp_update", ignored);
}

TEST_F(MainFormTest, LeftoverWorkFolderIsEmptiedWithItsSubFolders) {
  Touch(dir_.path() / "zarn4.exe");
  fs::create_directories(dir_.path() / "temp_update" / "sub");
  Touch(dir_.path() / "temp_update" / "old.cab");
  Touch(dir_.path() / "temp_update" / "sub" / "stale.txt");
  auto form = Create();
  EXPECT_TRUE(fs::is_empty(dir_.path() / "temp_update"));
}

TEST_F(MainFormTest, StartsHiddenWithTheIconAndNoCloseSet) {
  Touch(dir_.path() / "zarn4.exe");
  auto form = Create();
  EXPECT_FALSE(window_->visible);
  ASSERT_FALSE(tray_->notifications.empty());
  EXPECT_EQ(tray_->notifications[0].first, platform::NotifyIconOperation::kAdd);
  EXPECT_TRUE(form->tray.NoClose);
  EXPECT_TRUE(form->startTimer.Enabled());
  EXPECT_EQ(form->startTimer.Interval(), 500u);

  // A double-click shows the window; its close box only hides it again while NoClose holds.
  form->tray.HandleMessage({platform::kTrayCallbackMessage, 0, platform::kWmLButtonDblClk});
  EXPECT_TRUE(window_->visible);
  form->HandleMessage({platform::kWmSysCommand, platform::kScClose, 0});
  EXPECT_FALSE(window_->visible);
  EXPECT_FALSE(platform::MessageLoop::Terminated());
}

TEST_F(MainFormTest, StatusLinesReachTheWindowAndTheLog) {
  Touch(dir_.path() / "zarn4.exe");
  auto form = Create();
  const std::size_t header = form->log()->Lines().size();
  form->ftpStatus("Connected");
  form->ftpDisconnected();
  EXPECT_EQ(window_->status, "FTP Disconnected");
  ASSERT_EQ(form->log()->Lines().size(), header + 2);
  EXPECT_EQ(form->log()->Lines()[header], "FTP Status: Connected");
}

TEST_F(MainFormTest, TheFtpComponentsEventsReachTheLog) {
  Touch(dir_.path() / "zarn4.exe");
  auto form = Create();
  EXPECT_TRUE(form->ftp.Passive);
  EXPECT_EQ(form->tcpClient.Port, 12500);
  EXPECT_EQ(form->messagePump.IdleTimeOut, 500);
  EXPECT_FALSE(form->messagePump.OnlyWhenIdle);
  const std::size_t header = form->log()->Lines().size();
  form->ftp.Host = "127.0.0.1";
  form->ftp.Port = test::ScriptedFtpServer::UnusedPort();
  EXPECT_THROW(form->ftp.Connect(true), ENetSocketError);
  const std::vector<std::string> lines(form->log()->Lines().begin() + header,
                                       form->log()->Lines().end());
  EXPECT_EQ(lines, (std::vector<std::string>{"FTP Status: Connecting to 127.0.0.1.",
                                             "FTP Status: Disconnecting from 127.0.0.1.",
                                             "FTP Status: Not connected.", "FTP Disconnected"}));
}

TEST_F(MainFormTest, TimerRunsOnceClosesAndSavesTheErrorLogCreatingUser) {
  Touch(dir_.path() / "zarn4.exe");
  settings_.SetString("Update Server",
                      "127.0.0.1:" + std::to_string(test::ScriptedFtpServer::UnusedPort()));
  auto form = Create();
  platform::MessageLoop::Run();  // ends when the window closes itself
  EXPECT_EQ(dials_, 0);
  EXPECT_FALSE(form->startTimer.Enabled());
  EXPECT_TRUE(window_->progress_visible);
  EXPECT_FALSE(window_->busy_cursor);
  EXPECT_FALSE(form->tray.NoClose);
  const fs::path saved = dir_.path() / "User" / "zarn4updatelog_error.txt";
  ASSERT_TRUE(fs::exists(saved));
  const std::string text = test::ReadWholeFile(saved);
  EXPECT_EQ(text.rfind("Update " ZARN_TEST_VERSION " Standalone\r\nUpdate Time: ", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

}  // namespace
}  // namespace zarn
