#include "net/tcp_client.h"

#include "net/net_exceptions.h"

namespace zarn {

void TTcpClient::Connect() {
  if (socket_.HandleAllocated()) throw ENetAlreadyConnected();
  ResetState();
  socket_.OpenSocket();
  try {
    socket_.BindLocal(BoundIP, 0);
    if (!TSocketStack::IsDottedQuad(Host)) DoStatus(TNetStatus::statusResolving, Host);
    socket_.SetPeer(TSocketStack::ResolveHost(Host), Port);
    if (!UseNagle) socket_.SetNoDelay();
    DoStatus(TNetStatus::statusConnecting, socket_.PeerAddress());
    socket_.ConnectPeer(IdleLimit());
    DoStatus(TNetStatus::statusConnected);
    if (OnConnected) OnConnected(*this);
  } catch (...) {
    try {
      Disconnect();
    } catch (...) {
      // The connect's own failure is the one the caller needs to see.
    }
    throw;
  }
}

}  // namespace zarn
