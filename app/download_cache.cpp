#include "app/download_cache.h"

#include <algorithm>

#include "app/update_common.h"
#include "common/exception.h"
#include "common/text.h"
#include "net/streams.h"
#include "platform/files.h"

namespace zarn {

namespace {

constexpr std::string_view kPartialSuffix = ".partial";

// The digest a cache entry's name stands for, or nothing for a name the cache never makes.
std::optional<std::string> DigestOfName(std::string_view name) {
  if (name.size() <= kPartialSuffix.size() || !name.ends_with(kPartialSuffix)) return std::nullopt;
  return CacheKeyOfDigest(name.substr(0, name.size() - kPartialSuffix.size()));
}

// Cuts the partial to what may be kept; false when nothing worth keeping is left.
bool TrimPartial(const std::string& path, std::optional<std::uint64_t> listed_size) {
  TFileStream file(path, TFileStream::Mode::kUpdate);
  const auto size = static_cast<std::uint64_t>(file.Size());
  if (size <= kCacheTrimBytes || (listed_size && size > *listed_size)) return false;
  file.SetSize(static_cast<std::int64_t>(size - kCacheTrimBytes));
  file.Close();
  return true;
}

}  // namespace

std::optional<std::string> CacheKeyOfDigest(std::string_view digest) {
  const std::string_view text = Trim(digest);
  if (text.size() != 64) return std::nullopt;
  std::string key;
  for (const char c : text) {
    const bool digit = c >= '0' && c <= '9';
    const bool letter = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!digit && !letter) return std::nullopt;
    key.push_back(letter ? static_cast<char>(c | 0x20) : c);
  }
  return key;
}

void DownloadCache::Prepare(const std::map<std::string, std::optional<std::uint64_t>>& listed) {
  listed_ = listed;
  usable_ = !listed.empty() && platform::EnsurePrivateFolder(folder_);
  if (!usable_) return;
  for (const platform::FolderEntry& entry : platform::ListFolderEntries(folder_)) {
    const std::string path = folder_ + entry.name;
    if (entry.link) {
      platform::RemoveLink(path);
      continue;
    }
    if (entry.folder) {
      EmptyFolder(path);
      platform::RemoveFolder(path);
      continue;
    }
    const std::optional<std::string> digest = DigestOfName(entry.name);
    const auto found = digest ? listed_.find(*digest) : listed_.end();
    // A name in another letter case is not the cache's own either.
    bool keep = found != listed_.end() && entry.name == *digest + std::string(kPartialSuffix) &&
                platform::RegularFileExists(path);
    if (keep) {
      try {
        keep = TrimPartial(path, found->second);
      } catch (const Exception&) {
        keep = false;
      }
    }
    if (!keep) platform::DeleteFile(path);
  }
}

std::string DownloadCache::PartialPath(std::string_view digest) const {
  if (!usable_) return {};
  const std::optional<std::string> key = CacheKeyOfDigest(digest);
  if (!key || !listed_.contains(*key)) return {};
  return folder_ + *key + std::string(kPartialSuffix);
}

void DownloadCache::RemoveWhenEmpty() const {
  if (usable_ && platform::ListFolderEntries(folder_).empty()) platform::RemoveFolder(folder_);
}

}  // namespace zarn
