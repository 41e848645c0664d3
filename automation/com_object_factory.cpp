#include "automation/com_object_factory.h"

#include <algorithm>
#include <exception>

#include "automation/com_server.h"
#include "automation/registry_entries.h"
#include "common/exception.h"
#include "platform/dialogs.h"

namespace zarn {

namespace {

// IUnknown's id: the error interface of a factory until its class names another.
constexpr Guid kIUnknown{
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr std::string_view kErrorBoxCaption = "ZIR Error";

std::string ClassKey(const Guid& class_id) {
  return "CLSID\\" + GuidToString(class_id);
}

}  // namespace

TAutoObject::TAutoObject(TComServer& server) : server_(server) {
  server_.ObjectCounted(true);
}

// An error of the server's last-release event cannot leave a destructor; the quit message it
// was to precede has been posted by then.
TAutoObject::~TAutoObject() {
  try {
    server_.ObjectCounted(false);
  } catch (...) {
  }
}

std::string CreationErrorText(std::string message) {
  // Bytes compare unsigned: a message ending in a letter of the upper half gets its full stop.
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
  return message;
}

TComObjectFactory::TComObjectFactory(TComServer& server, Creator creator, const Guid& class_id,
                                     std::string class_name, std::string description,
                                     TClassInstancing instancing, TThreadingModel threading_model)
    : server_(server),
      creator_(std::move(creator)),
      class_id_(class_id),
      class_name_(std::move(class_name)),
      description_(std::move(description)),
      instancing_(instancing),
      threading_model_(threading_model),
      error_iid_(kIUnknown) {}

TComObjectFactory::~TComObjectFactory() = default;

std::string TComObjectFactory::ProgID() const {
  if (class_name_.empty()) return {};
  return server_.RegisteredServerName() + "." + class_name_;
}

void TComObjectFactory::SetNames(std::string class_name, std::string description) {
  class_name_ = std::move(class_name);
  description_ = std::move(description);
}

void TComObjectFactory::UpdateRegistry(bool register_class) {
  const std::string class_key = ClassKey(class_id_);
  const std::string server_key = class_key + "\\" + server_.RegistryServerKey();
  const std::string prog_id = ProgID();
  if (register_class) {
    WriteClassesRootText(class_key, "", description_);
    std::string path = server_.ModuleFilePath();
    if (path.find(' ') != std::string::npos) path = platform::ShortPathName(path);
    WriteClassesRootText(server_key, "", path);
    if (!prog_id.empty()) {
      WriteClassesRootText(prog_id, "", description_);
      WriteClassesRootText(prog_id + "\\Clsid", "", GuidToString(class_id_));
      WriteClassesRootText(class_key + "\\ProgID", "", prog_id);
    }
    return;
  }
  if (!prog_id.empty()) {
    DeleteClassesRootKey(class_key + "\\ProgID");
    DeleteClassesRootKey(prog_id + "\\Clsid");
    DeleteClassesRootKey(prog_id);
  }
  DeleteClassesRootKey(server_key);
  DeleteClassesRootKey(class_key);
}

std::unique_ptr<platform::AutomationObject> TComObjectFactory::CreateComObject() {
  try {
    return creator_(server_);
  } catch (const std::exception& error) {
    if (ShowErrors) {
      server_.ShowBox(CreationErrorText(error.what()), kErrorBoxCaption,
                      platform::kMbIconError | platform::kMbSetForeground);
    }
    return nullptr;
  }
}

void TComObjectFactory::LockServer(bool lock) {
  server_.ObjectCounted(lock);
}

platform::AutomationClass TComObjectFactory::Published() {
  platform::AutomationClass published;
  published.class_id = class_id_;
  published.interface_id = error_iid_;
  published.prog_id = ProgID();
  published.multiple_use = instancing_ == TClassInstancing::ciMultiInstance;
  published.create = [this] { return CreateComObject(); };
  published.lock = [this](bool lock) { LockServer(lock); };
  published.count_reference = [&server = server_](bool added) { server.FactoryCounted(added); };
  return published;
}

TAutoObjectFactory::TAutoObjectFactory(TComServer& server, Creator creator, const Guid& class_id,
                                       const std::string& object_class_name,
                                       std::span<const Guid> implemented,
                                       TClassInstancing instancing, TThreadingModel threading_model)
    : TComObjectFactory(server, std::move(creator), class_id, {}, {}, instancing, threading_model) {
  const platform::TypeLibrary& library = server.LoadedTypeLibrary();
  const std::optional<platform::TypeClassFacts> described = library.FindClass(class_id);
  if (!described) throw EOleError("Type information missing for class " + object_class_name);
  SetNames(described->name, described->description);
  if (!described->default_interface) {
    throw EOleError("Incorrect type information for class " + object_class_name);
  }
  if (std::find(implemented.begin(), implemented.end(), *described->default_interface) ==
      implemented.end()) {
    throw EOleError("Dispatch interface missing from class " + object_class_name);
  }
  SetErrorIID(*described->default_interface);
}

platform::AutomationClass TAutoObjectFactory::Published() {
  platform::AutomationClass published = TComObjectFactory::Published();
  published.library = &ComServer().LoadedTypeLibrary();
  return published;
}

void TAutoObjectFactory::UpdateRegistry(bool register_class) {
  const std::string class_key = "CLSID\\" + GuidToString(ClassID());
  if (register_class) {
    TComObjectFactory::UpdateRegistry(true);
    const platform::TypeLibraryFacts& library = ComServer().LoadedTypeLibrary().Facts();
    WriteClassesRootText(
        class_key + "\\Version", "",
        std::to_string(library.major_version) + "." + std::to_string(library.minor_version));
    WriteClassesRootText(class_key + "\\TypeLib", "", GuidToString(library.library_id));
    return;
  }
  DeleteClassesRootKey(class_key + "\\TypeLib");
  DeleteClassesRootKey(class_key + "\\Version");
  TComObjectFactory::UpdateRegistry(false);
}

}  // namespace zarn
