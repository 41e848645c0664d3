// The update manifest: the INI file downloaded from the update folder, read through the platform's
// private-profile reader with the buffer sizes and the default the updater has always used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zarn {

inline constexpr std::string_view kManifestIdent = "Ident";
inline constexpr std::string_view kManifestFiles = "Files";
inline constexpr std::string_view kManifestCabs = "Cabs";
inline constexpr std::string_view kManifestRegistration = "Registration";
inline constexpr std::string_view kManifestTimeOfUpdate = "Time Of Update";

// What a look-up of a missing key yields.
inline constexpr std::string_view kManifestDefault = "ERROR";
// A value is read into 2048 characters (2047 and the terminating zero); the key names of a
// section into 16384.
inline constexpr std::size_t kManifestValueBuffer = 2048;
inline constexpr std::size_t kManifestKeyListBuffer = 16384;

class UpdateManifest {
 public:
  explicit UpdateManifest(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }

  // The value of a key, or "ERROR" when the section or the key is missing.
  std::string ReadString(std::string_view section, std::string_view key) const;
  // The key names of a section in file order; a list longer than the buffer is cut.
  std::vector<std::string> ReadSectionKeys(std::string_view section) const;
  // "Time Of Update" as a whole number, or -1 when it is missing or not a 32-bit integer.
  std::int32_t TimeOfUpdate() const;

 private:
  std::string path_;
};

// Splits a key block (each name followed by a zero) into names. Empty names, which the block
// cannot tell from its end, are skipped, and a last name that the buffer cut short (it lacks its
// terminating zero) is dropped rather than taken for a file name.
std::vector<std::string> SplitKeyBlock(std::string_view block);

}  // namespace zarn
