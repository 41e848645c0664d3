// Arbitrary bytes as a Windows executable, and as a version resource on their own. The reader
// that fetches parts of a file must find exactly what the one over the whole image finds.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "platform/posix/pe_version_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zarn::platform;
  const std::span<const std::uint8_t> bytes(data, size);
  const auto whole = FindVersionResource(bytes);
  const auto read =
      ReadVersionResource([bytes](std::uint64_t offset,
                                  std::size_t length) -> std::optional<std::vector<std::uint8_t>> {
        if (offset > bytes.size() || length > bytes.size() - offset) return std::nullopt;
        const auto part = bytes.subspan(static_cast<std::size_t>(offset), length);
        return std::vector<std::uint8_t>(part.begin(), part.end());
      });
  if (whole.has_value() != read.has_value() ||
      (whole && std::vector<std::uint8_t>(whole->begin(), whole->end()) != *read)) {
    std::abort();
  }
  if (const auto root = ParseVersionBlocks(whole.value_or(bytes))) {
    FindVersionBlock(*root, "\\StringFileInfo\\040904B0\\FileVersion");
    FindVersionBlock(*root, "VarFileInfo\\\\Translation\\");
  }
  return 0;
}
