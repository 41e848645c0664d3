// The platform's object runtime for the program's automation server: on Windows COM (apartment
// on the main thread, class objects, the type library in the program file), on POSIX the session
// bus (a well-known name, one object path per client object). The core decides what is
// registered, counted and when the program ends; the runtime only carries it out.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/guid.h"

namespace zarn::platform {

// A class of the type library: its name and help string, and its default interface if any.
struct TypeClassFacts {
  Guid class_id;
  std::string name;
  std::string description;
  std::optional<Guid> default_interface;
};

// What the program tells about its type library; Windows reads the library in the program file
// instead, POSIX (which has no type-library format) takes the description as it stands.
struct TypeLibraryFacts {
  std::string name;
  std::string help_string;
  Guid library_id;
  std::uint16_t major_version = 0;
  std::uint16_t minor_version = 0;
  std::vector<TypeClassFacts> classes;
};

class TypeLibrary {
 public:
  // Loads the program's own type library from its file. Raises EOleSysError when it cannot.
  static std::unique_ptr<TypeLibrary> Load(const std::string& module_path,
                                           const TypeLibraryFacts& described);
  virtual ~TypeLibrary() = default;

  virtual const TypeLibraryFacts& Facts() const = 0;
  // The class with this id; nullopt when the library does not describe it.
  virtual std::optional<TypeClassFacts> FindClass(const Guid& class_id) const = 0;
  // Adds the library to the platform's registration (Windows: RegisterTypeLib); raises
  // EOleSysError when refused.
  virtual void Register(const std::string& module_path, const std::string& help_folder) = 0;
  // Removes that registration; every failure is ignored.
  virtual void Unregister() = 0;
};

// One object a client holds.
class AutomationObject {
 public:
  virtual ~AutomationObject() = default;
  virtual void Request(std::int32_t code, std::int32_t value, std::string_view text) = 0;
};

// A creatable class as the runtime publishes it.
struct AutomationClass {
  Guid class_id;
  Guid interface_id;  // the object's own interface; error information names it
  std::string prog_id;
  bool multiple_use = true;
  const TypeLibrary* library = nullptr;
  // Makes an object for a client; nullptr when that failed (the failure has been shown).
  std::function<std::unique_ptr<AutomationObject>()> create;
  // A client's lock (true) or unlock (false) of the class object; may raise the error of the
  // server's last-release event.
  std::function<void(bool)> lock;
  // A reference to the class object taken (true) or dropped (false), by the runtime or a client.
  std::function<void(bool)> count_reference;
};

class AutomationRuntime {
 public:
  // Starts the runtime on the main thread (Windows: CoInitializeEx apartment-threaded where the
  // platform offers it, else CoInitialize; POSIX: the session bus when there is one).
  static std::unique_ptr<AutomationRuntime> Start();
  // Ends it: revokes what is still registered and releases the runtime.
  virtual ~AutomationRuntime() = default;

  // True when class objects can be registered suspended and resumed together.
  virtual bool CanSuspendClassObjects() const = 0;
  // Publishes the class for clients; raises EOleSysError when refused.
  virtual void RegisterClassObject(const AutomationClass& published, bool suspended) = 0;
  virtual void ResumeClassObjects() = 0;
  virtual void RevokeClassObjects() = 0;
  // True while clients can reach the published classes (POSIX: the program owns the bus name;
  // false without a bus, or when another copy owns it).
  virtual bool Published() const = 0;
  // The platform's count of the server process's references (CoAddRefServerProcess /
  // CoReleaseServerProcess); nullopt where the platform keeps none.
  virtual std::optional<std::uint32_t> AddRefServerProcess() = 0;
  virtual std::optional<std::uint32_t> ReleaseServerProcess() = 0;
  // Ends the main thread's message loop (a WM_QUIT on its queue).
  virtual void PostQuit() = 0;
};

// What the platform registers besides the class keys so that the program can be started for a
// client (POSIX: the bus's service file); Windows needs nothing more. False when it cannot be
// written. Unregistering ignores failures and what is not there.
bool RegisterServerActivation(const std::string& module_path);
void UnregisterServerActivation();

// The short (8.3) form of a path on Windows; the path itself where there is none.
std::string ShortPathName(const std::string& path);

}  // namespace zarn::platform
