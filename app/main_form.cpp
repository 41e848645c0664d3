#include "app/main_form.h"

#include <exception>

#include "app/component_diagnostics.h"
#include "app/update_common.h"
#include "automation/com_server.h"
#include "common/exception.h"
#include "common/text.h"
#include "platform/connection.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/message_loop.h"
#include "platform/system.h"

namespace zarn {

namespace {

constexpr std::string_view kProductionFolder = "/pub/zarn4update";
constexpr std::string_view kBetaFolder = "/pub/zarn4updatebeta";
constexpr std::string_view kLogFileName = "zarn4updatelog.txt";
constexpr std::string_view kErrorLogFileName = "zarn4updatelog_error.txt";

// Folder names compare exactly where file names keep their letter case.
std::string FolderCase(std::string_view folder) {
  return platform::FileNamesIgnoreCase() ? UpperAscii(folder) : std::string(folder);
}

// The folder of a program file, ending in the delimiter.
std::string FolderOf(const std::string& path) {
  const std::size_t cut = path.find_last_of(platform::PathDelimiter());
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// The text of an error that no handler took.
std::string DescribeFailure(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "Unknown error";
  }
}

}  // namespace

TfrmZarnUpdate::TfrmZarnUpdate(const Parts& parts)
    : TForm(kCaption, parts.window),
      tray(*this, parts.tray),
      pbar([this](int percent) { Window().SetProgress(percent); }),
      companions(*this, Window().Id(), MainProgramClosed, NetProgramClosed),
      parts_(parts) {
  // The stored settings of the components, then the icon takes over the window.
  tray.NoClose = true;
  tray.OnDblClick = [this](TTrayIcon& sender) { trayDblClick(sender); };
  startTimer.SetInterval(kStartDelayMs);
  startTimer.OnTimer = [this](TTimer& sender) { startTimerTimer(sender); };
  ftp.Passive = true;
  ftp.OnStatus = [this](TNetComponent&, TNetStatus, const std::string& text) { ftpStatus(text); };
  ftp.OnDisconnected = [this](TNetComponent&) { ftpDisconnected(); };
  tcpClient.Port = 12500;
  messagePump.IdleTimeOut = 500;
  messagePump.OnlyWhenIdle = false;
  tray.Loaded();
  FormCreate();
}

TfrmZarnUpdate::~TfrmZarnUpdate() = default;

void TfrmZarnUpdate::FormCreate() {
  session_.roll_back = false;
  ChooseMode();
  SettleProgramFolder();
  PrepareWorkFolder();
  session_.may_close = true;
  log_ = std::make_unique<UpdateLog>();
  WriteHeader();
  manifest_found_ = false;
  startTimer.SetEnabled(true);
}

void TfrmZarnUpdate::ChooseMode() {
  session_.servers = ReadUpdateServers();
  const std::string& host = session_.servers.front().host;
  if (ReadBetaModeEnabled()) {
    session_.manifest_name = kBetaManifest;
    session_.channel_folder = kBetaFolder;
    session_.update_folder = host + session_.channel_folder;
    WriteRepeatRollback(false);
  } else {
    session_.manifest_name = kProductionManifest;
    session_.channel_folder = kProductionFolder;
    session_.update_folder = host + session_.channel_folder;
    if (ReadLastUpdateWasBeta() || ReadRepeatRollback()) session_.roll_back = true;
  }
}

void TfrmZarnUpdate::SettleProgramFolder() {
  const std::string stored = FolderCase(ReadProgramFolder());
  const std::string own = FolderCase(FolderOf(parts_.executable_path()));
  if (stored.empty()) {
    session_.program_folder = own;
    if (platform::FileExists(own + "zarn4.exe")) {
      WriteProgramFolder(own);
    } else {
      folder_structure_error_ = true;
    }
  } else {
    session_.program_folder = stored;
    folder_structure_error_ = own != stored;
  }
}

void TfrmZarnUpdate::PrepareWorkFolder() {
  session_.work_folder =
      session_.program_folder + "temp_update" + std::string(1, platform::PathDelimiter());
  if (platform::DirectoryExists(session_.work_folder)) {
    EmptyFolder(session_.work_folder);  // what cannot go is left; the pass refuses to use it
  } else if (!platform::CreateFolder(session_.work_folder)) {
    throw Exception("Unable to create folder " + session_.work_folder);
  }
}

void TfrmZarnUpdate::WriteHeader() {
  const std::string version = GetAppVersionString(3);
  log_->Add(
      "Update " + version +
      (ParametersHaveSwitch(parts_.parameters(), "/run") ? " Launched from Zarn" : " Standalone"));
  const CivilDateTime now = platform::LocalNow();
  log_->Add("Update Time: " + platform::FormatShortDate(now) + " " + platform::FormatLongTime(now));
  log_->Add(session_.manifest_name == kProductionManifest ? "Production Update" : "Beta Update");
  if (session_.roll_back) log_->Add("Rolling Back To Production Version");
  log_->Add(platform::DirectoryExists(session_.work_folder)
                ? "Temp Update Folder: " + session_.work_folder
                : std::string("Temp Update Folder Not Found"));
  if (folder_structure_error_) {
    log_->Add("! Possible Folder Structure Error");
    log_->Add("ProgramPath: " + session_.program_folder);
    LogProgramComponents(*this);
    LogReceiverDrivers(*this);
  }
}

void TfrmZarnUpdate::ShowStatus(std::string_view text) {
  last_status_ = text;
  Window().SetStatusText(text);
  if (log_) log_->Add(text);
}

void TfrmZarnUpdate::startTimerTimer(TTimer&) {
  startTimer.SetEnabled(false);
  Window().SetProgressVisible(true);

  std::uint8_t modem = 0;
  std::string description;
  const bool connected = GetConnectionState(parts_.connected_state(), modem, description);
  Window().SetBusyCursor(true);
  bool dialled = false;
  bool dial_failed = false;
  if (!connected && modem == 1) {
    if (parts_.dial(platform::kAutodialForceUnattended, Window().Id())) {
      dialled = true;
    } else {
      dial_failed = true;
    }
  }

  std::exception_ptr failure;
  try {
    if (dial_failed) {
      ShowStatus("Unable to Connect To Internet");
    } else {
      RunUpdate();
    }
  } catch (...) {
    failure = std::current_exception();
  }
  if (dialled) parts_.hang_up();
  Window().SetBusyCursor(false);
  // An error that escaped the pass is told now, while the loop still runs: a box shown after the
  // loop's quit message would be closed by the system at once, unseen.
  if (failure) {
    exit_code_ = kExitFailed;
    parts_.message_box(DescribeFailure(failure), kCaption, platform::kMbIconError);
  }
  // A program that COM started for a client stays until that client has reached it: a first call
  // that arrives after a short pass would otherwise find the program gone. The loop may end
  // meanwhile (the window closed, or the client came and let go), and the window with it.
  if (TComServer* server = ComServer(); server != nullptr && server->AwaitingFirstClient()) {
    server->AwaitFirstClient();
    if (platform::MessageLoop::Terminated()) return;
  }
  Close();
}

void TfrmZarnUpdate::ftpStatus(std::string_view status_text) {
  ShowStatus("FTP Status: " + std::string(status_text));
}

void TfrmZarnUpdate::ftpDisconnected() {
  ShowStatus("FTP Disconnected");
}

void TfrmZarnUpdate::trayDblClick(TTrayIcon&) {
  Show();
}

// Closing also ends the automation server: while clients hold objects the user is asked first.
bool TfrmZarnUpdate::FormCloseQuery() {
  if (updating_ || !session_.may_close) return false;
  TComServer* server = ComServer();
  return server == nullptr || server->ConfirmServerClose();
}

std::string TfrmZarnUpdate::LogFilePath() const {
  return session_.program_folder + "User" + std::string(1, platform::PathDelimiter()) +
         std::string(manifest_found_ ? kLogFileName : kErrorLogFileName);
}

// Saves the update log. A missing "User" folder is created; a log that still cannot be written is
// reported to the user once rather than lost without a word.
void TfrmZarnUpdate::FormClose() {
  if (!log_) return;
  const std::string path = LogFilePath();
  std::uint32_t error = 0;
  const std::string user_folder = session_.program_folder + "User";
  if (log_->SaveToFile(path, error) ||
      (!platform::DirectoryExists(user_folder) && platform::CreateFolder(user_folder) &&
       log_->SaveToFile(path, error))) {
    Window().LeaveSummary(last_status_, path);
    return;
  }
  parts_.message_box(
      "Unable to save the update log to " + path + " (error " + std::to_string(error) + ")",
      kCaption, platform::kMbIconError);
}

}  // namespace zarn
