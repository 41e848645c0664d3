// Facts about the process and the clock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/date_time.h"

namespace zarn::platform {

// The command-line parameters, parameter 0 being the program path. Windows splits its command line
// at blanks with double quotes grouping; POSIX hands over argv as it is. SetCommandLine is called
// once by main on POSIX and ignored on Windows.
void SetCommandLine(int argc, char** argv);
std::vector<std::string> CommandLineParameters();

// Milliseconds since an arbitrary start; wraps after 2^32.
std::uint32_t TickCount();

CivilDateTime LocalNow();

// The user's (Windows) or the locale's (POSIX) short date and long time formats.
std::string FormatShortDate(const CivilDateTime& when);
std::string FormatLongTime(const CivilDateTime& when);

// Processor time (user and system) this process has used so far, in milliseconds: the measure
// of what a wait costs.
std::uint64_t ProcessorTimeMs();

// True on the thread that started the program.
bool IsMainThread();

}  // namespace zarn::platform
