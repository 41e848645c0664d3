// Downloads that take a file's final name only after its checks. Every byte from the server is
// hostile until checked: the transfer goes to a fresh temporary name in the work folder, bounded
// in bytes and by the volume's free space, and is renamed to its final name once its size and
// digest (where listed) are right. A failed attempt deletes what it wrote.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/exception.h"

namespace zarn {

class TFtpClient;

// A download that broke one of its bounds or checks.
class EDownloadRefused : public Exception {
 public:
  using Exception::Exception;
};

// No download leaves less than this free on the work folder's volume.
inline constexpr std::uint64_t kMinFreeBytesAfterDownload = 64ull << 20;
// The most the manifest may hold: what the settings reader reads of a manifest.
inline constexpr std::uint64_t kMaxManifestBytes = 64ull << 20;

struct DownloadChecks {
  // The most bytes the server may send.
  std::uint64_t max_bytes = 0;
  // The exact size the file must have, when the release lists it.
  std::optional<std::uint64_t> size;
  // The SHA-256 the file must have (hexadecimal), when the release lists it; empty for none.
  std::string digest;
};

// Downloads remote_name into final_path (a path in work_folder, which ends in the delimiter),
// replacing a file there only once every check passed. Raises what the transfer raised, or
// EDownloadRefused; either way nothing of the attempt is left in the work folder.
void DownloadChecked(TFtpClient& ftp, const std::string& remote_name,
                     const std::string& work_folder, const std::string& final_path,
                     const DownloadChecks& checks);

// A download carried over several attempts. The bytes an attempt received stay at path (a
// temporary name in the work folder, or an entry of the download cache; never the final name)
// and the next attempt continues them.
struct PartialDownload {
  // Empty until the first attempt picks a fresh temporary name in the work folder.
  std::string path;
  // The largest size the partial has had (measured at the first attempt, then after each one).
  std::uint64_t most = 0;
  bool measured = false;
  // Whether the last attempt took the partial at least kProgressBytes beyond that size.
  bool progressed = false;
};

// An attempt that adds this much to its partial made progress, whether it completed or not.
inline constexpr std::uint64_t kProgressBytes = 64 * 1024;

// DownloadChecked over attempts: an attempt starting with bytes at partial.path continues them
// through TFtpClient::GetContinued ("SIZE" other than a listed size fails the attempt), one
// starting with none downloads as DownloadChecked does. A failed attempt leaves its bytes there
// for the next one and says in partial.progressed whether it made progress; only a file of the
// full size whose digest is wrong is deleted, as nothing tells which of its bytes are wrong, and
// one that could not be written (a full volume) or that the server tried to take beyond the
// limit (no progress either). The
// file that passes the checks is renamed to final_path and no longer at partial.path.
void DownloadContinued(TFtpClient& ftp, const std::string& remote_name,
                       const std::string& work_folder, const std::string& final_path,
                       const DownloadChecks& checks, PartialDownload& partial);

// A path in folder (which ends in the delimiter) that nothing there has yet and that differs from
// avoid (letter case ignored): folder + stem + a number + suffix. Used for downloads in progress
// and for each cabinet's extraction folder, so that no name the server chose can meet them.
std::string FreshPathIn(const std::string& folder, const std::string& stem,
                        const std::string& suffix, const std::string& avoid = {});

}  // namespace zarn
