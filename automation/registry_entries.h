// The writes and deletions of class registration under the classes root.
#pragma once

#include <string_view>

namespace zarn {

inline constexpr std::string_view kRegistryWriteError = "Error creating system registry entry";

// Creates the key if missing and sets the value (empty name: the default value) to text as a
// REG_SZ with its terminating zero. Raises EOleRegistrationError when either step is refused.
void WriteClassesRootText(std::string_view key, std::string_view value_name, std::string_view text);

// Deletes the key when it has no sub-keys, as the platform's single-key delete does; a missing
// key, a key with sub-keys and a refused delete are all ignored.
void DeleteClassesRootKey(std::string_view key);

}  // namespace zarn
