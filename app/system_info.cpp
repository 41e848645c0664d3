#include "app/system_info.h"

#include "app/registry_text.h"
#include "platform/registry.h"
#include "platform/system_facts.h"

namespace zarn {

namespace {

std::string OrUnknown(std::optional<std::string> text) {
  return text ? std::move(*text) : std::string(TSysInfo::kUnknown);
}

}  // namespace

std::string TSysInfo::CurrentUser() const {
  return OrUnknown(platform::UserName());
}

std::string TSysInfo::RegisteredOwner() const {
  const std::string family = platform::QueryOsVersion().nt_family ? "Windows NT" : "Windows";
  const std::string path = "SOFTWARE\\Microsoft\\" + family + "\\CurrentVersion";
  const auto key = platform::RegistryKey::Open(platform::RegistryRoot::kLocalMachine, path,
                                               platform::RegistryKey::Access::kAll);
  if (!key) return kUnknown;
  return ReadRegistryText(*key, "RegisteredOwner").value_or(std::string());
}

std::string TSysInfo::Platform() const {
  return OrUnknown(platform::QueryOsVersion().platform_name);
}

std::string TSysInfo::VersionWIN() const {
  const platform::OsVersion version = platform::QueryOsVersion();
  return std::to_string(version.major) + "." + std::to_string(version.minor);
}

std::string TSysInfo::Computername() const {
  return OrUnknown(platform::ComputerName());
}

std::int32_t TSysInfo::TimeZoneDiff() const {
  return platform::TimeZoneBias();
}

}  // namespace zarn
