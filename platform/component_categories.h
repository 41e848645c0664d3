// The component categories of the class registry: which registered classes implement a category.
// Windows asks its standard component categories manager; POSIX reads the same keys in the
// settings store (a class implements a category when the key
// "CLSID\{class}\Implemented Categories\{category}" exists under the classes root).
#pragma once

#include <cstddef>
#include <vector>

#include "common/guid.h"

namespace zarn::platform {

// The first `max_count` classes that implement `category` and require no category, in the order
// the platform lists them. Raises EOleSysError when the categories manager fails.
std::vector<Guid> ClassesImplementingCategory(const Guid& category, std::size_t max_count);

}  // namespace zarn::platform
