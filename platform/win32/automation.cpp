// COM on the main thread for the automation server: apartment initialisation, the class objects
// registered with COM, the server process's reference count and the end of the message loop.
// The calls that older systems lack are looked up in "ole32.dll" at run time.
#include "platform/automation.h"

#include <vector>

#include "platform/win32/automation_object.h"
#include "platform/win32/type_library.h"

namespace zarn::platform {

namespace {

template <typename Function>
Function Ole32Function(const char* name) {
  HMODULE ole32 = GetModuleHandleA("ole32.dll");
  if (ole32 == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(ole32, name)));
}

using InitializeEx = HRESULT(WINAPI*)(LPVOID, DWORD);
using ResumeFunction = HRESULT(WINAPI*)();
using ServerProcessCount = ULONG(WINAPI*)();

class ComRuntime final : public AutomationRuntime {
 public:
  ComRuntime() : main_thread_(GetCurrentThreadId()) {
    if (const auto initialize = Ole32Function<InitializeEx>("CoInitializeEx")) {
      initialized_ = SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED));
      extended_ = true;
    } else {
      initialized_ = SUCCEEDED(CoInitialize(nullptr));
    }
    resume_ = Ole32Function<ResumeFunction>("CoResumeClassObjects");
    add_ref_ = Ole32Function<ServerProcessCount>("CoAddRefServerProcess");
    release_ = Ole32Function<ServerProcessCount>("CoReleaseServerProcess");
  }

  ~ComRuntime() override {
    RevokeClassObjects();
    if (initialized_) CoUninitialize();
  }

  ComRuntime(const ComRuntime&) = delete;
  ComRuntime& operator=(const ComRuntime&) = delete;

  bool CanSuspendClassObjects() const override { return extended_ && resume_ != nullptr; }

  void RegisterClassObject(const AutomationClass& published, bool suspended) override {
    const auto* library = dynamic_cast<const win32::LoadedTypeLibrary*>(published.library);
    FactoryReference factory;
    factory.object = win32::NewClassFactory(published, library ? library->Library() : nullptr);
    DWORD flags = published.multiple_use ? REGCLS_MULTIPLEUSE : REGCLS_SINGLEUSE;
    if (suspended) flags |= REGCLS_SUSPENDED;
    DWORD cookie = 0;
    const GUID class_id = win32::ToGuid(published.class_id);
    win32::Check(
        CoRegisterClassObject(class_id, factory.object, CLSCTX_LOCAL_SERVER, flags, &cookie));
    cookies_.push_back(cookie);
  }

  void ResumeClassObjects() override {
    if (resume_ != nullptr) resume_();
  }

  void RevokeClassObjects() override {
    for (const DWORD cookie : cookies_) CoRevokeClassObject(cookie);
    cookies_.clear();
  }

  bool Published() const override { return !cookies_.empty(); }

  std::optional<std::uint32_t> AddRefServerProcess() override {
    if (add_ref_ == nullptr) return std::nullopt;
    return add_ref_();
  }

  std::optional<std::uint32_t> ReleaseServerProcess() override {
    if (release_ == nullptr) return std::nullopt;
    return release_();
  }

  void PostQuit() override { PostThreadMessageA(main_thread_, WM_QUIT, 0, 0); }

 private:
  // The caller's reference to a new class factory, released once COM holds its own.
  struct FactoryReference {
    IClassFactory* object = nullptr;
    ~FactoryReference() {
      if (object != nullptr) object->Release();
    }
  };

  DWORD main_thread_;
  bool initialized_ = false;
  bool extended_ = false;
  ResumeFunction resume_ = nullptr;
  ServerProcessCount add_ref_ = nullptr;
  ServerProcessCount release_ = nullptr;
  std::vector<DWORD> cookies_;
};

}  // namespace

std::unique_ptr<AutomationRuntime> AutomationRuntime::Start() {
  return std::make_unique<ComRuntime>();
}

bool RegisterServerActivation(const std::string&) {
  return true;  // COM starts the program from its LocalServer32 key
}

void UnregisterServerActivation() {}

std::string ShortPathName(const std::string& path) {
  const DWORD size = GetShortPathNameA(path.c_str(), nullptr, 0);
  if (size == 0) return path;
  std::string short_path(size, '\0');
  const DWORD length = GetShortPathNameA(path.c_str(), short_path.data(), size);
  if (length == 0 || length >= size) return path;
  short_path.resize(length);
  return short_path;
}

}  // namespace zarn::platform
