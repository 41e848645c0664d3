#include "platform/posix/ini_document.h"

#include <algorithm>

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
std::string UpToZero(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

std::string DecodeText(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return Utf8ToAnsi(bytes.substr(3));
  if (bytes.starts_with("\xFF\xFE")) return Utf16ToAnsi(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return Utf16ToAnsi(bytes.substr(2), true);
  return std::string(bytes);
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
  const std::string text = DecodeText(bytes);
  IniDocument document;
  document.sections_.push_back(Section{});  // the lines before the first section header
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line = TrimBlanks(std::string_view(text).substr(start, end - start));
    start = end + 1;
    if (line.empty()) continue;
    const std::size_t close = line.rfind(']');
    if (line.front() == '[' && close != std::string_view::npos) {
      document.sections_.push_back(Section{UpToZero(TrimBlanks(line.substr(1, close - 1))), {}});
      continue;
    }
    Entry entry;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      entry.name = UpToZero(line);
    } else {
      entry.name = UpToZero(TrimBlanks(line.substr(0, equals)));
      entry.value = UpToZero(TrimBlanks(line.substr(equals + 1)));
    }
    document.sections_.back().entries.push_back(std::move(entry));
  }
  return document;
}

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
  name = TrimBlanks(name);
  for (const Section& section : sections_) {
    if (EqualsIgnoringCase(section.name, name)) return &section;
  }
  return nullptr;
}

const std::string* IniDocument::FindValue(std::string_view section, std::string_view key) const {
  const Section* found = FindSection(section);
  if (found == nullptr) return nullptr;
  key = TrimBlanks(key);
  for (const Entry& entry : found->entries) {
    if (EqualsIgnoringCase(entry.name, key)) return entry.value ? &*entry.value : nullptr;
  }
  return nullptr;
}

std::vector<std::string_view> IniDocument::ListedKeys(std::string_view section) const {
  std::vector<std::string_view> names;
  const Section* found = FindSection(section);
  if (found == nullptr) return names;
  bool previous_empty = false;  // the entry just before was a listed empty name
  for (const Entry& entry : found->entries) {
    const bool listed = entry.value && !entry.name.starts_with(';');
    const bool empty = listed && entry.name.empty();
    // An empty name ends the list before anything is in it, and only the first of several in a
    // row is shown: the Windows reader lays out its list so.
    if (empty && names.empty()) return names;
    if (listed && !(empty && previous_empty)) names.emplace_back(entry.name);
    previous_empty = empty;
  }
  return names;
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
