// The program's one window, TfrmZarnUpdate: it settles the session at creation, writes the log
// header, starts the update pass half a second after the loop starts, and saves the update log
// when it closes. It stays hidden; its notification-area icon stands for it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/checked_download.h"
#include "app/companion_programs.h"
#include "app/form.h"
#include "app/progress_bar.h"
#include "app/session.h"
#include "app/status_sink.h"
#include "app/system_info.h"
#include "app/timer.h"
#include "app/tray_icon.h"
#include "app/update_log.h"
#include "app/update_manifest.h"
#include "cab/cabfiles.h"
#include "net/ftp_client.h"
#include "net/message_pump.h"
#include "net/tcp_client.h"
#include "platform/connection.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/signature.h"
#include "platform/system.h"

namespace zarn {

class TfrmZarnUpdate : public TForm, public StatusSink {
 public:
  // The platform objects the window is made of; tests substitute their own.
  struct Parts {
    WindowFactory window = platform::MainWindow::Create;
    TTrayIcon::HostFactory tray = platform::TrayIconHost::Create;
    std::function<std::string()> executable_path = platform::ExecutablePath;
    std::function<std::vector<std::string>()> parameters = platform::CommandLineParameters;
    // The connection query and the dialling of the default connection at start.
    std::function<platform::ConnectedState()> connected_state = platform::GetInternetConnectedState;
    std::function<bool(std::uint32_t flags, platform::WindowId owner)> dial =
        platform::InternetAutodial;
    std::function<bool()> hang_up = platform::InternetAutodialHangup;
    // The question before installing and the box of an error that ended the pass.
    std::function<int(std::string_view text, std::string_view caption, std::uint32_t flags)>
        message_box = [](std::string_view text, std::string_view caption, std::uint32_t flags) {
          return platform::ShowMessageBox(text, caption, flags);
        };
  };

  // How a session ended, as the process's exit status: the pass stored its update time
  // (installed, or nothing to update); the user declined the update; anything else; the pass
  // stored its time although a listed file was not installed (dropped, not extracted or not
  // replaced), which schedulers and scripts must be able to tell from a complete update.
  static constexpr int kExitStored = 0;
  static constexpr int kExitFailed = 1;
  static constexpr int kExitDeclined = 2;
  static constexpr int kExitIncomplete = 3;

  static constexpr std::string_view kCaption = "ZARN4 Program Update";
  static constexpr std::uint32_t kStartDelayMs = 500;

  // Creates the window and its components and runs FormCreate. Throws when the window cannot be
  // set up (the work folder cannot be created, the settings cannot be read).
  explicit TfrmZarnUpdate(const Parts& parts);
  explicit TfrmZarnUpdate() : TfrmZarnUpdate(Parts{}) {}
  ~TfrmZarnUpdate() override;

  void ShowStatus(std::string_view text) override;

  const Session& session() const { return session_; }
  const UpdateLog* log() const { return log_.get(); }
  bool Updating() const { return updating_; }
  bool ManifestFound() const { return manifest_found_; }
  bool FolderStructureError() const { return folder_structure_error_; }
  int ExitCode() const { return exit_code_; }
  // The latest status line, as the window shows it.
  const std::string& LastStatus() const { return last_status_; }

  TTrayIcon tray;
  TTimer startTimer;
  // Progress of the downloads and the installation; shown once the start timer fires.
  TProgressBar pbar;
  // The network components: the update run's FTP client, a TCP client that is never connected
  // (it only keeps the socket stack alive with the window), and the pump that keeps the window
  // answering while they wait.
  TFtpClient ftp;
  TTcpClient tcpClient;
  TMessagePump messagePump;
  // Unpacks the downloaded cabinets (MSZIP, lowest LZX memory).
  TCABFile cab;
  // The system facts of the uploaded report.
  TSysInfo sysinfo;
  // Set by the companions' close operations when they closed the program; the end of the run
  // restarts exactly those.
  bool MainProgramClosed = false;
  bool NetProgramClosed = false;
  CompanionPrograms companions;

  // Event handlers.
  void startTimerTimer(TTimer& sender);
  void ftpStatus(std::string_view status_text);
  void ftpDisconnected();
  void trayDblClick(TTrayIcon& sender);

  // Extracts each listed file's cabinet into the work folder and puts the file into the program
  // folder; the updater's own executable goes beside itself as "new_" + its upper-cased name and
  // its entry leaves the download list.
  void InstallFiles(const UpdateManifest& manifest, std::vector<std::string>& download_list);

  // The full path of the log file the window saves at close.
  std::string LogFilePath() const;

 protected:
  bool FormCloseQuery() override;
  void FormClose() override;

 private:
  void FormCreate();
  void ChooseMode();
  void SettleProgramFolder();
  void PrepareWorkFolder();
  void WriteHeader();
  void SaveLog();
  // Shows an error in a box, or, in an unattended pass, logs it and writes it to standard error.
  void TellError(std::string_view text, std::string_view caption, std::uint32_t flags);
  void RunUpdate();
  std::string ExtractCab(const UpdateManifest& manifest, const std::string& cab_name);
  void InstallOwnExecutable(const std::string& entry, const std::string& own_name,
                            const std::string& folder);
  void InstallOrdinaryFile(const std::string& entry, const std::string& folder);
  // Patches (app/patch_install.cpp): what the download pass knows when it tries one.
  struct PatchPass {
    const UpdateManifest& manifest;
    const std::vector<std::string>& listing;  // the update folder's names
    const std::vector<std::string>& entries;  // the download list
    bool digests_required;
  };
  // Downloads and applies the entry's patch when its installed file is the patch's base; true
  // when the new file waits in its extraction folder. False when the entry has none or its file
  // is not the base, and after a status line of its own when the patch failed: the cabinet is
  // then downloaded as before.
  bool DownloadPatch(const PatchPass& pass, const std::string& entry, const std::string& progress);
  // The folder holding the entry's new file (ending in the delimiter): the one its patch was
  // applied in, else its cabinet's new extraction folder; empty when that failed or the patched
  // file no longer has its digest.
  std::string ExtractOrPatched(const UpdateManifest& manifest, const std::string& entry,
                               const std::string& cab_name);
  // RunUpdate's parts: the protected main block and the always-run block.
  struct RunState;
  class PassEnd;
  void UpdateMainBlock(RunState& run);
  void ConnectToUpdateServer();
  void ListUpdateFolder(std::vector<std::string>& names);
  std::string_view ManifestTrusted(RunState& run);
  void DownloadCabs(RunState& run);
  DownloadChecks CabinetChecks(const RunState& run, const std::string& cab_name);
  void SkipStaleReplies();
  void RegisterServers(RunState& run);
  void UploadReport();
  void FinishRun(RunState& run);

  Parts parts_;
  Session session_;
  std::unique_ptr<UpdateLog> log_;
  bool updating_ = false;
  bool manifest_found_ = false;
  bool folder_structure_error_ = false;
  bool log_saved_ = false;
  // The pass installs without asking ("Install Without Asking"): nobody may be there for a box.
  bool unattended_ = false;
  int exit_code_ = kExitFailed;
  // Entries the last InstallFiles could not install.
  int files_not_installed_ = 0;
  // The entries of this pass whose new file a patch made: the folder holding it, and its digest.
  struct PatchedFile {
    std::string folder;
    platform::Sha256Digest digest{};
  };
  std::map<std::string, PatchedFile> patched_files_;
  std::string last_status_;
};

}  // namespace zarn
