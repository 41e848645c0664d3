// Arbitrary bytes as an INI file: parsing, look-ups of every listed key and the buffer cuts.
#include <cstdint>
#include <string_view>

#include "platform/posix/ini_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zarn::platform;
  const auto document =
      IniDocument::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const char* section : {"Files", "", "Ident"}) {
    const auto keys = document.ListedKeys(section);
    for (const auto key : keys) {
      if (const auto value = document.FindValue(section, key)) CopyProfileValue(*value, size % 11);
    }
    CutKeyBlock(keys, size % 17);
  }
  return 0;
}
