// The diagnostic listings of registered program components and receiver drivers, over a registry
// of the test's own, and the long form of registered paths.
#include "app/component_diagnostics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/category_classes.h"
#include "app/long_path.h"
#include "common/text.h"
#include "platform/files.h"
#include "tests/support/recording_status.h"
#include "tests/support/registry_sandbox.h"
#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using platform::RegistryRoot;

constexpr const char* kReceiverCategory = "{3A7D1000-7634-11D4-8FE6-0000B456AD69}";

// A folder of the test's own with entries made on request.
class Scratch {
 public:
  // The path of a name in the folder, made (as a file, or as a folder when it ends in the
  // delimiter) unless `make` is false.
  std::string Entry(const std::string& name, bool make = true) const {
    const std::string full = folder_.Folder() + name;
    if (make && !name.empty() && name.back() == platform::PathDelimiter()) {
      fs::create_directories(full);
    } else if (make) {
      fs::create_directories(fs::path(full).parent_path());
      std::ofstream(full) << "x";
    }
    return full;
  }

 private:
  test::TempDir folder_;
};

std::string ClassKey(const std::string& clsid) {
  return "CLSID\\" + clsid;
}

void RegisterDriver(test::RegistrySandbox& registry, const std::string& clsid,
                    const char* category = kReceiverCategory) {
  registry.CreateKey(RegistryRoot::kClassesRoot,
                     ClassKey(clsid) + "\\Implemented Categories\\" + category);
}

std::string DriverGuid(int n) {
  return "{0000" + HexUpper(static_cast<std::uint32_t>(n), 4) + "-1111-2222-3333-444455556666}";
}

TEST(ComponentDiagnostics, ProgramComponentsListTheirLocalServersOrTheirAbsence) {
  test::RegistrySandbox registry;
  const Scratch scratch;
  const char d = platform::PathDelimiter();
  const std::string updater = scratch.Entry("zarn4update.exe");
  const std::string net = scratch.Entry(std::string("Net") + d + "zarn4net.exe");
  // Registered with "." and ".." in it, and a server in a folder that is gone, with arguments.
  const std::string net_as_registered = scratch.Entry(
      std::string("Net") + d + "." + d + ".." + d + "Net" + d + "zarn4net.exe", false);
  const std::string gone =
      scratch.Entry(std::string("Gone") + d + "zarn4server.exe -automation", false);
  const auto local_server = [&](const char* clsid, const std::string& path) {
    registry.SetText(RegistryRoot::kClassesRoot, ClassKey(clsid) + "\\LocalServer32", "", path);
  };
  local_server("{4C3AF079-DB46-4F30-AC8F-088FED28DF95}", updater);
  local_server("{5E94B456-77C9-4CE0-AA95-B1E595CC7B6C}", net_as_registered);
  local_server("{DE111158-236D-4835-8E34-2DFB1ADD1AFB}", gone);

  test::RecordingStatus status;
  LogProgramComponents(status);
  EXPECT_EQ(status.lines, (Lines{"Registered Program Components", "-----------------------------",
                                 "zarn4dsi.exe Class Not in Registry", updater, net, gone, ""}));
}

TEST(ComponentDiagnostics, ReceiverDriversListTheirInprocServers) {
  test::RegistrySandbox registry;
  const Scratch scratch;
  const std::string driver = scratch.Entry("drv1.dll");
  RegisterDriver(registry, DriverGuid(1));
  registry.SetText(RegistryRoot::kClassesRoot, ClassKey(DriverGuid(1)) + "\\InprocServer32", "",
                   driver);
  RegisterDriver(registry, DriverGuid(2));  // no server key
  RegisterDriver(registry, DriverGuid(3));
  registry.SetValue(RegistryRoot::kClassesRoot, ClassKey(DriverGuid(3)) + "\\InprocServer32", "",
                    platform::RegistryType::kDword, {1, 0, 0, 0});  // no text
  // A class of another category is no driver.
  RegisterDriver(registry, DriverGuid(4), "{3A7D1001-7634-11D4-8FE6-0000B456AD69}");

  test::RecordingStatus status;
  LogReceiverDrivers(status);
  ASSERT_EQ(status.lines.size(), 7u);
  EXPECT_EQ(Lines(status.lines.begin(), status.lines.begin() + 3),
            (Lines{"", "Registered Receiver Drivers", "---------------------------"}));
  Lines drivers(status.lines.begin() + 3, status.lines.end() - 1);
  std::sort(drivers.begin(), drivers.end());
  EXPECT_EQ(drivers, (Lines{driver, "File Missing for " + DriverGuid(2),
                            "File Missing for " + DriverGuid(3)}));
  EXPECT_EQ(status.lines.back(), "");
}

TEST(ComponentDiagnostics, NoReceiverDriverIsSaidSo) {
  test::RegistrySandbox registry;
  RegisterDriver(registry, DriverGuid(9), "{3A7D1001-7634-11D4-8FE6-0000B456AD69}");
  test::RecordingStatus status;
  LogReceiverDrivers(status);
  EXPECT_EQ(status.lines, (Lines{"", "Registered Receiver Drivers", "---------------------------",
                                 "! None Found", ""}));
}

TEST(ComponentDiagnostics, TheClassTableIsClearedAndFilledWithAtMostFiftyDrivers) {
  for (const int registered_count : {3, 53}) {
    SCOPED_TRACE(registered_count);
    test::RegistrySandbox registry;
    Lines registered;
    for (int n = 1; n <= registered_count; ++n) {
      RegisterDriver(registry, DriverGuid(n));
      registered.push_back(DriverGuid(n));
    }
    CategoryClassTable table{};
    for (CategoryClassEntry& entry : table) {  // left over from an earlier use
      entry.clsid.data1 = 0xDEAD;
      entry.text[0] = 'x';
    }
    const int count = EnumCategoryClasses(table);
    ASSERT_EQ(count, std::min(registered_count, 50));
    for (std::size_t i = 0; i < table.size(); ++i) {
      const std::string clsid = GuidToString(table[i].clsid);
      if (i < static_cast<std::size_t>(count)) {
        EXPECT_NE(std::find(registered.begin(), registered.end(), clsid), registered.end())
            << clsid;
      } else {
        EXPECT_EQ(table[i].clsid, Guid{}) << i;
      }
      EXPECT_EQ(table[i].text, (std::array<char, 129>{})) << i;
    }
    test::RecordingStatus status;
    LogReceiverDrivers(status);
    EXPECT_EQ(status.lines.size(), 3u + static_cast<std::size_t>(count) + 1u);
  }
}

TEST(ComponentDiagnostics, ServerPathsAreReturnedAsRegistered) {
  test::RegistrySandbox registry;
  const std::string clsid = DriverGuid(7);
  const std::string quoted = "\"C:\\Program Files\\ZARN4\\zarn4net.exe\" /automation";
  registry.SetText(RegistryRoot::kClassesRoot, ClassKey(clsid) + "\\LocalServer32", "", quoted);
  registry.SetValue(RegistryRoot::kClassesRoot, ClassKey(clsid) + "\\InprocServer32", "",
                    platform::RegistryType::kExpandSz, {'%', 'S', '%', 0});
  const Guid guid = *ParseGuid(clsid);
  EXPECT_EQ(GetLocalServerPath(guid), quoted);
  EXPECT_EQ(GetInprocServerPath(guid), "%S%");
  EXPECT_EQ(GetInprocServerPath(*ParseGuid(DriverGuid(8))), "");
}

TEST(LongPath, ExistingPartsTakeTheirOnDiskNamesAndTheRestStaysAsWritten) {
  const Scratch scratch;
  const char d = platform::PathDelimiter();
  const std::string s(1, d);
  const std::string folder = scratch.Entry("Folder" + s);
  const std::string file = scratch.Entry("Folder" + s + "File.dll");
  struct Case {
    std::string path;
    std::string expected;
  };
  std::vector<Case> cases = {
      {file, file},
      {folder, folder},  // the final delimiter stays
      {folder + "." + s + "File.dll", file},
      {folder + ".." + s + "Folder" + s + "File.dll", file},
      {folder + "Missing" + s + "Deeper" + s + "x.dll",
       folder + "Missing" + s + "Deeper" + s + "x.dll"},
      {folder + "File.dll -automation", folder + "File.dll -automation"},
  };
  if (platform::FileNamesIgnoreCase()) {
    // The stored letter case wins where names ignore it.
    cases.push_back({UpperAscii(file), file});
  }
  for (const Case& c : cases) EXPECT_EQ(ExpandLongPath(c.path), c.expected) << c.path;

  // A relative path is taken from the current folder.
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  EXPECT_EQ(ExpandLongPath("File.dll"), file);
  EXPECT_EQ(ExpandLongPath(std::string("..") + d + "Folder" + d + "File.dll"), file);
  fs::current_path(before);
}

}  // namespace
}  // namespace zarn
