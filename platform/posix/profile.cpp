// The private-profile reader on POSIX: the file is read whole and parsed once per version of it
// (path, size and modification time), since the run looks up several values for each of up to
// thousands of keys.
#include "platform/profile.h"

#include "platform/posix/ini_document.h"
#include "platform/posix/regular_file.h"

namespace zarn::platform {

namespace {

// Larger manifests are refused as unreadable.
constexpr std::int64_t kLargestProfile = 64 * 1024 * 1024;

// The document of the file last read, kept while the file stays the same. Main thread only.
struct CachedDocument {
  std::string path;
  posix::FileVersionStamp stamp;
  IniDocument document = IniDocument::Parse(std::string());
  bool valid = false;
};

// An unreadable, missing, non-regular or too large file reads as an empty one: every look-up gives
// the default.
const IniDocument& LoadDocument(std::string_view path) {
  static CachedDocument cache;
  static const IniDocument empty = IniDocument::Parse(std::string());
  const auto stamp = posix::RegularFileStamp(path);
  if (!stamp) return empty;
  if (cache.valid && cache.path == path && cache.stamp == *stamp) return cache.document;
  // The old document goes before the new file is read, so that only one is held at a time.
  cache.valid = false;
  cache.document = IniDocument::Parse(std::string());
  posix::FileVersionStamp read_stamp;
  auto bytes = posix::ReadRegularFile(path, kLargestProfile, &read_stamp);
  if (!bytes) return empty;
  cache.document = IniDocument::Parse(std::move(*bytes));
  cache.path = std::string(path);
  cache.stamp = read_stamp;
  cache.valid = true;
  return cache.document;
}

}  // namespace

std::string ReadProfileString(std::string_view path, std::string_view section, std::string_view key,
                              std::string_view default_value, std::size_t buffer_size) {
  const IniDocument& document = LoadDocument(path);
  if (const auto value = document.FindValue(section, key)) {
    return CopyProfileValue(*value, buffer_size);
  }
  return CopyProfileDefault(default_value, buffer_size);
}

std::string ReadProfileKeyBlock(std::string_view path, std::string_view section,
                                std::size_t buffer_size) {
  // Names past the buffer's end are never looked at: a list that reaches it is cut anyway.
  return CutKeyBlock(LoadDocument(path).ListedKeys(section, buffer_size), buffer_size);
}

}  // namespace zarn::platform
