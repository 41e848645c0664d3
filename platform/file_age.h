// The last-write time of a file, in the user's local time.
#pragma once

#include <optional>
#include <string_view>

#include "common/date_time.h"

namespace zarn::platform {

// nullopt when the file does not exist or its time cannot be read.
std::optional<CivilDateTime> LastWriteLocalTime(std::string_view path);

}  // namespace zarn::platform
