// Blocking IPv4 stream sockets, as the FTP client needs them. Every failure is reported as a
// Windows socket error number (10061 connection refused, 10054 reset, 10060 timed out, ...) on
// both back ends, so that the client's numbers and messages are one; 0 means success. Name-lookup
// failures carry the Windows lookup numbers (11001 host not found, 11002 try again, 11003 no
// recovery, 11004 no data), which lie outside the table of socket errors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zarn::platform {

using SocketId = std::intptr_t;
inline constexpr SocketId kNoSocket = -1;

// An IPv4 address (a.b.c.d as a << 24 | b << 16 | c << 8 | d) and a port.
struct SocketAddress {
  std::uint32_t address = 0;
  std::uint16_t port = 0;
};

enum class SocketStackStart {
  kStarted,
  kLibraryNotLoaded,  // the socket library file could not be loaded
  kStartupFailed,     // the library refused to start
};

// Starts and stops the platform's socket library. Starts and stops nest; the library is loaded by
// the first start and unloaded by the matching last stop.
SocketStackStart StartSocketStack();
void StopSocketStack();
// The file name of the socket library, for the message when it cannot be loaded.
const char* SocketLibraryName();

int OpenStreamSocket(SocketId& socket);
// Switches the socket to non-blocking calls: a send that finds the send buffer full and a receive
// that finds nothing report 10035 (would block) instead of waiting.
int SetNonBlocking(SocketId socket);
int BindSocket(SocketId socket, const SocketAddress& local);
int SetNoDelay(SocketId socket);
// Connects to the peer. On a non-blocking socket it waits at most timeout_ms for the connection to
// be made (10060 when it is not); a negative timeout leaves the limit to the system.
int ConnectSocket(SocketId socket, const SocketAddress& peer, int timeout_ms = -1);
int LocalAddress(SocketId socket, SocketAddress& local);
int PeerAddress(SocketId socket, SocketAddress& peer);
// Looks a host name up and gives its first IPv4 address.
int ResolveHostName(const std::string& name, std::uint32_t& address);

// Waits until the socket is readable (data, a close or an error is pending) or timeout_ms has
// passed; a negative timeout waits without a time limit.
int WaitReadable(SocketId socket, int timeout_ms, bool& readable);
// Waits until a send can move at least one byte (or an error is pending), the same way.
int WaitWritable(SocketId socket, int timeout_ms, bool& writable);
// One send or receive call; transferred is the byte count (0 on a receive: the peer closed).
int SendBytes(SocketId socket, const char* bytes, std::size_t count, std::size_t& transferred);
int ReceiveBytes(SocketId socket, char* bytes, std::size_t count, std::size_t& transferred);
// Shuts down the sending side and closes the socket; errors are of no interest at that point.
void CloseSocket(SocketId socket);

// Listening and accepting, used by test servers that run inside the test programs.
int ListenSocket(SocketId socket, int backlog);
int AcceptSocket(SocketId socket, SocketId& accepted);

}  // namespace zarn::platform
