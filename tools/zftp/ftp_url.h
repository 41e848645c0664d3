// FTP addresses of the form ftp://[user[:password]@]host[:port]/path.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zarn::zftp {

struct FtpUrl {
  std::string user = "anonymous";
  std::string password;
  std::string host;
  int port = 21;
  std::string folder;  // the path up to its last "/", without the leading "/"; may be empty
  std::string name;    // the path after its last "/"; may be empty
};

// Nothing when the text is not such an address (another scheme, no host, a bad port).
std::optional<FtpUrl> ParseFtpUrl(std::string_view text);

}  // namespace zarn::zftp
