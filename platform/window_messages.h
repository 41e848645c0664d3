// Window messages and their numbers. They are the Windows numbers on both back ends, so that the
// window and icon logic of the core is one code.
#pragma once

#include <cstdint>

namespace zarn::platform {

using WindowId = std::uintptr_t;  // HWND on Windows, a number of the event loop on POSIX

struct WindowMessage {
  std::uint32_t message = 0;
  std::uintptr_t wparam = 0;
  std::intptr_t lparam = 0;
};

// Receives the messages of one window (its window procedure).
class MessageTarget {
 public:
  virtual std::intptr_t HandleMessage(const WindowMessage& message) = 0;

 protected:
  virtual ~MessageTarget() = default;
};

inline constexpr std::uint32_t kWmDestroy = 0x0002;
inline constexpr std::uint32_t kWmClose = 0x0010;
inline constexpr std::uint32_t kWmSysCommand = 0x0112;
inline constexpr std::uint32_t kWmTimer = 0x0113;
inline constexpr std::uint32_t kWmMouseMove = 0x0200;
inline constexpr std::uint32_t kWmLButtonDown = 0x0201;
inline constexpr std::uint32_t kWmLButtonUp = 0x0202;
inline constexpr std::uint32_t kWmLButtonDblClk = 0x0203;
inline constexpr std::uint32_t kWmRButtonDown = 0x0204;
inline constexpr std::uint32_t kWmRButtonUp = 0x0205;
inline constexpr std::uint32_t kWmRButtonDblClk = 0x0206;
inline constexpr std::uint32_t kWmMButtonDown = 0x0207;
inline constexpr std::uint32_t kWmMButtonUp = 0x0208;
inline constexpr std::uint32_t kWmMButtonDblClk = 0x0209;
inline constexpr std::uint32_t kWmUser = 0x0400;

inline constexpr std::uintptr_t kScMinimize = 0xF020;
inline constexpr std::uintptr_t kScClose = 0xF060;

}  // namespace zarn::platform
