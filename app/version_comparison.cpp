#include "app/version_comparison.h"

#include <array>

#include "app/packed_file_date.h"
#include "common/integer_conversion.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/version_info.h"

namespace zarn {

namespace {

// The part of the path after its last folder or drive separator: "\", ":" or "/" (which both
// systems take as a folder separator, and which no file name can hold).
std::string_view FileNameOf(std::string_view path) {
  const std::size_t cut = path.find_last_of("\\:/");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

}  // namespace

std::int32_t VersionToNumber(std::string_view version) {
  static constexpr std::array<std::uint32_t, 4> kWeights{1000000, 10000, 100, 1};
  std::uint32_t number = 0;  // unsigned, so that overflow wraps as the 32-bit result should
  std::size_t field = 0;
  while (!version.empty() && field < kWeights.size()) {
    const std::size_t dot = version.find('.');
    const std::string_view text = version.substr(0, dot);
    number += static_cast<std::uint32_t>(DecimalTextToInt32(text)) * kWeights[field++];
    // The piece after a trailing dot is empty and is no field: the loop ends on the empty rest.
    version = dot == std::string_view::npos ? std::string_view() : version.substr(dot + 1);
  }
  return static_cast<std::int32_t>(number);
}

bool IsOlderVersion(std::string_view installed, std::string_view listed) {
  return VersionToNumber(installed) < VersionToNumber(listed);
}

std::string GetVersionString(std::string_view path, std::string_view key) {
  const auto info = platform::VersionInfo::Load(path);
  if (!info) return {};
  const auto translation = info->FirstTranslation();
  if (!translation) return {};
  const std::string query = "\\StringFileInfo\\" + HexUpper(translation->language, 4) +
                            HexUpper(translation->code_page, 4) + "\\" + std::string(key);
  return info->QueryString(query).value_or(std::string());
}

std::string GetFileVersionText(std::string_view path) {
  return GetVersionString(path, "FileVersion");
}

bool FileNeedsUpdate(StatusSink& status, std::string_view listed, std::string_view local_path) {
  const std::string file(FileNameOf(local_path));
  if (!platform::FileExists(local_path)) {
    status.ShowStatus(" " + file + " is a new file");
    return true;
  }
  std::string installed = GetFileVersionText(local_path);
  if (installed.empty()) installed = std::to_string(PackedFileDate(local_path));

  bool replace = false;
  std::string line;
  if (installed.find('.') != std::string::npos) {
    replace = IsOlderVersion(installed, listed);
    line = "-" + file + " Old:" + installed + " New:" + std::string(listed);
  } else {
    const std::int32_t listed_date = DecimalTextToInt32(listed);
    const std::int32_t installed_date = DecimalTextToInt32(installed);
    replace = listed_date > installed_date;
    line = "-" + file + " Old: " + FormatPackedFileDate(installed_date) +
           "  New: " + FormatPackedFileDate(listed_date);
  }
  line += replace ? " Replace." : " Ok.";
  status.ShowStatus(line);
  return replace;
}

}  // namespace zarn
