// IPv4 stream sockets on BSD sockets. errno is translated here, once, into the Windows socket
// error numbers that the client reports.
#include "platform/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace zarn::platform {

namespace {

// errno values with a Windows socket counterpart. A value without one becomes 20000 + errno, a
// number outside the Windows table, so that it cannot be mistaken for another error.
int SocketErrorFromErrno(int error) {
  switch (error) {
    case EINTR:
      return 10004;
    case EBADF:
      return 10009;
    case EACCES:
      return 10013;
    case EPERM:
      return 10013;
    case EFAULT:
      return 10014;
    case EINVAL:
      return 10022;
    case EMFILE:
      return 10024;
    case ENFILE:
      return 10024;
    case EWOULDBLOCK:
      return 10035;
    case EINPROGRESS:
      return 10036;
    case EALREADY:
      return 10037;
    case ENOTSOCK:
      return 10038;
    case EDESTADDRREQ:
      return 10039;
    case EMSGSIZE:
      return 10040;
    case EPROTOTYPE:
      return 10041;
    case ENOPROTOOPT:
      return 10042;
    case EPROTONOSUPPORT:
      return 10043;
    case ESOCKTNOSUPPORT:
      return 10044;
    case EOPNOTSUPP:
      return 10045;
    case EPFNOSUPPORT:
      return 10046;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return 10048;
    case EADDRNOTAVAIL:
      return 10049;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ENETRESET:
      return 10052;
    case ECONNABORTED:
      return 10053;
    case ECONNRESET:
      return 10054;
    // A send into a connection that the peer has torn down: Windows reports a reset there.
    case EPIPE:
      return 10054;
    case ENOBUFS:
      return 10055;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return 10057;
    case ESHUTDOWN:
      return 10058;
    case ETOOMANYREFS:
      return 10059;
    case ETIMEDOUT:
      return 10060;
    case ECONNREFUSED:
      return 10061;
    case ELOOP:
      return 10062;
    case ENAMETOOLONG:
      return 10063;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return 10065;
    case ENOTEMPTY:
      return 10066;
    default:
      return 20000 + error;
  }
}

int LastError() {
  return SocketErrorFromErrno(errno);
}

int LookupError(int eai) {
  switch (eai) {
    case EAI_AGAIN:
      return 11002;
    case EAI_FAIL:
      return 11003;
    case EAI_NODATA:
      return 11004;
    case EAI_ADDRFAMILY:
      return 11004;
    case EAI_SYSTEM:
      return SocketErrorFromErrno(errno);
    default:
      return 11001;  // EAI_NONAME and the rest: host not found
  }
}

sockaddr_in ToSockaddr(const SocketAddress& address) {
  sockaddr_in out{};
  out.sin_family = AF_INET;
  out.sin_addr.s_addr = htonl(address.address);
  out.sin_port = htons(address.port);
  return out;
}

SocketAddress FromSockaddr(const sockaddr_in& in) {
  return SocketAddress{ntohl(in.sin_addr.s_addr), ntohs(in.sin_port)};
}

std::int64_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int Fd(SocketId socket) {
  return static_cast<int>(socket);
}

int WaitFor(SocketId socket, short events, int timeout_ms, bool& ready) {
  // A signal (the terminal's interrupt, which the message loop turns into a close request) must
  // not end the wait early: the wait goes on for the time that is left.
  const std::int64_t deadline = NowMs() + (timeout_ms < 0 ? 0 : timeout_ms);
  pollfd entry{Fd(socket), events, 0};
  for (;;) {
    int wait = -1;
    if (timeout_ms >= 0) {
      const std::int64_t left = deadline - NowMs();
      wait = left > 0 ? static_cast<int>(left) : 0;
    }
    const int result = ::poll(&entry, 1, wait);
    if (result >= 0) {
      ready = result == 1;
      return 0;
    }
    if (errno != EINTR) return LastError();
  }
}

}  // namespace

// The BSD socket calls need no start-up.
SocketStackStart StartSocketStack() {
  return SocketStackStart::kStarted;
}
void StopSocketStack() {}
const char* SocketLibraryName() {
  return "libc";
}

int OpenStreamSocket(SocketId& socket) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return LastError();
  socket = fd;
  return 0;
}

int BindSocket(SocketId socket, const SocketAddress& local) {
  const sockaddr_in address = ToSockaddr(local);
  if (::bind(Fd(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return LastError();
  }
  return 0;
}

int SetNoDelay(SocketId socket) {
  const int one = 1;
  if (::setsockopt(Fd(socket), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0) return LastError();
  return 0;
}

int SetNonBlocking(SocketId socket) {
  const int flags = ::fcntl(Fd(socket), F_GETFL);
  if (flags < 0 || ::fcntl(Fd(socket), F_SETFL, flags | O_NONBLOCK) != 0) return LastError();
  return 0;
}

int ConnectSocket(SocketId socket, const SocketAddress& peer, int timeout_ms) {
  const sockaddr_in address = ToSockaddr(peer);
  if (::connect(Fd(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    return 0;
  }
  // An interrupted connect goes on in the background, like one in progress on a non-blocking
  // socket: its end is awaited, and its result read from the socket.
  if (errno != EINPROGRESS && errno != EINTR) return LastError();
  bool done = false;
  if (const int error = WaitFor(socket, POLLOUT, timeout_ms, done); error != 0) return error;
  if (!done) return 10060;
  int result = 0;
  socklen_t length = sizeof result;
  if (::getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &result, &length) != 0) return LastError();
  return result == 0 ? 0 : SocketErrorFromErrno(result);
}

int LocalAddress(SocketId socket, SocketAddress& local) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return LastError();
  }
  local = FromSockaddr(address);
  return 0;
}

int PeerAddress(SocketId socket, SocketAddress& peer) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getpeername(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return LastError();
  }
  peer = FromSockaddr(address);
  return 0;
}

int ResolveHostName(const std::string& name, std::uint32_t& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (result != 0) return LookupError(result);
  address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  ::freeaddrinfo(found);
  return 0;
}

int WaitReadable(SocketId socket, int timeout_ms, bool& readable) {
  return WaitFor(socket, POLLIN, timeout_ms, readable);
}

int WaitWritable(SocketId socket, int timeout_ms, bool& writable) {
  return WaitFor(socket, POLLOUT, timeout_ms, writable);
}

int SendBytes(SocketId socket, const char* bytes, std::size_t count, std::size_t& transferred) {
  ssize_t sent;
  do {
    sent = ::send(Fd(socket), bytes, count, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) return LastError();
  transferred = static_cast<std::size_t>(sent);
  return 0;
}

int ReceiveBytes(SocketId socket, char* bytes, std::size_t count, std::size_t& transferred) {
  ssize_t received;
  do {
    received = ::recv(Fd(socket), bytes, count, 0);
  } while (received < 0 && errno == EINTR);
  if (received < 0) return LastError();
  transferred = static_cast<std::size_t>(received);
  return 0;
}

void CloseSocket(SocketId socket) {
  ::shutdown(Fd(socket), SHUT_WR);
  ::close(Fd(socket));
}

int ListenSocket(SocketId socket, int backlog) {
  return ::listen(Fd(socket), backlog) == 0 ? 0 : LastError();
}

int AcceptSocket(SocketId socket, SocketId& accepted) {
  int fd;
  do {
    fd = ::accept4(Fd(socket), nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return LastError();
  accepted = fd;
  return 0;
}

}  // namespace zarn::platform
