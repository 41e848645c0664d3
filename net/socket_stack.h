// The process-wide socket stack: it keeps the platform's socket library started while any network
// component exists, and holds the helpers every socket call shares (error messages, address text,
// name resolution).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/sockets.h"

namespace zarn {

// The infinite timeout of the socket layer's waits, in place of a number of milliseconds.
inline constexpr int kInfiniteTimeout = -2;

class TSocketStack {
 public:
  // Network components acquire the stack in their constructors and release it in their
  // destructors; the first acquisition starts the socket library, the last release stops it.
  // Starting raises ENetStackCanNotLoadWinsock or ENetStackInitializationFailed.
  static void Acquire();
  static void Release();
  // True while the library is started (some network component exists).
  static bool Started();

  // The text of a Windows socket error number ("Connection refused."), empty when unlisted.
  static std::string ErrorText(int error_code);
  // "Socket Error # <number>\r\n<text>".
  static std::string ErrorMessage(int error_code);

  // Success (error 0) gives false. A tolerated error gives true and the caller handles it; any
  // other raises ENetSocketError carrying the number.
  static bool CheckResult(int error_code, std::initializer_list<int> tolerated = {});

  // Four fields split at ".", each an integer from 0 to 255.
  static bool IsDottedQuad(std::string_view text);
  // "LOCALHOST" in any case gives 127.0.0.1, a dotted quad is kept, any other name is looked up
  // (ENetSocketError with the lookup's number when that fails).
  static std::string ResolveHost(const std::string& name);
  static std::uint32_t DottedToAddress(std::string_view dotted);
  static std::string AddressToDotted(std::uint32_t address);
};

}  // namespace zarn
