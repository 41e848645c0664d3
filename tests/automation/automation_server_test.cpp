// The automation server's decisions, over a runtime and a type library of the test's own: the
// start mode from the switches, when the program ends with its clients, the close question,
// the class registration in the registry, and the "ZIR Error" box of a failed creation.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "automation/com_object_factory.h"
#include "automation/com_server.h"
#include "automation/z4update.h"
#include "common/exception.h"
#include "platform/dialogs.h"
#include "platform/message_loop.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

using platform::RegistryKey;
using platform::RegistryRoot;

// What the server asked of the platform.
struct RuntimeLog {
  bool can_suspend = true;
  bool published = true;                       // false: no bus, or another copy serves the clients
  std::optional<std::uint32_t> process_count;  // nullopt: the platform keeps no count
  std::vector<std::string> calls;
};

class FakeRuntime final : public platform::AutomationRuntime {
 public:
  explicit FakeRuntime(RuntimeLog& log) : log_(log) {}
  bool CanSuspendClassObjects() const override { return log_.can_suspend; }
  // Holds a reference to each class object while it is registered, as COM does.
  void RegisterClassObject(const platform::AutomationClass& published, bool suspended) override {
    log_.calls.push_back("register " + published.prog_id + (suspended ? " suspended" : ""));
    published.count_reference(true);
    held_.push_back(published);
  }
  void ResumeClassObjects() override { log_.calls.push_back("resume"); }
  void RevokeClassObjects() override {
    for (const auto& published : held_) published.count_reference(false);
    held_.clear();
  }
  bool Published() const override { return log_.published; }
  std::optional<std::uint32_t> AddRefServerProcess() override {
    if (log_.process_count) ++*log_.process_count;
    return log_.process_count;
  }
  std::optional<std::uint32_t> ReleaseServerProcess() override {
    if (log_.process_count) --*log_.process_count;
    return log_.process_count;
  }
  void PostQuit() override { log_.calls.push_back("quit"); }

 private:
  RuntimeLog& log_;
  std::vector<platform::AutomationClass> held_;
};

class FakeLibrary final : public platform::TypeLibrary {
 public:
  explicit FakeLibrary(platform::TypeLibraryFacts facts) : facts_(std::move(facts)) {}
  const platform::TypeLibraryFacts& Facts() const override { return facts_; }
  std::optional<platform::TypeClassFacts> FindClass(const Guid& class_id) const override {
    for (const auto& described : facts_.classes) {
      if (described.class_id == class_id) return described;
    }
    return std::nullopt;
  }
  void Register(const std::string&, const std::string&) override {}
  void Unregister() override {}

 private:
  platform::TypeLibraryFacts facts_;
};

struct Box {
  std::string text;
  std::string caption;
  std::uint32_t flags = 0;
};

// A server with the program's class over the fakes; boxes are recorded and answered with answer.
struct Server {
  explicit Server(std::vector<std::string> switches, RuntimeLog& log, int answer = platform::kIdNo,
                  platform::TypeLibraryFacts library = Zarn4UpdateLibrary()) {
    TComServer::Parts parts;
    parts.parameters = {"zarn4update"};
    parts.parameters.insert(parts.parameters.end(), switches.begin(), switches.end());
    parts.module_path = program.PathOf("zarn4update.exe");
    parts.library = std::move(library);
    parts.start_runtime = [&log] { return std::make_unique<FakeRuntime>(log); };
    parts.load_library = [](const std::string&, const platform::TypeLibraryFacts& facts) {
      return std::make_unique<FakeLibrary>(facts);
    };
    parts.message_box = [this, answer](std::string_view text, std::string_view caption,
                                       std::uint32_t flags) {
      boxes.push_back({std::string(text), std::string(caption), flags});
      return answer;
    };
    server.emplace(std::move(parts));
  }

  test::TempDir program;
  test::ScopedEnv data_home{"XDG_DATA_HOME", program.Folder().c_str()};
  std::vector<Box> boxes;
  std::optional<TComServer> server;
};

TEST(AutomationServer, StartModeFromSwitches) {
  struct Row {
    std::vector<std::string> parameters;
    TStartMode mode;
  };
  const Row rows[] = {
      {{}, TStartMode::smStandalone},
      {{"/run"}, TStartMode::smStandalone},
      {{"regserver"}, TStartMode::smStandalone},  // no "-" or "/": no switch
      {{"--regserver"}, TStartMode::smStandalone},
      {{"/regserver"}, TStartMode::smRegServer},
      {{"-REGSERVER"}, TStartMode::smRegServer},
      {{"/UnRegServer"}, TStartMode::smUnregServer},
      {{"-Embedding"}, TStartMode::smAutomation},
      {{"/AUTOMATION"}, TStartMode::smAutomation},
      {{"/regserver", "-embedding"}, TStartMode::smAutomation},
      {{"/unregserver", "/regserver"}, TStartMode::smRegServer},
  };
  for (const Row& row : rows) {
    std::vector<std::string> parameters{"zarn4update.exe"};
    parameters.insert(parameters.end(), row.parameters.begin(), row.parameters.end());
    EXPECT_EQ(StartModeFromParameters(parameters), row.mode)
        << ::testing::PrintToString(row.parameters);
  }
}

// The last release ends a program that COM started, never one the user started; the platform's
// process count decides where there is one.
TEST(AutomationServer, LastReleaseQuitsOnlyAnAutomationStart) {
  struct Row {
    const char* name;
    std::string mode_switch;
    std::optional<std::uint32_t> process_count;
    bool quits;
    bool event_fails = false;  // the last-release event raises an error
  };
  const Row rows[] = {
      {"standalone", "", std::nullopt, false},
      {"standalone, platform count", "", 0u, false},
      {"automation, own count", "-Embedding", std::nullopt, true},
      {"automation, platform count", "-Embedding", 0u, true},
      {"automation, platform holds on", "-Embedding", 1u, false},
      {"automation, the event fails", "-Embedding", std::nullopt, true, true},
  };
  for (const Row& row : rows) {
    RuntimeLog log;
    log.process_count = row.process_count;
    Server s(row.mode_switch.empty() ? std::vector<std::string>{}
                                     : std::vector<std::string>{row.mode_switch},
             log);
    TComObjectFactory& factory = CreateZ4UpdateFactory(*s.server);
    if (row.event_fails) s.server->OnLastRelease = [](bool&) { throw std::runtime_error("event"); };
    ASSERT_TRUE(s.server->StartComServer()) << row.name;
    EXPECT_EQ(s.server->FactoryCount(), 1) << row.name << ": the runtime's reference";
    {
      auto first = factory.Published().create();
      auto second = factory.Published().create();
      EXPECT_EQ(s.server->ObjectCount(), 2) << row.name;
      first.reset();
      EXPECT_EQ(log.calls.back(), "resume") << row.name << ": quit before the last release";
    }
    EXPECT_EQ(s.server->ObjectCount(), 0) << row.name;
    EXPECT_EQ(log.calls.back() == "quit", row.quits) << row.name;
  }
}

// A program that COM started waits for the client it was started for, dispatching messages (the
// client's call comes through them), until that client has an object; no other start waits.
TEST(AutomationServer, AnAutomationStartAwaitsItsFirstClient) {
  enum class Then { kNothing, kClientCalls, kLoopEnds };
  struct Row {
    const char* name;
    const char* mode_switch;
    bool published, served_before;
    Then then;  // what happens 200 ms into the wait
    bool waits_for_limit, served;
  };
  const Row rows[] = {
      {"standalone", "", true, false, Then::kClientCalls, false, false},
      {"automation, nothing published", "-Embedding", false, false, Then::kClientCalls, false,
       false},
      {"automation, client served during the pass", "-Embedding", true, true, Then::kNothing, false,
       true},
      {"automation, the client calls", "-Embedding", true, false, Then::kClientCalls, false, true},
      {"automation, the loop is told to end", "-Embedding", true, false, Then::kLoopEnds, false,
       false},
      {"automation, nobody calls", "/Automation", true, false, Then::kNothing, true, false},
  };
  constexpr std::uint32_t kLimitMs = 1500;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RuntimeLog log;
    log.published = row.published;
    Server s(
        *row.mode_switch ? std::vector<std::string>{row.mode_switch} : std::vector<std::string>{},
        log);
    TComObjectFactory& factory = CreateZ4UpdateFactory(*s.server);
    ASSERT_TRUE(s.server->StartComServer());
    std::vector<std::unique_ptr<platform::AutomationObject>> held;
    if (row.served_before) held.push_back(factory.Published().create());
    const auto event = platform::Timer::Start(200, [&] {
      if (row.then == Then::kClientCalls && held.empty())
        held.push_back(factory.Published().create());
      if (row.then == Then::kLoopEnds) platform::MessageLoop::Quit();
    });
    const std::uint32_t start = platform::TickCount();
    s.server->AwaitFirstClient(kLimitMs);
    const std::uint32_t elapsed = platform::TickCount() - start;
    EXPECT_EQ(elapsed >= kLimitMs, row.waits_for_limit) << elapsed << " ms";
    EXPECT_EQ(held.empty(), !row.served);
    platform::MessageLoop::ResetQuit();
  }
}

TEST(AutomationServer, CloseQuestionOnlyWhileClientsHoldObjects) {
  struct Row {
    int objects;
    int answer;
    bool allowed;
    std::size_t boxes;
  };
  const Row rows[] = {{0, platform::kIdNo, true, 0},
                      {1, platform::kIdNo, false, 1},
                      {1, platform::kIdYes, true, 1}};
  for (const Row& row : rows) {
    RuntimeLog log;
    Server s({}, log, row.answer);
    TComObjectFactory& factory = CreateZ4UpdateFactory(*s.server);
    std::vector<std::unique_ptr<platform::AutomationObject>> held;
    for (int i = 0; i < row.objects; ++i) held.push_back(factory.Published().create());
    EXPECT_EQ(s.server->ConfirmServerClose(), row.allowed);
    ASSERT_EQ(s.boxes.size(), row.boxes);
    if (row.boxes == 0) continue;
    EXPECT_EQ(s.boxes[0].caption, "COM Server Warning");
    EXPECT_EQ(s.boxes[0].text,
              "There are still active COM objects in this application.  One or more clients may "
              "have references to these objects, so manually closing this application may cause "
              "those client application(s) to fail.\r\n\r\nAre you sure you want to close this "
              "application?");
    EXPECT_EQ(s.boxes[0].flags, platform::kMbYesNo | platform::kMbIconWarning |
                                    platform::kMbDefButton2 | platform::kMbTaskModal);
  }
}

std::string DefaultValue(const std::string& key) {
  const auto opened =
      RegistryKey::Open(RegistryRoot::kClassesRoot, key, RegistryKey::Access::kRead);
  if (!opened) return "(missing)";
  const platform::RegistryRead read = opened->QueryValue("");
  if (read.status != platform::RegistryStatus::kOk ||
      read.value.type != platform::RegistryType::kSz || read.value.data.empty() ||
      read.value.data.back() != 0) {
    return "(not a text)";
  }
  return std::string(read.value.data.begin(), read.value.data.end() - 1);
}

// Register and unregister runs end at once; they write and remove the class keys exactly, and a
// key that someone else gave a sub-key stays.
TEST(AutomationServer, RegisterAndUnregisterRuns) {
  const std::string clsid = "CLSID\\{4C3AF079-DB46-4F30-AC8F-088FED28DF95}";
  RuntimeLog log;
  {
    Server s({"/regserver"}, log);
    CreateZ4UpdateFactory(*s.server);
    EXPECT_FALSE(s.server->StartComServer());
    const std::string program = s.server->ModuleFilePath();
    const std::pair<std::string, std::string> expected[] = {
        {clsid, "Z4Update Object"},
        {clsid + "\\LocalServer32",
         program.find(' ') == std::string::npos ? program : platform::ShortPathName(program)},
        {clsid + "\\ProgID", "zarn4update.Z4Update"},
        {clsid + "\\Version", "1.0"},
        {clsid + "\\TypeLib", "{7B744231-5CD8-4B9A-926E-A1F86D65F74F}"},
        {"zarn4update.Z4Update", "Z4Update Object"},
        {"zarn4update.Z4Update\\Clsid", "{4C3AF079-DB46-4F30-AC8F-088FED28DF95}"},
    };
    for (const auto& [key, value] : expected) EXPECT_EQ(DefaultValue(key), value) << key;
  }
  RegistryKey::Create(RegistryRoot::kClassesRoot, clsid + "\\Implemented Categories");
  for (int run = 0; run < 2; ++run) {  // the second run finds nothing to remove
    Server s({"/unregserver"}, log);
    CreateZ4UpdateFactory(*s.server);
    EXPECT_FALSE(s.server->StartComServer());
    EXPECT_EQ(DefaultValue("zarn4update.Z4Update"), "(missing)");
    EXPECT_EQ(DefaultValue(clsid + "\\LocalServer32"), "(missing)");
    EXPECT_EQ(DefaultValue(clsid), "Z4Update Object");  // kept for its other sub-key
  }
  EXPECT_TRUE(log.calls.empty()) << "class objects published by a register run";
  RegistryKey::DeleteTree(RegistryRoot::kClassesRoot, clsid);
}

// A factory whose registration is refused, as for a user without write access to the classes.
class RefusedFactory final : public TComObjectFactory {
 public:
  explicit RefusedFactory(TComServer& server)
      : TComObjectFactory(server, nullptr, Guid{}, "Refused", "Refused",
                          TClassInstancing::ciMultiInstance, TThreadingModel::tmApartment) {}
  void UpdateRegistry(bool) override {
    throw EOleRegistrationError("Error creating system registry entry");
  }
};

TEST(AutomationServer, RefusedRegistrationEndsOnlyARegisterRun) {
  RuntimeLog log;
  {
    Server s({}, log);
    s.server->AddFactory(std::make_unique<RefusedFactory>(*s.server));
    EXPECT_TRUE(s.server->StartComServer());
    EXPECT_EQ(log.calls,
              (std::vector<std::string>{"register zarn4update.Refused suspended", "resume"}));
  }
  Server s({"-RegServer"}, log);
  s.server->AddFactory(std::make_unique<RefusedFactory>(*s.server));
  EXPECT_THROW(s.server->StartComServer(), EOleRegistrationError);
}

TEST(AutomationServer, FailedCreationShowsTheErrorBox) {
  struct Row {
    const char* message;
    const char* shown;
  };
  const Row rows[] = {{"Out of memory", "Out of memory."},
                      {"Zugriff verweigert \xC4", "Zugriff verweigert \xC4."},
                      {"Stopped.", "Stopped."},
                      {"Stopped!", "Stopped!"},
                      {"", ""}};
  for (const Row& row : rows) {
    RuntimeLog log;
    Server s({}, log);
    TComObjectFactory factory(
        *s.server,
        [&row](TComServer&) -> std::unique_ptr<TAutoObject> {
          throw std::runtime_error(row.message);
        },
        Guid{}, "Failing", "Failing", TClassInstancing::ciMultiInstance,
        TThreadingModel::tmApartment);
    EXPECT_EQ(factory.CreateComObject(), nullptr);
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].text, row.shown);
    EXPECT_EQ(s.boxes[0].caption, "ZIR Error");
    EXPECT_EQ(s.boxes[0].flags, platform::kMbIconError | platform::kMbSetForeground);
  }
}

// Start-up ends with the type library's complaint when it does not describe the class as the
// program implements it.
TEST(AutomationServer, TypeChecksOfTheFactory) {
  const Guid other{0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
  struct Row {
    std::optional<platform::TypeClassFacts> described;
    const char* error;
  };
  const Row rows[] = {
      {std::nullopt, "Type information missing for class TZ4Update"},
      {platform::TypeClassFacts{CLASS_Z4Update, "Z4Update", "Z4Update Object", std::nullopt},
       "Incorrect type information for class TZ4Update"},
      {platform::TypeClassFacts{CLASS_Z4Update, "Z4Update", "Z4Update Object", other},
       "Dispatch interface missing from class TZ4Update"},
  };
  for (const Row& row : rows) {
    platform::TypeLibraryFacts library = Zarn4UpdateLibrary();
    library.classes.clear();
    if (row.described) library.classes.push_back(*row.described);
    RuntimeLog log;
    Server s({}, log, platform::kIdNo, library);
    try {
      CreateZ4UpdateFactory(*s.server);
      ADD_FAILURE() << "no error, expected " << row.error;
    } catch (const EOleError& error) {
      EXPECT_STREQ(error.what(), row.error);
    }
  }
}

}  // namespace
}  // namespace zarn
