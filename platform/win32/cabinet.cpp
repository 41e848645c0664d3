// The cabinet library on Windows: "cabinet.dll", loaded for each extraction and driven through its
// FDI entry points. The caller's callbacks have the FDI types and go to FDICreate as they are;
// only the notification passes through a bridge, which turns FDI's record into the platform's.
#include "platform/cabinet.h"

#include <string>
#include <vector>

#include "platform/win32/windows_api.h"
// The FDI declarations need the base types above.
#include <fdi.h>

namespace zarn::platform {

namespace {

using FdiCreate = decltype(&FDICreate);
using FdiIsCabinet = decltype(&FDIIsCabinet);
using FdiCopy = decltype(&FDICopy);
using FdiDestroy = decltype(&FDIDestroy);

// The cabinet library's entry points, valid while the library object holds the module.
struct Entries {
  FdiCreate create = nullptr;
  FdiIsCabinet is_cabinet = nullptr;
  FdiCopy copy = nullptr;
  FdiDestroy destroy = nullptr;
};

template <typename Function>
bool Find(HMODULE module, const char* name, Function& function) {
  // GetProcAddress gives a generic function pointer; the export has the declared type.
  function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  return function != nullptr;
}

// What FDICopy hands back as its user value: the caller's notification and user value.
struct Bridge {
  CabinetNotify notify;
  void* user;
};

INT_PTR DIAMONDAPI NotifyBridge(FDINOTIFICATIONTYPE type, PFDINOTIFICATION fdi) {
  const auto* bridge = static_cast<const Bridge*>(fdi->pv);
  CabinetNotification notification;
  notification.size = fdi->cb;
  notification.name = fdi->psz1;
  notification.text2 = fdi->psz2;
  notification.text3 = fdi->psz3;
  notification.user = bridge->user;
  notification.handle = fdi->hf;
  notification.date = fdi->date;
  notification.time = fdi->time;
  notification.attributes = fdi->attribs;
  notification.set_id = fdi->setID;
  notification.cabinet_index = fdi->iCabinet;
  notification.folder_index = fdi->iFolder;
  notification.error = fdi->fdie;
  return bridge->notify(static_cast<CabinetNotificationType>(type), &notification);
}

std::vector<char> Writable(const char* text) {
  const std::string copy(text);
  return std::vector<char>(copy.c_str(), copy.c_str() + copy.size() + 1);
}

class FdiContext final : public CabinetContext {
 public:
  FdiContext(const Entries& entries, CabinetErrorRecord& record)
      : entries_(entries), record_(record) {}
  ~FdiContext() override { Destroy(); }
  FdiContext(const FdiContext&) = delete;
  FdiContext& operator=(const FdiContext&) = delete;

  // Makes the FDI context; false when FDI cannot.
  bool Start(const CabinetCallbacks& callbacks) {
    context_ = entries_.create(callbacks.alloc, callbacks.free, callbacks.open, callbacks.read,
                               callbacks.write, callbacks.close, callbacks.seek, cpu80386, &error_);
    return Report(context_ != nullptr);
  }

  bool IsCabinet(std::intptr_t file, CabinetInfo& info) override {
    FDICABINETINFO fdi{};
    const bool is_cabinet = entries_.is_cabinet(context_, file, &fdi) != FALSE;
    if (is_cabinet) {
      info.size = fdi.cbCabinet;
      info.folders = fdi.cFolders;
      info.files = fdi.cFiles;
      info.set_id = fdi.setID;
      info.index = fdi.iCabinet;
      info.has_reserve = fdi.fReserve;
      info.has_previous = fdi.hasprev;
      info.has_next = fdi.hasnext;
    }
    return Report(is_cabinet);
  }

  bool Copy(const char* name, const char* folder, int flags, CabinetNotify notify,
            void* user) override {
    std::vector<char> cabinet = Writable(name);
    std::vector<char> path = Writable(folder);
    Bridge bridge{notify, user};
    return Report(entries_.copy(context_, cabinet.data(), path.data(), flags, NotifyBridge, nullptr,
                                &bridge) != FALSE);
  }

  bool Destroy() override {
    if (context_ == nullptr) return false;
    const bool destroyed = entries_.destroy(context_) != FALSE;
    context_ = nullptr;
    return destroyed;
  }

 private:
  bool Report(bool succeeded) {
    record_.operation = error_.erfOper;
    record_.type = error_.erfType;
    record_.error = error_.fError;
    return succeeded;
  }

  Entries entries_;
  HFDI context_ = nullptr;
  CabinetErrorRecord& record_;
  ERF error_{};  // FDI writes here for as long as the context lives
};

class FdiLibrary final : public CabinetLibrary {
 public:
  FdiLibrary(HMODULE module, const Entries& entries) : module_(module), entries_(entries) {}
  ~FdiLibrary() override { FreeLibrary(module_); }
  FdiLibrary(const FdiLibrary&) = delete;
  FdiLibrary& operator=(const FdiLibrary&) = delete;

  std::unique_ptr<CabinetContext> Create(const CabinetCallbacks& callbacks,
                                         CabinetErrorRecord& record) override {
    auto context = std::make_unique<FdiContext>(entries_, record);
    if (!context->Start(callbacks)) return nullptr;
    return context;
  }

 private:
  HMODULE module_;
  Entries entries_;
};

}  // namespace

std::unique_ptr<CabinetLibrary> LoadCabinetLibrary() {
  HMODULE module = LoadLibraryA("cabinet.dll");
  if (module == nullptr) return nullptr;
  Entries entries;
  if (GetModuleHandleA("cabinet.dll") == nullptr || !Find(module, "FDICreate", entries.create) ||
      !Find(module, "FDIIsCabinet", entries.is_cabinet) || !Find(module, "FDICopy", entries.copy) ||
      !Find(module, "FDIDestroy", entries.destroy)) {
    FreeLibrary(module);
    return nullptr;
  }
  return std::make_unique<FdiLibrary>(module, entries);
}

}  // namespace zarn::platform
