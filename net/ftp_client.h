// A blocking FTP client over one control connection, with passive data connections for listings,
// downloads and uploads. Replies are consumed strictly in order: a reply no step read stays in the
// stream and is taken by the next step that reads one.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "net/tcp_client.h"

namespace zarn {

class TStream;

enum class TFtpTransferType : std::uint8_t { ftBinary, ftASCII };

class TFtpClient : public TTcpClient {
 public:
  // A listing may hold at most this many bytes; a larger one ends with ENetLimitExceeded.
  static constexpr std::size_t kMaxListingSize = 64 * 1024 * 1024;

  TFtpClient() { Port = 21; }
  ~TFtpClient() override;

  std::string User;
  std::string Password;
  // Transfers always open their data connection from the client (passive mode); the setting is
  // kept for callers that set it.
  bool Passive = false;

  TFtpTransferType TransferType() const { return transfer_type_; }
  // Stores a different type unless a transfer is running, and sends the type command at once
  // when the control connection is open.
  void SetTransferType(TFtpTransferType type);

  // The "syst" reply from its fourth character on, or "Unknown" when the server answered 500.
  const std::string& SystemDescription() const { return system_description_; }
  // The data host announced by the last passive-mode reply. Data connections go to the control
  // connection's peer whatever it says, so that a server cannot aim the client at another host.
  const std::string& AnnouncedDataHost() const { return announced_data_host_; }

  // Connects, reads the greeting (220) and, with auto_login, logs in. Any failure closes the
  // control connection before the exception goes on.
  void Connect(bool auto_login = true);
  void ChangeDir(const std::string& directory);  // "CWD " + directory, 250
  void ChangeDirUp();                            // "CDUP", 250
  // Replaces dest by the lines of the listing ("nlst " or, with details, "list " + specifier).
  void List(std::vector<std::string>& dest, const std::string& specifier, bool details);
  // Downloads into a local file and returns the number of bytes received: ENetFTPFileAlreadyExists
  // when it exists and can_overwrite is false, EFCreateError when it cannot be created,
  // ENetLimitExceeded as soon as the server sends more than max_bytes (nothing past the limit is
  // written); a failed transfer leaves the file as far as it got.
  static constexpr std::uint64_t kUnlimited = ~std::uint64_t{0};
  std::uint64_t Get(const std::string& remote_name, const std::string& local_path,
                    bool can_overwrite, std::uint64_t max_bytes = kUnlimited);
  void Get(const std::string& remote_name, TStream& dest);

  // How a continued download went: resumed (the partial file's bytes kept, the rest appended) or
  // downloaded whole; and the bytes that came over data connections, overlaps included.
  struct ContinuedGet {
    bool resumed = false;
    std::int64_t kept = 0;
    std::int64_t received = 0;
  };
  // A resumed transfer starts this many bytes before the end of the partial file, and those
  // bytes must equal the partial file's.
  static constexpr std::int64_t kResumeOverlap = 4096;
  // Downloads into the file at local_path, continuing the partial file there (created when
  // missing): "type I", "SIZE" (ENetFTPSizeMismatch, before any transfer, when it differs from
  // expected_size), then "REST" a few KiB before the partial file's end and "retr". A refused
  // restart, a server that sends from the start anyway, an overlap that differs from the partial
  // file, a restarted transfer that ends within the overlap or a resumed file of the wrong size
  // all end in a whole download (in the same transfer where its bytes allow, else in a second
  // one). With max_bytes of 0 or more the file never grows beyond it (ENetLimitExceeded). A
  // failure leaves the file holding what it had and what arrived, ready for the next try.
  ContinuedGet GetContinued(const std::string& remote_name, const std::string& local_path,
                            std::optional<std::int64_t> expected_size, std::int64_t max_bytes = -1);
  // "SIZE " + name: the remote file's size, or nothing when the server does not tell it.
  std::optional<std::int64_t> RemoteSize(const std::string& remote_name);
  // Uploads the stream from its position: "STOR ", "APPE " with append, "STOU " for no name.
  void Put(TStream& source, const std::string& remote_name, bool append = false);
  // Sends "Quit" and closes, without reading the answer; nothing when already closed.
  void Quit();
  // Sends "ABOR" without reading a reply and closes a running transfer's data connection.
  void Abort();

  // The lines of a listing text: a line ends at CR LF, LF or a lone CR; the text ends at its
  // first NUL.
  static std::vector<std::string> SplitListing(std::string_view text);

 private:
  struct PassiveAddress {
    std::string host;
    int port = 0;
  };
  enum class Direction { kReceive, kSend };
  // How long a transfer's 426 may wait for the 226 that some servers send after it.
  static constexpr int kReplyAfter426Ms = 2000;

  void Login();
  void SendTypeCommand();
  PassiveAddress RequestPassiveAddress();
  // One passive transfer; before_command runs between the passive-mode reply and the command.
  void Transfer(const std::string& command, TStream& stream, Direction direction,
                const std::function<void()>& before_command = nullptr);
  // After a transfer broken off by the client: reads the replies it left (its end, 426 or 226)
  // up to the answer to a NOOP, so that the next command reads its own.
  void SkipPendingReplies();

  TFtpTransferType transfer_type_ = TFtpTransferType::ftBinary;
  std::string system_description_;
  std::string announced_data_host_;
  TTcpClient* data_connection_ = nullptr;
};

}  // namespace zarn
