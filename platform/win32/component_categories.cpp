// Component categories on Windows, through the standard component categories manager.
#include "platform/component_categories.h"

// The Windows headers come first: they define macros (FormatMessage) that the program's own
// headers must not see.
#include "platform/win32/windows_api.h"

#include <comcat.h>

#include <string>

#include "common/exception.h"
#include "common/text.h"

namespace zarn::platform {

namespace {

// COM on this thread for the length of a call. When the thread has COM already (in whatever
// apartment) the call uses it and leaves it as it was.
class ComUse {
 public:
  ComUse() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComUse() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComUse(const ComUse&) = delete;
  ComUse& operator=(const ComUse&) = delete;

 private:
  HRESULT result_;
};

// An interface pointer, released when it goes.
template <typename Interface>
class Held {
 public:
  Held() = default;
  ~Held() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

  Interface* operator->() const { return pointer_; }
  Interface** Receive() { return &pointer_; }
  void** ReceiveVoid() { return reinterpret_cast<void**>(&pointer_); }
  explicit operator bool() const { return pointer_ != nullptr; }

 private:
  Interface* pointer_ = nullptr;
};

[[noreturn]] void RaiseOleError(HRESULT result) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 ? std::string(Trim(std::string_view(text, length)))
                                   : "OLE error " + HexUpper(static_cast<std::uint32_t>(result), 8);
  if (text != nullptr) LocalFree(text);
  throw EOleSysError(std::move(message), static_cast<std::int32_t>(result));
}

void Check(HRESULT result) {
  if (FAILED(result)) RaiseOleError(result);
}

GUID ToGuid(const Guid& guid) {
  GUID out{};
  out.Data1 = guid.data1;
  out.Data2 = guid.data2;
  out.Data3 = guid.data3;
  for (std::size_t i = 0; i < 8; ++i) out.Data4[i] = guid.data4[i];
  return out;
}

Guid FromGuid(const GUID& guid) {
  Guid out;
  out.data1 = guid.Data1;
  out.data2 = guid.Data2;
  out.data3 = guid.Data3;
  for (std::size_t i = 0; i < 8; ++i) out.data4[i] = guid.Data4[i];
  return out;
}

}  // namespace

std::vector<Guid> ClassesImplementingCategory(const Guid& category, std::size_t max_count) {
  const ComUse com;
  Held<ICatInformation> categories;
  Check(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                         IID_ICatInformation, categories.ReceiveVoid()));
  CATID implemented = ToGuid(category);
  Held<IEnumCLSID> classes;
  Check(categories->EnumClassesOfCategories(1, &implemented, 0, nullptr, classes.Receive()));
  std::vector<Guid> found;
  if (!classes) return found;
  Check(classes->Reset());
  std::vector<CLSID> ids(max_count);
  ULONG fetched = 0;
  Check(classes->Next(static_cast<ULONG>(ids.size()), ids.data(), &fetched));
  for (ULONG i = 0; i < fetched && i < ids.size(); ++i) found.push_back(FromGuid(ids[i]));
  return found;
}

}  // namespace zarn::platform
