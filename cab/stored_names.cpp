#include "cab/stored_names.h"

#include <array>

#include "common/text.h"
#include "platform/path_names.h"

namespace zarn {

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsDeviceName(std::string_view component) {
  // Windows opens the device whatever extension follows, and ignores blanks before it.
  std::string_view base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  static constexpr std::array<std::string_view, 7> kPlain = {"CON",    "PRN",     "AUX",   "NUL",
                                                             "CONIN$", "CONOUT$", "CLOCK$"};
  for (const auto device : kPlain) {
    if (EqualsIgnoringCase(base, device)) return true;
  }
  // COM and LPT with a digit from 0 to 9, or a superscript 1, 2 or 3 of code page 1252.
  const auto last = base.size() == 4 ? static_cast<unsigned char>(base[3]) : 0;
  if ((last >= '0' && last <= '9') || last == 0xB9 || last == 0xB2 || last == 0xB3) {
    const std::string_view stem = base.substr(0, 3);
    if (EqualsIgnoringCase(stem, "COM") || EqualsIgnoringCase(stem, "LPT")) return true;
  }
  return false;
}

bool IsSafeComponent(std::string_view component) {
  if (component.empty()) return false;
  if (component.back() == '.' || component.back() == ' ') return false;
  return !IsDeviceName(component);
}

}  // namespace

bool IsSafeStoredName(std::string_view name) {
  if (name.empty() || IsSeparator(name.front())) return false;
  if (name.find(':') != std::string_view::npos) return false;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (!IsSafeComponent(name.substr(start, end - start))) return false;
    if (end == name.size()) return true;
    start = end + 1;
  }
}

std::string LocalStoredName(std::string_view name, char delimiter) {
  std::string local(name);
  for (char& c : local) {
    if (IsSeparator(c)) c = delimiter;
  }
  return local;
}

std::string FolderPart(std::string_view path, char delimiter) {
  const std::size_t last = path.find_last_of(std::string{'/', delimiter});
  return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last));
}

std::string NamePart(std::string_view path, char delimiter) {
  const std::size_t last = path.find_last_of(std::string{'/', delimiter});
  return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

bool LeadsThroughLink(std::string_view base, std::string_view relative, char delimiter) {
  for (std::size_t end = relative.find(delimiter);; end = relative.find(delimiter, end + 1)) {
    if (platform::IsLink(std::string(base) + std::string(relative.substr(0, end)))) return true;
    if (end == std::string_view::npos) return false;
  }
}

}  // namespace zarn
