#include "net/ftp_client.h"

#include <charconv>
#include <memory>

#include "common/integer_conversion.h"
#include "common/text.h"
#include "net/net_exceptions.h"
#include "net/resume_sink.h"
#include "net/streams.h"
#include "platform/files.h"

namespace zarn {

namespace {

// Sets the transfer's data connection for its lifetime and clears it on every path.
class DataConnectionScope {
 public:
  DataConnectionScope(TTcpClient*& slot, TTcpClient* connection) : slot_(slot) {
    slot_ = connection;
  }
  ~DataConnectionScope() { slot_ = nullptr; }
  DataConnectionScope(const DataConnectionScope&) = delete;
  DataConnectionScope& operator=(const DataConnectionScope&) = delete;

 private:
  TTcpClient*& slot_;
};

// A write-only stream over another that counts what passes and refuses to pass more than its
// limit, so that a server that never stops sending fills no more than that.
class TLimitedStream : public TStream {
 public:
  TLimitedStream(TStream& target, std::uint64_t limit) : target_(target), limit_(limit) {}

  std::size_t Read(char* bytes, std::size_t count) override { return target_.Read(bytes, count); }
  void Write(const char* bytes, std::size_t count) override {
    if (count > limit_ - written_) {
      throw ENetLimitExceeded("Download larger than " + std::to_string(limit_) + " bytes.");
    }
    target_.Write(bytes, count);
    written_ += count;
  }
  std::int64_t Size() const override { return target_.Size(); }
  std::int64_t Position() const override { return target_.Position(); }
  void Seek(std::int64_t position) override { target_.Seek(position); }
  void SetSize(std::int64_t size) override { target_.SetSize(size); }

  std::uint64_t Written() const { return written_; }

 private:
  TStream& target_;
  std::uint64_t limit_;
  std::uint64_t written_ = 0;
};

std::vector<std::string> SplitAt(std::string_view text, char separator) {
  std::vector<std::string> fields;
  for (;;) {
    const auto at = text.find(separator);
    fields.emplace_back(text.substr(0, at));
    if (at == std::string_view::npos) break;
    text.remove_prefix(at + 1);
  }
  return fields;
}

}  // namespace

TFtpClient::~TFtpClient() = default;

void TFtpClient::SetTransferType(TFtpTransferType type) {
  if (type == transfer_type_ || data_connection_ != nullptr) return;
  transfer_type_ = type;
  if (socket_.HandleAllocated()) SendTypeCommand();
}

void TFtpClient::Connect(bool auto_login) {
  try {
    TTcpClient::Connect();
    ReadReply({220});
    if (auto_login) Login();
  } catch (...) {
    try {
      Disconnect();
    } catch (...) {
      // The failure that ended the connect is the one to report.
    }
    throw;
  }
}

void TFtpClient::Login() {
  if (SendCommand("user " + User, {230, 331}) == 331) SendCommand("pass " + Password, {230});
  SendTypeCommand();
  if (SendCommand("syst", {200, 215, 500}) == 500) {
    system_description_ = "Unknown";
  } else {
    system_description_ = ReplyText.size() > 3 ? ReplyText.substr(3) : std::string();
  }
}

void TFtpClient::SendTypeCommand() {
  SendCommand(transfer_type_ == TFtpTransferType::ftBinary ? "type I" : "type A", {200});
}

void TFtpClient::ChangeDir(const std::string& directory) {
  SendCommand("CWD " + directory, {250});
}

void TFtpClient::ChangeDirUp() {
  SendCommand("CDUP", {250});
}

std::vector<std::string> TFtpClient::SplitListing(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t start = i;
    while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
    lines.emplace_back(text.substr(start, i - start));
    if (i < text.size() && text[i] == '\r') ++i;
    if (i < text.size() && text[i] == '\n') ++i;
  }
  return lines;
}

void TFtpClient::List(std::vector<std::string>& dest, const std::string& specifier, bool details) {
  TMemoryStream listing(kMaxListingSize,
                        "Listing larger than " + std::to_string(kMaxListingSize) + " bytes.");
  const std::string command = (details ? "list " : "nlst ") + specifier;
  Transfer(std::string(Trim(command)), listing, Direction::kReceive);
  dest = SplitListing(listing.Bytes());
}

std::uint64_t TFtpClient::Get(const std::string& remote_name, const std::string& local_path,
                              bool can_overwrite, std::uint64_t max_bytes) {
  if (!can_overwrite && platform::FileExists(local_path)) throw ENetFTPFileAlreadyExists();
  TFileStream file(local_path, TFileStream::Mode::kCreate);
  TLimitedStream limited(file, max_bytes);
  Get(remote_name, limited);
  file.Close();
  return limited.Written();
}

void TFtpClient::Get(const std::string& remote_name, TStream& dest) {
  Transfer("retr " + remote_name, dest, Direction::kReceive);
}

std::optional<std::int64_t> TFtpClient::RemoteSize(const std::string& remote_name) {
  if (SendCommand("SIZE " + remote_name) != 213) return std::nullopt;
  const std::string_view text = Trim(std::string_view(ReplyText).substr(3));
  std::int64_t size = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
  if (error != std::errc() || end != text.data() + text.size() || size < 0) return std::nullopt;
  return size;
}

TFtpClient::ContinuedGet TFtpClient::GetContinued(const std::string& remote_name,
                                                  const std::string& local_path,
                                                  std::optional<std::int64_t> expected_size,
                                                  std::int64_t max_bytes) {
  TFileStream file(local_path, TFileStream::Mode::kUpdate);
  const std::int64_t partial = file.Size();
  // Some servers refuse a restart, or a transfer after one, in ASCII mode.
  transfer_type_ = TFtpTransferType::ftBinary;
  SendTypeCommand();
  const std::optional<std::int64_t> remote_size = RemoteSize(remote_name);
  if (expected_size && remote_size && *remote_size != *expected_size) {
    throw ENetFTPSizeMismatch(remote_name, *remote_size, *expected_size);
  }
  const std::optional<std::int64_t> known_size = expected_size ? expected_size : remote_size;
  // A partial file longer than the remote file or the limit is no prefix of it; and vsftpd, for
  // one, accepts a restart past the end and then sends nothing.
  std::int64_t offset = partial - kResumeOverlap;
  if (offset <= 0 || (known_size && partial > *known_size) ||
      (max_bytes >= 0 && partial > max_bytes)) {
    offset = 0;
  }
  TResumeSink sink(file, partial, known_size, max_bytes);
  bool restarted = false;
  const auto restart = [&] {
    // The restart goes right before the transfer command, after the passive-mode exchange.
    restarted = offset > 0 && SendCommand("REST " + std::to_string(offset)) == 350;
    sink.Begin(restarted ? offset : 0);
  };
  bool whole_again = false;
  try {
    Transfer("retr " + remote_name, sink, Direction::kReceive, restart);
    whole_again = !sink.Finished();
  } catch (const EResumeMismatch&) {
    SkipPendingReplies();
    whole_again = true;
  } catch (const ENetProtocolReplyError&) {
    // A transfer refused after a restart (an offset the server will not take) is tried whole;
    // one that broke off after bytes came keeps them for the next try.
    if (!restarted || sink.Received() > 0) throw;
    whole_again = true;
  }
  if (whole_again) {
    offset = 0;
    Transfer("retr " + remote_name, sink, Direction::kReceive, restart);
  }
  file.Close();
  return {sink.Resumed(), sink.Resumed() ? partial : 0, sink.Received()};
}

void TFtpClient::SkipPendingReplies() {
  constexpr int kMostPendingReplies = 4;
  WriteLine("NOOP");
  for (int i = 0; i < kMostPendingReplies; ++i) {
    if (ReadReply() == 200) return;
  }
}

void TFtpClient::Put(TStream& source, const std::string& remote_name, bool append) {
  std::string command;
  if (remote_name.empty()) {
    command = "STOU ";
  } else {
    command = (append ? "APPE " : "STOR ") + remote_name;
  }
  Transfer(command, source, Direction::kSend);
}

void TFtpClient::Quit() {
  if (!IsConnected()) return;
  try {
    WriteLine("Quit");
  } catch (...) {
    Disconnect();
    throw;
  }
  Disconnect();
}

void TFtpClient::Abort() {
  if (IsConnected()) WriteLine("ABOR");
  if (data_connection_ != nullptr) data_connection_->Disconnect();
}

TFtpClient::PassiveAddress TFtpClient::RequestPassiveAddress() {
  SendCommand("PASV", {227});
  const std::string_view line = Trim(ReplyText);
  std::string_view kept;
  const auto open = line.find('(');
  const auto close = line.find(')');
  if (open != std::string_view::npos && close != std::string_view::npos) {
    kept = close > open ? line.substr(open + 1, close - open - 1) : std::string_view();
  } else {
    const auto blank = line.rfind(' ');
    kept = blank == std::string_view::npos ? line : line.substr(blank + 1);
  }
  std::vector<std::string> fields = SplitAt(kept, ',');
  fields.resize(std::max<std::size_t>(fields.size(), 6));
  PassiveAddress result;
  result.host = fields[0] + "." + fields[1] + "." + fields[2] + "." + fields[3];
  const std::int64_t high = TextToInt32(fields[4]);
  const std::int64_t low = TextToInt32(fields[5]);
  const std::int64_t port = high * 256 + low;
  // A port outside the TCP range would otherwise be cut to 16 bits and reach a port that the
  // server never announced.
  if (port <= 0 || port > 65535) throw ENetProtocolReplyError(ReplyCode, ReplyText);
  result.port = static_cast<int>(port);
  return result;
}

void TFtpClient::Transfer(const std::string& command, TStream& stream, Direction direction,
                          const std::function<void()>& before_command) {
  const PassiveAddress passive = RequestPassiveAddress();
  announced_data_host_ = passive.host;
  if (before_command) before_command();
  WriteLine(command);
  {
    auto data = std::make_unique<TTcpClient>();
    const DataConnectionScope scope(data_connection_, data.get());
    data->OnWorkBegin = OnWorkBegin;
    data->OnWork = OnWork;
    data->OnWorkEnd = OnWorkEnd;
    data->IdleTimeoutMs = IdleTimeoutMs;
    data->RecvBufferSize = RecvBufferSize;
    data->SendBufferSize = SendBufferSize;
    data->Host = socket_.PeerAddress();
    data->Port = passive.port;
    try {
      data->Connect();
      if (direction == Direction::kReceive) {
        ReadReply({125, 150});
        data->ReadToStream(stream);
      } else {
        ReadReply({110, 125, 150});
        try {
          data->WriteFromStream(stream, false);
        } catch (const ENetSocketError& error) {
          // A data socket closed under the upload: the transfer has ended, and the server's
          // reply on the control connection says how.
          if (error.ErrorCode() != 10038) throw;
        }
      }
      data->Disconnect();
    } catch (...) {
      data->Disconnect();
      throw;
    }
  }
  if (ReadReply({225, 226, 250, 426}) == 426) {
    // Some servers confirm a transfer they reported broken with a 226 at once; most send nothing
    // more after a dropped data connection, and waiting for their silence to time out would
    // close the control connection, which the next try needs. A late 226 is read as a stale reply.
    const std::string text = ReplyText;
    if (ReceiveBuffer().empty() && ReadFromSocket(false, kReplyAfter426Ms, nullptr, 0, true) == 0) {
      throw ENetProtocolReplyError(426, text);
    }
    ReadReply({226});
  }
}

}  // namespace zarn
