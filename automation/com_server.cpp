#include "automation/com_server.h"

#include <exception>

#include "automation/com_object_factory.h"
#include "automation/registry_entries.h"
#include "common/exception.h"
#include "platform/dialogs.h"
#include "platform/message_loop.h"
#include "platform/system.h"

namespace zarn {

namespace {

// The process's one server object, set while it lives.
TComServer* g_server = nullptr;

// The file name of a path without folder and extension.
std::string BareFileName(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

// The folder of a path with its final delimiter.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

TComServer* ComServer() {
  return g_server;
}

TComServer::TComServer(Parts parts)
    : parts_(std::move(parts)),
      start_mode_(StartModeFromParameters(parts_.parameters)),
      module_path_(parts_.module_path) {
  if (!parts_.message_box) parts_.message_box = platform::ShowMessageBox;
  g_server = this;
}

TComServer::~TComServer() {
  // The class objects are revoked before the factories behind them go.
  if (runtime_) runtime_->RevokeClassObjects();
  factories_.clear();
  runtime_.reset();
  if (g_server == this) g_server = nullptr;
}

void TComServer::ObjectCounted(bool created) {
  const bool counted_by_platform = start_mode_ == TStartMode::smAutomation && runtime_;
  if (created) {
    ++object_count_;
    client_served_ = true;
    if (counted_by_platform) runtime_->AddRefServerProcess();
    return;
  }
  const std::int32_t left = --object_count_;
  if (counted_by_platform) {
    if (const auto process_count = runtime_->ReleaseServerProcess()) {
      if (*process_count == 0) AllObjectsReleased();
      return;
    }
  }
  if (left == 0) AllObjectsReleased();
}

void TComServer::FactoryCounted(bool created) {
  if (created) {
    ++factory_count_;
  } else {
    --factory_count_;
  }
}

// A program that COM started ends with its last object; one the user started goes on.
void TComServer::AllObjectsReleased() {
  bool shutdown = start_mode_ == TStartMode::smAutomation;
  try {
    if (OnLastRelease) OnLastRelease(shutdown);
  } catch (...) {
    if (shutdown && runtime_) runtime_->PostQuit();
    throw;
  }
  if (shutdown && runtime_) runtime_->PostQuit();
}

std::string TComServer::RegisteredServerName() {
  if (!ServerName.empty()) return ServerName;
  if (type_library_ && !type_library_->Facts().name.empty()) return type_library_->Facts().name;
  return BareFileName(module_path_);
}

platform::TypeLibrary& TComServer::LoadedTypeLibrary() {
  if (!type_library_) type_library_ = parts_.load_library(module_path_, parts_.library);
  return *type_library_;
}

TComObjectFactory& TComServer::AddFactory(std::unique_ptr<TComObjectFactory> factory) {
  factories_.insert(factories_.begin(), std::move(factory));
  return *factories_.front();
}

bool TComServer::StartComServer() {
  runtime_ = parts_.start_runtime();
  start_suspended_ = runtime_->CanSuspendClassObjects();
  try {
    WriteServerRegistration(start_mode_ != TStartMode::smUnregServer);
  } catch (const EOleRegistrationError&) {
    // A user without write access to the class registry still gets a running program.
    if (start_mode_ == TStartMode::smRegServer) throw;
  }
  if (start_mode_ == TStartMode::smRegServer || start_mode_ == TStartMode::smUnregServer) {
    return false;
  }
  for (const auto& factory : factories_) {
    if (factory->Instancing() == TClassInstancing::ciInternal) continue;
    runtime_->RegisterClassObject(factory->Published(), start_suspended_);
  }
  if (start_suspended_) runtime_->ResumeClassObjects();
  return true;
}

void TComServer::WriteServerRegistration(bool register_server) {
  if (type_library_) {
    if (register_server) {
      type_library_->Register(module_path_, FolderOf(module_path_));
    } else {
      type_library_->Unregister();
    }
  }
  registering_ = register_server;
  for (const auto& factory : factories_) {
    if (factory->Instancing() != TClassInstancing::ciInternal) {
      factory->UpdateRegistry(register_server);
    }
  }
  if (register_server) {
    if (!platform::RegisterServerActivation(module_path_)) {
      throw EOleRegistrationError(std::string(kRegistryWriteError));
    }
  } else {
    platform::UnregisterServerActivation();
  }
}

bool TComServer::ConfirmServerClose() {
  if (object_count_.load() <= 0) return true;
  return ShowBox(std::string(kCloseWarningText), kCloseWarningCaption,
                 platform::kMbYesNo | platform::kMbIconWarning | platform::kMbDefButton2 |
                     platform::kMbTaskModal) == platform::kIdYes;
}

bool TComServer::AwaitingFirstClient() const {
  return start_mode_ == TStartMode::smAutomation && !client_served_ && runtime_ &&
         runtime_->Published();
}

// The client's call reaches the program through its message queue, so the wait dispatches.
void TComServer::AwaitFirstClient(std::uint32_t limit_ms) {
  const std::uint32_t start = platform::TickCount();
  while (AwaitingFirstClient() && !platform::MessageLoop::Terminated()) {
    // Unsigned arithmetic: a wrap of the tick counter in between does not matter.
    const std::uint32_t elapsed = platform::TickCount() - start;
    if (elapsed >= limit_ms) return;
    if (platform::MessageLoop::WaitForMessage(limit_ms - elapsed)) {
      platform::MessageLoop::ProcessMessages();
    }
  }
}

int TComServer::ShowBox(std::string_view text, std::string_view caption,
                        std::uint32_t flags) const {
  return parts_.message_box(text, caption, flags);
}

}  // namespace zarn
