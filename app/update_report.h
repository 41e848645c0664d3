// The plain-text report of an update pass that is uploaded to the server: who ran it, on which
// system, from which update folder, then the whole update log.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/system_info.h"
#include "common/date_time.h"
#include "net/streams.h"

namespace zarn {

// Replaces the contents of `stream` with the report and sets its position to 0: the installation
// identifier, the user, the registered owner, the update folder, the computer, the platform and
// version, the time-zone difference, an empty line, every line of `log`, and an empty line; each
// line ends in CR LF. Registry read errors (ERegistryException) leave the function before the
// stream is touched.
void BuildUpdateReport(TMemoryStream& stream, const TSysInfo& sysinfo,
                       std::string_view update_folder, std::span<const std::string> log);

// The report's name for the current local time: "yymmddhhmmsszzz.txt".
std::string ReportFileName();
std::string ReportFileNameAt(const CivilDateTime& when);

}  // namespace zarn
