#include "net/socket_handle.h"

#include "net/message_pump_base.h"
#include "net/net_exceptions.h"
#include "net/socket_stack.h"

namespace zarn {

TSocketHandle::~TSocketHandle() {
  CloseHandle();
}

void TSocketHandle::OpenSocket() {
  platform::SocketId socket = platform::kNoSocket;
  if (platform::OpenStreamSocket(socket) != 0) throw ENetInvalidSocket();
  handle_ = socket;
  open_ = true;
  if (platform::SetNonBlocking(handle_) != 0) {
    CloseHandle();
    throw ENetInvalidSocket();
  }
}

void TSocketHandle::BindLocal(const std::string& ip, int port) {
  platform::SocketAddress local;
  local.address = ip.empty() ? 0 : TSocketStack::DottedToAddress(ip);
  local.port = static_cast<std::uint16_t>(port);
  if (TSocketStack::CheckResult(platform::BindSocket(handle_, local), {10048})) {
    throw ENetCouldNotBindSocket();
  }
  ReadAddresses(false);
}

void TSocketHandle::SetNoDelay() {
  TSocketStack::CheckResult(platform::SetNoDelay(handle_));
}

void TSocketHandle::SetPeer(const std::string& address, int port) {
  peer_address_ = address;
  peer_port_ = port;
}

void TSocketHandle::ConnectPeer(int timeout_ms) {
  const platform::SocketAddress peer{TSocketStack::DottedToAddress(peer_address_),
                                     static_cast<std::uint16_t>(peer_port_)};
  TSocketStack::CheckResult(
      platform::ConnectSocket(handle_, peer, timeout_ms == kInfiniteTimeout ? -1 : timeout_ms));
  ReadAddresses(true);
}

void TSocketHandle::ReadAddresses(bool peer_too) {
  platform::SocketAddress address;
  TSocketStack::CheckResult(platform::LocalAddress(handle_, address));
  local_address_ = TSocketStack::AddressToDotted(address.address);
  local_port_ = address.port;
  if (peer_too) {
    TSocketStack::CheckResult(platform::PeerAddress(handle_, address));
    peer_address_ = TSocketStack::AddressToDotted(address.address);
    peer_port_ = address.port;
  }
}

int TSocketHandle::Send(const char* bytes, std::size_t count, std::size_t& sent) {
  sent = 0;
  return platform::SendBytes(handle_, bytes, count, sent);
}

int TSocketHandle::Receive(char* bytes, std::size_t count, std::size_t& received) {
  received = 0;
  return platform::ReceiveBytes(handle_, bytes, count, received);
}

bool TSocketHandle::ElementaryWait(Readiness readiness, int timeout_ms) {
  bool ready = false;
  const int limit = timeout_ms == kInfiniteTimeout ? -1 : timeout_ms;
  TSocketStack::CheckResult(readiness == Readiness::kReadable
                                ? platform::WaitReadable(handle_, limit, ready)
                                : platform::WaitWritable(handle_, limit, ready));
  TMessagePumpBase::PumpIfDue(!ready, false);
  // A handler run by the pump may have closed the socket: whatever the wait found, there is
  // nothing left to read or write through it.
  if (!open_) throw ENetConnClosedGracefully();
  return ready;
}

bool TSocketHandle::WaitReadable(int timeout_ms) {
  return Wait(Readiness::kReadable, timeout_ms);
}

bool TSocketHandle::WaitWritable(int timeout_ms) {
  return Wait(Readiness::kWritable, timeout_ms);
}

bool TSocketHandle::Wait(Readiness readiness, int timeout_ms) {
  if (!open_) throw ENetConnClosedGracefully();
  const TMessagePumpBase* pump = TMessagePumpBase::Global();
  if (pump == nullptr || !pump->Active) return ElementaryWait(readiness, timeout_ms);
  // A zero or negative slice length would spin; one millisecond is the shortest slice.
  const int slice = pump->IdleTimeOut > 0 ? pump->IdleTimeOut : 1;
  if (timeout_ms == kInfiniteTimeout || timeout_ms < 0) {
    while (!ElementaryWait(readiness, slice)) {
    }
    return true;
  }
  // A finite wait: the odd remainder first, then whole slices, never longer than the timeout.
  int slices = timeout_ms > slice ? (timeout_ms - 1) / slice : 0;
  if (ElementaryWait(readiness, timeout_ms - slices * slice)) return true;
  for (; slices > 0; --slices) {
    if (ElementaryWait(readiness, slice)) return true;
  }
  return false;
}

void TSocketHandle::CloseHandle(bool reset_local) {
  if (open_) {
    open_ = false;
    platform::CloseSocket(handle_);
  }
  handle_ = platform::kNoSocket;
  peer_address_.clear();
  peer_port_ = 0;
  if (reset_local) {
    local_address_.clear();
    local_port_ = 0;
  }
}

void TSocketHandle::Reset() {
  CloseHandle(true);
}

}  // namespace zarn
