// The version resource of an executable file, through the version library.
#include "platform/version_info.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

namespace zarn::platform {

namespace {

class ResourceVersionInfo final : public VersionInfo {
 public:
  explicit ResourceVersionInfo(std::vector<char> data) : data_(std::move(data)) {}

  std::optional<Translation> FirstTranslation() override {
    void* entry = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data_.data(), "\\VarFileInfo\\Translation", &entry, &length) ||
        entry == nullptr || length < 4) {
      return std::nullopt;
    }
    WORD pair[2];
    std::memcpy(pair, entry, sizeof pair);
    return Translation{pair[0], pair[1]};
  }

  std::optional<std::string> QueryString(std::string_view sub_block) override {
    const std::string query(sub_block);
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data_.data(), query.c_str(), &value, &length) || value == nullptr) {
      return std::nullopt;
    }
    // The length counts characters, the terminating NUL included when there is one.
    const char* text = static_cast<const char*>(value);
    return std::string(text, strnlen(text, length));
  }

 private:
  std::vector<char> data_;
};

}  // namespace

std::unique_ptr<VersionInfo> VersionInfo::Load(std::string_view path) {
  const std::string file(path);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
  if (size == 0) return nullptr;
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, data.data())) return nullptr;
  return std::make_unique<ResourceVersionInfo>(std::move(data));
}

}  // namespace zarn::platform
