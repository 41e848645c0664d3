// The update pass: connect, read the manifest, compare, ask, download with retries, install,
// register, upload the report, and clean up whatever happened on the way.
#include <algorithm>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/checked_download.h"
#include "app/download_cache.h"
#include "app/main_form.h"
#include "app/manifest_names.h"
#include "app/release_metadata.h"
#include "app/release_trust.h"
#include "app/update_common.h"
#include "app/update_report.h"
#include "app/version_comparison.h"
#include "cab/stored_names.h"
#include "common/exception.h"
#include "common/text.h"
#include "net/net_exceptions.h"
#include "net/streams.h"
#include "platform/files.h"
#include "platform/system.h"

namespace zarn {

namespace {

// Stand-ins for file names in the download list: the installed file is current, or the file's
// cabinet is missing or could not be downloaded.
constexpr std::string_view kCurrentMarker = "**";
constexpr std::string_view kDroppedMarker = "ERROR";

constexpr std::string_view kFailureLine = "FTP Connection Failure E1 in RunUpdate";
constexpr std::string_view kQuestion =
    "An Update Is Available.  Do you wish to install it now?\r\n"
    "Programs may close temporarily, and then restart.";
constexpr int kFailuresBeforeDrop = 5;
constexpr std::uint32_t kPauseBeforeDownloadMs = 100;

bool ListHas(const std::vector<std::string>& list, std::string_view name) {
  return std::any_of(list.begin(), list.end(),
                     [name](const std::string& entry) { return EqualsIgnoringCase(entry, name); });
}

// Removes every entry equal to marker, letter case ignored; returns how many went.
std::size_t RemoveMarked(std::vector<std::string>& list, std::string_view marker) {
  return std::erase_if(
      list, [marker](const std::string& entry) { return EqualsIgnoringCase(entry, marker); });
}

// Thrown to leave the main block for the general error handler.
class EAbortPass : public Exception {
 public:
  using Exception::Exception;
};

// Thrown for a cabinet the release does not vouch for: the attempt counts as a failed download.
class ECabinetUntrusted : public Exception {
 public:
  using Exception::Exception;
};

// The signature is one P-256 signature; anything longer is no signature.
constexpr std::uint64_t kMaxSignatureBytes = 64;

// The digests of the cabinets the manifest lists, with their sizes where listed: the partials
// the download cache keeps.
std::map<std::string, std::optional<std::uint64_t>> ListedPartials(const UpdateManifest& manifest) {
  std::map<std::string, std::optional<std::uint64_t>> listed;
  for (const std::string& cab_name : manifest.ReadSectionKeys(kManifestHashes)) {
    const auto key = CacheKeyOfDigest(manifest.ReadString(kManifestHashes, cab_name));
    if (!key) continue;
    const std::string size = manifest.ReadString(kManifestSizes, cab_name);
    std::optional<std::uint64_t> listed_size;
    if (size != kManifestDefault) listed_size = ParseListedSize(size).value_or(0);
    // A digest listed twice keeps the smaller size.
    const auto [at, added] = listed.emplace(*key, listed_size);
    if (!added && listed_size && (!at->second || *listed_size < *at->second)) {
      at->second = listed_size;
    }
  }
  return listed;
}

}  // namespace

struct TfrmZarnUpdate::RunState {
  explicit RunState(std::string manifest_path) : manifest(std::move(manifest_path)) {}

  std::vector<std::string> download_list;
  std::vector<std::string> listing;
  UpdateManifest manifest;
  std::int32_t manifest_time = -1;
  bool store_time = false;
  bool declined = false;
  // With a publisher's key every cabinet needs a digest in the signed manifest.
  bool digests_required = false;
  // A listed file was not installed: dropped, not extracted or not replaced.
  bool incomplete = false;
};

// Never lets an error escape, except one raised by an error handler or by the clean-up itself;
// the clean-up runs however the main block ended.
void TfrmZarnUpdate::RunUpdate() {
  RunState run(session_.work_folder + session_.manifest_name);
  updating_ = true;

  std::exception_ptr escaped;
  try {
    try {
      UpdateMainBlock(run);
    } catch (const ENetSocketError& error) {
      ShowStatus(kFailureLine);
      ShowStatus("ENetSocketError: " + std::to_string(error.ErrorCode()));
      run.store_time = false;
      ftp.Quit();
    } catch (...) {
      run.store_time = false;
      ftp.Quit();
      ShowStatus(kFailureLine);
    }
  } catch (...) {
    escaped = std::current_exception();
  }
  FinishRun(run);
  if (escaped) std::rethrow_exception(escaped);
}

// Marks the pass as over when it goes, also when an error leaves the always-run block early.
class TfrmZarnUpdate::PassEnd {
 public:
  explicit PassEnd(TfrmZarnUpdate& form) : form_(form) {}
  ~PassEnd() {
    form_.updating_ = false;
    form_.session_.may_close = true;
    form_.tray.NoClose = false;
  }
  PassEnd(const PassEnd&) = delete;
  PassEnd& operator=(const PassEnd&) = delete;

 private:
  TfrmZarnUpdate& form_;
};

void TfrmZarnUpdate::UpdateMainBlock(RunState& run) {
  ShowStatus("Connecting to Server");
  ftp.User = "anonymous";
  ftp.SetTransferType(TFtpTransferType::ftBinary);
  ftp.IdleTimeoutMs = ReadServerTimeoutMs();
  ConnectToUpdateServer();
  ShowStatus("Looking for Update");
  ftp.ChangeDir(session_.update_folder);
  ListUpdateFolder(run.download_list);
  run.listing = run.download_list;
  if (!ListHas(run.download_list, session_.manifest_name)) {
    ShowStatus(session_.manifest_name + " is missing from FTP site.  Quitting.");
    ftp.Quit();
    return;
  }
  manifest_found_ = true;
  DownloadChecked(ftp, session_.manifest_name, session_.work_folder, run.manifest.Path(),
                  {kMaxManifestBytes, std::nullopt, {}});
  if (const std::string_view refusal = ManifestTrusted(run); !refusal.empty()) {
    // Nothing more of a refused manifest is read: the pass ends as if there were none.
    manifest_found_ = false;
    ShowStatus(refusal);
    ftp.Quit();
    return;
  }
  run.manifest_time = run.manifest.TimeOfUpdate();
  if (ReadLastWebUpdate() >= run.manifest_time) {
    ShowStatus("There appear to be no updates based on Update Time.");
  }

  run.download_list = run.manifest.ReadSectionKeys(kManifestFiles);
  if (run.download_list.empty()) ShowStatus("There are no updated files listed on the server.");
  // Keys that would collide with the list's markers cannot name a file and go silently; keys
  // that lead outside the program folder, that the reader or Windows would take for another
  // name, or that would land on the pass's own files are skipped with their reason.
  ScreenedKeys screened = ScreenFileKeys(run.download_list);
  for (const auto& [key, refusal] : screened.refused) {
    if (refusal != NameRefusal::kListMarker) {
      ShowStatus("Skipped " + key + ": " + std::string(RefusalText(refusal)));
    }
  }
  run.download_list = std::move(screened.taken);

  for (std::string& entry : run.download_list) {
    const std::string listed = run.manifest.ReadString(kManifestFiles, entry);
    if (session_.roll_back) continue;
    if (!FileNeedsUpdate(*this, listed, session_.program_folder + LocalKeyPath(entry))) {
      entry = kCurrentMarker;
    }
  }
  RemoveMarked(run.download_list, kCurrentMarker);

  if (run.download_list.empty()) {
    ShowStatus("There Are No Updates based on Version Comparison for each file.");
    ShowStatus("Ending Update");
    run.store_time = true;
  } else {
    if (unattended_) {
      ShowStatus("Update Accepted Without Asking");
    } else if (parts_.message_box(kQuestion, "Confirm",
                                  platform::kMbYesNo | platform::kMbIconQuestion) ==
               platform::kIdNo) {
      run.declined = true;
      ShowStatus("Update Cancelled by User");
      throw EAbortPass("Do Not Proceed");
    }
    Show();
    DownloadCabs(run);
    const std::size_t dropped = RemoveMarked(run.download_list, kDroppedMarker);
    if (dropped > 0) run.incomplete = true;
    if (session_.roll_back) {
      WriteRepeatRollback(dropped > 0);
      if (dropped > 0) ShowStatus("Repeat Rollback Required due to Download Failures");
    }
    if (run.download_list.empty()) throw EAbortPass("FTP Download Failure");
    const int count = static_cast<int>(run.download_list.size());
    ShowStatus("Download Complete.  " + std::to_string(count) + " files to extract.");
    pbar.SetRange(1, count);
    pbar.SetPosition(1);
    companions.CloseMainProgram();
    companions.CloseNetProgram();
    InstallFiles(run.manifest, run.download_list);
    if (files_not_installed_ > 0) run.incomplete = true;
    ShowStatus("Extraction Complete.  " + std::to_string(run.download_list.size()));
  }

  RegisterServers(run);
  UploadReport();
  ftp.Quit();
  run.store_time = true;
}

// Tries the update servers in order while connecting or logging in fails with a socket error
// (each attempt logs "FTP Status: Connecting to ..."); the first that logs in serves the whole
// pass, and its host names the update folder.
void TfrmZarnUpdate::ConnectToUpdateServer() {
  for (std::size_t i = 0;; ++i) {
    const UpdateServer& server = session_.servers[i];
    ftp.Host = server.host;
    ftp.Port = server.port;
    try {
      ftp.Connect(true);
      session_.update_folder = server.host + session_.channel_folder;
      return;
    } catch (const ENetSocketError&) {
      if (i + 1 >= session_.servers.size()) throw;
    }
  }
}

// The name listing of the update folder. Some servers (Pure-FTPd, pyftpdlib) take "*.*" for a
// file name and answer 550; the folder's plain listing is asked for once then.
void TfrmZarnUpdate::ListUpdateFolder(std::vector<std::string>& names) {
  try {
    ftp.List(names, "*.*", false);
  } catch (const ENetProtocolReplyError& error) {
    if (error.ReplyCode() != 550) throw;
    ftp.List(names, "", false);
  }
}

// Downloads each entry's cabinet, trying one entry again after a failure until five attempts in
// a row have failed; a file whose cabinet is missing or given up is marked as dropped. Each
// attempt continues the bytes the entry's earlier attempts received, and an attempt that made
// progress (kProgressBytes more than the partial ever held) is logged but not counted: a large
// cabinet over a link that drops often completes, one that never moves is given up as before.
// Partials of cabinets with a listed digest live in the download cache, for a later pass.
void TfrmZarnUpdate::DownloadCabs(RunState& run) {
  std::vector<std::string>& list = run.download_list;
  pbar.SetRange(0, static_cast<int>(list.size()));
  pbar.SetPosition(1);
  ShowStatus(list.size() < 2 ? std::string("Downloading 1 CAB File...")
                             : "Downloading " + std::to_string(list.size()) + " CAB Files...");
  DownloadCache cache(session_.program_folder + "temp_update_cache" + platform::PathDelimiter());
  cache.Prepare(ListedPartials(run.manifest));
  std::size_t index = 0;
  int failures = 0;
  std::string cab_name;
  std::string progress;
  // A patch is tried once per entry, before its cabinet's first attempt.
  std::size_t patch_tried = list.size();
  patched_files_.clear();
  PartialDownload partial;
  std::size_t partial_index = 0;
  while (index < list.size()) {
    if (partial_index != index) {
      // The work folder's partial of an entry done with goes now; a cache entry stays.
      if (!partial.path.empty() && partial.path.starts_with(session_.work_folder)) {
        platform::DeleteFile(partial.path);
      }
      partial = {};
      partial_index = index;
    }
    partial.progressed = false;
    try {
      progress = std::to_string(index + 1) + "/" + std::to_string(list.size()) + " ";
      PumpMessagesFor(kPauseBeforeDownloadMs);
      cab_name = run.manifest.ReadString(kManifestCabs, list[index]);
      const bool usable =
          cab_name == kDroppedMarker || CabNameRefusal(cab_name) == NameRefusal::kNone;
      if (!usable || !ListHas(run.listing, cab_name)) {
        ShowStatus(progress + " Missing CAB File: " + list[index] + " skipped");
        list[index] = kDroppedMarker;
      } else if (cab_name != kDroppedMarker) {
        bool patched = false;
        if (patch_tried != index) {
          patch_tried = index;
          patched = DownloadPatch({run.manifest, run.listing, list, run.digests_required},
                                  list[index], progress);
        }
        if (!patched) {
          const DownloadChecks checks = CabinetChecks(run, cab_name);
          if (partial.path.empty()) partial.path = cache.PartialPath(checks.digest);
          DownloadContinued(ftp, cab_name, session_.work_folder, session_.work_folder + cab_name,
                            checks, partial);
          ShowStatus(progress + " Download " + cab_name + " (" + list[index] + ")" + " OK");
        }
      }
      ++index;
      pbar.StepBy(1);
      failures = 0;
    } catch (...) {
      // The attempt's failure is logged before anything more is asked of the server; a resync
      // that fails belongs to this attempt, and ends the pass only when the control connection
      // is gone with it.
      std::exception_ptr resync_failure;
      try {
        ftp.Abort();
      } catch (...) {
        resync_failure = std::current_exception();
      }
      if (!partial.progressed) ++failures;
      ShowStatus(progress + " Download " + cab_name + " Failure # (" + std::to_string(failures) +
                 ")");
      if (!resync_failure) {
        try {
          SkipStaleReplies();
        } catch (...) {
          resync_failure = std::current_exception();
        }
      }
      if (resync_failure && !ftp.IsConnected()) std::rethrow_exception(resync_failure);
      if (failures >= kFailuresBeforeDrop) {
        list[index] = kDroppedMarker;
        ++index;
      }
    }
  }
  if (!partial.path.empty() && partial.path.starts_with(session_.work_folder)) {
    platform::DeleteFile(partial.path);
  }
  cache.RemoveWhenEmpty();
}

// What the release says of a cabinet: its digest (with a key it must have one) and its size,
// else the most an extraction may unpack.
DownloadChecks TfrmZarnUpdate::CabinetChecks(const RunState& run, const std::string& cab_name) {
  DownloadChecks checks;
  checks.max_bytes = TCABFile::kDefaultMaxExtractedBytes;
  const std::string digest = run.manifest.ReadString(kManifestHashes, cab_name);
  if (digest != kManifestDefault) {
    checks.digest = digest;
  } else if (run.digests_required) {
    throw ECabinetUntrusted("No digest for " + cab_name);
  }
  const std::string size = run.manifest.ReadString(kManifestSizes, cab_name);
  if (size != kManifestDefault) {
    checks.size = ParseListedSize(size);
    if (!checks.size) throw ECabinetUntrusted("Malformed size of " + cab_name);
    checks.max_bytes = *checks.size;
  }
  return checks;
}

// Without a publisher's key configured every manifest is taken as it is. With one, the manifest's
// signature must be on the server and valid for the downloaded manifest's bytes, and then the
// manifest must be for the channel read (roll-back reads production), unexpired, and not older
// than the last one accepted on that channel. Returns the refusal's status line, or nothing.
std::string_view TfrmZarnUpdate::ManifestTrusted(RunState& run) {
  const UpdateKey key = ReadUpdateKey();
  if (!key.configured) return {};
  run.digests_required = true;
  const std::string_view bad_signature = RefusalLine(ManifestRefusal::kSignature);
  const std::string signature_name = session_.manifest_name + std::string(kSignatureSuffix);
  if (!ListHas(run.listing, signature_name)) return bad_signature;
  const std::string signature_path = session_.work_folder + signature_name;
  try {
    DownloadChecked(ftp, signature_name, session_.work_folder, signature_path,
                    {kMaxSignatureBytes, std::nullopt, {}});
  } catch (const ENetProtocolReplyError&) {
    return bad_signature;  // refused by the server: as good as missing
  } catch (const ENetLimitExceeded&) {
    return bad_signature;  // longer than a signature: no signature
  } catch (const EDownloadRefused&) {
    return bad_signature;  // no room for it on the work folder's volume, or it could not take its
                           // name
  }
  if (!key.key || !ManifestSignatureValid(*key.key, run.manifest.Path(), signature_path)) {
    return bad_signature;
  }
  const bool beta = session_.manifest_name == kBetaManifest;
  return RefusalLine(AcceptSignedManifest(run.manifest, beta ? kBetaChannel : kProductionChannel));
}

// ABOR is sent without reading its reply, and a refused or broken transfer may leave its own
// final reply unread too. Left there, they would answer the next commands in their place and fail
// every download that follows. A NOOP marks the end of what is pending: its 200 is the last reply
// to read.
void TfrmZarnUpdate::SkipStaleReplies() {
  constexpr int kMostPendingReplies = 4;
  if (!ftp.IsConnected()) return;
  ftp.WriteLine("NOOP");
  for (int i = 0; i < kMostPendingReplies; ++i) {
    if (ftp.ReadReply() == 200) return;
  }
}

// Registers the installed COM servers the manifest marks "True", never the updater itself.
void TfrmZarnUpdate::RegisterServers(RunState& run) {
  const std::string own_name = OwnExecutableName(parts_.executable_path());
  for (const std::string& entry : run.download_list) {
    if (run.manifest.ReadString(kManifestRegistration, entry) != "True") continue;
    if (EqualsIgnoringCase(entry, own_name)) continue;
    std::uint32_t error = 0;
    if (RunRegistrationTool(entry, session_.program_folder, true, error)) {
      ShowStatus("Registering " + entry);
    } else {
      ShowStatus("Register " + entry + " failed: " + std::to_string(error));
    }
  }
}

// Stores the report in the server's "incoming" folder; a failure costs only the report.
void TfrmZarnUpdate::UploadReport() {
  TMemoryStream report;
  try {
    ftp.ChangeDirUp();
    ftp.ChangeDirUp();
    ftp.ChangeDir("incoming");
    BuildUpdateReport(report, sysinfo, session_.update_folder, log_->Lines());
    ftp.Put(report, ReportFileName(), false);
  } catch (...) {
    ShowStatus("#");
  }
}

void TfrmZarnUpdate::FinishRun(RunState& run) {
  // However this block ends, an error included, the pass is over: the window may close (and save
  // its log) and the icon's close box closes again.
  const PassEnd pass_end(*this);
  if (run.store_time) {
    ShowStatus("Storing Update Time in Registry");
    WriteLastWebUpdateTime(EncodeDateTime(platform::LocalNow()));
    WriteLastWebUpdate(run.manifest_time);
    WriteLastUpdateWasBeta(session_.manifest_name == kBetaManifest);
    exit_code_ = run.incomplete ? kExitIncomplete : kExitStored;
  } else {
    exit_code_ = run.declined ? kExitDeclined : kExitFailed;
  }
  run.download_list.clear();
  run.listing.clear();

  if (EmptyFolder(session_.work_folder)) {
    platform::RemoveFolder(session_.work_folder);
  } else {
    ShowStatus("Unable to Delete Temporary Update Folder");
  }
  updating_ = false;
  session_.may_close = true;
  if (NetProgramClosed) companions.RestartNetProgram(session_.program_folder);
  if (MainProgramClosed) companions.RestartMainProgram(session_.program_folder);
  tray.NoClose = false;
}

}  // namespace zarn
