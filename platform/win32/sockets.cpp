// IPv4 stream sockets on Windows Sockets 1.1, loaded from "wsock32.dll" when the stack first
// starts, started with WSAStartup by the first start and cleaned up by the matching last stop.
// The library's own error numbers are the program's numbers, so they pass through unchanged.
//
// The library stays loaded once it has been loaded: Wine cannot load the socket library a second
// time into a process (sockets made after a reload are not sockets to it), and keeping a system
// library mapped costs nothing.
#include "platform/sockets.h"

#include <atomic>

#include "platform/win32/windows_api.h"
// The Winsock 1.1 types; the functions are looked up in the loaded library.
#include <winsock.h>

namespace zarn::platform {

namespace {

constexpr const char* kLibraryName = "wsock32.dll";
constexpr WORD kVersion11 = 0x0101;

// The entry points the program calls, as the library exports them.
struct Winsock {
  int(WINAPI* startup)(WORD, LPWSADATA) = nullptr;
  int(WINAPI* cleanup)() = nullptr;
  int(WINAPI* last_error)() = nullptr;
  SOCKET(WINAPI* socket)(int, int, int) = nullptr;
  int(WINAPI* bind)(SOCKET, const sockaddr*, int) = nullptr;
  int(WINAPI* setsockopt)(SOCKET, int, int, const char*, int) = nullptr;
  int(WINAPI* getsockopt)(SOCKET, int, int, char*, int*) = nullptr;
  int(WINAPI* ioctlsocket)(SOCKET, long, u_long*) = nullptr;
  int(WINAPI* connect)(SOCKET, const sockaddr*, int) = nullptr;
  int(WINAPI* getsockname)(SOCKET, sockaddr*, int*) = nullptr;
  int(WINAPI* getpeername)(SOCKET, sockaddr*, int*) = nullptr;
  hostent*(WINAPI* gethostbyname)(const char*) = nullptr;
  unsigned long(WINAPI* inet_addr)(const char*) = nullptr;
  int(WINAPI* select)(int, fd_set*, fd_set*, fd_set*, const timeval*) = nullptr;
  int(WINAPI* send)(SOCKET, const char*, int, int) = nullptr;
  int(WINAPI* recv)(SOCKET, char*, int, int) = nullptr;
  int(WINAPI* shutdown)(SOCKET, int) = nullptr;
  int(WINAPI* closesocket)(SOCKET) = nullptr;
  int(WINAPI* listen)(SOCKET, int) = nullptr;
  SOCKET(WINAPI* accept)(SOCKET, sockaddr*, int*) = nullptr;
};

// The process-wide stack: the loaded library, its entry points and the count of starts.
struct Stack {
  HMODULE library = nullptr;
  Winsock api;
  // Read by test servers' threads while the main thread starts and stops the stack.
  std::atomic<int> starts = 0;
};

Stack& TheStack() {
  static Stack stack;
  return stack;
}

template <typename Function>
void Look(HMODULE library, const char* name, Function& function) {
  // GetProcAddress gives a generic function pointer; the export has the declared type.
  function =
      reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

bool LookUpAll(HMODULE library, Winsock& api) {
  Look(library, "WSAStartup", api.startup);
  Look(library, "WSACleanup", api.cleanup);
  Look(library, "WSAGetLastError", api.last_error);
  Look(library, "socket", api.socket);
  Look(library, "bind", api.bind);
  Look(library, "setsockopt", api.setsockopt);
  Look(library, "getsockopt", api.getsockopt);
  Look(library, "ioctlsocket", api.ioctlsocket);
  Look(library, "connect", api.connect);
  Look(library, "getsockname", api.getsockname);
  Look(library, "getpeername", api.getpeername);
  Look(library, "gethostbyname", api.gethostbyname);
  Look(library, "inet_addr", api.inet_addr);
  Look(library, "select", api.select);
  Look(library, "send", api.send);
  Look(library, "recv", api.recv);
  Look(library, "shutdown", api.shutdown);
  Look(library, "closesocket", api.closesocket);
  Look(library, "listen", api.listen);
  Look(library, "accept", api.accept);
  return api.startup && api.cleanup && api.last_error && api.socket && api.bind && api.setsockopt &&
         api.getsockopt && api.ioctlsocket && api.connect && api.getsockname && api.getpeername &&
         api.gethostbyname && api.inet_addr && api.select && api.send && api.recv && api.shutdown &&
         api.closesocket && api.listen && api.accept;
}

constexpr int kNotStarted = 10093;  // WSANOTINITIALISED
constexpr int kWouldBlock = 10035;  // WSAEWOULDBLOCK
constexpr int kTimedOut = 10060;    // WSAETIMEDOUT
constexpr int kRefused = 10061;     // WSAECONNREFUSED

// The entry points, or nullptr while the stack is not started.
const Winsock* Api() {
  const Stack& stack = TheStack();
  return stack.starts > 0 ? &stack.api : nullptr;
}

std::uint32_t FromNetwork(std::uint32_t value) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(&value);
  return static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
         static_cast<std::uint32_t>(b[2]) << 8 | b[3];
}

std::uint32_t ToNetwork(std::uint32_t value) {
  return FromNetwork(value);
}  // its own inverse

std::uint16_t PortToNetwork(std::uint16_t port) {
  return static_cast<std::uint16_t>((port >> 8) | (port << 8));
}

sockaddr_in ToSockaddr(const SocketAddress& address) {
  sockaddr_in out{};
  out.sin_family = AF_INET;
  out.sin_addr.s_addr = ToNetwork(address.address);
  out.sin_port = PortToNetwork(address.port);
  return out;
}

SocketAddress FromSockaddr(const sockaddr_in& in) {
  return SocketAddress{FromNetwork(in.sin_addr.s_addr), PortToNetwork(in.sin_port)};
}

SOCKET Handle(SocketId socket) {
  return static_cast<SOCKET>(socket);
}

// Runs one call of the library: 0 when it succeeded, else the library's error number.
template <typename Call>
int Checked(Call call) {
  const Winsock* api = Api();
  if (api == nullptr) return kNotStarted;
  return call(*api) == SOCKET_ERROR ? api->last_error() : 0;
}

// One select on the one socket for the sets given (each set is filled with it); ready is the
// count select returned. A negative timeout waits without a limit.
int Select(SocketId socket, int timeout_ms, fd_set* read, fd_set* write, fd_set* failed,
           int& ready) {
  for (fd_set* set : {read, write, failed}) {
    if (set == nullptr) continue;
    FD_ZERO(set);
    FD_SET(Handle(socket), set);
  }
  const timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  return Checked([&](const Winsock& api) {
    ready = api.select(0, read, write, failed, timeout_ms < 0 ? nullptr : &limit);
    return ready;
  });
}

}  // namespace

SocketStackStart StartSocketStack() {
  Stack& stack = TheStack();
  if (stack.starts > 0) {
    ++stack.starts;
    return SocketStackStart::kStarted;
  }
  if (stack.library == nullptr) {
    stack.library = LoadLibraryA(kLibraryName);
    if (stack.library == nullptr) return SocketStackStart::kLibraryNotLoaded;
    if (!LookUpAll(stack.library, stack.api)) {
      FreeLibrary(stack.library);
      stack.library = nullptr;
      stack.api = {};
      return SocketStackStart::kStartupFailed;
    }
  }
  WSADATA data{};
  if (stack.api.startup(kVersion11, &data) != 0) return SocketStackStart::kStartupFailed;
  stack.starts = 1;
  return SocketStackStart::kStarted;
}

void StopSocketStack() {
  Stack& stack = TheStack();
  if (stack.starts == 0 || --stack.starts > 0) return;
  stack.api.cleanup();
}

const char* SocketLibraryName() {
  return kLibraryName;
}

int OpenStreamSocket(SocketId& socket) {
  const Winsock* api = Api();
  if (api == nullptr) return kNotStarted;
  const SOCKET handle = api->socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (handle == INVALID_SOCKET) return api->last_error();
  socket = static_cast<SocketId>(handle);
  return 0;
}

int BindSocket(SocketId socket, const SocketAddress& local) {
  const sockaddr_in address = ToSockaddr(local);
  return Checked([&](const Winsock& api) {
    return api.bind(Handle(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  });
}

int SetNoDelay(SocketId socket) {
  const BOOL one = TRUE;
  return Checked([&](const Winsock& api) {
    return api.setsockopt(Handle(socket), IPPROTO_TCP, TCP_NODELAY,
                          reinterpret_cast<const char*>(&one), sizeof one);
  });
}

int SetNonBlocking(SocketId socket) {
  u_long on = 1;
  return Checked([&](const Winsock& api) { return api.ioctlsocket(Handle(socket), FIONBIO, &on); });
}

int ConnectSocket(SocketId socket, const SocketAddress& peer, int timeout_ms) {
  const sockaddr_in address = ToSockaddr(peer);
  const int error = Checked([&](const Winsock& api) {
    return api.connect(Handle(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  });
  if (error != kWouldBlock) return error;
  // A non-blocking connect: the socket turns writable when it is made, and lands in the
  // exception set when it failed, with the reason in its error option.
  fd_set writable;
  fd_set failed;
  int ready = 0;
  const int wait_error = Select(socket, timeout_ms, nullptr, &writable, &failed, ready);
  if (wait_error != 0) return wait_error;
  if (ready == 0) return kTimedOut;
  // The sets hold the one socket or nothing (FD_ISSET would need the library's own helper).
  if (failed.fd_count == 0) return 0;
  int result = 0;
  int length = sizeof result;
  const int option_error = Checked([&](const Winsock& api) {
    return api.getsockopt(Handle(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&result),
                          &length);
  });
  if (option_error != 0) return option_error;
  return result != 0 ? result : kRefused;
}

int LocalAddress(SocketId socket, SocketAddress& local) {
  sockaddr_in address{};
  int length = sizeof address;
  const int error = Checked([&](const Winsock& api) {
    return api.getsockname(Handle(socket), reinterpret_cast<sockaddr*>(&address), &length);
  });
  if (error == 0) local = FromSockaddr(address);
  return error;
}

int PeerAddress(SocketId socket, SocketAddress& peer) {
  sockaddr_in address{};
  int length = sizeof address;
  const int error = Checked([&](const Winsock& api) {
    return api.getpeername(Handle(socket), reinterpret_cast<sockaddr*>(&address), &length);
  });
  if (error == 0) peer = FromSockaddr(address);
  return error;
}

int ResolveHostName(const std::string& name, std::uint32_t& address) {
  const Winsock* api = Api();
  if (api == nullptr) return kNotStarted;
  // A dotted address needs no lookup (and Winsock 1.1 does not promise to do it).
  const unsigned long numeric = api->inet_addr(name.c_str());
  if (numeric != INADDR_NONE && !name.empty()) {
    address = FromNetwork(static_cast<std::uint32_t>(numeric));
    return 0;
  }
  const hostent* host = api->gethostbyname(name.c_str());
  if (host == nullptr || host->h_addrtype != AF_INET || host->h_addr_list == nullptr ||
      host->h_addr_list[0] == nullptr) {
    const int error = api->last_error();
    return error != 0 ? error : 11001;  // WSAHOST_NOT_FOUND
  }
  std::uint32_t raw = 0;
  CopyMemory(&raw, host->h_addr_list[0], sizeof raw);
  address = FromNetwork(raw);
  return 0;
}

int WaitReadable(SocketId socket, int timeout_ms, bool& readable) {
  fd_set set;
  int ready = 0;
  const int error = Select(socket, timeout_ms, &set, nullptr, nullptr, ready);
  if (error == 0) readable = ready > 0;
  return error;
}

int WaitWritable(SocketId socket, int timeout_ms, bool& writable) {
  fd_set set;
  int ready = 0;
  const int error = Select(socket, timeout_ms, nullptr, &set, nullptr, ready);
  if (error == 0) writable = ready > 0;
  return error;
}

int SendBytes(SocketId socket, const char* bytes, std::size_t count, std::size_t& transferred) {
  int sent = 0;
  const int error = Checked([&](const Winsock& api) {
    sent = api.send(Handle(socket), bytes, static_cast<int>(count), 0);
    return sent;
  });
  if (error == 0) transferred = static_cast<std::size_t>(sent);
  return error;
}

int ReceiveBytes(SocketId socket, char* bytes, std::size_t count, std::size_t& transferred) {
  int received = 0;
  const int error = Checked([&](const Winsock& api) {
    received = api.recv(Handle(socket), bytes, static_cast<int>(count), 0);
    return received;
  });
  if (error == 0) transferred = static_cast<std::size_t>(received);
  return error;
}

void CloseSocket(SocketId socket) {
  const Winsock* api = Api();
  if (api == nullptr) return;
  api->shutdown(Handle(socket), 1);  // SD_SEND
  api->closesocket(Handle(socket));
}

int ListenSocket(SocketId socket, int backlog) {
  return Checked([&](const Winsock& api) { return api.listen(Handle(socket), backlog); });
}

int AcceptSocket(SocketId socket, SocketId& accepted) {
  const Winsock* api = Api();
  if (api == nullptr) return kNotStarted;
  const SOCKET handle = api->accept(Handle(socket), nullptr, nullptr);
  if (handle == INVALID_SOCKET) return api->last_error();
  accepted = static_cast<SocketId>(handle);
  return 0;
}

}  // namespace zarn::platform
