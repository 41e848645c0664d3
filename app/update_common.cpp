// The updater's small system helpers: the command-line switch test, the own version strings,
// the timed message pump, the connection state, the registration tool and emptying a folder.
#include "app/update_common.h"

#include <algorithm>
#include <array>
#include <memory>

#include "app/version_comparison.h"
#include "common/text.h"
#include "platform/connection.h"
#include "platform/files.h"
#include "platform/message_loop.h"
#include "platform/process.h"
#include "platform/system.h"

namespace zarn {

namespace {

constexpr std::array<const char*, 10> kVersionKeys{
    "CompanyName",     "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
    "LegalTradeMarks", "OriginalFilename", "ProductName", "ProductVersion", "Comments"};

constexpr std::uint32_t kLongestPauseMs = 5000;
// How long the registration wait sleeps at most between looks at the tool. The wait ends as
// soon as a message arrives or the tool ends; this bound only matters where the platform cannot
// watch the tool's end.
constexpr std::uint32_t kToolPollMs = 250;
constexpr const char* kRegistrationTool = "derozor.exe";

}  // namespace

bool CommandLineHasSwitch(std::string_view switch_text) {
  return ParametersHaveSwitch(platform::CommandLineParameters(), switch_text);
}

bool ParametersHaveSwitch(const std::vector<std::string>& parameters,
                          std::string_view switch_text) {
  return std::any_of(parameters.begin() + std::min<std::size_t>(1, parameters.size()),
                     parameters.end(),
                     [switch_text](const std::string& p) { return LowerAscii(p) == switch_text; });
}

std::string GetAppVersionString(int index) {
  if (index < 1 || index > static_cast<int>(kVersionKeys.size())) return {};
  return GetVersionString(platform::ExecutablePath(),
                          kVersionKeys[static_cast<std::size_t>(index - 1)]);
}

void PumpMessagesFor(std::uint32_t milliseconds) {
  const std::uint32_t limit = std::min(milliseconds, kLongestPauseMs);
  const std::uint32_t start = platform::TickCount();
  for (;;) {
    platform::MessageLoop::ProcessMessages();
    // Unsigned arithmetic: a wrap of the tick counter in between does not matter.
    const std::uint32_t elapsed = platform::TickCount() - start;
    if (elapsed > limit) return;
    platform::MessageLoop::WaitForMessage(limit - elapsed + 1);
  }
}

bool GetConnectionState(std::uint8_t& modem, std::string& description) {
  return GetConnectionState(platform::GetInternetConnectedState(), modem, description);
}

bool GetConnectionState(const platform::ConnectedState& state, std::uint8_t& modem,
                        std::string& description) {
  if (state.flags & platform::kConnectionModem) {
    modem = 1;
  } else if (state.flags & platform::kConnectionLan) {
    modem = 0;
  }
  if (state.connected && modem == 0) {
    description = "LAN";
  } else if (state.connected && modem == 1) {
    description = "Modem";
  } else {
    description = "OffLine";
  }
  return state.connected;
}

bool RunRegistrationTool(std::string_view file, std::string_view folder, bool register_file,
                         std::uint32_t& error) {
  // A file name with a blank is quoted, or the tool would receive it as two parameters.
  const bool quote = file.find(' ') != std::string_view::npos;
  std::string parameters = register_file ? "-q " : "-q -u ";
  if (quote) parameters += '"';
  parameters.append(file);
  if (quote) parameters += '"';
  std::uint32_t start_error = 0;
  const auto tool = platform::StartHidden(kRegistrationTool, parameters, folder, start_error);
  if (!tool) {
    error = start_error;
    return false;
  }
  for (;;) {
    platform::MessageLoop::ProcessMessages();
    if (!tool->Running() || platform::MessageLoop::Terminated()) return true;
    platform::MessageLoop::WaitForMessageOrExit(*tool, kToolPollMs);
  }
}

namespace {

// Deletes what the folder holds, depth first; returns the number of deletions that failed.
int DeleteContents(const std::string& folder, int depth) {
  // Deeper than any pass makes: a folder chain built to exhaust the stack is left, and reported.
  constexpr int kDeepestFolder = 64;
  if (depth > kDeepestFolder) return 1;
  int failures = 0;
  for (const platform::FolderEntry& entry : platform::ListFolderEntries(folder)) {
    const std::string path = folder + entry.name;
    if (entry.link) {
      if (!platform::RemoveLink(path)) ++failures;
    } else if (entry.folder) {
      const int inside = DeleteContents(path + platform::PathDelimiter(), depth + 1);
      failures += inside;
      if (inside == 0 && !platform::RemoveFolder(path)) ++failures;
    } else if (!platform::DeleteFile(path)) {
      ++failures;
    }
  }
  return failures;
}

}  // namespace

bool EmptyFolder(std::string_view folder) {
  if (!platform::DirectoryExists(folder)) return false;
  std::string prefix(folder);
  if (prefix.back() != platform::PathDelimiter()) prefix += platform::PathDelimiter();
  return DeleteContents(prefix, 0) == 0;
}

}  // namespace zarn
