// Process and clock facts on POSIX.
#include "platform/system.h"

#include <langinfo.h>
#include <pthread.h>
#include <time.h>

#include <clocale>
#include <mutex>

#include "platform/posix/local_time.h"

namespace zarn::platform {

namespace {

// The command line as main received it; written once at start, read afterwards.
std::vector<std::string>& Arguments() {
  static std::vector<std::string> arguments;
  return arguments;
}

const pthread_t kMainThread = pthread_self();  // set while the program's statics initialise

std::string FormatWithLocale(const CivilDateTime& when, nl_item item, const char* fallback) {
  static std::once_flag locale_once;
  std::call_once(locale_once, [] { std::setlocale(LC_TIME, ""); });
  struct tm parts{};
  parts.tm_year = when.year - 1900;
  parts.tm_mon = when.month - 1;
  parts.tm_mday = when.day;
  parts.tm_hour = when.hour;
  parts.tm_min = when.minute;
  parts.tm_sec = when.second;
  parts.tm_isdst = -1;
  const char* format = nl_langinfo(item);
  if (format == nullptr || *format == '\0') format = fallback;
  char buffer[128];
  // The format is the locale's own, not ours to check.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const std::size_t n = std::strftime(buffer, sizeof buffer, format, &parts);
#pragma GCC diagnostic pop
  return std::string(buffer, n);
}

}  // namespace

void SetCommandLine(int argc, char** argv) {
  Arguments().assign(argv, argv + argc);
}

std::vector<std::string> CommandLineParameters() { return Arguments(); }

std::uint32_t TickCount() {
  struct timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                  static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

CivilDateTime LocalNow() {
  struct timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return LocalCivilTime(now).value_or(CivilDateTime{});
}

std::string FormatShortDate(const CivilDateTime& when) {
  return FormatWithLocale(when, D_FMT, "%m/%d/%y");
}

std::string FormatLongTime(const CivilDateTime& when) {
  return FormatWithLocale(when, T_FMT, "%H:%M:%S");
}

std::uint64_t ProcessorTimeMs() {
  struct timespec used{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
  return static_cast<std::uint64_t>(used.tv_sec) * 1000u +
         static_cast<std::uint64_t>(used.tv_nsec) / 1000000u;
}

bool IsMainThread() { return pthread_equal(pthread_self(), kMainThread) != 0; }

}  // namespace zarn::platform
