// Reads REGEDIT4 files. The whole file is checked before anything is changed, so a file with a
// mistake on its last line changes nothing; the error names the line.
#include <charconv>

#include "common/text.h"
#include "tools/zreg/regedit4.h"
#include "tools/zreg/value_text.h"

namespace zarn::zreg {

namespace {

using platform::RegistryType;

class Reader {
 public:
  explicit Reader(std::string_view text) : rest_(text) {
    if (rest_.substr(0, 3) == "\xEF\xBB\xBF")
      rest_.remove_prefix(3);  // a UTF-8 mark from an editor
  }

  bool Parse(std::vector<Regedit4Entry>& entries, Regedit4Error& error) {
    bool header_seen = false;
    std::string_view line;
    while (NextLine(line)) {
      line = Trim(line);
      if (line.empty() || line.front() == ';') continue;
      if (!header_seen) {
        if (line != "REGEDIT4") return Fail(error, "The file does not begin with REGEDIT4.");
        header_seen = true;
        continue;
      }
      const bool ok = line.front() == '[' ? KeyLine(line, entries) : ValueLine(line, entries);
      if (!ok) return Fail(error, problem_);
    }
    if (!header_seen) return Fail(error, "The file does not begin with REGEDIT4.");
    return true;
  }

 private:
  bool NextLine(std::string_view& line) {
    if (rest_.empty()) return false;
    const std::size_t end = rest_.find('\n');
    line = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    ++line_number_;
    return true;
  }

  bool Fail(Regedit4Error& error, std::string message) {
    error.line = line_number_ > 0 ? line_number_ : 1;  // an empty file fails on its first line
    error.message = std::move(message);
    return false;
  }

  bool Problem(std::string message) {
    problem_ = std::move(message);
    return false;
  }

  bool KeyLine(std::string_view line, std::vector<Regedit4Entry>& entries) {
    if (line.back() != ']') return Problem("A key line must end with ']'.");
    std::string_view inner = line.substr(1, line.size() - 2);
    const bool remove = !inner.empty() && inner.front() == '-';
    if (remove) inner.remove_prefix(1);
    const auto key = ParseKeyName(inner);
    if (!key) return Problem("Invalid key name '" + std::string(inner) + "'.");
    if (remove && key->path.empty()) return Problem("A root key cannot be deleted.");
    Regedit4Entry entry;
    entry.kind = remove ? Regedit4Entry::Kind::kDeleteKey : Regedit4Entry::Kind::kCreateKey;
    entry.key = *key;
    entries.push_back(entry);
    current_key_ = remove ? std::nullopt : key;
    return true;
  }

  bool ValueLine(std::string_view line, std::vector<Regedit4Entry>& entries) {
    if (!current_key_) return Problem("A value must follow the line of its key.");
    Regedit4Entry entry;
    entry.key = *current_key_;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else if (!QuotedText(line, entry.name)) {
      return Problem("A value line must begin with @ or a quoted name.");
    }
    line = Trim(line);
    if (line.empty() || line.front() != '=') return Problem("Expected '=' after the value name.");
    line = Trim(line.substr(1));
    if (!Data(line, entry)) return false;
    entries.push_back(std::move(entry));
    return true;
  }

  // Reads "..." from the front of text (escapes \\ and \"), leaving the rest in text.
  bool QuotedText(std::string_view& text, std::string& result) {
    if (text.empty() || text.front() != '"') return false;
    for (std::size_t i = 1; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '"') {
        text.remove_prefix(i + 1);
        return true;
      }
      if (c == '\\') {
        if (i + 1 >= text.size() || (text[i + 1] != '\\' && text[i + 1] != '"')) return false;
        ++i;
      }
      result += text[i];
    }
    return false;
  }

  bool Data(std::string_view data, Regedit4Entry& entry) {
    if (data == "-") {
      entry.kind = Regedit4Entry::Kind::kDeleteValue;
      return true;
    }
    entry.kind = Regedit4Entry::Kind::kSetValue;
    if (!data.empty() && data.front() == '"') {
      std::string text;
      if (!QuotedText(data, text) || !Trim(data).empty()) {
        return Problem("Invalid text: end it with '\"' and escape '\\' and '\"' inside it.");
      }
      entry.value = {RegistryType::kSz, TextBytes(text)};
      return true;
    }
    if (data.substr(0, 6) == "dword:") {
      const std::string_view digits = data.substr(6);
      std::uint32_t number = 0;
      const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), number, 16);
      if (digits.empty() || digits.size() > 8 || result.ptr != digits.data() + digits.size()) {
        return Problem("Invalid dword: give 1 to 8 hexadecimal digits.");
      }
      entry.value = {RegistryType::kDword, LittleEndian(number, 4)};
      return true;
    }
    return HexData(data, entry);
  }

  // "hex:" or "hex(N):" and comma-separated bytes, continued on following lines after ",\".
  bool HexData(std::string_view data, Regedit4Entry& entry) {
    std::uint32_t type = 3;
    if (data.substr(0, 4) == "hex(") {
      const std::size_t close = data.find("):");
      if (close == std::string_view::npos || close == 4 ||
          std::from_chars(data.data() + 4, data.data() + close, type, 16).ptr !=
              data.data() + close) {
        return Problem("Invalid hex(type): give the type number in hexadecimal.");
      }
      data.remove_prefix(close + 2);
    } else if (data.substr(0, 4) == "hex:") {
      data.remove_prefix(4);
    } else {
      return Problem("Unknown data: expected \"text\", dword:, hex: or hex(type):.");
    }
    std::string joined;
    while (!data.empty() && data.back() == '\\') {
      joined += data.substr(0, data.size() - 1);
      std::string_view next;
      if (!NextLine(next)) return Problem("The file ends inside continued hexadecimal data.");
      data = Trim(next);
    }
    joined += data;
    entry.value.type = static_cast<RegistryType>(type);
    std::string_view items = joined;
    while (!Trim(items).empty()) {
      const std::size_t comma = items.find(',');
      const std::string_view item = Trim(items.substr(0, comma));
      std::uint8_t byte = 0;
      const auto result = std::from_chars(item.data(), item.data() + item.size(), byte, 16);
      if (item.empty() || item.size() > 2 || result.ptr != item.data() + item.size()) {
        return Problem("Invalid byte '" + std::string(item) + "' in hexadecimal data.");
      }
      entry.value.data.push_back(byte);
      items.remove_prefix(comma == std::string_view::npos ? items.size() : comma + 1);
    }
    return true;
  }

  std::string_view rest_;
  int line_number_ = 0;
  std::optional<KeyName> current_key_;
  std::string problem_;
};

}  // namespace

bool ParseRegedit4(std::string_view text, std::vector<Regedit4Entry>& entries,
                   Regedit4Error& error) {
  std::vector<Regedit4Entry> parsed;
  if (!Reader(text).Parse(parsed, error)) return false;
  entries = std::move(parsed);
  return true;
}

}  // namespace zarn::zreg
