#include "tests/support/registry_sandbox.h"

#include <gtest/gtest.h>

namespace zarn::test {

namespace {

using platform::RegistryKey;

std::string Parent(std::string_view path) {
  const auto slash = path.rfind('\\');
  return std::string(slash == std::string_view::npos ? std::string_view() : path.substr(0, slash));
}

}  // namespace

RegistrySandbox::~RegistrySandbox() {
  for (auto it = saved_values_.rbegin(); it != saved_values_.rend(); ++it) {
    const auto key = RegistryKey::Open(it->root, it->path, RegistryKey::Access::kAll);
    if (!key) continue;
    if (it->previous.status == platform::RegistryStatus::kOk) {
      key->SetValue(it->name, it->previous.value.type, it->previous.value.data);
    } else {
      key->DeleteValue(it->name);
    }
  }
  for (auto it = created_keys_.rbegin(); it != created_keys_.rend(); ++it) {
    RegistryKey::DeleteTree(it->root, it->path);
  }
}

void RegistrySandbox::CreateKey(platform::RegistryRoot root, std::string_view path) {
  // Remember the outermost key that does not exist yet: removing it removes all that is new.
  std::string outermost_new;
  for (std::string p(path); !p.empty(); p = Parent(p)) {
    if (RegistryKey::Open(root, p, RegistryKey::Access::kRead)) break;
    outermost_new = p;
  }
  ASSERT_TRUE(RegistryKey::Create(root, path)) << path;
  if (!outermost_new.empty()) created_keys_.push_back({root, outermost_new});
}

void RegistrySandbox::SaveValue(platform::RegistryRoot root, std::string_view path,
                                std::string_view name) {
  CreateKey(root, path);
  const auto key = RegistryKey::Open(root, path, RegistryKey::Access::kAll);
  ASSERT_TRUE(key) << path;
  saved_values_.push_back({root, std::string(path), std::string(name), key->QueryValue(name)});
}

void RegistrySandbox::SetValue(platform::RegistryRoot root, std::string_view path,
                               std::string_view name, platform::RegistryType type,
                               std::vector<std::uint8_t> data) {
  SaveValue(root, path, name);
  const auto key = RegistryKey::Open(root, path, RegistryKey::Access::kAll);
  ASSERT_TRUE(key && key->SetValue(name, type, data)) << path << " " << name;
}

void RegistrySandbox::SetText(platform::RegistryRoot root, std::string_view path,
                              std::string_view name, std::string_view text) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  SetValue(root, path, name, platform::RegistryType::kSz, std::move(data));
}

void RegistrySandbox::DeleteValue(platform::RegistryRoot root, std::string_view path,
                                  std::string_view name) {
  SaveValue(root, path, name);
  if (const auto key = RegistryKey::Open(root, path, RegistryKey::Access::kAll)) {
    key->DeleteValue(name);
  }
}

}  // namespace zarn::test
