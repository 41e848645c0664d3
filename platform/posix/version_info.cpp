// Version information on POSIX. The program's own executable answers from the version compiled
// in from the project definition, with the same keys and translation the Windows resource has;
// other files are read as Windows executables and answer from their version resource.
#include "platform/version_info.h"

#include <initializer_list>
#include <utility>

#include "platform/files.h"
#include "platform/posix/pe_version_resource.h"
#include "platform/posix/regular_file.h"
#include "zarn_version.h"

namespace zarn::platform {

namespace {

// The program's own version tree, as its Windows resource holds it: one string table for U.S.
// English in UTF-16 (0409, 1200) and the translation that names it.
VersionBlock OwnVersionTree() {
  VersionBlock table{"040904B0", "", {}};
  for (const auto& [key, value] : std::initializer_list<std::pair<const char*, const char*>>{
           {"CompanyName", "Brenicsoft"},
           {"FileDescription", "ZARN 4 Program Update"},
           {"FileVersion", ZARN_VERSION_TEXT},
           {"InternalName", "zarn4update"},
           {"LegalCopyright", "Copyright Brenicsoft"},
           {"OriginalFilename", "zarn4update.exe"},
           {"ProductName", "ZARN 4"},
           {"ProductVersion", ZARN_VERSION_TEXT},
           {"Comments", "Program update tool"},
       }) {
    table.children.push_back({key, value, {}});
  }
  VersionBlock translation{"Translation", std::string("\x09\x04\xB0\x04", 4), {}};
  return {
      "VS_VERSION_INFO",
      "",
      {{"StringFileInfo", "", {std::move(table)}}, {"VarFileInfo", "", {std::move(translation)}}}};
}

// A version tree, answering as VerQueryValueA does: a block without a value (a table) gives the
// empty text, a string its text in the ANSI code page.
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

// Executables larger than this are not looked into for their version.
constexpr std::int64_t kLargestImage = 256 * 1024 * 1024;

}  // namespace

std::unique_ptr<VersionInfo> VersionInfo::Load(std::string_view path) {
  if (path == ExecutablePath()) return std::make_unique<ResourceVersionInfo>(OwnVersionTree());
  // Only a regular file is read: a device (/dev/zero) or a FIFO named in a manifest is no
  // executable, and reading it could grow memory without end or block.
  const auto file = posix::RegularFile::Open(path, kLargestImage);
  if (!file) return nullptr;
  // Only the parts that lead to the resource are read: an executable of many megabytes costs a
  // few small reads, not its size in memory.
  const auto resource =
      ReadVersionResource([&file](std::uint64_t offset,
                                  std::size_t length) -> std::optional<std::vector<std::uint8_t>> {
        const auto bytes = file->ReadAt(offset, length);
        if (!bytes) return std::nullopt;
        return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
      });
  if (!resource) return nullptr;
  auto root = ParseVersionBlocks(*resource);
  if (!root) return nullptr;
  return std::make_unique<ResourceVersionInfo>(std::move(*root));
}

}  // namespace zarn::platform
