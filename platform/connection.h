// The Internet connection state and dialling of the default connection.
#pragma once

#include <cstdint>

#include "platform/window_messages.h"

namespace zarn::platform {

inline constexpr std::uint32_t kConnectionModem = 1;  // INTERNET_CONNECTION_MODEM
inline constexpr std::uint32_t kConnectionLan = 2;    // INTERNET_CONNECTION_LAN
inline constexpr std::uint32_t kAutodialForceUnattended = 2;

struct ConnectedState {
  bool connected = false;
  std::uint32_t flags = 0;  // kConnection* bits
};

ConnectedState GetInternetConnectedState();
bool InternetAutodial(std::uint32_t flags, WindowId owner);
bool InternetAutodialHangup();

}  // namespace zarn::platform
