// The REGEDIT4 reader on arbitrary text: it either names a line of the error, or what it read
// survives being written out and read in again unchanged.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string_view>
#include <vector>

#include "tools/zreg/regedit4.h"

namespace {

using zarn::zreg::Regedit4Entry;

std::vector<const Regedit4Entry*> SetValues(const std::vector<Regedit4Entry>& entries) {
  std::vector<const Regedit4Entry*> values;
  for (const auto& entry : entries) {
    if (entry.kind == Regedit4Entry::Kind::kSetValue) values.push_back(&entry);
  }
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<Regedit4Entry> entries;
  zarn::zreg::Regedit4Error error;
  if (!zarn::zreg::ParseRegedit4(text, entries, error)) {
    if (error.line < 1 || error.message.empty() || !entries.empty()) std::abort();
    return 0;
  }
  std::ostringstream out;
  zarn::zreg::WriteRegedit4Header(out);
  for (const Regedit4Entry* entry : SetValues(entries)) {
    zarn::zreg::WriteRegedit4Key(out, entry->key, {{entry->name, entry->value}});
  }
  std::vector<Regedit4Entry> again;
  if (!zarn::zreg::ParseRegedit4(out.str(), again, error)) std::abort();
  const auto before = SetValues(entries);
  const auto after = SetValues(again);
  if (before.size() != after.size()) std::abort();
  for (std::size_t i = 0; i < before.size(); ++i) {
    const Regedit4Entry& a = *before[i];
    const Regedit4Entry& b = *after[i];
    if (a.key.root != b.key.root || a.key.path != b.key.path || a.name != b.name ||
        a.value.type != b.value.type || a.value.data != b.value.data) {
      std::abort();
    }
  }
  return 0;
}
