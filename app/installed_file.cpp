#include "app/installed_file.h"

#include <algorithm>

#include "platform/file_replacement.h"
#include "platform/file_times.h"
#include "platform/version_info.h"

namespace zarn {

namespace {

constexpr int kCopyAttempts = 3;
// 100-nanosecond intervals per millisecond: the times travel at millisecond resolution.
constexpr std::int64_t kTicksPerMs = 10000;

std::int64_t ToMilliseconds(std::int64_t ticks) {
  return ticks - ticks % kTicksPerMs;
}

}  // namespace

ReplaceResult ReplaceInstalledFile(const std::string& source, const std::string& target) {
  ReplaceResult result;
  for (int attempt = 0; attempt < kCopyAttempts && !result.replaced; ++attempt) {
    result.replaced = platform::ReplaceFileWithCopy(source, target, result.error);
  }
  if (result.replaced) result.times_carried = CarryFileTimesOver(source, target);
  return result;
}

bool CarryFileTimesOver(const std::string& source, const std::string& target) {
  if (platform::VersionInfo::Load(target)) return true;
  const auto from = platform::ReadFileTimes(source);
  if (!from) return false;
  // When the source was made. A file system that keeps no creation time (POSIX without a birth
  // time; Wine) reports an older one; a freshly extracted file last changed when it was written,
  // so the later of the two stands for it.
  const std::int64_t made = ToMilliseconds(std::max(from->creation, from->change));
  std::uint32_t error = 0;
  const bool set = platform::SetFileTimes(target, made, ToMilliseconds(from->last_write),
                                          ToMilliseconds(from->last_access), error);
  // The creation time the target was given, which not every file system keeps, against the
  // last-write time it now has.
  const auto to = platform::ReadFileTimes(target);
  if (!to || made > to->last_write) {
    if (!platform::SetFileTimes(target, std::nullopt, made, made, error)) return false;
  }
  return set;
}

}  // namespace zarn
