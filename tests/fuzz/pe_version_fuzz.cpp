// Arbitrary bytes as a Windows executable, and as a version resource on their own.
#include <cstdint>
#include <span>

#include "platform/posix/pe_version_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zarn::platform;
  const std::span<const std::uint8_t> bytes(data, size);
  if (const auto root = ParseVersionBlocks(FindVersionResource(bytes).value_or(bytes))) {
    FindVersionBlock(*root, "\\StringFileInfo\\040904B0\\FileVersion");
    FindVersionBlock(*root, "VarFileInfo\\\\Translation\\");
  }
  return 0;
}
