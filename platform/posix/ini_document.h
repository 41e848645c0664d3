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
// A manifest comes from the network, so the parsed form costs little beyond the text: the text
// itself, two 32-bit numbers per section, and hash tables of about 1.3 32-bit slots per entry
// and per section, so that each look-up costs about one comparison however large the section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarn::platform {

class IniDocument {
 public:
  // Texts beyond 4 GiB (far above any manifest the reader takes) are read up to there.
  static IniDocument Parse(std::string_view bytes);
  static IniDocument Parse(std::string&& bytes);

  // Nothing when the section or the key is missing or the key has no value. The view lives as
  // long as the document.
  std::optional<std::string_view> FindValue(std::string_view section, std::string_view key) const;
  // The names the key list shows, in file order (empty when the section is missing); with a
  // limit, only as many as it takes for the names and their terminating zeros to reach it.
  std::vector<std::string_view> ListedKeys(std::string_view section,
                                           std::size_t limit = std::string_view::npos) const;

  // The bytes the document holds: its text and its tables.
  std::size_t FootprintBytes() const;

 private:
  struct Section {
    std::uint32_t header;      // where its "[...]" line starts; kNoLine for the leading lines
    std::uint32_t first_slot;  // where its part of entry_slots_ begins
  };

  std::string_view Line(std::size_t start) const;
  std::string_view SectionName(std::size_t section) const;
  std::size_t BodyBegin(std::size_t section) const;
  std::size_t BodyEnd(std::size_t section) const;
  std::size_t SlotCount(std::size_t section) const;
  std::size_t FindSection(std::string_view name) const;
  template <typename Visit>
  void ForEachEntry(std::size_t section, const Visit& visit) const;

  std::string text_;
  std::vector<Section> sections_;  // the leading lines, then one per header, in file order
  // Open addressing: section numbers, and per section where its entries' lines start; each
  // holds the first of every name, letter case ignored.
  std::vector<std::uint32_t> section_slots_;
  std::vector<std::uint32_t> entry_slots_;
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
