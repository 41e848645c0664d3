#include "app/companion_programs.h"

#include "app/update_common.h"
#include "platform/companions.h"
#include "platform/files.h"

namespace zarn {

namespace {

struct Companion {
  std::string_view window_class;
  std::string_view closing_line;
  std::string_view restarting_line;
  std::string_view program;
};

constexpr Companion kMainProgram{"TZARN4MF", "Closing ZARN 4...", "Restarting ZARN ...",
                                 "zarn4.exe"};
constexpr Companion kNetProgram{"TfrmZarnNet", "Closing ZARN Net...", "Restarting ZARN Net ...",
                                "zarn4net.exe"};

constexpr std::uint32_t kCloseCheckIntervalMs = 500;

// Closes the companion if its window exists; `closed` tells whether it did, and is set before the
// wait so that handlers running during the wait see it.
void CloseCompanion(StatusSink& status, const Companion& companion, bool& closed) {
  const auto window = platform::FindWindowOfClass(companion.window_class);
  closed = window.has_value();
  if (!closed) return;
  status.ShowStatus(companion.closing_line);
  platform::SendCloseRequest(*window);
  // A companion may ask its user before it goes: wait as long as it takes, with this program's
  // window kept responsive.
  while (platform::FindWindowOfClass(companion.window_class)) {
    PumpMessagesFor(kCloseCheckIntervalMs);
  }
}

void RestartCompanion(StatusSink& status, platform::WindowId owner, const Companion& companion,
                      std::string_view program_folder) {
  status.ShowStatus(companion.restarting_line);
  // The folder already ends in a delimiter; the path is used as built, doubled delimiter and all.
  const std::string path =
      std::string(program_folder) + platform::PathDelimiter() + std::string(companion.program);
  platform::ShellOpen(owner, path);
}

}  // namespace

bool CompanionPrograms::CloseMainProgram() {
  CloseCompanion(status_, kMainProgram, main_program_closed_);
  return true;
}

bool CompanionPrograms::CloseNetProgram() {
  CloseCompanion(status_, kNetProgram, net_program_closed_);
  return true;
}

void CompanionPrograms::RestartMainProgram(std::string_view program_folder) {
  RestartCompanion(status_, owner_, kMainProgram, program_folder);
}

void CompanionPrograms::RestartNetProgram(std::string_view program_folder) {
  RestartCompanion(status_, owner_, kNetProgram, program_folder);
}

void CompanionPrograms::RestartClosedPrograms(std::string_view program_folder) {
  if (net_program_closed_) RestartNetProgram(program_folder);
  if (main_program_closed_) RestartMainProgram(program_folder);
}

}  // namespace zarn
