// A TCP connection: a socket, a receive buffer, line and numbered-reply reading, line and stream
// writing, status reports and the disconnect event. All calls block the calling thread; waits for
// data pump window messages between slices when a message pump is registered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/low_speed_window.h"
#include "net/net_component.h"
#include "net/socket_handle.h"
#include "net/socket_stack.h"

namespace zarn {

class TStream;

// The reply codes a step accepts; an empty list accepts every code.
using TReplyCodes = std::initializer_list<int>;

class TTcpConnection : public TNetComponent {
 public:
  // A reply or text line may hold at most this many bytes before its line end; a longer one
  // closes the connection and raises ENetLimitExceeded.
  static constexpr std::size_t kMaxLineLength = 64 * 1024;
  // A reply may hold at most this many lines and bytes (blank lines before and inside it
  // included); a longer one closes the connection and raises ENetLimitExceeded.
  static constexpr std::size_t kMaxReplyLines = 10000;
  static constexpr std::size_t kMaxReplyBytes = 4 * 1024 * 1024;

  TTcpConnection() = default;
  ~TTcpConnection() override;

  int RecvBufferSize = 32768;  // the most bytes one receive call reads
  int SendBufferSize = 32768;  // the chunk size of stream sends
  // How long any wait for the server (greeting, replies, data connections, transfers) may pass
  // without a byte before it closes the connection and raises ENetSocketError 10060 (timed out);
  // 0 waits for ever. Each byte that moves starts the limit again. It is also the window of the
  // low-speed rule: a reply or a transfer (ReadReply, ReadToStream, WriteFromStream) that has not
  // completed fails the same way once a window of this length passes in which fewer than
  // TLowSpeedWindow::kMinimumBytes moved. 0 turns both rules off.
  std::uint32_t IdleTimeoutMs = 0;

  // The last reply: all its lines, its last line and its code.
  std::vector<std::string> ReplyLines;
  std::string ReplyText;
  std::int16_t ReplyCode = 0;

  TNotifyEvent OnDisconnected;

  // Reports whether the socket is open, after closing it when a read or send has seen the peer
  // close. It does not probe the socket.
  bool IsConnected();
  void Disconnect() { CloseConnection(); }
  // When open: the disconnecting status, close, the disconnected status and OnDisconnected.
  void CloseConnection();
  // When the peer closed or the socket is gone: closes it, then raises ENetConnClosedGracefully
  // when raise is true and the receive buffer is empty (or ignore_buffer is true).
  void CheckClosed(bool raise, bool ignore_buffer);

  // One wait and one receive into destination (size bytes), or into the receive scratch when
  // destination is null; into_buffer appends what arrived to the receive buffer. Returns the byte
  // count, 0 when the wait timed out or the connection is closed. A wait of kInfiniteTimeout is
  // bounded by IdleTimeoutMs.
  std::size_t ReadFromSocket(bool raise, int timeout_ms, char* destination, std::size_t size,
                             bool into_buffer);
  // A line up to the terminator (LF when empty; a CR before the LF is dropped too). A read that
  // timed out gives an empty line.
  std::string ReadLine(std::string_view terminator = {}, int timeout_ms = kInfiniteTimeout);
  // Skips lines that are empty once blanks and control characters are trimmed from both ends.
  std::string ReadNonEmptyLine();
  // Reads one reply, single- or multi-line, and checks its code against accepted.
  std::int16_t ReadReply(TReplyCodes accepted = {});
  // ENetProtocolReplyError (ReplyText, ReplyCode) when code is not accepted.
  std::int16_t CheckReply(std::int16_t code, TReplyCodes accepted);
  // Writes the line (when text is not empty) and reads the reply.
  std::int16_t SendCommand(const std::string& text, TReplyCodes accepted = {});

  void WriteText(std::string_view text);
  void WriteLine(std::string_view text);
  void WriteBytes(const char* bytes, std::size_t count);
  // Sends the stream from its position (from its start with from_start) to its end in chunks of
  // SendBufferSize.
  void WriteFromStream(TStream& stream, bool from_start);
  // Copies everything that arrives into the stream until the peer closes the connection, then
  // cuts the stream at its position.
  void ReadToStream(TStream& stream);

  TSocketHandle& Socket() { return socket_; }
  const std::string& ReceiveBuffer() const { return buffer_; }

 protected:
  void ResetState();
  // The wait for the server that IdleTimeoutMs bounds, in milliseconds or kInfiniteTimeout.
  int IdleLimit() const;

  TSocketHandle socket_;

 private:
  // Waits until the socket can be read (or written) within the idle limit and, inside a reply or
  // a transfer, before the low-speed rule's deadline; when it cannot, closes the connection and
  // raises ENetSocketError 10060.
  void AwaitServer(bool for_writing);
  [[noreturn]] void TimedOut();
  // Runs body as one reply or transfer under the low-speed rule (the outermost one counts).
  template <typename Body>
  void UnderLowSpeedRule(Body body);
  void CountMoved(std::size_t bytes);
  // What a reply may still read: lines (blank ones included) and bytes (a line end counts one).
  struct ReplyBudget {
    std::size_t lines;
    std::size_t bytes;
  };
  // ReadNonEmptyLine that takes each line it reads off the budget; ENetLimitExceeded (closing the
  // connection) when the budget runs out.
  std::string ReadNonEmptyLine(ReplyBudget& budget);
  // Runs body between the work-begin and work-end events of mode; the end event fires on every
  // path, and an exception of its handler reaches the caller only when body succeeded.
  template <typename Body>
  void InWorkBracket(TWorkMode mode, std::int64_t count_max, Body body);

  std::string buffer_;
  std::vector<char> scratch_;
  bool closed_ = false;
  std::optional<TLowSpeedWindow> low_speed_;
};

}  // namespace zarn
