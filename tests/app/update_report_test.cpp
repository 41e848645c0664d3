// The uploaded report: its line layout, the system facts in it, and its name.
#include "app/update_report.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "app/update_common.h"
#include "common/exception.h"
#include "tests/support/registry_sandbox.h"
#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

using platform::RegistryRoot;
using platform::RegistryType;

constexpr const char* kOwnerKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// Splits at CR LF; fails the test on a line feed without its carriage return.
std::vector<std::string> ReportLines(const std::string& report) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < report.size()) {
    const auto end = report.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "report does not end in CR LF";
    if (end == std::string::npos) break;
    lines.push_back(report.substr(start, end - start));
    EXPECT_EQ(lines.back().find('\n'), std::string::npos) << "bare line feed in " << lines.back();
    start = end + 2;
  }
  return lines;
}

TEST(UpdateReport, HeaderThenEveryLogLineThenAnEmptyLine) {
  test::RegistrySandbox registry;
  registry.SetText(RegistryRoot::kLocalMachine, kOwnerKey, "RegisteredOwner", "Jane Owner");
  const TSysInfo sysinfo;
  const std::vector<std::vector<std::string>> logs = {
      {},
      {"Update 4.0.0.1 Standalone"},
      {"Update 4.0.0.1 Launched from Zarn", "", "Connecting to Server", "Quit"},
  };
  for (const auto& log : logs) {
    TMemoryStream stream;
    stream.Write("left over", 9);
    BuildUpdateReport(stream, sysinfo, "/zarn4/updates", log);
    EXPECT_EQ(stream.Position(), 0);
    const auto lines = ReportLines(stream.Bytes());
    ASSERT_EQ(lines.size(), log.size() + 9);
    EXPECT_EQ(lines[0], "") << "no installation identifier is stored";
    EXPECT_EQ(lines[1], sysinfo.CurrentUser());
    EXPECT_EQ(lines[2], "Jane Owner");
    EXPECT_EQ(lines[3], "/zarn4/updates");
    EXPECT_EQ(lines[4], sysinfo.Computername());
    EXPECT_EQ(lines[5], sysinfo.Platform() + " " + sysinfo.VersionWIN());
    EXPECT_EQ(lines[6], std::to_string(sysinfo.TimeZoneDiff()));
    EXPECT_EQ(lines[7], "");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 8, lines.end() - 1), log);
    EXPECT_EQ(lines.back(), "");
  }
}

TEST(UpdateReport, TheInstallationIdentifierIsTheFirstLine) {
  test::RegistrySandbox registry;
  registry.SetText(RegistryRoot::kCurrentUser, kSettingsKey, kInstallationIdValue, "Z4-0042");
  TMemoryStream stream;
  BuildUpdateReport(stream, TSysInfo(), "/zarn4/updates", std::vector<std::string>{});
  EXPECT_EQ(ReportLines(stream.Bytes()).at(0), "Z4-0042");
}

TEST(UpdateReport, AValueThatIsNoTextFailsTheReportBeforeTheStreamIsTouched) {
  struct Case {
    RegistryRoot root;
    const char* key;
    const char* value;
  };
  const std::vector<Case> cases = {
      {RegistryRoot::kLocalMachine, kOwnerKey, "RegisteredOwner"},
      {RegistryRoot::kCurrentUser, kSettingsKey, kInstallationIdValue},
  };
  for (const Case& c : cases) {
    test::RegistrySandbox registry;
    registry.SetValue(c.root, c.key, c.value, RegistryType::kDword, {1, 0, 0, 0});
    TMemoryStream stream;
    stream.Write("old contents", 12);
    try {
      BuildUpdateReport(stream, TSysInfo(), "/zarn4/updates", std::vector<std::string>{"line"});
      ADD_FAILURE() << "no error raised for " << c.value;
    } catch (const ERegistryException& error) {
      EXPECT_EQ(error.Message(), "Invalid data type for '" + std::string(c.value) + "'");
    }
    EXPECT_EQ(stream.Bytes(), "old contents");
  }
}

TEST(SysInfo, RegisteredOwnerReadsTheTextOfTheValue) {
  struct Case {
    const char* what;
    RegistryType type;
    std::vector<std::uint8_t> data;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"plain text", RegistryType::kSz, {'A', 'n', 'n', 0}, "Ann"},
      {"unexpanded", RegistryType::kExpandSz, {'%', 'U', '%', 0}, "%U%"},
      {"cut at the first NUL", RegistryType::kSz, {'A', 'b', 0, 'c', 0}, "Ab"},
      {"empty", RegistryType::kSz, {}, ""},
  };
  for (const Case& c : cases) {
    test::RegistrySandbox registry;
    registry.SetValue(RegistryRoot::kLocalMachine, kOwnerKey, "RegisteredOwner", c.type, c.data);
    EXPECT_EQ(TSysInfo().RegisteredOwner(), c.expected) << c.what;
  }
}

TEST(SysInfo, RegisteredOwnerOfAMissingValueOrKey) {
  test::RegistrySandbox registry;
  // Windows always has the key; only the POSIX store can be without it.
  if (!platform::RegistryKey::Open(RegistryRoot::kLocalMachine, kOwnerKey,
                                   platform::RegistryKey::Access::kRead)) {
    EXPECT_EQ(TSysInfo().RegisteredOwner(), "(Unknown)");
  }
  registry.DeleteValue(RegistryRoot::kLocalMachine, kOwnerKey, "RegisteredOwner");
  EXPECT_EQ(TSysInfo().RegisteredOwner(), "");
}

TEST(SysInfo, OwnerOfTheWrongTypeRaisesTheRegistryError) {
  const std::vector<std::pair<RegistryType, std::vector<std::uint8_t>>> wrong = {
      {RegistryType::kDword, {7, 0, 0, 0}},
      {RegistryType::kBinary, {'A', 0}},
      {RegistryType::kMultiSz, {'A', 0, 0}},
  };
  for (const auto& [type, data] : wrong) {
    test::RegistrySandbox registry;
    registry.SetValue(RegistryRoot::kLocalMachine, kOwnerKey, "RegisteredOwner", type, data);
    EXPECT_THROW(TSysInfo().RegisteredOwner(), ERegistryException) << static_cast<int>(type);
  }
}

TEST(SysInfo, FactsHaveTheirForms) {
  const TSysInfo sysinfo;
  EXPECT_TRUE(std::regex_match(sysinfo.VersionWIN(), std::regex("[0-9]+\\.[0-9]+")))
      << sysinfo.VersionWIN();
  const std::string computer = sysinfo.Computername();
  EXPECT_FALSE(computer.empty());
  EXPECT_LE(computer.size(), 15u) << computer;
  EXPECT_NE(sysinfo.CurrentUser(), "(Unknown)");
  EXPECT_FALSE(sysinfo.CurrentUser().empty());
  EXPECT_NE(sysinfo.Platform(), "(Unknown)");
}

TEST(SysInfo, TimeZoneDiffIsTheStandardOffsetWestOfUtcInMinutes) {
#ifdef _WIN32
  GTEST_SKIP() << "Wine takes its time zone from the host, not from TZ";
#else
  struct Case {
    const char* tz;
    std::int32_t minutes;
  };
  // Rules that put daylight saving into force all year round still leave the standard offset.
  const std::vector<Case> cases = {
      {"UTC0", 0},
      {"EST5EDT,M3.2.0,M11.1.0", 300},
      {"CET-1CEST,M3.5.0,M10.5.0/3", -60},
      {"<+0530>-5:30", -330},
      {"<-0330>3:30<-0230>,M3.2.0,M11.1.0", 210},
      {"JST-9", -540},
  };
  const TSysInfo sysinfo;
  for (const Case& c : cases) {
    test::ScopedEnv zone("TZ", c.tz);
    EXPECT_EQ(sysinfo.TimeZoneDiff(), c.minutes) << c.tz;
    test::RegistrySandbox registry;
    TMemoryStream stream;
    BuildUpdateReport(stream, sysinfo, "", std::vector<std::string>{});
    EXPECT_EQ(ReportLines(stream.Bytes()).at(6), std::to_string(c.minutes)) << c.tz;
  }
#endif
}

// Under Wine the zone is the one the program starts in (TZ of the Linux side), so the Windows
// build runs this test once per zone with the expected difference in the environment.
TEST(SysInfo, TimeZoneDiffFollowsTheZoneTheProgramStartedIn) {
  const char* expected = std::getenv("ZARN_EXPECTED_TIME_ZONE_DIFF");
  if (expected == nullptr) GTEST_SKIP() << "run by the per-zone tests only";
  EXPECT_EQ(std::to_string(TSysInfo().TimeZoneDiff()), expected);
}

TEST(UpdateReport, FileNameIsTheLocalTimeInFifteenDigits) {
  struct Case {
    CivilDateTime when;
    const char* name;
  };
  const std::vector<Case> cases = {
      {{2026, 12, 7, 23, 5, 9, 7}, "261207230509007.txt"},
      {{2000, 1, 1, 0, 0, 0, 0}, "000101000000000.txt"},
      {{2099, 10, 31, 12, 59, 58, 999}, "991031125958999.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(ReportFileNameAt(c.when), c.name);
  const std::string now = ReportFileName();
  EXPECT_TRUE(std::regex_match(now, std::regex("[0-9]{15}\\.txt"))) << now;
}

}  // namespace
}  // namespace zarn
