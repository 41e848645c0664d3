#include "tools/zftp/ftp_url.h"

#include "common/text.h"

namespace zarn::zftp {

std::optional<FtpUrl> ParseFtpUrl(std::string_view text) {
  constexpr std::string_view kScheme = "ftp://";
  if (text.size() < kScheme.size() ||
      !EqualsIgnoringCase(text.substr(0, kScheme.size()), kScheme)) {
    return std::nullopt;
  }
  text.remove_prefix(kScheme.size());
  const auto slash = text.find('/');
  std::string_view authority = text.substr(0, slash);
  const std::string_view path = slash == std::string_view::npos ? "" : text.substr(slash + 1);

  FtpUrl url;
  const auto at = authority.rfind('@');
  if (at != std::string_view::npos) {
    const std::string_view credentials = authority.substr(0, at);
    const auto colon = credentials.find(':');
    url.user = std::string(credentials.substr(0, colon));
    if (colon != std::string_view::npos) url.password = std::string(credentials.substr(colon + 1));
    authority.remove_prefix(at + 1);
  }
  const auto colon = authority.rfind(':');
  if (colon != std::string_view::npos) {
    const std::string_view port = authority.substr(colon + 1);
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string_view::npos) {
      return std::nullopt;
    }
    url.port = std::stoi(std::string(port));
    if (url.port < 1 || url.port > 65535) return std::nullopt;
    authority = authority.substr(0, colon);
  }
  if (authority.empty()) return std::nullopt;
  url.host = std::string(authority);
  const auto last = path.rfind('/');
  if (last != std::string_view::npos) {
    url.folder = std::string(path.substr(0, last));
    url.name = std::string(path.substr(last + 1));
  } else {
    url.name = std::string(path);
  }
  return url;
}

}  // namespace zarn::zftp
