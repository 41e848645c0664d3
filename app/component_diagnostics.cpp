#include "app/component_diagnostics.h"

#include <array>

#include "app/category_classes.h"
#include "app/long_path.h"

namespace zarn {

namespace {

struct ProgramComponent {
  Guid clsid;
  std::string_view missing_line;
};

// The suite's programs that register a class, in the order they are listed.
constexpr std::array<ProgramComponent, 4> kProgramComponents{{
    {{0x8A23CE32, 0xF36A, 0x4B4E, {0xB2, 0x6B, 0x32, 0x32, 0x1D, 0x37, 0x08, 0x9A}},
     "zarn4dsi.exe Class Not in Registry"},
    {{0x4C3AF079, 0xDB46, 0x4F30, {0xAC, 0x8F, 0x08, 0x8F, 0xED, 0x28, 0xDF, 0x95}},
     "zarn4update.exe Class Not in Registry"},
    {{0x5E94B456, 0x77C9, 0x4CE0, {0xAA, 0x95, 0xB1, 0xE5, 0x95, 0xCC, 0x7B, 0x6C}},
     "zarn4net.exe Class Not in Registry"},
    {{0xDE111158, 0x236D, 0x4835, {0x8E, 0x34, 0x2D, 0xFB, 0x1A, 0xDD, 0x1A, 0xFB}},
     "zarn4server.exe Class Not in Registry"},
}};

}  // namespace

void LogProgramComponents(StatusSink& status) {
  status.ShowStatus("Registered Program Components");
  status.ShowStatus("-----------------------------");
  for (const ProgramComponent& component : kProgramComponents) {
    const std::string path = GetLocalServerPath(component.clsid);
    status.ShowStatus(path.empty() ? std::string(component.missing_line) : ExpandLongPath(path));
  }
  status.ShowStatus("");
}

void LogReceiverDrivers(StatusSink& status) {
  status.ShowStatus("");
  status.ShowStatus("Registered Receiver Drivers");
  status.ShowStatus("---------------------------");
  CategoryClassTable table{};
  const int count = EnumCategoryClasses(table);
  if (count == 0) status.ShowStatus("! None Found");
  for (int i = 0; i < count; ++i) {
    const Guid& clsid = table[static_cast<std::size_t>(i)].clsid;
    const std::string path = GetInprocServerPath(clsid);
    status.ShowStatus(path.empty() ? "File Missing for " + GuidToString(clsid)
                                   : ExpandLongPath(path));
  }
  status.ShowStatus("");
}

}  // namespace zarn
