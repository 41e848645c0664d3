#include "app/checked_download.h"

#include <algorithm>

#include "app/release_trust.h"
#include "common/text.h"
#include "net/ftp_client.h"
#include "platform/files.h"

namespace zarn {

namespace {

// Deletes the attempt's temporary file when the attempt ends without renaming it.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) platform::DeleteFile(path_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& Path() const { return path_; }
  void Release() { path_.clear(); }

 private:
  std::string path_;
};

}  // namespace

std::string FreshPathIn(const std::string& folder, const std::string& stem,
                        const std::string& suffix, const std::string& avoid) {
  for (unsigned number = 1;; ++number) {
    const std::string path = folder + stem + std::to_string(number) + suffix;
    if (EqualsIgnoringCase(path, avoid)) continue;
    if (!platform::FileExists(path) && !platform::DirectoryExists(path)) return path;
  }
}

void DownloadChecked(TFtpClient& ftp, const std::string& remote_name,
                     const std::string& work_folder, const std::string& final_path,
                     const DownloadChecks& checks) {
  std::uint64_t limit = checks.max_bytes;
  if (const auto free = platform::FreeDiskSpace(work_folder)) {
    if (*free <= kMinFreeBytesAfterDownload) throw EDownloadRefused("No room for " + remote_name);
    limit = std::min(limit, *free - kMinFreeBytesAfterDownload);
  }
  if (checks.size && *checks.size > limit) throw EDownloadRefused("No room for " + remote_name);

  TemporaryFile temporary(FreshPathIn(work_folder, "~download", ".tmp", final_path));
  const std::uint64_t received = ftp.Get(remote_name, temporary.Path(), false, limit);
  if (checks.size && received != *checks.size) {
    throw EDownloadRefused("Size mismatch of " + remote_name);
  }
  if (!checks.digest.empty() && !FileDigestMatches(temporary.Path(), checks.digest)) {
    throw EDownloadRefused("Digest mismatch of " + remote_name);
  }
  // A file of the same name from an earlier download of this pass (a cabinet that several
  // entries share) gives way to the checked one.
  if (platform::RegularFileExists(final_path) && !platform::DeleteFile(final_path)) {
    throw EDownloadRefused("Cannot replace " + final_path);
  }
  std::uint32_t error = 0;
  if (!platform::RenameFile(temporary.Path(), final_path, error)) {
    throw EDownloadRefused("Cannot rename the download of " + remote_name);
  }
  temporary.Release();
}

}  // namespace zarn
