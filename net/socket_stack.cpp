#include "net/socket_stack.h"

#include <algorithm>
#include <vector>

#include "common/integer_conversion.h"
#include "common/text.h"
#include "net/net_exceptions.h"

namespace zarn {

namespace {

// The number of network components alive; the socket library is started while it is above 0.
int g_component_count = 0;

struct ErrorEntry {
  int code;
  const char* text;
};

constexpr ErrorEntry kErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
};

// Splits off the text before the first "." three times; the rest is the fourth field.
std::vector<std::string_view> FourFields(std::string_view text) {
  std::vector<std::string_view> fields;
  for (int i = 0; i < 3; ++i) {
    const auto dot = text.find('.');
    if (dot == std::string_view::npos) {
      fields.push_back(text);
      text = {};
    } else {
      fields.push_back(text.substr(0, dot));
      text.remove_prefix(dot + 1);
    }
  }
  fields.push_back(text);
  return fields;
}

}  // namespace

void TSocketStack::Acquire() {
  if (g_component_count == 0) {
    switch (platform::StartSocketStack()) {
      case platform::SocketStackStart::kStarted:
        break;
      case platform::SocketStackStart::kLibraryNotLoaded:
        throw ENetStackCanNotLoadWinsock(platform::SocketLibraryName());
      case platform::SocketStackStart::kStartupFailed:
        throw ENetStackInitializationFailed();
    }
  }
  ++g_component_count;
}

void TSocketStack::Release() {
  if (g_component_count == 1) platform::StopSocketStack();
  if (g_component_count > 0) --g_component_count;
}

bool TSocketStack::Started() {
  return g_component_count > 0;
}

std::string TSocketStack::ErrorText(int error_code) {
  const auto* found = std::find_if(std::begin(kErrorTexts), std::end(kErrorTexts),
                                   [&](const ErrorEntry& e) { return e.code == error_code; });
  return found == std::end(kErrorTexts) ? std::string() : std::string(found->text);
}

std::string TSocketStack::ErrorMessage(int error_code) {
  return "Socket Error # " + std::to_string(error_code) + "\r\n" + ErrorText(error_code);
}

bool TSocketStack::CheckResult(int error_code, std::initializer_list<int> tolerated) {
  if (error_code == 0) return false;
  if (std::find(tolerated.begin(), tolerated.end(), error_code) != tolerated.end()) return true;
  throw ENetSocketError(error_code);
}

bool TSocketStack::IsDottedQuad(std::string_view text) {
  for (const auto field : FourFields(text)) {
    const auto value = ParseInt32(field, IntegerForms::DecimalOrHex);
    if (!value || *value < 0 || *value > 255) return false;
  }
  return true;
}

std::string TSocketStack::ResolveHost(const std::string& name) {
  if (EqualsIgnoringCase(name, "LOCALHOST")) return "127.0.0.1";
  if (IsDottedQuad(name)) return name;
  std::uint32_t address = 0;
  CheckResult(platform::ResolveHostName(name, address));
  return AddressToDotted(address);
}

std::uint32_t TSocketStack::DottedToAddress(std::string_view dotted) {
  std::uint32_t address = 0;
  for (const auto field : FourFields(dotted)) {
    address =
        (address << 8) |
        (static_cast<std::uint32_t>(ParseInt32(field, IntegerForms::DecimalOrHex).value_or(0)) &
         0xFF);
  }
  return address;
}

std::string TSocketStack::AddressToDotted(std::uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

ENetSocketError::ENetSocketError(int error_code)
    : ENetException(TSocketStack::ErrorMessage(error_code)), error_code_(error_code) {}

}  // namespace zarn
