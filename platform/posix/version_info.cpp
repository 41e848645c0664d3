// Version information on POSIX. The program's own executable answers from the version compiled
// in from the project definition, with the same keys and translation the Windows resource has;
// other files are read as Windows executables and answer from their version resource.
#include "platform/version_info.h"

#include <array>
#include <fstream>
#include <iterator>
#include <utility>

#include "platform/files.h"
#include "platform/posix/pe_version_resource.h"
#include "zarn_version.h"

namespace zarn::platform {

namespace {

constexpr Translation kOwnTranslation{0x0409, 1200};

class CompiledInVersionInfo final : public VersionInfo {
 public:
  std::optional<Translation> FirstTranslation() override { return kOwnTranslation; }

  std::optional<std::string> QueryString(std::string_view sub_block) override {
    static const std::array<std::pair<const char*, const char*>, 9> kStrings{{
        {"\\StringFileInfo\\040904B0\\CompanyName", "Brenicsoft"},
        {"\\StringFileInfo\\040904B0\\FileDescription", "ZARN 4 Program Update"},
        {"\\StringFileInfo\\040904B0\\FileVersion", ZARN_VERSION_TEXT},
        {"\\StringFileInfo\\040904B0\\InternalName", "zarn4update"},
        {"\\StringFileInfo\\040904B0\\LegalCopyright", "Copyright Brenicsoft"},
        {"\\StringFileInfo\\040904B0\\OriginalFilename", "zarn4update.exe"},
        {"\\StringFileInfo\\040904B0\\ProductName", "ZARN 4"},
        {"\\StringFileInfo\\040904B0\\ProductVersion", ZARN_VERSION_TEXT},
        {"\\StringFileInfo\\040904B0\\Comments", "Program update tool"},
    }};
    for (const auto& [key, value] : kStrings) {
      if (sub_block == key) return std::string(value);
    }
    return std::nullopt;
  }
};

// The version tree of a Windows executable, answering as VerQueryValueA does: a block without a
// value (a table) gives the empty text, a string its text in the ANSI code page.
class ResourceVersionInfo final : public VersionInfo {
 public:
  explicit ResourceVersionInfo(VersionBlock root) : root_(std::move(root)) {}

  std::optional<Translation> FirstTranslation() override {
    const VersionBlock* block = FindVersionBlock(root_, "\\VarFileInfo\\Translation");
    if (block == nullptr || block->value.size() < 4) return std::nullopt;
    const auto byte = [&](std::size_t i) {
      return static_cast<std::uint16_t>(static_cast<unsigned char>(block->value[i]));
    };
    return Translation{static_cast<std::uint16_t>(byte(0) | (byte(1) << 8)),
                       static_cast<std::uint16_t>(byte(2) | (byte(3) << 8))};
  }

  std::optional<std::string> QueryString(std::string_view sub_block) override {
    const VersionBlock* block = FindVersionBlock(root_, sub_block);
    if (block == nullptr) return std::nullopt;
    return block->value.substr(0, block->value.find('\0'));
  }

 private:
  VersionBlock root_;
};

// Executables larger than this are not read whole to find their version.
constexpr std::streamoff kLargestImage = 256 * 1024 * 1024;

}  // namespace

std::unique_ptr<VersionInfo> VersionInfo::Load(std::string_view path) {
  if (path == ExecutablePath()) return std::make_unique<CompiledInVersionInfo>();
  std::ifstream file{std::string(path), std::ios::binary | std::ios::ate};
  if (!file || file.tellg() > kLargestImage) return nullptr;
  file.seekg(0);
  const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(file),
                                        std::istreambuf_iterator<char>()};
  const auto resource = FindVersionResource(image);
  if (!resource) return nullptr;
  auto root = ParseVersionBlocks(*resource);
  if (!root) return nullptr;
  return std::make_unique<ResourceVersionInfo>(std::move(*root));
}

}  // namespace zarn::platform
