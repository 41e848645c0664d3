// The user's local civil time of a moment of the system clock.
#pragma once

#include <time.h>

#include <optional>

#include "common/date_time.h"

namespace zarn::platform {

std::optional<CivilDateTime> LocalCivilTime(const struct timespec& moment);

}  // namespace zarn::platform
