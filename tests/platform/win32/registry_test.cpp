// The real registry through the platform interface: exact types and bytes, letter case of names,
// access rights and tree deletion. Each test works below a key of its own under HKCU\Software.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/registry.h"
#include "platform/win32/windows_api.h"
// After the base types.
#include <sddl.h>

namespace zarn::platform {
namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;

class Win32Registry : public testing::Test {
 protected:
  void SetUp() override { RegistryKey::DeleteTree(kUser, base_); }
  void TearDown() override { RegistryKey::DeleteTree(kUser, base_); }

  std::string Path(const std::string& below) const { return base_ + "\\" + below; }

  const std::string base_ = std::string("Software\\ZarnPlatformTests\\") +
                            testing::UnitTest::GetInstance()->current_test_info()->name();
};

std::vector<std::uint8_t> Bytes(std::string_view text, bool with_nul) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  if (with_nul) bytes.push_back(0);
  return bytes;
}

TEST_F(Win32Registry, ValuesComeBackWithTheirTypeAndExactBytes) {
  auto key = RegistryKey::Create(kUser, Path("Config"));
  ASSERT_NE(key, nullptr);
  const struct {
    const char* name;
    RegistryType type;
    std::vector<std::uint8_t> data;
  } cases[] = {
      {"Program Folder", RegistryType::kSz, Bytes("C:\\ZARN4\\", true)},
      {"", RegistryType::kSz, Bytes("default value", true)},
      {"Empty Text", RegistryType::kSz, Bytes("", true)},
      {"Path", RegistryType::kExpandSz, Bytes("%WINDIR%\\x", true)},
      {"Last Web Update", RegistryType::kDword, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"Last Web Update Time", RegistryType::kBinary, {0, 0, 0, 0, 0x80, 0x43, 0xE6, 0x40}},
      {"Empty Binary", RegistryType::kBinary, {}},
      {"Wide", RegistryType::kBinary, std::vector<std::uint8_t>(5000, 0x5A)},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(key->SetValue(c.name, c.type, c.data)) << c.name;
  }
  auto reader = RegistryKey::Open(kUser, Path("Config"), RegistryKey::Access::kRead);
  ASSERT_NE(reader, nullptr);
  for (const auto& c : cases) {
    const RegistryRead read = reader->QueryValue(c.name);
    ASSERT_EQ(read.status, RegistryStatus::kOk) << c.name;
    EXPECT_EQ(read.value.type, c.type) << c.name;
    EXPECT_EQ(read.value.data, c.data) << c.name;
  }
  EXPECT_EQ(reader->QueryValue("No Such Value").status, RegistryStatus::kMissing);

  // The same value seen through the system's own call, as other programs of the suite see it.
  char text[64] = {};
  DWORD size = sizeof text;
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Path("Config").c_str(), 0, KEY_READ, &raw),
            ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(raw, "Program Folder", nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                             &size),
            ERROR_SUCCESS);
  RegCloseKey(raw);
  EXPECT_STREQ(text, "C:\\ZARN4\\");
}

TEST_F(Win32Registry, NamesIgnoreLetterCaseAndListsShowEveryEntry) {
  auto key = RegistryKey::Create(kUser, Path("Config"));
  ASSERT_NE(key, nullptr);
  const std::uint8_t one[] = {1, 0, 0, 0};
  ASSERT_TRUE(key->SetValue("Beta Mode Enabled", RegistryType::kDword, one));
  EXPECT_EQ(key->QueryValue("BETA MODE ENABLED").status, RegistryStatus::kOk);
  ASSERT_NE(RegistryKey::Create(kUser, Path("Config\\Child A")), nullptr);
  ASSERT_NE(RegistryKey::Create(kUser, Path("Config\\Child B\\Grandchild")), nullptr);
  ASSERT_TRUE(key->SetValue("Second", RegistryType::kDword, one));

  auto values = key->ValueNames();
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<std::string>{"Beta Mode Enabled", "Second"}));
  auto children = key->SubKeyNames();
  std::sort(children.begin(), children.end());
  EXPECT_EQ(children, (std::vector<std::string>{"Child A", "Child B"}));

  EXPECT_TRUE(key->DeleteValue("second"));
  EXPECT_FALSE(key->DeleteValue("second"));
  EXPECT_EQ(key->ValueNames().size(), 1u);
}

TEST_F(Win32Registry, OpenNeverCreatesAndReadAccessRefusesWrites) {
  EXPECT_EQ(RegistryKey::Open(kUser, Path("Config"), RegistryKey::Access::kRead), nullptr);
  EXPECT_EQ(RegistryKey::Open(kUser, Path("Config"), RegistryKey::Access::kAll), nullptr);
  EXPECT_EQ(RegistryKey::Open(kUser, Path("Config"), RegistryKey::Access::kRead), nullptr);

  ASSERT_NE(RegistryKey::Create(kUser, Path("Config")), nullptr);
  auto reader = RegistryKey::Open(kUser, Path("Config"), RegistryKey::Access::kRead);
  ASSERT_NE(reader, nullptr);
  const std::uint8_t zero[] = {0, 0, 0, 0};
  EXPECT_FALSE(reader->SetValue("Repeat Rollback", RegistryType::kDword, zero));
  auto writer = RegistryKey::Open(kUser, Path("Config"), RegistryKey::Access::kAll);
  ASSERT_NE(writer, nullptr);
  EXPECT_TRUE(writer->SetValue("Repeat Rollback", RegistryType::kDword, zero));
}

TEST_F(Win32Registry, DeleteTreeRemovesEverythingBelowAndOnlyThat) {
  ASSERT_NE(RegistryKey::Create(kUser, Path("Gone\\A\\B\\C")), nullptr);
  ASSERT_NE(RegistryKey::Create(kUser, Path("Gone\\D")), nullptr);
  ASSERT_NE(RegistryKey::Create(kUser, Path("Gone Too Far")), nullptr);
  auto leaf = RegistryKey::Open(kUser, Path("Gone\\A\\B"), RegistryKey::Access::kAll);
  ASSERT_NE(leaf, nullptr);
  const std::uint8_t one[] = {1, 0, 0, 0};
  ASSERT_TRUE(leaf->SetValue("v", RegistryType::kDword, one));
  leaf.reset();

  EXPECT_TRUE(RegistryKey::DeleteTree(kUser, Path("Gone")));
  EXPECT_EQ(RegistryKey::Open(kUser, Path("Gone"), RegistryKey::Access::kRead), nullptr);
  EXPECT_NE(RegistryKey::Open(kUser, Path("Gone Too Far"), RegistryKey::Access::kRead), nullptr);
  EXPECT_FALSE(RegistryKey::DeleteTree(kUser, Path("Gone")));
  EXPECT_FALSE(RegistryKey::DeleteTree(kUser, ""));
}

// Gives key (made if missing) an access list that allows everyone only the rights given; false
// when that fails.
bool Restrict(const std::string& path, DWORD rights) {
  HKEY key = nullptr;
  // The owner may always change the list, whatever the list allows.
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, READ_CONTROL | WRITE_DAC,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  char mask[16];
  std::snprintf(mask, sizeof mask, "0x%lX", static_cast<unsigned long>(rights));
  const std::string text = std::string("D:P(A;;") + mask + ";;;WD)";
  bool set = ConvertStringSecurityDescriptorToSecurityDescriptorA(text.c_str(), SDDL_REVISION_1,
                                                                  &descriptor, nullptr) &&
             RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
  LocalFree(descriptor);
  RegCloseKey(key);
  return set;
}

// An account allowed to write values but not to change a key's security, or allowed only to
// delete it: each write asks for the rights it needs and no more.
TEST_F(Win32Registry, WritesAskOnlyForTheRightsTheyNeed) {
  const std::uint8_t one[] = {1, 0, 0, 0};
  const auto gone = [](const std::string& path) {
    return RegistryKey::DeleteTree(kUser, path) &&
           !RegistryKey::Open(kUser, path, RegistryKey::Access::kRead);
  };
  const struct {
    const char* key;
    DWORD rights;
    bool child;
    std::function<bool(const std::string&)> write;
  } rows[] = {
      {"Values", KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, false,
       [&](const std::string& path) {
         const auto key = RegistryKey::Create(kUser, path);
         return key && key->SetValue("v", RegistryType::kDword, one);
       }},
      {"Delete only", DELETE, false, gone},
      {"Delete and list", DELETE | KEY_ENUMERATE_SUB_KEYS, true, gone},
  };
  for (const auto& row : rows) {
    const std::string path = Path(row.key);
    if (row.child) {
      ASSERT_NE(RegistryKey::Create(kUser, path + "\\Child"), nullptr);
    }
    ASSERT_TRUE(Restrict(path, row.rights)) << row.key;
    EXPECT_TRUE(row.write(path)) << row.key;
    Restrict(path, KEY_ALL_ACCESS);  // for the clean-up
  }
}

}  // namespace
}  // namespace zarn::platform
