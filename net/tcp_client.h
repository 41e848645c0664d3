// A TCP connection that connects out to Host:Port.
#pragma once

#include <string>

#include "net/tcp_connection.h"

namespace zarn {

class TTcpClient : public TTcpConnection {
 public:
  std::string Host;
  int Port = 0;
  std::string BoundIP;   // local address to bind; empty: any
  bool UseNagle = true;  // false sets the no-delay option
  TNotifyEvent OnConnected;

  // Opens the connection: ENetAlreadyConnected when open, ENetInvalidSocket, bind errors, the
  // lookup's or the connect's ENetSocketError. Reports resolving (for a name), connecting and
  // connected; a failure after the socket was opened closes it (disconnect statuses and
  // OnDisconnected) before the exception goes on.
  void Connect();
};

}  // namespace zarn
