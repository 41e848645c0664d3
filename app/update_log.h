// The update log: every status line of the session, in order. Saved at the end as plain text,
// one line each, ended by CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zarn {

class UpdateLog {
 public:
  void Add(std::string_view line) { lines_.emplace_back(line); }
  const std::vector<std::string>& Lines() const { return lines_; }
  std::string Text() const;

  // Writes the log to path, replacing the file; on failure returns false with the system error.
  bool SaveToFile(std::string_view path, std::uint32_t& error) const;

 private:
  std::vector<std::string> lines_;
};

}  // namespace zarn
