// One socket of a connection with its local and peer addresses. Waits for data are sliced and
// pump window messages while an active message pump is registered.
#pragma once

#include <cstddef>
#include <string>

#include "platform/sockets.h"

namespace zarn {

class TSocketHandle {
 public:
  TSocketHandle() = default;
  ~TSocketHandle();
  TSocketHandle(const TSocketHandle&) = delete;
  TSocketHandle& operator=(const TSocketHandle&) = delete;

  // A non-blocking stream socket of the Internet family (every wait goes through the waits below);
  // ENetInvalidSocket when none can be had.
  void OpenSocket();
  // Binds to ip (empty: any address) and port; ENetCouldNotBindSocket when the address is in
  // use, ENetSocketError otherwise. Then reads the local address back.
  void BindLocal(const std::string& ip, int port);
  void SetNoDelay();
  // Connects to the peer set by SetPeer and reads both addresses back (ENetSocketError; 10060 when
  // the connection is not made within timeout_ms, kInfiniteTimeout leaving that to the system).
  void ConnectPeer(int timeout_ms);
  void SetPeer(const std::string& address, int port);

  // One send or receive call: the error number (0 on success) and the bytes moved.
  int Send(const char* bytes, std::size_t count, std::size_t& sent);
  int Receive(char* bytes, std::size_t count, std::size_t& received);

  // Waits for data, a close or an error; timeout in milliseconds or kInfiniteTimeout.
  // ENetConnClosedGracefully when the socket is not open, also when a window message handled
  // between slices closed it.
  bool WaitReadable(int timeout_ms);
  // Waits, the same way, until a send can move bytes again.
  bool WaitWritable(int timeout_ms);

  // Shuts the sending side, closes the socket and resets the addresses (the local ones only when
  // reset_local is true).
  void CloseHandle(bool reset_local = true);
  // Forgets everything, as before the first open.
  void Reset();

  bool HandleAllocated() const { return open_; }
  platform::SocketId Handle() const { return handle_; }
  const std::string& LocalAddress() const { return local_address_; }
  int LocalPort() const { return local_port_; }
  const std::string& PeerAddress() const { return peer_address_; }
  int PeerPort() const { return peer_port_; }

 private:
  enum class Readiness { kReadable, kWritable };
  bool Wait(Readiness readiness, int timeout_ms);
  bool ElementaryWait(Readiness readiness, int timeout_ms);
  void ReadAddresses(bool peer_too);

  platform::SocketId handle_ = platform::kNoSocket;
  bool open_ = false;
  std::string local_address_;
  int local_port_ = 0;
  std::string peer_address_;
  int peer_port_ = 0;
};

}  // namespace zarn
