// The registry interface as the program uses it; runs against the SQLite store natively and
// against the real registry under Wine.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/registry.h"

namespace zarn::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kTestKey = "Software\\ZarnTest\\Registry";
constexpr RegistryRoot kRoot = RegistryRoot::kCurrentUser;

Bytes Text(std::string_view text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    RegistryKey::DeleteTree(kRoot, kTestKey);
    key_ = RegistryKey::Create(kRoot, kTestKey);
    ASSERT_NE(key_, nullptr);
  }
  void TearDown() override {
    key_.reset();
    RegistryKey::DeleteTree(kRoot, kTestKey);
  }

  std::unique_ptr<RegistryKey> key_;
};

TEST_F(RegistryTest, ValuesKeepTheirTypeAndExactBytes) {
  const struct {
    const char* name;
    RegistryType type;
    Bytes data;
  } cases[] = {
      {"", RegistryType::kSz, Text("default")},
      {"Text", RegistryType::kSz, Text("C:\\ZARN4\\")},
      {"Expandable", RegistryType::kExpandSz, Text("%TEMP%\\x")},
      {"Number", RegistryType::kDword, {0x2a, 0, 0, 0x80}},
      {"Time", RegistryType::kBinary, {0, 0, 0, 0, 0, 0xa0, 0xe6, 0x40}},
      {"Empty", RegistryType::kBinary, {}},
      {"Embedded NUL", RegistryType::kSz, {'a', 0, 'b', 0}},
      {"Unterminated", RegistryType::kSz, {'a', 'b'}},
      {"List", RegistryType::kMultiSz, {'a', 0, 'b', 0, 0}},
      {"Nothing", RegistryType::kNone, {1, 2}},
      {"Quad", static_cast<RegistryType>(11), {1, 2, 3, 4, 5, 6, 7, 8}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(key_->SetValue(c.name, c.type, c.data));
  }
  // Read back through a second handle, as the next call of the program would.
  const auto reader = RegistryKey::Open(kRoot, kTestKey, RegistryKey::Access::kRead);
  ASSERT_NE(reader, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RegistryRead read = reader->QueryValue(c.name);
    ASSERT_EQ(read.status, RegistryStatus::kOk);
    EXPECT_EQ(read.value.type, c.type);
    EXPECT_EQ(read.value.data, c.data);
  }
}

TEST_F(RegistryTest, OverwritingReplacesTypeAndData) {
  ASSERT_TRUE(key_->SetValue("Value", RegistryType::kSz, Text("long text value")));
  ASSERT_TRUE(key_->SetValue("Value", RegistryType::kDword, Bytes{1, 0, 0, 0}));
  const RegistryRead read = key_->QueryValue("Value");
  EXPECT_EQ(read.value.type, RegistryType::kDword);
  EXPECT_EQ(read.value.data, (Bytes{1, 0, 0, 0}));
  EXPECT_EQ(key_->ValueNames(), std::vector<std::string>{"Value"});
}

TEST_F(RegistryTest, NamesIgnoreLetterCaseAndKeepTheCaseTheyWereCreatedWith) {
  ASSERT_TRUE(key_->SetValue("Program Folder", RegistryType::kSz, Text("a")));
  ASSERT_TRUE(key_->SetValue("PROGRAM FOLDER", RegistryType::kSz, Text("b")));
  EXPECT_EQ(key_->ValueNames(), std::vector<std::string>{"Program Folder"});
  EXPECT_EQ(key_->QueryValue("program folder").value.data, Text("b"));

  ASSERT_NE(RegistryKey::Create(kRoot, std::string(kTestKey) + "\\MixedCase"), nullptr);
  ASSERT_NE(RegistryKey::Create(kRoot, std::string(kTestKey) + "\\MIXEDCASE\\Child"), nullptr);
  EXPECT_EQ(key_->SubKeyNames(), std::vector<std::string>{"MixedCase"});
  EXPECT_NE(RegistryKey::Open(kRoot, "SOFTWARE\\zarntest\\REGISTRY\\mixedcase\\CHILD",
                              RegistryKey::Access::kRead),
            nullptr);
}

TEST_F(RegistryTest, MissingKeysAndValuesAreReportedAsMissing) {
  const std::string missing = std::string(kTestKey) + "\\Missing";
  EXPECT_EQ(RegistryKey::Open(kRoot, missing, RegistryKey::Access::kRead), nullptr);
  EXPECT_EQ(RegistryKey::Open(kRoot, missing, RegistryKey::Access::kAll), nullptr);
  EXPECT_FALSE(RegistryKey::DeleteTree(kRoot, missing));
  EXPECT_EQ(key_->QueryValue("Missing").status, RegistryStatus::kMissing);
  EXPECT_EQ(key_->QueryValue("").status, RegistryStatus::kMissing);
  EXPECT_FALSE(key_->DeleteValue("Missing"));
  // Looking did not create anything.
  EXPECT_TRUE(key_->SubKeyNames().empty());
}

TEST_F(RegistryTest, CreateMakesEveryMissingParentAndOpensExistingKeys) {
  const std::string deep = std::string(kTestKey) + "\\A\\B\\C";
  auto created = RegistryKey::Create(kRoot, deep);
  ASSERT_NE(created, nullptr);
  ASSERT_TRUE(created->SetValue("v", RegistryType::kSz, Text("x")));
  auto again = RegistryKey::Create(kRoot, deep);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->QueryValue("v").status, RegistryStatus::kOk);
  EXPECT_NE(RegistryKey::Open(kRoot, std::string(kTestKey) + "\\A\\B", RegistryKey::Access::kRead),
            nullptr);
}

TEST_F(RegistryTest, DeleteTreeRemovesSubKeysAndValuesButNotSiblings) {
  const std::string base(kTestKey);
  for (const char* path : {"\\Gone", "\\Gone\\Child", "\\Gone\\Child\\Grandchild", "\\Kept"}) {
    auto key = RegistryKey::Create(kRoot, base + path);
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->SetValue("v", RegistryType::kDword, Bytes{1, 0, 0, 0}));
  }
  EXPECT_TRUE(RegistryKey::DeleteTree(kRoot, base + "\\gone"));
  EXPECT_EQ(Sorted(key_->SubKeyNames()), std::vector<std::string>{"Kept"});
  EXPECT_EQ(RegistryKey::Open(kRoot, base + "\\Gone\\Child", RegistryKey::Access::kRead), nullptr);
  // A key created again under the old name starts empty.
  auto reborn = RegistryKey::Create(kRoot, base + "\\Gone");
  ASSERT_NE(reborn, nullptr);
  EXPECT_TRUE(reborn->ValueNames().empty());
  EXPECT_TRUE(reborn->SubKeyNames().empty());
}

TEST_F(RegistryTest, DeletingValuesLeavesTheOthers) {
  for (const char* name : {"", "a", "b"}) {
    ASSERT_TRUE(key_->SetValue(name, RegistryType::kSz, Text(name)));
  }
  EXPECT_TRUE(key_->DeleteValue("A"));
  EXPECT_TRUE(key_->DeleteValue(""));
  EXPECT_EQ(key_->ValueNames(), std::vector<std::string>{"b"});
}

TEST_F(RegistryTest, AKeyOpenedForReadingRefusesChanges) {
  ASSERT_TRUE(key_->SetValue("v", RegistryType::kSz, Text("x")));
  auto reader = RegistryKey::Open(kRoot, kTestKey, RegistryKey::Access::kRead);
  ASSERT_NE(reader, nullptr);
  EXPECT_FALSE(reader->SetValue("v", RegistryType::kSz, Text("y")));
  EXPECT_FALSE(reader->DeleteValue("v"));
  EXPECT_EQ(key_->QueryValue("v").value.data, Text("x"));
}

TEST_F(RegistryTest, RootsAreSeparate) {
  auto user = RegistryKey::Create(RegistryRoot::kCurrentUser, "Software\\ZarnTest\\Registry");
  ASSERT_NE(user, nullptr);
  ASSERT_TRUE(user->SetValue("only here", RegistryType::kSz, Text("x")));
  auto classes = RegistryKey::Open(RegistryRoot::kClassesRoot, "Software\\ZarnTest\\Registry",
                                   RegistryKey::Access::kRead);
  if (classes) {
    EXPECT_EQ(classes->QueryValue("only here").status, RegistryStatus::kMissing);
  }
}

}  // namespace
}  // namespace zarn::platform
