// Partial cabinet downloads kept from one pass to the next, so that a pass cut off (a hang-up, a
// shutdown, the window closed) does not throw away what it received. They live in a folder of
// their own beside the work folder, which every pass empties, under names made of the digest the
// manifest lists for the cabinet: a partial is only ever continued towards the file of that
// digest, and only a file that matches it leaves the cache, under its final name elsewhere.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zarn {

// A partial kept from an earlier pass loses this many bytes from its end before it is continued:
// a tail written just before a power cut may not be on the disk.
inline constexpr std::uint64_t kCacheTrimBytes = 64 * 1024;

class DownloadCache {
 public:
  // folder ends in the delimiter.
  explicit DownloadCache(std::string folder) : folder_(std::move(folder)) {}

  // Readies the folder for a pass whose manifest lists these digests (lower-case hexadecimal)
  // with their sizes where listed: creates it (owner-only on POSIX) when missing and deletes
  // everything else in it, a partial longer than its listed size included; the partials kept
  // are trimmed by kCacheTrimBytes. Without a usable folder the cache stays off.
  void Prepare(const std::map<std::string, std::optional<std::uint64_t>>& listed);
  // Where the partial for a listed digest goes; empty when the cache is off or the digest is not
  // one that Prepare was given.
  std::string PartialPath(std::string_view digest) const;
  // Removes the folder when nothing is left in it.
  void RemoveWhenEmpty() const;

 private:
  std::string folder_;
  std::map<std::string, std::optional<std::uint64_t>> listed_;
  bool usable_ = false;
};

// The digest text of a manifest as a cache key: 64 hexadecimal digits (blanks around them
// ignored) in lower case, or nothing for any other text.
std::optional<std::string> CacheKeyOfDigest(std::string_view digest);

}  // namespace zarn
