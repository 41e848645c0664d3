// The settings of the updater: which value each reader and writer uses, with its default.
#include <bit>
#include <charconv>

#include "app/settings_store.h"
#include "app/update_common.h"
#include "common/text.h"

namespace zarn {

namespace {

bool ReadBoolean(const char* name) {
  return ReadSettingDword(name).value_or(0) != 0;
}

void WriteBoolean(const char* name, bool value) {
  WriteSettingDword(name, value ? 1 : 0);
}

}  // namespace

std::int32_t ReadLastWebUpdate() {
  return ReadSettingDword(kLastWebUpdateValue).value_or(-1);
}

void WriteLastWebUpdate(std::int32_t value) {
  WriteSettingDword(kLastWebUpdateValue, static_cast<std::uint32_t>(value));
}

void WriteLastWebUpdateTime(TDateTime when) {
  const auto bits = std::bit_cast<std::uint64_t>(when);
  std::uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  WriteSettingBinary(kLastWebUpdateTimeValue, bytes);
}

std::string ReadProgramFolder() {
  return ReadSettingText(kProgramFolderValue).value_or("");
}

void WriteProgramFolder(std::string_view folder) {
  WriteSettingText(kProgramFolderValue, folder);
}

bool ReadBetaModeEnabled() {
  return ReadBoolean(kBetaModeEnabledValue);
}

bool ReadLastUpdateWasBeta() {
  return ReadBoolean(kLastUpdateWasBetaValue);
}

void WriteLastUpdateWasBeta(bool value) {
  WriteBoolean(kLastUpdateWasBetaValue, value);
}

bool ReadRepeatRollback() {
  return ReadBoolean(kRepeatRollbackValue);
}

void WriteRepeatRollback(bool value) {
  WriteBoolean(kRepeatRollbackValue, value);
}

std::string ReadInstallationId() {
  return ReadSettingText(kInstallationIdValue).value_or("");
}

UpdateServer ParseUpdateServer(std::string_view text) {
  text = Trim(text);
  UpdateServer server;
  std::string_view host = text;
  std::string_view port;
  if (!text.empty() && text.front() == '[') {
    // "[2001:db8::1]" or "[2001:db8::1]:2121"
    const std::size_t close = text.find(']');
    host = text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    if (close != std::string_view::npos && text.substr(close + 1, 1) == ":") {
      port = text.substr(close + 2);
    }
  } else if (const std::size_t colon = text.find(':');
             colon != std::string_view::npos &&
             text.find(':', colon + 1) == std::string_view::npos) {
    // One colon separates the port; a bare IPv6 address has several and no port.
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  }
  host = Trim(host);
  port = Trim(port);
  server.host = host.empty() ? std::string(kDefaultUpdateHost) : std::string(host);
  unsigned number = 0;
  const auto result = std::from_chars(port.data(), port.data() + port.size(), number);
  if (!port.empty() && result.ec == std::errc() && result.ptr == port.data() + port.size() &&
      number >= 1 && number <= 65535) {
    server.port = static_cast<std::uint16_t>(number);
  }
  return server;
}

std::vector<UpdateServer> ParseUpdateServers(std::string_view text) {
  std::vector<UpdateServer> servers;
  for (;;) {
    const std::size_t at = text.find(';');
    const std::string_view entry = Trim(text.substr(0, at));
    if (!entry.empty()) servers.push_back(ParseUpdateServer(entry));
    if (at == std::string_view::npos) break;
    text.remove_prefix(at + 1);
  }
  if (servers.empty()) servers.push_back(ParseUpdateServer(""));
  return servers;
}

std::vector<UpdateServer> ReadUpdateServers() {
  return ParseUpdateServers(ReadSettingText(kUpdateServerValue).value_or(""));
}

std::uint32_t ReadServerTimeoutMs() {
  const auto seconds = static_cast<std::uint32_t>(
      ReadSettingDword(kServerTimeoutValue).value_or(kDefaultServerTimeoutSeconds));
  constexpr std::uint32_t kMaxSeconds = UINT32_MAX / 1000;
  return seconds > kMaxSeconds ? UINT32_MAX : seconds * 1000;
}

}  // namespace zarn
