// Installing the downloaded files: cabinets made by the test are unpacked into the work folder
// and their files put into the program folder, with the exact status lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "app/update_manifest.h"
#include "common/text.h"
#include "platform/file_times.h"
#include "platform/files.h"
#include "tests/cab/cab_writer.h"
#include "tests/support/build_files.h"
#include "tests/support/fake_window.h"
#include "tests/support/file_contents.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace zarn {
namespace {

namespace fs = std::filesystem;
using test::CabEntry;
using test::ReadWholeFile;
using test::WriteBytes;

constexpr std::uint16_t kOldDate = (20 << 9) | (3 << 5) | 4;      // 2000-03-04
constexpr std::uint16_t kFutureDate = (120 << 9) | (6 << 5) | 1;  // 2100-06-01
constexpr std::int64_t kOldSeconds = 952128000 + 13 * 3600 + 45 * 60 + 30;

std::int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string VersionedLibrary() {
  return ReadWholeFile(test::BuildFolderFile("tests/manifest-fixtures/v41.dll"));
}

// A program folder (the test's scratch folder) with the window over it; the updater's own
// executable is "zarn4update.exe" there.
class InstallFilesTest : public ::testing::Test {
 protected:
  // Creates the window afresh (which empties the work folder).
  void Start() {
    form_.reset();
    fs::create_directories(dir_.PathOf("prog"));
    WriteBytes(dir_.PathOf("prog/zarn4.exe"), "main program");
    TfrmZarnUpdate::Parts parts;
    parts.parameters = [] { return std::vector<std::string>{"zarn4update"}; };
    parts.window = [this](std::string_view, platform::MessageTarget& target) {
      auto window = std::make_unique<test::FakeWindow>(target);
      window_ = window.get();
      return window;
    };
    parts.tray = [](platform::MessageTarget&) { return std::make_unique<test::FakeTrayHost>(); };
    parts.executable_path = [this] { return dir_.PathOf("prog/zarn4update.exe"); };
    form_ = std::make_unique<TfrmZarnUpdate>(parts);
    // As in the update run, which disables it first: the pauses must not start a pass.
    form_->startTimer.SetEnabled(false);
  }

  std::string Work(const std::string& name) const { return form_->session().work_folder + name; }
  // How many extraction folders of the work folder hold the file.
  int ExtractedCopies(const std::string& name) const {
    int copies = 0;
    for (const auto& entry : fs::directory_iterator(form_->session().work_folder)) {
      if (entry.is_directory() && fs::exists(entry.path() / name)) ++copies;
    }
    return copies;
  }
  std::string Program(const std::string& name) const {
    return form_->session().program_folder + name;
  }

  // Runs InstallFiles over a manifest of "Cabs" lines and returns its status lines.
  std::vector<std::string> Install(const std::string& cabs, std::vector<std::string>& list) {
    const std::string manifest = Work("z4up.ini");
    WriteBytes(manifest, "[Cabs]\r\n" + cabs);
    const std::size_t before = form_->log()->Lines().size();
    form_->InstallFiles(UpdateManifest(manifest), list);
    const auto& lines = form_->log()->Lines();
    return {lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end()};
  }

  test::SettingsSandbox settings_;
  test::TempDir dir_;
  test::FakeWindow* window_ = nullptr;
  std::unique_ptr<TfrmZarnUpdate> form_;
};

TEST_F(InstallFilesTest, EntriesTakeTheirPaths) {
  enum class Time { kStored, kExtraction, kFuture };
  struct Installed {
    std::string name;  // in the program folder
    std::string bytes;
    Time time;
  };
  const struct {
    const char* what;
    std::map<std::string, std::vector<CabEntry>> cabs;
    std::string cab_lines;
    std::vector<std::string> list;
    std::vector<std::string> lines;
    std::vector<std::string> list_after;
    std::vector<Installed> installed;
    std::vector<std::string> left_in_work;
    int steps;
  } cases[] = {
      {"an unversioned file with an old date ends at the extraction time",
       {{"a.cab", {{"plain.txt", "new plain", kOldDate}}}},
       "plain.txt=a.cab\r\n",
       {"plain.txt"},
       {"Extracting plain.txt", "Replaced plain.txt"},
       {"plain.txt"},
       {{"plain.txt", "new plain", Time::kExtraction}},
       {},
       1},
      {"a stored date after the extraction stays",
       {{"a.cab", {{"later.txt", "later", kFutureDate}}}},
       "later.txt=a.cab\r\n",
       {"later.txt"},
       {"Extracting later.txt", "Replaced later.txt"},
       {"later.txt"},
       {{"later.txt", "later", Time::kFuture}},
       {},
       1},
      {"a versioned file keeps its stored date, without a mark",
       {{"v.cab", {{"v41.dll", VersionedLibrary(), kOldDate}}}},
       "v41.dll=v.cab\r\n",
       {"v41.dll"},
       {"Extracting v41.dll", "Replaced v41.dll"},
       {"v41.dll"},
       {{"v41.dll", VersionedLibrary(), Time::kStored}},
       {},
       1},
      {"the own executable in any case goes beside itself",
       {{"u.cab", {{"ZaRn4UpDaTe.exe", "new updater"}}}},
       "ZaRn4UpDaTe.exe=u.cab\r\n",
       {"ZaRn4UpDaTe.exe", "plain.txt"},
       {"ExtractingEx ZaRn4UpDaTe.exe", "ZARN4UPDATE.EXE will be replaced when ZARN starts."},
       {"plain.txt"},
       {{"new_ZARN4UPDATE.EXE", "new updater", Time::kStored}},
       {},
       1},
      {"a cabinet that lacks the file",
       {{"b.cab", {{"other.txt", "other"}}}},
       "missing.txt=b.cab\r\n",
       {"missing.txt"},
       {"Extracting missing.txt", " - missing.txt extraction failed."},
       {"missing.txt"},
       {},
       {"other.txt"},
       1},
      {"two entries share one cabinet",
       {{"two.cab", {{"one.txt", "first", kOldDate}, {"two.txt", "second", kOldDate}}}},
       "one.txt=two.cab\r\ntwo.txt=two.cab\r\n",
       {"one.txt", "two.txt"},
       {"Extracting one.txt", "Replaced one.txt", "Extracting two.txt", "Replaced two.txt"},
       {"one.txt", "two.txt"},
       {{"one.txt", "first", Time::kExtraction}, {"two.txt", "second", Time::kExtraction}},
       {"one.txt", "two.txt"},  // each extraction wrote both, in a folder of its own
       2},
      {"a file is taken only from its own cabinet's extraction",
       {{"a.cab", {{"x.txt", "x from a"}, {"y.txt", "y from a"}}},
        {"b.cab", {{"other.txt", "other"}}}},
       "x.txt=a.cab\r\ny.txt=b.cab\r\n",
       {"x.txt", "y.txt"},
       {"Extracting x.txt", "Replaced x.txt", "Extracting y.txt", " - y.txt extraction failed."},
       {"x.txt", "y.txt"},
       {{"x.txt", "x from a", Time::kExtraction}, {"y.txt", "old", Time::kExtraction}},
       {"y.txt", "other.txt"},
       2},
      {"a cabinet changed since its download is not extracted",
       {{"h.cab", {{"h.txt", "forged"}}}},
       "h.txt=h.cab\r\n[Hashes]\r\nh.cab=" + std::string(64, '0') + "\r\n",
       {"h.txt"},
       {"Extracting h.txt", " - h.txt extraction failed."},
       {"h.txt"},
       {{"h.txt", "old", Time::kStored}},
       {},
       1},
      {"stored names of the manifest and its signature are refused",
       {{"m.cab", {{"Z4UP.INI", "forged"}, {"z4up.ini.sig", "forged"}, {"n.txt", "new n"}}}},
       "z4up.ini=m.cab\r\nn.txt=m.cab\r\n",
       {"z4up.ini", "n.txt"},
       {"Extracting z4up.ini", " - z4up.ini extraction failed.", "Extracting n.txt",
        "Replaced n.txt"},
       {"z4up.ini", "n.txt"},
       {{"n.txt", "new n", Time::kExtraction}},
       {"n.txt"},  // from the first extraction
       2},
      {"an entry without a cabinet is passed over",
       {},
       "",
       {"nocab.txt"},
       {},
       {"nocab.txt"},
       {},
       {},
       0},
      {"a file in a folder of the program folder",
       {{"d.cab", {{"Drivers\\radio.dll", "driver", kOldDate}}}},
       "Drivers\\radio.dll=d.cab\r\n",
       {"Drivers\\radio.dll"},
       {"Extracting Drivers\\radio.dll", "Replaced Drivers\\radio.dll"},
       {"Drivers\\radio.dll"},
       {{"Drivers/radio.dll", "driver", Time::kExtraction}},
       {},
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Start();
    fs::create_directory(Program("Drivers"));
    for (const auto& item : c.installed) WriteBytes(Program(item.name), "old");
    for (const auto& [name, entries] : c.cabs) WriteBytes(Work(name), test::BuildCabinet(entries));
    std::vector<std::string> list = c.list;
    const int start = form_->pbar.Position();
    const std::int64_t before = NowSeconds();

    EXPECT_EQ(Install(c.cab_lines, list), c.lines);
    EXPECT_EQ(list, c.list_after);
    EXPECT_EQ(form_->pbar.Position() - start, c.steps);
    for (const auto& item : c.installed) {
      SCOPED_TRACE(item.name);
      EXPECT_EQ(ReadWholeFile(Program(item.name)), item.bytes);
      const auto written = platform::LastWriteTimeSeconds(Program(item.name));
      ASSERT_TRUE(written);
      switch (item.time) {
        case Time::kStored:
          if (item.name.starts_with("v41")) {
            EXPECT_EQ(*written, kOldSeconds);
          }
          break;
        case Time::kExtraction:
          EXPECT_GE(*written, before - 2);
          EXPECT_LE(*written, NowSeconds() + 2);
          break;
        case Time::kFuture:
          EXPECT_GT(*written, NowSeconds() + 365LL * 86400 * 50);
          break;
      }
      if (std::find(c.left_in_work.begin(), c.left_in_work.end(), item.name) ==
          c.left_in_work.end()) {
        EXPECT_EQ(ExtractedCopies(item.name), 0) << "the work copy goes";
      }
    }
    for (const auto& name : c.left_in_work) EXPECT_EQ(ExtractedCopies(name), 1) << name;
    EXPECT_TRUE(ReadWholeFile(Work("z4up.ini")).starts_with("[Cabs]")) << "the manifest stays";
  }
}

// Every file and its bytes below a folder, one line each.
std::string Snapshot(const fs::path& folder) {
  std::string listing;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    listing += entry.path().string() + "=" + ReadWholeFile(entry.path()) + "\n";
  }
  return listing;
}

TEST_F(InstallFilesTest, HostileNamesWriteNothingOutsideTheProgramFolder) {
  enum class Setup { kNone, kLinkedFolder, kLinkedFile, kFolder, kFifo };
  const std::string outside = dir_.PathOf("outside");
  const struct {
    std::string key;
    std::string cab;  // the "Cabs" value
    std::string stored;
    Setup setup;
    std::vector<std::string> lines;
  } cases[] = {
      {"..\\outside\\victim.txt", "a.cab", "victim.txt", Setup::kNone, {}},
      {"../outside/victim.txt", "a.cab", "victim.txt", Setup::kNone, {}},
      {dir_.PathOf("outside/victim.txt"), "a.cab", "victim.txt", Setup::kNone, {}},
      {"C:victim.txt", "a.cab", "victim.txt", Setup::kNone, {}},
      {"\\\\server\\share\\victim.txt", "a.cab", "victim.txt", Setup::kNone, {}},
      {"\\victim.txt", "a.cab", "victim.txt", Setup::kNone, {}},
      {"sub\\..\\..\\outside\\victim.txt", "a.cab", "victim.txt", Setup::kNone, {}},
      {"sub\\.\\victim.txt", "a.cab", "victim.txt", Setup::kNone, {}},
      {"sub\\\\victim.txt", "a.cab", "victim.txt", Setup::kNone, {}},
      {"CON.txt", "a.cab", "victim.txt", Setup::kNone, {}},
      {"victim.txt:stream", "a.cab", "victim.txt", Setup::kNone, {}},
      {"*.txt", "a.cab", "victim.txt", Setup::kNone, {}},
      {"victim.txt", "..\\outside\\evil.cab", "victim.txt", Setup::kNone, {}},
      {"victim.txt", "cabs/evil.cab", "victim.txt", Setup::kNone, {}},
      {"sub", "a.cab", "sub", Setup::kFolder, {"Extracting sub", "Replace sub Failed: 5"}},
#ifndef _WIN32
      {"linked\\victim.txt",
       "a.cab",
       "linked\\victim.txt",
       Setup::kLinkedFolder,
       {"Extracting linked\\victim.txt", "Replace linked\\victim.txt Failed: 5"}},
      {"lnk.txt",
       "a.cab",
       "lnk.txt",
       Setup::kLinkedFile,
       {"Extracting lnk.txt", "Replace lnk.txt Failed: 5"}},
      {"fifo", "a.cab", "fifo", Setup::kFifo, {"Extracting fifo", "Replace fifo Failed: 5"}},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key + " from " + c.cab);
    Start();
    fs::remove_all(outside);
    fs::create_directory(outside);
    WriteBytes(dir_.PathOf("outside/victim.txt"), "victim");
    switch (c.setup) {
      case Setup::kNone:
        break;
      case Setup::kFolder:
        fs::create_directories(Program("sub/deeper"));
        break;
#ifndef _WIN32
      case Setup::kLinkedFolder:
        fs::create_directory_symlink(outside, Program("linked"));
        break;
      case Setup::kLinkedFile:
        fs::create_symlink(dir_.PathOf("outside/victim.txt"), Program("lnk.txt"));
        break;
      case Setup::kFifo:
        ::mkfifo(Program("fifo").c_str(), 0600);
        break;
#endif
      default:
        break;
    }
    const std::string cabinet = test::BuildCabinet({{c.stored, "evil"}});
    WriteBytes(Work("a.cab"), cabinet);
    WriteBytes(dir_.PathOf("outside/evil.cab"), cabinet);
    fs::create_directories(Work("cabs"));
    WriteBytes(Work("cabs/evil.cab"), cabinet);
    const std::string before = Snapshot(outside);
    std::vector<std::string> list{c.key};

    EXPECT_EQ(Install(c.key + "=" + c.cab + "\r\n", list), c.lines);
    EXPECT_EQ(Snapshot(outside), before);

    fs::remove_all(Program("linked"));
    fs::remove_all(Program("sub"));
    fs::remove(Program("lnk.txt"));
    fs::remove(Program("fifo"));
  }
}

}  // namespace
}  // namespace zarn
