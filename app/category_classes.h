// Lookups in the class registry for the diagnostic listings: the classes of the receiver-support
// component category and the registered server of a class.
#pragma once

#include <array>
#include <string>

#include "common/guid.h"

namespace zarn {

// Every receiver driver of the suite is a class that implements this category.
inline constexpr Guid kReceiverSupportCategory{
    0x3A7D1000, 0x7634, 0x11D4, {0x8F, 0xE6, 0x00, 0x00, 0xB4, 0x56, 0xAD, 0x69}};

inline constexpr std::size_t kMaxCategoryClasses = 50;

// One entry of the class table. Only the class id is filled in; the text stays zero.
struct CategoryClassEntry {
  Guid clsid;
  std::array<char, 129> text{};
};
using CategoryClassTable = std::array<CategoryClassEntry, kMaxCategoryClasses>;

// Fills the table with the classes of the receiver-support category and returns how many there
// are (0 to 50; classes beyond the first 50 are not seen). When there are none the table is left
// as it was. Raises EOleSysError when the platform's categories manager fails.
int EnumCategoryClasses(CategoryClassTable& table);

// The default value of the class's "InprocServer32" or "LocalServer32" key, unchanged (quotes and
// arguments included); empty when the key cannot be opened with full access or holds no text.
std::string GetInprocServerPath(const Guid& clsid);
std::string GetLocalServerPath(const Guid& clsid);

}  // namespace zarn
