// An INI text read the way the Windows private-profile reader reads it, so that a manifest means
// the same on both back ends:
// - The text may start with a UTF-8 or UTF-16 byte-order mark; it is then converted to the ANSI
//   code page (Windows-1252). Otherwise its bytes are taken as they are.
// - Lines end at CR or LF. A line whose first non-blank character is "[" and that holds a "]"
//   opens a section named by the text between the "[" and the last "]".
// - Every other non-blank line is an entry: the name before the first "=" and the value after it,
//   both without the blanks around them; a line without "=" is a name without a value. A zero
//   character ends a name or value.
// - The lines before the first section belong to a section with the empty name.
// - Look-ups ignore letter case and take the first matching section and in it the first matching
//   entry; later sections of the same name and later entries of the same name are never seen.
// - Entries whose name begins with ";" can be looked up but are left out of the key list, as are
//   entries without a value. An empty name (a line "=value") shows in the key list once for a run
//   of such lines in a row, and when it would come first the list is empty.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarn::platform {

class IniDocument {
 public:
  static IniDocument Parse(std::string_view bytes);

  // nullptr when the section or the key is missing or the key has no value.
  const std::string* FindValue(std::string_view section, std::string_view key) const;
  // The names the key list shows, in file order (empty when the section is missing).
  std::vector<std::string_view> ListedKeys(std::string_view section) const;

 private:
  struct Entry {
    std::string name;
    std::optional<std::string> value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };

  const Section* FindSection(std::string_view name) const;

  std::vector<Section> sections_;
};

// The buffer rules of the reader. A value in matching quotes loses them; a value that does not fit
// is cut to buffer_size - 1 characters (a quoted one, one character earlier once the closing quote
// no longer fits).
std::string CopyProfileValue(std::string_view value, std::size_t buffer_size);
// The default goes through the same copy, after its trailing spaces (not tabs) are removed.
std::string CopyProfileDefault(std::string_view default_value, std::size_t buffer_size);
// Each name followed by a zero; a block that with its final zero does not fit is cut to
// buffer_size - 2 characters.
std::string CutKeyBlock(const std::vector<std::string_view>& names, std::size_t buffer_size);

}  // namespace zarn::platform
