#include "app/update_report.h"

#include <cstdio>
#include <vector>

#include "app/update_common.h"
#include "platform/system.h"

namespace zarn {

void BuildUpdateReport(TMemoryStream& stream, const TSysInfo& sysinfo,
                       std::string_view update_folder, std::span<const std::string> log) {
  // Every fact is read before the stream is touched: a failed registry read leaves it as it was.
  std::vector<std::string> lines{
      ReadInstallationId(),
      sysinfo.CurrentUser(),
      sysinfo.RegisteredOwner(),
      std::string(update_folder),
      sysinfo.Computername(),
      sysinfo.Platform() + " " + sysinfo.VersionWIN(),
      std::to_string(sysinfo.TimeZoneDiff()),
      std::string(),
  };
  lines.insert(lines.end(), log.begin(), log.end());
  lines.emplace_back();
  stream.Clear();
  for (const std::string& line : lines) {
    stream.Write(line.data(), line.size());
    stream.Write("\r\n", 2);
  }
  stream.Seek(0);
}

std::string ReportFileName() {
  return ReportFileNameAt(platform::LocalNow());
}

std::string ReportFileNameAt(const CivilDateTime& when) {
  char name[32];
  std::snprintf(name, sizeof name, "%02d%02d%02d%02d%02d%02d%03d.txt", when.year % 100, when.month,
                when.day, when.hour, when.minute, when.second, when.millisecond);
  return name;
}

}  // namespace zarn
