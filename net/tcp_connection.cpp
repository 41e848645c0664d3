#include "net/tcp_connection.h"

#include <algorithm>

#include "common/integer_conversion.h"
#include "common/text.h"
#include "net/message_pump_base.h"
#include "net/net_exceptions.h"
#include "net/streams.h"

namespace zarn {

namespace {

constexpr int kErrorShutdown = 10058;
constexpr int kErrorWouldBlock = 10035;
constexpr int kErrorTimedOut = 10060;

}  // namespace

TTcpConnection::~TTcpConnection() {
  // Going away closes the socket quietly: handlers of a dying component are not called.
  OnDisconnected = nullptr;
  OnStatus = nullptr;
  socket_.CloseHandle();
}

bool TTcpConnection::IsConnected() {
  CheckClosed(false, false);
  return socket_.HandleAllocated();
}

void TTcpConnection::CloseConnection() {
  if (!socket_.HandleAllocated()) return;
  DoStatus(TNetStatus::statusDisconnecting, socket_.PeerAddress());
  socket_.CloseHandle(true);
  closed_ = true;
  DoStatus(TNetStatus::statusDisconnected);
  if (OnDisconnected) OnDisconnected(*this);
}

void TTcpConnection::CheckClosed(bool raise, bool ignore_buffer) {
  if (!closed_ && socket_.HandleAllocated()) return;
  if (socket_.HandleAllocated()) CloseConnection();
  if (raise && (buffer_.empty() || ignore_buffer)) throw ENetConnClosedGracefully();
}

void TTcpConnection::ResetState() {
  socket_.Reset();
  buffer_.clear();
  closed_ = false;
}

int TTcpConnection::IdleLimit() const {
  if (IdleTimeoutMs == 0) return kInfiniteTimeout;
  return static_cast<int>(std::min<std::uint32_t>(IdleTimeoutMs, INT32_MAX));
}

void TTcpConnection::AwaitServer(bool for_writing) {
  int limit = IdleLimit();
  if (low_speed_) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(low_speed_->Deadline() -
                                                                   TLowSpeedWindow::Clock::now());
    if (left.count() <= 0) TimedOut();
    if (limit == kInfiniteTimeout || left.count() < limit) limit = static_cast<int>(left.count());
  }
  if (for_writing ? socket_.WaitWritable(limit) : socket_.WaitReadable(limit)) return;
  TimedOut();
}

void TTcpConnection::TimedOut() {
  // The server has gone silent, or trickles too slowly to finish: whatever it might still send
  // would answer a step that is over.
  CloseConnection();
  throw ENetSocketError(kErrorTimedOut);
}

template <typename Body>
void TTcpConnection::UnderLowSpeedRule(Body body) {
  if (low_speed_ || IdleTimeoutMs == 0) {
    body();
    return;
  }
  low_speed_.emplace(std::chrono::milliseconds(IdleTimeoutMs), TLowSpeedWindow::Clock::now());
  try {
    body();
  } catch (...) {
    low_speed_.reset();
    throw;
  }
  low_speed_.reset();
}

void TTcpConnection::CountMoved(std::size_t bytes) {
  if (low_speed_) low_speed_->Moved(bytes, TLowSpeedWindow::Clock::now());
}

std::size_t TTcpConnection::ReadFromSocket(bool raise, int timeout_ms, char* destination,
                                           std::size_t size, bool into_buffer) {
  CheckClosed(raise, false);
  if (!socket_.HandleAllocated()) return 0;
  if (destination == nullptr) {
    scratch_.resize(static_cast<std::size_t>(std::max(RecvBufferSize, 1)));
    destination = scratch_.data();
    size = scratch_.size();
  }
  std::size_t count = 0;
  int error = kErrorWouldBlock;
  while (error == kErrorWouldBlock) {
    if (timeout_ms == kInfiniteTimeout) {
      AwaitServer(false);
    } else if (!socket_.WaitReadable(timeout_ms)) {
      return 0;
    }
    error = socket_.Receive(destination, size, count);
  }
  if (error == 0 && count == 0) closed_ = true;
  if (error == 0) CountMoved(count);
  if (error == kErrorShutdown) {
    count = 0;
    CloseConnection();
    if (buffer_.empty()) throw ENetSocketError(kErrorShutdown);
  } else if (error != 0) {
    throw ENetSocketError(error);
  }
  if (into_buffer) {
    buffer_.append(destination, count);
  } else {
    DoWork(TWorkMode::workRead, static_cast<std::int64_t>(count));
  }
  CheckClosed(raise, false);
  return count;
}

std::string TTcpConnection::ReadLine(std::string_view terminator, int timeout_ms) {
  const bool default_terminator = terminator.empty();
  if (default_terminator) terminator = "\n";
  std::size_t found;
  for (;;) {
    found = buffer_.empty() ? std::string::npos : buffer_.find(terminator);
    // One byte more than the limit leaves room for the CR of a CR LF line end.
    if (std::min(found, buffer_.size()) > kMaxLineLength + 1) {
      CloseConnection();
      buffer_.clear();
      throw ENetLimitExceeded("Line longer than " + std::to_string(kMaxLineLength) + " bytes.");
    }
    if (found != std::string::npos) break;
    CheckClosed(true, true);
    if (ReadFromSocket(true, timeout_ms, nullptr, 0, true) == 0) return {};
  }
  const std::size_t taken = found + terminator.size();
  std::string line = buffer_.substr(0, found);
  buffer_.erase(0, taken);
  DoWork(TWorkMode::workRead, static_cast<std::int64_t>(taken));
  if (default_terminator && !line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string TTcpConnection::ReadNonEmptyLine() {
  ReplyBudget unlimited{static_cast<std::size_t>(-1), static_cast<std::size_t>(-1)};
  return ReadNonEmptyLine(unlimited);
}

std::string TTcpConnection::ReadNonEmptyLine(ReplyBudget& budget) {
  for (;;) {
    const std::string line = ReadLine();
    const std::size_t bytes = line.size() + 1;
    if (budget.lines == 0 || budget.bytes < bytes) {
      // A reply that never ends would otherwise grow without bound (or never return).
      CloseConnection();
      buffer_.clear();
      throw ENetLimitExceeded("Reply longer than " + std::to_string(kMaxReplyLines) + " lines or " +
                              std::to_string(kMaxReplyBytes) + " bytes.");
    }
    --budget.lines;
    budget.bytes -= bytes;
    const std::string_view trimmed = Trim(line);
    if (!trimmed.empty()) return std::string(trimmed);
  }
}

std::int16_t TTcpConnection::ReadReply(TReplyCodes accepted) {
  ReplyLines.clear();
  UnderLowSpeedRule([&] {
    ReplyBudget budget{kMaxReplyLines, kMaxReplyBytes};
    ReplyLines.push_back(ReadNonEmptyLine(budget));
    const std::string first = ReplyLines.front();
    if (first.size() > 3 && first[3] == '-') {
      const std::string end_marker = first.substr(0, 3) + " ";
      for (;;) {
        ReplyLines.push_back(ReadNonEmptyLine(budget));
        const std::string& line = ReplyLines.back();
        if (line.size() < 4 || EqualsIgnoringCase(line.substr(0, 4), end_marker)) break;
      }
    }
  });
  ReplyText = ReplyLines.back();
  const std::string_view text = ReplyText;
  if (EqualsIgnoringCase(text.substr(0, 3), "+OK")) {
    ReplyCode = 1;
  } else if (EqualsIgnoringCase(text.substr(0, 4), "-ERR")) {
    ReplyCode = 0;
  } else {
    ReplyCode =
        static_cast<std::int16_t>(ParseInt32(text.substr(0, 3), IntegerForms::Decimal).value_or(0));
  }
  return CheckReply(ReplyCode, accepted);
}

std::int16_t TTcpConnection::CheckReply(std::int16_t code, TReplyCodes accepted) {
  if (accepted.size() != 0 && std::find(accepted.begin(), accepted.end(), code) == accepted.end()) {
    throw ENetProtocolReplyError(ReplyCode, ReplyText);
  }
  return code;
}

std::int16_t TTcpConnection::SendCommand(const std::string& text, TReplyCodes accepted) {
  if (!text.empty()) WriteLine(text);
  return ReadReply(accepted);
}

void TTcpConnection::WriteText(std::string_view text) {
  if (!text.empty()) WriteBytes(text.data(), text.size());
}

void TTcpConnection::WriteLine(std::string_view text) {
  std::string line(text);
  line += "\r\n";
  WriteText(line);
}

void TTcpConnection::WriteBytes(const char* bytes, std::size_t count) {
  if (count == 0) return;
  CheckClosed(true, true);
  while (count > 0) {
    std::size_t sent = 0;
    const int error = socket_.Send(bytes, count, sent);
    if (error == kErrorWouldBlock) {
      // The server takes nothing just now: wait until it does, or until the idle limit.
      AwaitServer(true);
      continue;
    }
    TMessagePumpBase::PumpIfDue(false, false);
    if (error == 0 && sent == 0) closed_ = true;
    CheckClosed(true, false);
    if (error == kErrorShutdown) {
      CloseConnection();
      throw ENetSocketError(kErrorShutdown);
    }
    if (error != 0) throw ENetSocketError(error);
    CountMoved(sent);
    DoWork(TWorkMode::workWrite, static_cast<std::int64_t>(sent));
    bytes += sent;
    count -= sent;
  }
}

template <typename Body>
void TTcpConnection::InWorkBracket(TWorkMode mode, std::int64_t count_max, Body body) {
  DoWorkBegin(mode, count_max);
  try {
    body();
  } catch (...) {
    try {
      DoWorkEnd(mode);
    } catch (...) {
      // The transfer's own failure is the one to report.
    }
    throw;
  }
  // On success the end event fires here, where a handler's exception reaches the caller.
  DoWorkEnd(mode);
}

void TTcpConnection::WriteFromStream(TStream& stream, bool from_start) {
  if (from_start) stream.Seek(0);
  std::int64_t remaining = std::max<std::int64_t>(stream.Size() - stream.Position(), 0);
  InWorkBracket(TWorkMode::workWrite, remaining, [&] {
    UnderLowSpeedRule([&] {
      const auto chunk_size = static_cast<std::size_t>(std::max(SendBufferSize, 1));
      std::vector<char> chunk(chunk_size);
      while (remaining > 0) {
        const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(remaining, chunk_size));
        const std::size_t got = stream.Read(chunk.data(), wanted);
        if (got == 0) throw ENetNoDataToRead();
        WriteBytes(chunk.data(), got);
        remaining -= static_cast<std::int64_t>(got);
      }
    });
  });
}

void TTcpConnection::ReadToStream(TStream& stream) {
  InWorkBracket(TWorkMode::workRead, 0, [&] {
    UnderLowSpeedRule([&] {
      if (!buffer_.empty()) {
        stream.Write(buffer_.data(), buffer_.size());
        buffer_.clear();
      }
      scratch_.resize(static_cast<std::size_t>(std::max(RecvBufferSize, 1)));
      while (socket_.HandleAllocated()) {
        const std::size_t count =
            ReadFromSocket(false, kInfiniteTimeout, scratch_.data(), scratch_.size(), false);
        if (count > 0) stream.Write(scratch_.data(), count);
      }
    });
  });
  // A reused stream that was longer ends where this transfer's bytes end.
  if (stream.Position() < stream.Size()) stream.SetSize(stream.Position());
}

}  // namespace zarn
