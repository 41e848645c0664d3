// The manifest's "Time Of Update": whole minutes since 2000-01-01 00:00 UTC. It grows with time,
// stays far below 2^31 (that is reached in the year 6083), and is larger than the small serial
// numbers older manifests were written with.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/release_metadata.h"

namespace zarn::release {

using zarn::TimeOfUpdateAt;

// A stamp given on the command line: a decimal whole number from 0 to 2^31 - 1 taken as it is,
// or a UTC time "YYYY-MM-DDTHH:MM" (or with a blank for the "T"). nullopt for anything else.
std::optional<std::int32_t> ParseTimeOfUpdate(std::string_view text);

// A stamp as the UTC time "YYYY-MM-DDTHH:MM" it stands for.
std::string FormatTimeOfUpdate(std::int32_t stamp);

}  // namespace zarn::release
