// Arbitrary bytes from a server on the control connection: replies are read one after another
// until the stream ends, and every reply read must be well formed; the same bytes as a listing.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/ftp_client.h"
#include "net/net_exceptions.h"
#include "platform/sockets.h"

namespace {

// One listener on 127.0.0.1 for the whole run; each input is one connection.
struct Listener {
  Listener() {
    zarn::platform::StartSocketStack();
    zarn::platform::OpenStreamSocket(socket);
    zarn::platform::SocketAddress local{0x7F000001, 0};
    zarn::platform::BindSocket(socket, local);
    zarn::platform::ListenSocket(socket, 4);
    zarn::platform::LocalAddress(socket, local);
    port = local.port;
  }
  zarn::platform::SocketId socket = zarn::platform::kNoSocket;
  int port = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Listener listener;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  zarn::TFtpClient::SplitListing(bytes);

  zarn::TTcpClient client;
  client.Host = "127.0.0.1";
  client.Port = listener.port;
  try {
    client.Connect();
  } catch (const zarn::ENetSocketError&) {
    return 0;  // the machine ran short of ports for a moment; not the reader's business
  }
  zarn::platform::SocketId server = zarn::platform::kNoSocket;
  if (zarn::platform::AcceptSocket(listener.socket, server) != 0) std::abort();
  std::size_t sent = 0;
  if (size > 0) zarn::platform::SendBytes(server, bytes.data(), bytes.size(), sent);
  zarn::platform::CloseSocket(server);
  try {
    for (;;) {
      client.ReadReply();
      if (client.ReplyLines.empty() || client.ReplyText != client.ReplyLines.back()) std::abort();
      for (const auto& line : client.ReplyLines) {
        if (line.empty() || static_cast<unsigned char>(line.front()) <= ' ' ||
            static_cast<unsigned char>(line.back()) <= ' ') {
          std::abort();
        }
      }
    }
  } catch (const zarn::ENetConnClosedGracefully&) {
  } catch (const zarn::ENetLimitExceeded&) {
  }
  return 0;
}
