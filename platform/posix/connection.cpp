// The Internet connection state on POSIX: connected when a network interface other than the
// loopback is up and running with a usable address. Link-local addresses (169.254.x.x, fe80::)
// do not count: every running interface has one, with or without a network behind it. Such a
// connection is a LAN; there is no modem and nothing to dial.
#include "platform/connection.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace zarn::platform {

namespace {

bool UsableAddress(const sockaddr* address) {
  if (address == nullptr) return false;
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    const std::uint32_t host = ntohl(v4->sin_addr.s_addr);
    return (host >> 16) != 0xA9FE && host != 0;  // not 169.254.0.0/16, not 0.0.0.0
  }
  if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    return !IN6_IS_ADDR_LINKLOCAL(&v6->sin6_addr) && !IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr);
  }
  return false;
}

}  // namespace

ConnectedState GetInternetConnectedState() {
  ConnectedState state;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return state;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    const unsigned flags = entry->ifa_flags;
    if ((flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK) &&
        UsableAddress(entry->ifa_addr)) {
      state.connected = true;
      state.flags = kConnectionLan;
      break;
    }
  }
  ::freeifaddrs(list);
  return state;
}

bool InternetAutodial(std::uint32_t /*flags*/, WindowId /*owner*/) {
  return false;
}

bool InternetAutodialHangup() {
  return true;
}

}  // namespace zarn::platform
