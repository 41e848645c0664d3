#include "app/checked_download.h"

#include <algorithm>

#include "app/release_trust.h"
#include "common/text.h"
#include "net/ftp_client.h"
#include "net/net_exceptions.h"
#include "net/streams.h"
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

namespace {

// The bytes a file holds, 0 when it is missing or cannot be read.
std::uint64_t PartialSize(const std::string& path) {
  if (!platform::RegularFileExists(path)) return 0;
  try {
    TFileStream file(path, TFileStream::Mode::kOpenRead);
    return static_cast<std::uint64_t>(file.Size());
  } catch (const Exception&) {
    return 0;
  }
}

// The most bytes a download may hold when the folder's volume must keep its minimum free, beyond
// the bytes it holds already.
std::uint64_t ByteLimit(const std::string& remote_name, const std::string& folder,
                        const DownloadChecks& checks, std::uint64_t held) {
  std::uint64_t limit = checks.max_bytes;
  if (const auto free = platform::FreeDiskSpace(folder)) {
    if (*free <= kMinFreeBytesAfterDownload) throw EDownloadRefused("No room for " + remote_name);
    limit = std::min(limit, held + (*free - kMinFreeBytesAfterDownload));
  }
  if (checks.size && *checks.size > limit) throw EDownloadRefused("No room for " + remote_name);
  return limit;
}

// Gives the checked file its final name; a file of that name from an earlier download of this
// pass (a cabinet that several entries share) gives way to it.
void TakeFinalName(const std::string& from, const std::string& final_path,
                   const std::string& remote_name) {
  if (platform::RegularFileExists(final_path) && !platform::DeleteFile(final_path)) {
    throw EDownloadRefused("Cannot replace " + final_path);
  }
  std::uint32_t error = 0;
  if (!platform::RenameFile(from, final_path, error)) {
    throw EDownloadRefused("Cannot rename the download of " + remote_name);
  }
}

}  // namespace

void DownloadContinued(TFtpClient& ftp, const std::string& remote_name,
                       const std::string& work_folder, const std::string& final_path,
                       const DownloadChecks& checks, PartialDownload& partial) {
  if (partial.path.empty())
    partial.path = FreshPathIn(work_folder, "~download", ".tmp", final_path);
  const std::uint64_t held = PartialSize(partial.path);
  if (!partial.measured) {
    partial.most = held;
    partial.measured = true;
  }
  partial.progressed = false;
  const auto measure = [&partial] {
    const std::uint64_t size = PartialSize(partial.path);
    partial.progressed = size >= partial.most + kProgressBytes;
    partial.most = std::max(partial.most, size);
    return size;
  };
  const std::string folder =
      partial.path.substr(0, partial.path.find_last_of(platform::PathDelimiter()) + 1);
  const std::uint64_t limit = ByteLimit(remote_name, folder, checks, held);
  try {
    if (held == 0) {
      ftp.Get(remote_name, partial.path, true, limit);
    } else {
      std::optional<std::int64_t> size;
      if (checks.size) size = static_cast<std::int64_t>(*checks.size);
      ftp.GetContinued(remote_name, partial.path, size, static_cast<std::int64_t>(limit));
    }
  } catch (const ENetLimitExceeded&) {
    // A server that sends more than the file may hold is not a link that dropped: its bytes are
    // no progress and not worth the room they take.
    measure();
    partial.progressed = false;
    platform::DeleteFile(partial.path);
    throw;
  } catch (const EWriteError&) {
    // The volume is full: the partial cannot grow, and the room it takes is better given back.
    platform::DeleteFile(partial.path);
    throw;
  } catch (...) {
    measure();
    throw;
  }
  const std::uint64_t received = measure();
  if (checks.size && received != *checks.size) {
    throw EDownloadRefused("Size mismatch of " + remote_name);
  }
  if (!checks.digest.empty() && !FileDigestMatches(partial.path, checks.digest)) {
    // Wrong bytes are no progress, and downloading them again whole is none either.
    platform::DeleteFile(partial.path);
    partial.progressed = false;
    throw EDownloadRefused("Digest mismatch of " + remote_name);
  }
  TakeFinalName(partial.path, final_path, remote_name);
}

void DownloadChecked(TFtpClient& ftp, const std::string& remote_name,
                     const std::string& work_folder, const std::string& final_path,
                     const DownloadChecks& checks) {
  const std::uint64_t limit = ByteLimit(remote_name, work_folder, checks, 0);
  TemporaryFile temporary(FreshPathIn(work_folder, "~download", ".tmp", final_path));
  const std::uint64_t received = ftp.Get(remote_name, temporary.Path(), false, limit);
  if (checks.size && received != *checks.size) {
    throw EDownloadRefused("Size mismatch of " + remote_name);
  }
  if (!checks.digest.empty() && !FileDigestMatches(temporary.Path(), checks.digest)) {
    throw EDownloadRefused("Digest mismatch of " + remote_name);
  }
  TakeFinalName(temporary.Path(), final_path, remote_name);
  temporary.Release();
}

}  // namespace zarn
