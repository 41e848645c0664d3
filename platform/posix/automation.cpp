// The automation server's runtime on POSIX: the session bus through sd-bus. The program owns the
// well-known name org.zarn4.Update; a client calls Create on /org/zarn4/Update and gets the path
// of a new object, calls Request(i, i, s) on it and Release when done. The objects of a client
// that leaves the bus are released for it. The bus descriptor is watched by the program's one
// message loop, so every call is served on the main thread. Without a session bus nothing is
// published and the program runs as if the user had started it.
#include "platform/automation.h"

#include <poll.h>
#include <systemd/sd-bus.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/message_loop.h"
#include "platform/posix/event_loop.h"
#include "platform/posix/registry_file.h"

namespace zarn::platform {

namespace {

constexpr const char* kBusName = "org.zarn4.Update";
constexpr const char* kServerPath = "/org/zarn4/Update";
constexpr const char* kServerInterface = "org.zarn4.Update";
constexpr const char* kObjectInterface = "org.zarn4.Update.Z4Update";
constexpr const char* kObjectPrefix = "/org/zarn4/Update/objects";
constexpr const char* kFailure = "org.zarn4.Update.Error";

// The runtime without a bus: nothing is published, and the program is never asked for objects.
class NoBusRuntime final : public AutomationRuntime {
 public:
  bool CanSuspendClassObjects() const override { return false; }
  void RegisterClassObject(const AutomationClass&, bool) override {}
  void ResumeClassObjects() override {}
  void RevokeClassObjects() override {}
  bool Published() const override { return false; }
  std::optional<std::uint32_t> AddRefServerProcess() override { return std::nullopt; }
  std::optional<std::uint32_t> ReleaseServerProcess() override { return std::nullopt; }
  void PostQuit() override { MessageLoop::Quit(); }
};

class BusRuntime final : public AutomationRuntime {
 public:
  explicit BusRuntime(sd_bus* bus) : bus_(bus), fd_(sd_bus_get_fd(bus)) {
    posix::WatchDescriptor(
        fd_, [this] { return static_cast<short>(sd_bus_get_events(bus_)); }, [this] { Process(); });
  }

  ~BusRuntime() override {
    if (!bus_lost_) posix::UnwatchDescriptor(fd_);
    RevokeClassObjects();
    objects_.clear();  // the objects go while their server still counts them
    for (auto& [client, slot] : client_watches_) sd_bus_slot_unref(slot);
    sd_bus_flush_close_unref(bus_);
  }

  BusRuntime(const BusRuntime&) = delete;
  BusRuntime& operator=(const BusRuntime&) = delete;

  // The name is taken once every class is there, as COM resumes suspended class objects.
  bool CanSuspendClassObjects() const override { return true; }

  void RegisterClassObject(const AutomationClass& published, bool suspended) override {
    classes_.push_back(published);
    // The runtime holds the class as COM holds a class object: one reference while published.
    if (published.count_reference) published.count_reference(true);
    if (server_slot_ == nullptr) {
      sd_bus_add_object_vtable(bus_, &server_slot_, kServerPath, kServerInterface, kServerTable,
                               this);
      sd_bus_add_fallback_vtable(bus_, &objects_slot_, kObjectPrefix, kObjectInterface,
                                 kObjectTable, FindObject, this);
    }
    if (!suspended) ResumeClassObjects();
  }

  // Another copy of the program may own the name already; its clients stay with it then.
  void ResumeClassObjects() override {
    if (!classes_.empty() && !name_owned_) {
      name_owned_ = sd_bus_request_name(bus_, kBusName, 0) >= 0;
    }
    // A client's call may have come in while the request waited for its answer: it is queued
    // inside the connection now, where the descriptor no longer shows it.
    Process();
  }

  void RevokeClassObjects() override {
    if (name_owned_) sd_bus_release_name(bus_, kBusName);
    name_owned_ = false;
    server_slot_ = sd_bus_slot_unref(server_slot_);
    objects_slot_ = sd_bus_slot_unref(objects_slot_);
    for (const AutomationClass& published : classes_) {
      if (published.count_reference) published.count_reference(false);
    }
    classes_.clear();
    sd_bus_flush(bus_);
  }

  bool Published() const override { return name_owned_ && !bus_lost_; }

  std::optional<std::uint32_t> AddRefServerProcess() override { return std::nullopt; }
  std::optional<std::uint32_t> ReleaseServerProcess() override { return std::nullopt; }
  void PostQuit() override { MessageLoop::Quit(); }

 private:
  struct HeldObject {
    std::unique_ptr<AutomationObject> object;
    std::string client;
  };

  // Serves what the bus has queued. A lost bus (the daemon ended) leaves its descriptor readable
  // for ever: it is no longer watched, and its clients, who cannot reach their objects again,
  // release them (which ends a program the bus started).
  void Process() {
    if (bus_lost_) return;
    int result = 0;
    while ((result = sd_bus_process(bus_, nullptr)) > 0) {
    }
    if (result < 0 || sd_bus_is_open(bus_) <= 0) {
      // The library closes the descriptor of a lost bus: the number kept from the start is the
      // one the loop watches.
      bus_lost_ = true;
      posix::UnwatchDescriptor(fd_);
      auto gone = std::move(objects_);
      objects_.clear();
      gone.clear();
      return;
    }
    sd_bus_flush(bus_);
  }

  static int Create(sd_bus_message* call, void* context, sd_bus_error* error) {
    auto& self = *static_cast<BusRuntime*>(context);
    if (self.classes_.empty()) return sd_bus_error_set(error, kFailure, "No class is published");
    std::unique_ptr<AutomationObject> object = self.classes_.front().create();
    if (!object) return sd_bus_error_set(error, kFailure, "The object could not be created");
    const std::string client =
        sd_bus_message_get_sender(call) ? sd_bus_message_get_sender(call) : "";
    const std::uint64_t id = ++self.last_id_;
    self.objects_[id] = {std::move(object), client};
    self.WatchClient(client);
    const std::string path = std::string(kObjectPrefix) + "/" + std::to_string(id);
    return sd_bus_reply_method_return(call, "o", path.c_str());
  }

  // The object of a path below kObjectPrefix; nullptr when there is none.
  HeldObject* ObjectOf(const char* path) {
    const std::string prefix = std::string(kObjectPrefix) + "/";
    const std::string text = path != nullptr ? path : "";
    if (text.rfind(prefix, 0) != 0) return nullptr;
    try {
      const auto it = objects_.find(std::stoull(text.substr(prefix.size())));
      return it == objects_.end() ? nullptr : &it->second;
    } catch (const std::exception&) {
      return nullptr;
    }
  }

  static int FindObject(sd_bus*, const char* path, const char*, void* context, void** found,
                        sd_bus_error*) {
    auto& self = *static_cast<BusRuntime*>(context);
    HeldObject* held = self.ObjectOf(path);
    if (held == nullptr) return 0;
    *found = context;
    return 1;
  }

  static int Request(sd_bus_message* call, void* context, sd_bus_error* error) {
    auto& self = *static_cast<BusRuntime*>(context);
    std::int32_t code = 0;
    std::int32_t value = 0;
    const char* text = nullptr;
    if (const int r = sd_bus_message_read(call, "iis", &code, &value, &text); r < 0) return r;
    HeldObject* held = self.ObjectOf(sd_bus_message_get_path(call));
    if (held == nullptr) return sd_bus_error_set(error, kFailure, "No such object");
    try {
      held->object->Request(code, value, text);
    } catch (const std::exception& failure) {
      return sd_bus_error_set(error, kFailure, failure.what());
    }
    return sd_bus_reply_method_return(call, "");
  }

  static int Release(sd_bus_message* call, void* context, sd_bus_error* error) {
    auto& self = *static_cast<BusRuntime*>(context);
    const std::string path = sd_bus_message_get_path(call);
    const std::string prefix = std::string(kObjectPrefix) + "/";
    if (self.ObjectOf(path.c_str()) == nullptr) {
      return sd_bus_error_set(error, kFailure, "No such object");
    }
    const int replied = sd_bus_reply_method_return(call, "");
    sd_bus_flush(self.bus_);  // the client hears back before a last release ends the program
    self.objects_.erase(std::stoull(path.substr(prefix.size())));
    return replied;
  }

  // Releases a client's objects when it leaves the bus.
  void WatchClient(const std::string& client) {
    if (client.empty() || client_watches_.count(client) != 0) return;
    const std::string rule =
        "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
        "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='" +
        client + "'";
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_match(bus_, &slot, rule.c_str(), ClientChanged, this) < 0) return;
    client_watches_[client] = slot;
    // The client may have gone before the watch was in place.
    sd_bus_error error{};  // no error: name and message empty
    sd_bus_message* reply = nullptr;
    int has_owner = 1;
    if (sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "NameHasOwner", &error, &reply, "s",
                           client.c_str()) >= 0) {
      sd_bus_message_read(reply, "b", &has_owner);
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    if (has_owner == 0) ReleaseClient(client);
  }

  static int ClientChanged(sd_bus_message* signal, void* context, sd_bus_error*) {
    const char* name = nullptr;
    const char* old_owner = nullptr;
    const char* new_owner = nullptr;
    if (sd_bus_message_read(signal, "sss", &name, &old_owner, &new_owner) < 0) return 0;
    if (new_owner == nullptr || *new_owner == '\0') {
      static_cast<BusRuntime*>(context)->ReleaseClient(name);
    }
    return 0;
  }

  void ReleaseClient(const std::string& client) {
    if (const auto it = client_watches_.find(client); it != client_watches_.end()) {
      sd_bus_slot_unref(it->second);
      client_watches_.erase(it);
    }
    std::vector<std::uint64_t> gone;
    for (const auto& [id, held] : objects_) {
      if (held.client == client) gone.push_back(id);
    }
    for (const std::uint64_t id : gone) objects_.erase(id);
  }

  static const sd_bus_vtable kServerTable[];
  static const sd_bus_vtable kObjectTable[];

  sd_bus* bus_;
  sd_bus_slot* server_slot_ = nullptr;
  sd_bus_slot* objects_slot_ = nullptr;
  bool name_owned_ = false;
  std::vector<AutomationClass> classes_;
  std::map<std::uint64_t, HeldObject> objects_;
  int fd_;
  bool bus_lost_ = false;
  std::map<std::string, sd_bus_slot*> client_watches_;
  std::uint64_t last_id_ = 0;
};

const sd_bus_vtable BusRuntime::kServerTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Create", "", "o", BusRuntime::Create, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

const sd_bus_vtable BusRuntime::kObjectTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Request", "iis", "", BusRuntime::Request, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Release", "", "", BusRuntime::Release, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

std::string ServiceFilePath() {
  return posix::DataHomeFolder() + "/dbus-1/services/" + kBusName + ".service";
}

// A command-line word for the bus's service file, quoted when it holds blanks or quotes.
std::string QuotedWord(const std::string& word) {
  if (word.find_first_of(" \t\"'\\") == std::string::npos) return word;
  std::string quoted = "\"";
  for (const char c : word) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::unique_ptr<AutomationRuntime> AutomationRuntime::Start() {
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) return std::make_unique<NoBusRuntime>();
  return std::make_unique<BusRuntime>(bus);
}

bool RegisterServerActivation(const std::string& module_path) {
  const std::filesystem::path file = ServiceFilePath();
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  std::ofstream out(file, std::ios::trunc);
  out << "[D-BUS Service]\nName=" << kBusName << "\nExec=" << QuotedWord(module_path)
      << " -Embedding\n";
  out.close();
  return static_cast<bool>(out);
}

void UnregisterServerActivation() {
  std::error_code error;
  std::filesystem::remove(ServiceFilePath(), error);
}

std::string ShortPathName(const std::string& path) {
  return path;
}

}  // namespace zarn::platform
