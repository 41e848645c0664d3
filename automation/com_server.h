// TComServer: the program's one automation server object. It takes the start mode from the
// command line, owns the class factories, rewrites the class and type-library registration at
// every start, publishes the class objects, counts the objects clients hold, ends a program that
// COM started when the last one goes, and asks before the program closes under its clients.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/start_mode.h"
#include "platform/automation.h"

namespace zarn {

class TComObjectFactory;

class TComServer {
 public:
  // What the server is made of; tests substitute their own runtime, library and boxes.
  struct Parts {
    std::vector<std::string> parameters;
    std::string module_path;
    // The type library as the program describes it (checked against the one in its file).
    platform::TypeLibraryFacts library;
    std::function<std::unique_ptr<platform::AutomationRuntime>()> start_runtime =
        platform::AutomationRuntime::Start;
    std::function<std::unique_ptr<platform::TypeLibrary>(const std::string&,
                                                         const platform::TypeLibraryFacts&)>
        load_library = platform::TypeLibrary::Load;
    std::function<int(std::string_view, std::string_view, std::uint32_t)> message_box;
  };

  static constexpr std::string_view kCloseWarningCaption = "COM Server Warning";
  static constexpr std::string_view kCloseWarningText =
      "There are still active COM objects in this application.  One or more clients may have "
      "references to these objects, so manually closing this application may cause those client "
      "application(s) to fail.\r\n\r\nAre you sure you want to close this application?";

  // Becomes the process's server object (ComServer()) until it goes.
  explicit TComServer(Parts parts);
  // Frees the factories (revoking the class objects first) and ends the runtime.
  ~TComServer();
  TComServer(const TComServer&) = delete;
  TComServer& operator=(const TComServer&) = delete;

  TStartMode StartMode() const { return start_mode_; }
  std::int32_t ObjectCount() const { return object_count_.load(); }
  std::int32_t FactoryCount() const { return factory_count_.load(); }

  // An object was created (true) or destroyed (false).
  void ObjectCounted(bool created);
  void FactoryCounted(bool created);
  std::string HelpFilePath() const { return {}; }
  const std::string& ModuleFilePath() const { return module_path_; }
  std::string RegistryServerKey() const { return "LocalServer32"; }
  // The server name if set, else the type library's name, else the program's file name without
  // folder and extension.
  std::string RegisteredServerName();
  bool ClassObjectsSuspended() const { return start_suspended_; }
  // Loads the type library on first use; raises EOleSysError when it cannot.
  platform::TypeLibrary& LoadedTypeLibrary();

  // Adds a factory of this server; the server owns it from now on.
  TComObjectFactory& AddFactory(std::unique_ptr<TComObjectFactory> factory);

  // Starts the runtime, rewrites the registration (a registry error ends only a register run)
  // and, unless the program was started to register or unregister, publishes the class objects.
  // False when the program is to end now (register and unregister runs) with exit code 0.
  bool StartComServer();
  // Writes (true) or removes (false) the type library's and every factory's registration.
  void WriteServerRegistration(bool register_server);
  // Whether the program may end: asks the user when clients still hold objects.
  bool ConfirmServerClose();

  // How long a program that COM started waits at the end of its pass for the client it was
  // started for.
  static constexpr std::uint32_t kFirstClientWaitMs = 30000;
  // True while a program that COM started publishes its classes and no client has had an object
  // yet: the client that caused the start may not have reached the program, and ending now
  // would fail its call.
  bool AwaitingFirstClient() const;
  // Dispatches messages until the first client has had an object, the loop was told to end, or
  // limit_ms has passed; returns at once when no client is awaited.
  void AwaitFirstClient(std::uint32_t limit_ms = kFirstClientWaitMs);

  // Fired when the last object goes; it may change whether the program shuts down.
  std::function<void(bool& shutdown)> OnLastRelease;
  // The server name; empty unless set.
  std::string ServerName;

  // Shows a box through the server's dialogs.
  int ShowBox(std::string_view text, std::string_view caption, std::uint32_t flags) const;

 private:
  void AllObjectsReleased();

  Parts parts_;
  TStartMode start_mode_;
  std::string module_path_;
  std::atomic<std::int32_t> object_count_{0};
  std::atomic<std::int32_t> factory_count_{0};
  bool start_suspended_ = false;
  bool registering_ = false;
  // Set when the first object is made (or the first lock taken) for a client.
  bool client_served_ = false;
  std::unique_ptr<platform::TypeLibrary> type_library_;
  std::unique_ptr<platform::AutomationRuntime> runtime_;
  // Newest first, as the factories register themselves.
  std::vector<std::unique_ptr<TComObjectFactory>> factories_;
};

// The process's server object; nullptr when there is none.
TComServer* ComServer();

}  // namespace zarn
