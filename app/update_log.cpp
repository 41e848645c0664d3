#include "app/update_log.h"

#include "platform/files.h"

namespace zarn {

std::string UpdateLog::Text() const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

bool UpdateLog::SaveToFile(std::string_view path, std::uint32_t& error) const {
  const std::string text = Text();
  return platform::WriteWholeFile(path, text, error);
}

}  // namespace zarn
