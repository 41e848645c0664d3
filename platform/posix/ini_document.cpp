#include "platform/posix/ini_document.h"

#include <algorithm>
#include <random>

#include "common/text.h"
#include "platform/posix/ansi_text.h"

namespace zarn::platform {

namespace {

// The reader's blanks: space, tab, the line and page breaks, and the end-of-file mark (Ctrl-Z)
// that old editors leave at the end of a text.
bool IsBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Names and values are zero-terminated texts to the reader: a zero character ends them.
std::string_view UpToZero(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

std::string DecodeText(std::string&& bytes) {
  const std::string_view view(bytes);
  if (view.starts_with("\xEF\xBB\xBF")) return Utf8ToAnsi(view.substr(3));
  if (view.starts_with("\xFF\xFE")) return Utf16ToAnsi(view.substr(2), false);
  if (view.starts_with("\xFE\xFF")) return Utf16ToAnsi(view.substr(2), true);
  return std::move(bytes);
}

constexpr std::uint32_t kNoLine = 0xFFFFFFFF;
constexpr std::uint32_t kEmptySlot = 0xFFFFFFFF;

bool IsHeader(std::string_view line) {
  return line.front() == '[' && line.rfind(']') != std::string_view::npos;
}

// An entry line's name, and its value when it has one.
struct EntryParts {
  std::string_view name;
  std::optional<std::string_view> value;
};

EntryParts SplitEntry(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {UpToZero(line), std::nullopt};
  return {UpToZero(TrimBlanks(line.substr(0, equals))),
          UpToZero(TrimBlanks(line.substr(equals + 1)))};
}

char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A hash of the name with letter case ignored. Its seed is drawn once per process, so that a
// server cannot choose names that all land in one place of the tables.
std::uint64_t HashName(std::string_view name) {
  static const std::uint64_t seed = [] {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
  }();
  std::uint64_t hash = seed ^ 0xcbf29ce484222325ULL;
  for (const char c : name) {
    hash ^= static_cast<unsigned char>(FoldCase(c));
    hash *= 0x100000001b3ULL;
  }
  hash ^= hash >> 31;
  hash *= 0xd6e8feb86659fd93ULL;
  return hash ^ (hash >> 32);
}

// Room for n names at a load of at most four fifths.
std::size_t SlotsFor(std::size_t n) {
  return n == 0 ? 0 : n + n / 4 + 1;
}

// Linear probing in slots[0, size) for a slot holding an item whose name `name_of` gives equal to
// `name`, or the empty slot where it would go.
template <typename Slot, typename NameOf>
Slot* Probe(Slot* slots, std::size_t size, std::string_view name, const NameOf& name_of) {
  std::size_t at = static_cast<std::size_t>(HashName(name) % size);
  for (;;) {
    Slot& slot = slots[at];
    if (slot == kEmptySlot || EqualsIgnoringCase(name_of(slot), name)) return &slot;
    if (++at == size) at = 0;
  }
}

// Calls visit(start, line) for each non-blank line of text[begin, end) (begin at a line's start),
// with where the line starts and the line without its blanks.
template <typename Visit>
void ForEachLine(std::string_view text, std::size_t begin, std::size_t end, const Visit& visit) {
  std::size_t start = begin;
  while (start < end) {
    std::size_t stop = text.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) stop = text.size();
    const std::string_view line = TrimBlanks(text.substr(start, stop - start));
    if (!line.empty()) visit(start, line);
    start = stop + 1;
  }
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
  return Parse(std::string(bytes));
}

IniDocument IniDocument::Parse(std::string&& bytes) {
  IniDocument document;
  document.text_ = DecodeText(std::move(bytes));
  std::string& text = document.text_;
  if (text.size() >= kNoLine) text.resize(kNoLine - 1);
  const std::string_view view(text);
  // The headers are counted first, so that the tables are made at their size once instead of
  // growing (which holds up to three times a table's size while it copies).
  std::size_t headers = 0;
  ForEachLine(view, 0, view.size(),
              [&](std::size_t, std::string_view line) { headers += IsHeader(line) ? 1 : 0; });
  auto& sections = document.sections_;
  sections.reserve(headers + 1);
  sections.push_back(Section{kNoLine, 0});
  // Each section's entry count goes into first_slot for a moment.
  ForEachLine(view, 0, view.size(), [&](std::size_t start, std::string_view line) {
    if (IsHeader(line)) {
      sections.push_back(Section{static_cast<std::uint32_t>(start), 0});
    } else {
      ++sections.back().first_slot;
    }
  });
  std::size_t slot_count = 0;
  for (Section& section : sections) {
    const std::size_t entries = section.first_slot;
    section.first_slot = static_cast<std::uint32_t>(slot_count);
    slot_count += SlotsFor(entries);
  }

  document.section_slots_.assign(SlotsFor(sections.size()), kEmptySlot);
  const auto section_name = [&](std::uint32_t s) { return document.SectionName(s); };
  for (std::size_t s = 0; s < sections.size(); ++s) {
    std::uint32_t* slot = Probe(document.section_slots_.data(), document.section_slots_.size(),
                                document.SectionName(s), section_name);
    if (*slot == kEmptySlot) *slot = static_cast<std::uint32_t>(s);
  }
  document.entry_slots_.assign(slot_count, kEmptySlot);
  const auto entry_name = [&](std::uint32_t start) {
    return SplitEntry(document.Line(start)).name;
  };
  for (std::size_t s = 0; s < sections.size(); ++s) {
    std::uint32_t* slots = document.entry_slots_.data() + sections[s].first_slot;
    const std::size_t size = document.SlotCount(s);
    document.ForEachEntry(s, [&](std::size_t start, std::string_view line) {
      std::uint32_t* slot = Probe(slots, size, SplitEntry(line).name, entry_name);
      if (*slot == kEmptySlot) *slot = static_cast<std::uint32_t>(start);
    });
  }
  return document;
}

std::string_view IniDocument::Line(std::size_t start) const {
  std::size_t end = text_.find_first_of("\r\n", start);
  if (end == std::string::npos) end = text_.size();
  return TrimBlanks(std::string_view(text_).substr(start, end - start));
}

std::string_view IniDocument::SectionName(std::size_t section) const {
  if (sections_[section].header == kNoLine) return {};
  const std::string_view line = Line(sections_[section].header);
  return UpToZero(TrimBlanks(line.substr(1, line.rfind(']') - 1)));
}

std::size_t IniDocument::BodyBegin(std::size_t section) const {
  const std::uint32_t header = sections_[section].header;
  if (header == kNoLine) return 0;
  const std::size_t end = text_.find_first_of("\r\n", header);
  return end == std::string::npos ? text_.size() : end + 1;
}

std::size_t IniDocument::BodyEnd(std::size_t section) const {
  return section + 1 < sections_.size() ? sections_[section + 1].header : text_.size();
}

std::size_t IniDocument::SlotCount(std::size_t section) const {
  return (section + 1 < sections_.size() ? sections_[section + 1].first_slot
                                         : entry_slots_.size()) -
         sections_[section].first_slot;
}

template <typename Visit>
void IniDocument::ForEachEntry(std::size_t section, const Visit& visit) const {
  ForEachLine(text_, BodyBegin(section), BodyEnd(section), visit);
}

std::size_t IniDocument::FindSection(std::string_view name) const {
  const std::uint32_t* slot = Probe(section_slots_.data(), section_slots_.size(), TrimBlanks(name),
                                    [this](std::uint32_t s) { return SectionName(s); });
  return *slot == kEmptySlot ? std::string_view::npos : *slot;
}

std::optional<std::string_view> IniDocument::FindValue(std::string_view section,
                                                       std::string_view key) const {
  const std::size_t found = FindSection(section);
  if (found == std::string_view::npos) return std::nullopt;
  const std::size_t size = SlotCount(found);
  if (size == 0) return std::nullopt;
  const std::uint32_t* slot =
      Probe(entry_slots_.data() + sections_[found].first_slot, size, TrimBlanks(key),
            [this](std::uint32_t start) { return SplitEntry(Line(start)).name; });
  if (*slot == kEmptySlot) return std::nullopt;
  return SplitEntry(Line(*slot)).value;
}

std::vector<std::string_view> IniDocument::ListedKeys(std::string_view section,
                                                      std::size_t limit) const {
  std::vector<std::string_view> names;
  const std::size_t found = FindSection(section);
  if (found == std::string_view::npos) return names;
  bool previous_empty = false;  // the entry just before was a listed empty name
  bool ended = false;
  std::size_t length = 0;  // of the names so far with their zeros
  ForEachEntry(found, [&](std::size_t, std::string_view line) {
    if (ended || length >= limit) return;
    const EntryParts entry = SplitEntry(line);
    const bool listed = entry.value && !entry.name.starts_with(';');
    const bool empty = listed && entry.name.empty();
    // An empty name ends the list before anything is in it, and only the first of several in a
    // row is shown: the Windows reader lays out its list so.
    if (empty && names.empty()) {
      ended = true;
      return;
    }
    if (listed && !(empty && previous_empty)) {
      names.push_back(entry.name);
      length += entry.name.size() + 1;
    }
    previous_empty = empty;
  });
  return names;
}

std::size_t IniDocument::FootprintBytes() const {
  return text_.capacity() + sizeof(Section) * sections_.capacity() +
         sizeof(std::uint32_t) * (section_slots_.capacity() + entry_slots_.capacity());
}

std::string CopyProfileValue(std::string_view value, std::size_t buffer_size) {
  if (buffer_size == 0) return {};
  const std::size_t room = buffer_size - 1;
  const std::size_t length = value.size();
  const bool quoted = length >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  if (!quoted) return std::string(value.substr(0, room));
  // The reader copies the quoted text as it stands and then drops the quotes, so the text loses
  // its last character as soon as the closing quote is cut off.
  if (buffer_size >= length) return std::string(value.substr(1, length - 2));
  return std::string(value.substr(1, std::min(room, length >= 3 ? length - 3 : 0)));
}

std::string CopyProfileDefault(std::string_view default_value, std::size_t buffer_size) {
  while (default_value.ends_with(' ')) default_value.remove_suffix(1);
  return CopyProfileValue(UpToZero(default_value), buffer_size);
}

std::string CutKeyBlock(const std::vector<std::string_view>& names, std::size_t buffer_size) {
  std::string block;
  for (const std::string_view name : names) {
    block += name;
    block += '\0';
  }
  // The block fits when it and the final zero leave one character of the buffer unused.
  if (block.size() + 2 <= buffer_size) return block;
  return buffer_size < 2 ? std::string() : block.substr(0, buffer_size - 2);
}

}  // namespace zarn::platform
