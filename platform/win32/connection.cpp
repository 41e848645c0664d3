// The connection state and dialling through WinInet.
#include "platform/connection.h"

#include "platform/win32/windows_api.h"
// WinInet needs the base Windows types first.
#include <wininet.h>

namespace zarn::platform {

ConnectedState GetInternetConnectedState() {
  DWORD flags = 0;
  ConnectedState state;
  state.connected = InternetGetConnectedState(&flags, 0) != FALSE;
  state.flags = flags;
  return state;
}

bool InternetAutodial(std::uint32_t flags, WindowId owner) {
  return ::InternetAutodial(flags, reinterpret_cast<HWND>(owner)) != FALSE;
}

bool InternetAutodialHangup() {
  return ::InternetAutodialHangup(0) != FALSE;
}

}  // namespace zarn::platform
