// What the back end's COM code shares: interface pointers that release themselves, failure
// results turned into EOleSysError, and the program's GUIDs in the platform's layout.
#pragma once

#include "platform/win32/windows_api.h"

#include <ole2.h>

#include "common/guid.h"

namespace zarn::platform::win32 {

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
  Interface* Get() const { return pointer_; }
  Interface** Receive() { return &pointer_; }
  void** ReceiveVoid() { return reinterpret_cast<void**>(&pointer_); }
  explicit operator bool() const { return pointer_ != nullptr; }

 private:
  Interface* pointer_ = nullptr;
};

// Raises EOleSysError with the system's text for the result.
[[noreturn]] void RaiseOleError(HRESULT result);

// Raises EOleSysError when the result is a failure.
inline void Check(HRESULT result) {
  if (FAILED(result)) RaiseOleError(result);
}

GUID ToGuid(const Guid& guid);
Guid FromGuid(const GUID& guid);

// A wide copy of an ANSI text, and back, in the system's ANSI code page.
std::wstring WideText(std::string_view text);
std::string AnsiText(std::wstring_view text);

}  // namespace zarn::platform::win32
