// Process and clock facts on Windows: the command line as the process received it, the tick
// count, local time and the user's date and time formats.
#include "platform/system.h"

#include "platform/files.h"
#include "platform/win32/civil_time.h"
#include "platform/win32/command_line.h"
#include "platform/win32/windows_api.h"

namespace zarn::platform {

namespace {

const DWORD kMainThread = GetCurrentThreadId();  // set while the program's statics initialise

// Calls a GetDateFormatA-style function into a buffer large enough for any format.
template <typename Formatter>
std::string FormatWith(Formatter formatter) {
  char buffer[256];
  const int n = formatter(buffer, static_cast<int>(sizeof buffer));
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n - 1)) : std::string();
}

}  // namespace

void SetCommandLine(int, char**) {}

std::vector<std::string> CommandLineParameters() {
  std::vector<std::string> parameters = win32::SplitCommandLine(GetCommandLineA());
  // Parameter 0 is the program's full path, whatever name it was started by.
  if (parameters.empty()) parameters.emplace_back();
  parameters[0] = ExecutablePath();
  return parameters;
}

std::uint32_t TickCount() {
  return GetTickCount();
}

CivilDateTime LocalNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return win32::FromSystemTime(now);
}

std::string FormatShortDate(const CivilDateTime& when) {
  const SYSTEMTIME time = win32::ToSystemTime(when);
  return FormatWith([&](char* buffer, int size) {
    return GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, buffer, size);
  });
}

std::string FormatLongTime(const CivilDateTime& when) {
  const SYSTEMTIME time = win32::ToSystemTime(when);
  return FormatWith([&](char* buffer, int size) {
    return GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time, nullptr, buffer, size);
  });
}

std::uint64_t ProcessorTimeMs() {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  const auto hundred_ns = [](const FILETIME& t) {
    return static_cast<std::uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime;
  };
  return (hundred_ns(kernel) + hundred_ns(user)) / 10000u;
}

bool IsMainThread() {
  return GetCurrentThreadId() == kMainThread;
}

}  // namespace zarn::platform
