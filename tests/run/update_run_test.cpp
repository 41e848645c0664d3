// Whole passes of the window against a scripted FTP server: every fault the server can cause at
// every step ends in the outcome its step calls for, with the log saved, the work folder gone,
// nothing half-installed and no hang. Also the dial paths and an error that escapes the pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "app/release_trust.h"
#include "app/settings_store.h"
#include "common/exception.h"
#include "net/net_exceptions.h"
#include "net/tcp_client.h"
#include "platform/message_loop.h"
#include "tests/companions/fake_companion.h"
#include "tests/net/ftp_session_harness.h"
#include "tests/support/build_files.h"
#include "tests/support/fake_window.h"
#include "tests/support/file_contents.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace zarn {
namespace {

namespace fs = std::filesystem;
using test::Answer;
using test::ScriptStep;
using Steps = std::vector<ScriptStep>;
using Lines = std::vector<std::string>;

constexpr const char* kFailure = "FTP Connection Failure E1 in RunUpdate";
constexpr const char* kStoring = "Storing Update Time in Registry";
const std::string kManifest =
    "[Ident]\r\nTime Of Update=300\r\n[Files]\r\na.dll=1\r\n[Cabs]\r\na.dll=a.cab\r\n";

// The steps of one pass that installs one file, in the order the client meets them.
enum Stage {
  kGreeting,
  kUser,
  kPass,
  kType,
  kSyst,
  kCwd,
  kList,
  kGet,
  kCab,
  kCdup,
  kCdup2,
  kIncoming,
  kStor,
  kQuit,
  kStages
};

Steps NormalStage(int stage, const std::string& manifest) {
  switch (stage) {
    case kGreeting:
      return test::Greeting();
    case kUser:
      return Answer("331 Send password.\r\n");
    case kPass:
      return Answer("230 Logged in.\r\n");
    case kType:
      return Answer("200 Type set to I.\r\n");
    case kSyst:
      return Answer("215 UNIX Type: L8\r\n");
    case kList:
      return test::Download("z4up.ini\r\na.cab\r\n");
    case kGet:
      return test::Download(manifest);
    case kCab:
      return test::Download("MSCF not really a cabinet");
    case kStor:
      return test::Upload();
    case kQuit:
      return {test::ReadLine()};
    default:
      return Answer("250 Ok.\r\n");  // CWD, CDUP, CDUP, CWD incoming
  }
}

// A data transfer the server starts and breaks off: after `sent` bytes the control connection
// goes too.
Steps BrokenTransfer(std::string sent) {
  return {test::ReadLine(),
          test::Passive(),
          test::ReadLine(),
          test::AcceptData(),
          test::Send("150 Here it comes.\r\n"),
          test::SendData(std::move(sent)),
          test::CloseData(),
          test::CloseControl()};
}

// A transfer whose bytes come one at a time, 1.5 s apart.
Steps TrickledTransfer(const std::string& bytes) {
  Steps steps = {test::ReadLine(), test::Passive(), test::ReadLine(), test::AcceptData(),
                 test::Send("150 Here it comes.\r\n")};
  for (char byte : bytes) {
    steps.push_back(test::SendData(std::string(1, byte)));
    steps.push_back(test::Pause(1500));
  }
  return steps;
}

// A refused transfer: the passive reply, then the refusal of the transfer command.
Steps RefusedTransfer(const std::string& reply) {
  return {test::ReadLine(), test::Passive(), test::ReadLine(), test::Send(reply)};
}

// One refused cabinet download as the pass makes it: the refused transfer, then its ABOR.
Steps RefusedCabAttempts(const std::string& reply, int attempts) {
  Steps steps;
  for (int i = 0; i < attempts; ++i) {
    const Steps attempt = RefusedTransfer(reply);
    steps.insert(steps.end(), attempt.begin(), attempt.end());
    // ABOR, then the NOOP after which the client reads what is pending.
    const Steps abort = {test::ReadLine(), test::ReadLine(),
                         test::Send("225 No transfer to abort.\r\n200 NOOP ok.\r\n")};
    steps.insert(steps.end(), abort.begin(), abort.end());
  }
  return steps;
}

#ifndef _WIN32
// The room left on a nearly full disk: enough for the log, the settings and the manifest, not for
// the rows' cabinet or the file unpacked from it.
constexpr std::uint64_t kRoom = 1 << 20;

// Cabinet downloads that run out of room: the server offers more than fits, the client breaks
// off the transfer, aborts it and skips what is pending.
Steps FullDiskCabAttempts(int attempts) {
  Steps steps;
  for (int i = 0; i < attempts; ++i) {
    const Steps attempt = {test::ReadLine(),
                           test::Passive(),
                           test::ReadLine(),
                           test::AcceptData(),
                           test::Send("150 Here it comes.\r\n"),
                           test::OfferData(std::string(2 * kRoom, 'c')),
                           test::CloseData(),
                           test::Send("426 Transfer aborted.\r\n"),
                           test::ReadLine(),
                           test::ReadLine(),
                           test::Send("225 No transfer to abort.\r\n200 NOOP ok.\r\n")};
    steps.insert(steps.end(), attempt.begin(), attempt.end());
  }
  return steps;
}

// Limits the size of every file the process writes, as a disk with that much room would; a write
// beyond fails (SIGXFSZ, which would end the process, is ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(std::uint64_t bytes) {
    if (bytes == 0) return;
    ::getrlimit(RLIMIT_FSIZE, &old_);
    struct rlimit limit = old_;
    limit.rlim_cur = bytes;
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    active_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    EXPECT_TRUE(active_) << "cannot limit the size of files";
  }
  ~FileSizeLimit() {
    if (!active_) return;
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  struct rlimit old_ {};
  void (*old_handler_)(int) = SIG_DFL;
  bool active_ = false;
};
#endif

// How a pass ends: without the manifest (error log), after it but with nothing stored, or with
// the update time stored.
void UseServer(test::SettingsSandbox& settings, int port) {
  settings.SetString("Update Server", "127.0.0.1:" + std::to_string(port));
}

enum class End { kErrorLog, kFailed, kStored };

struct Row {
  const char* name;
  int stage;     // the step the fault replaces
  Steps fault;   // what the server does there instead
  bool resumes;  // the rest of the normal dialogue follows the fault
  End end;
  Lines expected;  // lines that must appear in the log, in this order
  std::string manifest = kManifest;
  std::uint32_t timeout_s = 120;
  bool downloads = true;  // the pass comes to the cabinet
  std::function<void(const test::TempDir& program)> prepare = nullptr;
  std::uint64_t room = 0;          // the most bytes a file may hold during the pass; 0 for no limit
  bool dead_server_first = false;  // "Update Server" lists a server that refuses connections first
  std::string sent = {};           // command lines the client must have sent, one after another
};

Row Drop(const char* name, int stage, End end, Lines expected) {
  return {name, stage, {test::CloseControl()}, false, end, std::move(expected)};
}

Row Refuse(const char* name, int stage, const std::string& reply, End end, Lines expected) {
  return {name, stage, Answer(reply), false, end, std::move(expected)};
}

std::vector<ScriptStep> BuildScript(const Row& row) {
  Steps script;
  for (int stage = 0; stage < kStages; ++stage) {
    if (stage == kCab && !row.downloads) continue;
    const Steps steps = stage == row.stage ? row.fault : NormalStage(stage, row.manifest);
    script.insert(script.end(), steps.begin(), steps.end());
    if (stage == row.stage && !row.resumes) break;
  }
  return script;
}

class UpdateRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(platform::MessageLoop::Terminated()) << "a pass test needs a process of its own";
  }

  struct Outcome {
    int exit_code = -1;
    Lines lines;  // the log after its header
    bool error_log = false;
    bool log_saved = false;
    bool no_close = true;  // the icon still turns the close box into hiding
    bool work_folder_left = true;
    int questions = 0;
    Lines boxes;
  };

  TfrmZarnUpdate::Parts MakeParts(Outcome& outcome) {
    TfrmZarnUpdate::Parts parts;
    parts.parameters = [] { return std::vector<std::string>{"zarn4update"}; };
    parts.window = [](std::string_view, platform::MessageTarget& target) {
      return std::make_unique<test::FakeWindow>(target);
    };
    parts.tray = [](platform::MessageTarget&) { return std::make_unique<test::FakeTrayHost>(); };
    parts.executable_path = [this] { return program_.PathOf("zarn4update"); };
    parts.connected_state = [] { return platform::ConnectedState{true, platform::kConnectionLan}; };
    parts.dial = [](std::uint32_t, platform::WindowId) { return false; };
    parts.message_box = [&outcome](std::string_view text, std::string_view caption,
                                   std::uint32_t flags) {
      if (caption == "Confirm") {
        ++outcome.questions;
        EXPECT_EQ(flags, platform::kMbYesNo | platform::kMbIconQuestion);
        return platform::kIdYes;
      }
      outcome.boxes.emplace_back(text);
      return platform::kIdOk;
    };
    return parts;
  }

  // Runs one session to its end and collects what it left behind.
  void Run(const TfrmZarnUpdate::Parts& parts, Outcome& outcome) {
    std::size_t header = 0;
    {
      TfrmZarnUpdate form(parts);
      header = form.log()->Lines().size();
      platform::MessageLoop::Run();
      outcome.exit_code = form.ExitCode();
      EXPECT_FALSE(form.Updating());
      outcome.no_close = form.tray.NoClose;
    }
    outcome.work_folder_left = fs::exists(program_.path() / "temp_update");
    const fs::path user = program_.path() / "User";
    outcome.error_log = fs::exists(user / "zarn4updatelog_error.txt");
    const fs::path log =
        user / (outcome.error_log ? "zarn4updatelog_error.txt" : "zarn4updatelog.txt");
    outcome.log_saved = fs::exists(log);
    const std::string text = outcome.log_saved ? test::ReadWholeFile(log) : "";
    std::size_t start = 0;
    for (std::size_t line = 0; start < text.size(); ++line) {
      const std::size_t end = text.find("\r\n", start);
      if (line >= header) outcome.lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
  }

  // Checks that the expected lines appear in the log in their order.
  static void ExpectInOrder(const Lines& log, const Lines& expected) {
    std::size_t at = 0;
    for (const std::string& line : expected) {
      while (at < log.size() && log[at] != line) ++at;
      if (at == log.size()) {
        std::string text;
        for (const std::string& l : log) text += "\n  " + l;
        ADD_FAILURE() << "missing or out of order: \"" << line << "\" in" << text;
        return;
      }
      ++at;
    }
  }

  test::CompanionTestLock lock_;  // the pass closes any running suite program
  test::TempDir program_;
};

// Ten thousand "Files" keys of 60 characters; the key list the reader returns is cut at its
// buffer (16384 characters: 268 names), and every name it returns is an installed file that is
// current.
std::string ManyKeyName(int i) {
  // Built by appending: gcc 12 warns wrongly on a chain of + that starts with a literal.
  std::string name = "component-";
  name += std::to_string(10000 + i);
  name.append(45, 'x');
  return name;
}

std::string ManyKeysManifest() {
  std::string text = "[Ident]\r\nTime Of Update=300\r\n[Files]\r\n";
  for (int i = 0; i < 10000; ++i) text += ManyKeyName(i) + "=706805760\r\n";  // 1 January 2001
  return text;
}

// A publisher's key in the settings (any point of the curve will do: no signature in these rows
// is valid), and the listing, manifest and signature transfer of a pass that then checks it.
void UsePublisherKey(const test::TempDir&) {
  WriteSettingText(kUpdatePublicKeyValue,
                   "f1f2dee18af7981f1cf30443b33579a72a9a54200c53fa3e2d7318871f0b5b00"
                   "c3285a78d312c9febcda6fa336c16f1f57a53babe8713bbc537eecfc0a740be4");
}

Steps SignedListing(Steps signature_transfer) {
  return test::Script({test::Download("z4up.ini\r\nz4up.ini.sig\r\na.cab\r\n"),
                       test::Download(kManifest), std::move(signature_transfer)});
}

void InstallManyKeyFiles(const test::TempDir& program) {
  for (int i = 0; i < 270; ++i) test::WriteBytes(program.path() / ManyKeyName(i), "x");
}

// The rows, made once: each runs in a process of its own (a pass ends the message loop for good).
const std::vector<Row>& FaultRows() {
  static const std::vector<Row> table = [] {
    const Lines failure = {kFailure};
    const Lines cab_given_up = {"1/1  Download a.cab Failure # (1)",
                                "1/1  Download a.cab Failure # (5)", kFailure};
    const Lines report_lost = {"Extraction Complete.  1", "#", kStoring};
    const Lines nothing_listed = {"There are no updated files listed on the server.",
                                  "There Are No Updates based on Version Comparison for each file.",
                                  "Ending Update", kStoring};
    return std::vector<Row>{
        // The connection dropped at each step of the pass.
        Drop("drop at greeting", kGreeting, End::kErrorLog, {"Connecting to Server", kFailure}),
        Drop("drop at user", kUser, End::kErrorLog, failure),
        Drop("drop at password", kPass, End::kErrorLog, failure),
        Drop("drop at type", kType, End::kErrorLog, failure),
        Drop("drop at syst", kSyst, End::kErrorLog, failure),
        Drop("drop at cwd", kCwd, End::kErrorLog, {"Looking for Update", kFailure}),
        Drop("drop at pasv", kList, End::kErrorLog, failure),
        {"drop in listing", kList, BrokenTransfer("z4up"), false, End::kErrorLog, failure},
        Drop("drop at manifest", kGet, End::kFailed, failure),
        {"drop in manifest", kGet, BrokenTransfer("[Ident]\r\n"), false, End::kFailed, failure},
        Drop("drop at cab start", kCab, End::kFailed, cab_given_up),
        {"drop in cab", kCab, BrokenTransfer("MSCF"), false, End::kFailed, cab_given_up},
        Drop("drop at cdup", kCdup, End::kStored, report_lost),
        Drop("drop at second cdup", kCdup2, End::kStored, report_lost),
        Drop("drop at incoming", kIncoming, End::kStored, report_lost),
        Drop("drop at stor", kStor, End::kStored, report_lost),
        {"drop in stor",
         kStor,
         {test::ReadLine(), test::Passive(), test::ReadLine(), test::AcceptData(),
          test::CloseControl()},
         false,
         End::kStored,
         report_lost},
        Drop("drop at quit", kQuit, End::kStored, {"Extraction Complete.  1", kStoring}),
        // Refusals where each can come.
        {"421 greeting",
         kGreeting,
         {test::Send("421 Too many users.\r\n")},
         false,
         End::kErrorLog,
         failure},
        Refuse("530 user", kUser, "530 Not logged in.\r\n", End::kErrorLog, failure),
        Refuse("530 password", kPass, "530 Login incorrect.\r\n", End::kErrorLog, failure),
        Refuse("500 type", kType, "500 Unknown command.\r\n", End::kErrorLog, failure),
        Refuse("550 cwd", kCwd, "550 No such folder.\r\n", End::kErrorLog,
               {"Looking for Update", kFailure}),
        Refuse("421 cwd", kCwd, "421 Closing.\r\n", End::kErrorLog, failure),
        {"425 list", kList, RefusedTransfer("425 Cannot open data connection.\r\n"), false,
         End::kErrorLog, failure},
        {"450 list", kList, RefusedTransfer("450 Busy.\r\n"), false, End::kErrorLog, failure},
        // Pure-FTPd and pyftpdlib take "*.*" for a file name.
        {"550 list then plain nlst",
         kList,
         test::Script({RefusedTransfer("550 No such file or directory.\r\n"),
                       NormalStage(kList, kManifest)}),
         true,
         End::kStored,
         {"Extraction Complete.  1", kStoring},
         kManifest,
         120,
         true,
         nullptr,
         0,
         false,
         "PASV\r\nnlst *.*\r\nPASV\r\nnlst\r\nPASV\r\nretr z4up.ini\r\n"},
        {"first server refuses connections",
         -1,
         {},
         true,
         End::kStored,
         {"FTP Status: Connecting to 127.0.0.1.", "FTP Status: Connecting to 127.0.0.1.",
          "Extraction Complete.  1", kStoring},
         kManifest,
         120,
         true,
         nullptr,
         0,
         true},
        {"550 manifest", kGet, RefusedTransfer("550 No such file.\r\n"), false, End::kFailed,
         failure},
        {"451 manifest", kGet, RefusedTransfer("451 Local error.\r\n"), false, End::kFailed,
         failure},
        {"426 cab five times", kCab, RefusedCabAttempts("426 Transfer aborted.\r\n", 5), false,
         End::kFailed, cab_given_up},
        {"550 cab five times", kCab, RefusedCabAttempts("550 No such file.\r\n", 5), false,
         End::kFailed, cab_given_up},
        {"451 cab then success",
         kCab,
         test::Script(
             {RefusedCabAttempts("451 Local error.\r\n", 1), NormalStage(kCab, kManifest)}),
         true,
         End::kStored,
         {"1/1  Download a.cab Failure # (1)", "1/1  Download a.cab (a.dll) OK", kStoring}},
        Refuse("550 incoming", kIncoming, "550 No such folder.\r\n", End::kStored, report_lost),
        {"552 stor", kStor, RefusedTransfer("552 Quota exceeded.\r\n"), true, End::kStored,
         report_lost},
        {"553 stor", kStor, RefusedTransfer("553 Name not allowed.\r\n"), true, End::kStored,
         report_lost},
        {"530 stor", kStor, RefusedTransfer("530 Not allowed.\r\n"), true, End::kStored,
         report_lost},
        // Replies out of order, late or strange; bad content.
        {"stale reply",
         kCwd,
         test::Script({{test::Send("200 Stale.\r\n")}, Answer("250 Ok.\r\n")}),
         false,
         End::kErrorLog,
         {"Looking for Update", kFailure}},
        {"slow reply",
         kCwd,
         {test::ReadLine(), test::Pause(1500), test::Send("250 Ok.\r\n")},
         true,
         End::kStored,
         {"Extraction Complete.  1", kStoring}},
        {"reply in slow pieces",
         kCwd,
         {test::ReadLine(), test::Send("2"), test::Pause(700), test::Send("50"), test::Pause(700),
          test::Send(" Ok.\r\n")},
         true,
         End::kStored,
         {"Extraction Complete.  1", kStoring},
         kManifest,
         2},
        // A byte every 1.5 s with a limit of 2 s: each byte comes in time, the whole never would.
        {"manifest trickled",
         kGet,
         TrickledTransfer("[Ident]\r\nTime Of Update=300\r\n"),
         false,
         End::kFailed,
         {kFailure, "ENetSocketError: 10060"},
         kManifest,
         2,
         false},
        {"signature trickled",
         kList,
         SignedListing(TrickledTransfer(std::string(64, '\x5a'))),
         false,
         End::kFailed,
         {kFailure, "ENetSocketError: 10060"},
         kManifest,
         2,
         false,
         UsePublisherKey},
        {"manifest of binary garbage", kGet, test::Download(std::string("\0\xff\x01[\x80=\n\0", 8)),
         true, End::kStored, nothing_listed, kManifest, 120, false},
        {"manifest with ten thousand keys",
         kGet,
         test::Download(ManyKeysManifest()),
         true,
         End::kStored,
         {"There Are No Updates based on Version Comparison for each file.", kStoring},
         kManifest,
         120,
         false,
         InstallManyKeyFiles},
        {"cab that is not a cabinet",
         kCab,
         test::Download("PK\x03\x04 zip, not a cabinet"),
         true,
         End::kStored,
         {"1/1  Download a.cab (a.dll) OK", kStoring}},
        // With a publisher's key: a signature the server refuses, and one that is not valid.
        {"550 signature",
         kList,
         SignedListing(RefusedTransfer("550 No such file.\r\n")),
         false,
         End::kErrorLog,
         {"Manifest signature missing or invalid.  Quitting."},
         kManifest,
         120,
         false,
         UsePublisherKey},
        {"signature of junk",
         kList,
         SignedListing(test::Download(std::string(64, '\x5a'))),
         false,
         End::kErrorLog,
         {"Manifest signature missing or invalid.  Quitting."},
         kManifest,
         120,
         false,
         UsePublisherKey},
        {"unwritable User folder",
         -1,
         {},
         true,
         End::kStored,
         {},
         kManifest,
         120,
         true,
         [](const test::TempDir& program) { test::WriteBytes(program.path() / "User", ""); }},
#ifndef _WIN32
        // A work folder on a disk that fills up: the log, the settings and the manifest still
        // fit, a cabinet or the file unpacked from it does not.
        {"work folder full during the cab", kCab, FullDiskCabAttempts(5), false, End::kFailed,
         cab_given_up, kManifest, 5, true, nullptr, kRoom},
        {"work folder full during the extraction",
         kCab,
         test::Download(test::ReadWholeFile(test::BuildFolderFile("cab-fixtures/zeros_zip.cab"))),
         true,
         End::kStored,
         {"1/1  Download a.cab (a.dll) OK", "Extracting a.dll", " - a.dll extraction failed.",
          "Extraction Complete.  1", kStoring},
         kManifest,
         120,
         true,
         nullptr,
         kRoom},
#endif
    };
  }();
  return table;
}

class UpdateRunFaultTest : public UpdateRunTest,
                           public ::testing::WithParamInterface<std::size_t> {};

TEST_P(UpdateRunFaultTest, EndsInItsOutcome) {
  const Row& row = FaultRows()[GetParam()];
  {
    test::SettingsSandbox settings;
    test::ScriptedFtpServer server(BuildScript(row));
    UseServer(settings, server.Port());
    if (row.dead_server_first) {
      settings.SetString("Update Server",
                         "127.0.0.1:" + std::to_string(test::ScriptedFtpServer::UnusedPort()) +
                             ";127.0.0.1:" + std::to_string(server.Port()));
    }
    settings.SetDword("Server Timeout", row.timeout_s);
    if (row.prepare) row.prepare(program_);
    Outcome outcome;
    {
#ifndef _WIN32
      const FileSizeLimit room(row.room);
#endif
      Run(MakeParts(outcome), outcome);
    }
    const std::string transcript = server.Finish();
    EXPECT_NE(transcript.find(row.sent), std::string::npos) << transcript;

    EXPECT_FALSE(outcome.no_close);
    EXPECT_FALSE(outcome.work_folder_left);
    const bool stored = row.end == End::kStored;
    // No cabinet these servers send yields a.dll, so a stored pass that came to the cabinet
    // stored its time without installing it.
    const int stored_exit =
        row.downloads ? TfrmZarnUpdate::kExitIncomplete : TfrmZarnUpdate::kExitStored;
    EXPECT_EQ(outcome.exit_code, stored ? stored_exit : TfrmZarnUpdate::kExitFailed);
    EXPECT_EQ(settings.GetDword("Last Web Update").has_value(), stored);
    // A log that cannot be saved is told in a box; otherwise no box is shown.
    const bool user_blocked = fs::is_regular_file(program_.path() / "User");
    EXPECT_EQ(outcome.log_saved, !user_blocked);
    EXPECT_EQ(outcome.boxes.size(), user_blocked ? 1u : 0u);
    if (!user_blocked) {
      EXPECT_EQ(outcome.error_log, row.end == End::kErrorLog);
    }
    ExpectInOrder(outcome.lines, row.expected);
    // A pass that stored its time and lost nothing on the way uploaded the log up to then.
    const bool upload_failed =
        std::find(outcome.lines.begin(), outcome.lines.end(), "#") != outcome.lines.end();
    if (stored && !upload_failed && outcome.log_saved) {
      EXPECT_NE(server.ReceivedData().find("\r\nLooking for Update\r\n"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(program_.path() / "a.dll")) << "a file was installed from junk";
  }
}

INSTANTIATE_TEST_SUITE_P(ServerFaults, UpdateRunFaultTest,
                         ::testing::Range<std::size_t>(0, FaultRows().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& row_info) {
                           std::string name = FaultRows()[row_info.param].name;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

// The connection query and dialling at start: who dials, who hangs up, and what a failed dial
// leaves. The server port is closed, so a pass that starts ends at once.
struct DialRow {
  const char* name;
  platform::ConnectedState state;
  bool dial_succeeds;
  bool dials, hangs_up;
  Lines expected;
};

const DialRow kDialRows[] = {
    {"lan", {true, platform::kConnectionLan}, false, false, false, {"Connecting to Server"}},
    {"offline without modem", {false, 0}, false, false, false, {"Connecting to Server"}},
    {"modem online",
     {true, platform::kConnectionModem},
     false,
     false,
     false,
     {"Connecting to Server"}},
    {"modem offline dial fails",
     {false, platform::kConnectionModem},
     false,
     true,
     false,
     {"Unable to Connect To Internet"}},
    {"modem offline dial succeeds",
     {false, platform::kConnectionModem},
     true,
     true,
     true,
     {"Connecting to Server", kFailure}},
};

class StartUpDialTest : public UpdateRunTest, public ::testing::WithParamInterface<DialRow> {};

TEST_P(StartUpDialTest, DialsAndHangsUpOnlyWhenItMust) {
  const DialRow& row = GetParam();
  test::SettingsSandbox settings;
  UseServer(settings, test::ScriptedFtpServer::UnusedPort());
  Outcome outcome;
  auto parts = MakeParts(outcome);
  int dials = 0, hang_ups = 0;
  parts.connected_state = [&] { return row.state; };
  parts.dial = [&](std::uint32_t flags, platform::WindowId) {
    EXPECT_EQ(flags, platform::kAutodialForceUnattended);
    ++dials;
    return row.dial_succeeds;
  };
  parts.hang_up = [&] {
    ++hang_ups;
    return true;
  };
  Run(parts, outcome);
  EXPECT_EQ(dials, row.dials ? 1 : 0);
  EXPECT_EQ(hang_ups, row.hangs_up ? 1 : 0);
  // A failed dial ends the session without a pass: nothing of the pass's clean-up runs.
  const bool ran = !row.dials || row.dial_succeeds;
  EXPECT_EQ(outcome.no_close, !ran);
  EXPECT_EQ(outcome.work_folder_left, !ran);
  ExpectInOrder(outcome.lines, row.expected);
  EXPECT_TRUE(outcome.error_log);
  EXPECT_EQ(outcome.exit_code, TfrmZarnUpdate::kExitFailed);
}

INSTANTIATE_TEST_SUITE_P(Dial, StartUpDialTest, ::testing::ValuesIn(kDialRows),
                         [](const ::testing::TestParamInfo<DialRow>& row_info) {
                           std::string name = row_info.param.name;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

// A window whose status line fails on one text, so that an error escapes the pass's handlers.
class FailingStatusWindow : public test::FakeWindow {
 public:
  using FakeWindow::FakeWindow;
  void SetStatusText(std::string_view text) override {
    if (text == kFailure) throw Exception("The status line broke");
    FakeWindow::SetStatusText(text);
  }
};

TEST_F(UpdateRunTest, AnErrorThatEscapesThePassIsShownBeforeTheLoopEnds) {
  test::SettingsSandbox settings;
  UseServer(settings, test::ScriptedFtpServer::UnusedPort());
  Outcome outcome;
  auto parts = MakeParts(outcome);
  bool loop_ended_before_box = true;
  parts.window = [](std::string_view, platform::MessageTarget& target) {
    return std::make_unique<FailingStatusWindow>(target);
  };
  parts.message_box = [&](std::string_view text, std::string_view, std::uint32_t flags) {
    outcome.boxes.emplace_back(text);
    EXPECT_EQ(flags, platform::kMbIconError);
    loop_ended_before_box = platform::MessageLoop::Terminated();
    return platform::kIdOk;
  };
  Run(parts, outcome);
  EXPECT_EQ(outcome.boxes, Lines{"The status line broke"});
  EXPECT_FALSE(loop_ended_before_box);
  EXPECT_EQ(outcome.exit_code, TfrmZarnUpdate::kExitFailed);
  EXPECT_TRUE(outcome.error_log);
  EXPECT_FALSE(outcome.work_folder_left);
}

// True when a connection gives up on a server that sends nothing for its idle limit.
bool IdleLimitWorks() {
  test::ScriptedFtpServer server({test::Pause(1500), test::CloseControl()});
  TTcpClient client;
  client.IdleTimeoutMs = 200;
  test::ConnectTo(client, server);
  try {
    client.ReadLine();
  } catch (const ENetSocketError& error) {
    return error.ErrorCode() == 10060;
  } catch (const std::exception&) {
  }
  return false;
}

TEST_F(UpdateRunTest, ASilentServerEndsThePassAfterTheServerTimeout) {
  if (!IdleLimitWorks()) GTEST_SKIP() << "the network idle limit is not built yet";
  test::ScriptedFtpServer server(test::Script({NormalStage(kGreeting, kManifest),
                                               NormalStage(kUser, kManifest),
                                               NormalStage(kPass, kManifest),
                                               NormalStage(kType, kManifest),
                                               NormalStage(kSyst, kManifest),
                                               {test::ReadLine(), test::Pause(4000)}}));
  test::SettingsSandbox settings;
  UseServer(settings, server.Port());
  settings.SetDword("Server Timeout", 1);
  Outcome outcome;
  Run(MakeParts(outcome), outcome);
  ExpectInOrder(outcome.lines, {"Looking for Update", kFailure, "ENetSocketError: 10060"});
  EXPECT_TRUE(outcome.error_log);
  EXPECT_EQ(outcome.exit_code, TfrmZarnUpdate::kExitFailed);
  EXPECT_FALSE(outcome.work_folder_left);
}

}  // namespace
}  // namespace zarn
