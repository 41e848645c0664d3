// zcab: extract or list a cabinet with the updater's own cabinet component.
#include <cstdio>
#include <string>
#include <vector>

#include "cab/cabfiles.h"
#include "tools/common/command_line.h"

namespace {

using zarn::tool::kExitFailed;  // the cabinet could not be read or a file not written
using zarn::tool::kExitOk;

constexpr const char* kHelp =
    "Usage: zcab x CABFILE [DIR]   extract every file of CABFILE into DIR (default: the\n"
    "                              current folder), replacing files that exist\n"
    "       zcab l CABFILE         list the files of CABFILE: size, stored date and time, name\n"
    "\n"
    "Stored names that would lead outside DIR (absolute, with a drive, with \"..\") are not\n"
    "written, and the extraction then fails. A folder level missing below DIR is created;\n"
    "deeper ones are not. Extracted files take the stored date and time as written.\n"
    "\n"
    "  -h, --help   show this text\n"
    "\n"
    "Exit status: 0 done, 1 the cabinet could not be read or a file not written, 2 bad\n"
    "command line.\n";

int Usage(const std::string& problem) {
  return zarn::tool::Usage("zcab", problem);
}

int Extract(const std::string& cabinet, const std::string& folder) {
  zarn::TCABFile cab;
  cab.CABFile = cabinet;
  cab.TargetPath = folder;
  if (cab.ExtractAll()) return kExitOk;
  std::fprintf(stderr, "zcab: extracting %s failed\n", cabinet.c_str());
  return kExitFailed;
}

int List(const std::string& cabinet) {
  zarn::TCABFile cab;
  cab.CABFile = cabinet;
  if (!cab.ListContents()) {
    std::fprintf(stderr, "zcab: %s cannot be read as a cabinet\n", cabinet.c_str());
    return kExitFailed;
  }
  for (const auto& entry : cab.CABFileContents.Items()) {
    const zarn::CivilDateTime date = zarn::DecodeDateTime(entry.Date);
    const std::string name = entry.RelPath.empty() ? entry.Name : entry.RelPath + "\\" + entry.Name;
    std::printf("%10d  %04d-%02d-%02d %02d:%02d:%02d  %s\n", entry.Size, date.year, date.month,
                date.day, date.hour, date.minute, date.second, name.c_str());
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (zarn::tool::AsksForHelp(args)) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (args.empty()) return Usage("missing command");
  const std::string& command = args[0];
  if (command == "x") {
    if (args.size() < 2 || args.size() > 3) return Usage("x takes CABFILE and an optional DIR");
    return Extract(args[1], args.size() == 3 ? args[2] : std::string());
  }
  if (command == "l") {
    if (args.size() != 2) return Usage("l takes CABFILE");
    return List(args[1]);
  }
  return Usage("unknown command '" + command + "'");
}
