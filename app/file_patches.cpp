// Reading and writing "Patches" values.
#include "app/file_patches.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "app/manifest_names.h"
#include "common/hex.h"

namespace zarn {

namespace {

std::vector<std::string_view> Fields(std::string_view value) {
  std::vector<std::string_view> fields;
  for (;;) {
    const std::size_t comma = value.find(',');
    fields.push_back(value.substr(0, comma));
    if (comma == std::string_view::npos) return fields;
    value.remove_prefix(comma + 1);
  }
}

bool ParseDigest(std::string_view text, platform::Sha256Digest& digest) {
  const auto bytes = FromHex(text);
  if (!bytes || bytes->size() != digest.size()) return false;
  std::copy(bytes->begin(), bytes->end(), digest.begin());
  return true;
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& number) {
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, number);
  return !text.empty() && error == std::errc() && at == end;
}

}  // namespace

std::optional<FilePatch> ParseFilePatch(std::string_view value) {
  const std::vector<std::string_view> fields = Fields(value);
  FilePatch patch;
  if (fields.size() != 6 || !IsPlainCabName(fields[0]) || !ParseDigest(fields[1], patch.base) ||
      !ParseDigest(fields[2], patch.result) || !ParseNumber(fields[3], patch.result_size) ||
      !ParseNumber(fields[4], patch.dos_date) || !ParseNumber(fields[5], patch.dos_time)) {
    return std::nullopt;
  }
  patch.patch = std::string(fields[0]);
  return patch;
}

std::string FormatFilePatch(const FilePatch& patch) {
  return patch.patch + "," + ToHex(patch.base) + "," + ToHex(patch.result) + "," +
         std::to_string(patch.result_size) + "," + std::to_string(patch.dos_date) + "," +
         std::to_string(patch.dos_time);
}

std::string PatchNameFor(std::string_view key) {
  std::string name(key);
  std::replace(name.begin(), name.end(), '\\', '_');
  return name + ".patch";
}

}  // namespace zarn
