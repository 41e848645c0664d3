// The settings readers and writers against the registry: defaults, type rules, error texts and
// the exact bytes written. Runs natively and under Wine.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/settings_store.h"
#include "app/update_common.h"
#include "common/exception.h"
#include "platform/registry.h"

namespace zarn {
namespace {

using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryType;
using Bytes = std::vector<std::uint8_t>;

Bytes Text(std::string_view text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::unique_ptr<RegistryKey> OpenSettings() {
  return RegistryKey::Open(RegistryRoot::kCurrentUser, kSettingsKey, RegistryKey::Access::kRead);
}

void Store(const char* name, RegistryType type, const Bytes& data) {
  auto key = RegistryKey::Create(RegistryRoot::kCurrentUser, kSettingsKey);
  ASSERT_NE(key, nullptr);
  ASSERT_TRUE(key->SetValue(name, type, data));
}

// Runs a reader and describes its result or its error, so that one table holds both.
std::string Outcome(const std::function<std::string()>& reader) {
  try {
    return reader();
  } catch (const ERegistryException& e) {
    return "error: " + e.Message();
  }
}

class UpdateSettingsTest : public testing::Test {
 protected:
  void SetUp() override { RegistryKey::DeleteTree(RegistryRoot::kCurrentUser, kSettingsKey); }
  void TearDown() override { RegistryKey::DeleteTree(RegistryRoot::kCurrentUser, kSettingsKey); }
};

TEST_F(UpdateSettingsTest, WithoutTheKeyEveryReaderGivesItsDefaultAndCreatesNothing) {
  EXPECT_EQ(ReadLastWebUpdate(), -1);
  EXPECT_EQ(ReadProgramFolder(), "");
  EXPECT_FALSE(ReadBetaModeEnabled());
  EXPECT_FALSE(ReadLastUpdateWasBeta());
  EXPECT_FALSE(ReadRepeatRollback());
  EXPECT_EQ(ReadInstallationId(), "");
  EXPECT_EQ(ReadUpdateServers().front().host, "ftp.zarn4.example");
  EXPECT_EQ(ReadUpdateServers().front().port, 21);
  EXPECT_EQ(OpenSettings(), nullptr);
}

TEST_F(UpdateSettingsTest, WithTheKeyButNoValuesEveryReaderGivesItsDefault) {
  Store("Something Else", RegistryType::kDword, {1, 0, 0, 0});
  EXPECT_EQ(ReadLastWebUpdate(), -1);
  EXPECT_EQ(ReadProgramFolder(), "");
  EXPECT_FALSE(ReadBetaModeEnabled());
  EXPECT_EQ(ReadInstallationId(), "");
}

TEST_F(UpdateSettingsTest, ReadersCheckTheStoredTypeAndSize) {
  auto number = [] { return std::to_string(ReadLastWebUpdate()); };
  auto beta = [] { return std::string(ReadBetaModeEnabled() ? "true" : "false"); };
  auto rollback = [] { return std::string(ReadRepeatRollback() ? "true" : "false"); };
  auto folder = [] { return ReadProgramFolder(); };
  const struct {
    const char* name;
    RegistryType type;
    Bytes data;
    std::function<std::string()> reader;
    std::string expected;
  } cases[] = {
      {"Last Web Update", RegistryType::kDword, {0xfe, 0xff, 0xff, 0xff}, number, "-2"},
      {"Last Web Update", RegistryType::kDword, {0x2a, 0, 0, 0}, number, "42"},
      // A text short enough for the four-byte read has the wrong type ...
      {"Last Web Update", RegistryType::kSz, Text("42"), number,
       "error: Invalid data type for 'Last Web Update'"},
      // ... a longer one, like a binary value longer than a DWORD, cannot be read at all.
      {"Last Web Update", RegistryType::kSz, Text("123456789"), number,
       "error: Failed to get data for 'Last Web Update'"},
      {"Last Web Update", RegistryType::kBinary, Bytes(8, 1), number,
       "error: Failed to get data for 'Last Web Update'"},
      {"Last Web Update", RegistryType::kBinary, Bytes(4, 1), number,
       "error: Invalid data type for 'Last Web Update'"},
      {"Repeat Rollback",
       RegistryType::kDword,
       {1, 0},
       rollback,
       "error: Invalid data type for 'Repeat Rollback'"},
      {"Beta Mode Enabled", RegistryType::kDword, {2, 0, 0, 0}, beta, "true"},
      {"Beta Mode Enabled", RegistryType::kDword, {0, 0, 0, 0x80}, beta, "true"},
      {"Beta Mode Enabled", RegistryType::kDword, {0, 0, 0, 0}, beta, "false"},
      {"Program Folder", RegistryType::kSz, Text("C:\\ZARN4\\"), folder, "C:\\ZARN4\\"},
      {"Program Folder", RegistryType::kExpandSz, Text("%ZARN%\\"), folder, "%ZARN%\\"},
      {"Program Folder", RegistryType::kSz, {'C', ':', 0, 'x', 0}, folder, "C:"},
      {"Program Folder", RegistryType::kSz, {'C', ':'}, folder, "C:"},
      {"Program Folder", RegistryType::kSz, {}, folder, ""},
      {"Program Folder",
       RegistryType::kDword,
       {1, 0, 0, 0},
       folder,
       "error: Invalid data type for 'Program Folder'"},
      {"Program Folder", RegistryType::kBinary, Text("C:\\"), folder,
       "error: Invalid data type for 'Program Folder'"},
      {"Installation Id", RegistryType::kSz, Text("Z4-0042"), [] { return ReadInstallationId(); },
       "Z4-0042"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " -> " + c.expected);
    Store(c.name, c.type, c.data);
    EXPECT_EQ(Outcome(c.reader), c.expected);
  }
}

TEST_F(UpdateSettingsTest, WritersCreateTheKeyAndStoreTheDocumentedBytes) {
  const struct {
    const char* name;
    std::function<void()> write;
    RegistryType type;
    Bytes data;
  } cases[] = {
      {"Last Web Update",
       [] { WriteLastWebUpdate(-1); },
       RegistryType::kDword,
       {0xff, 0xff, 0xff, 0xff}},
      {"Last Web Update",
       [] { WriteLastWebUpdate(20260115); },
       RegistryType::kDword,
       {0x13, 0x25, 0x35, 0x01}},
      {"Last Update Was Beta",
       [] { WriteLastUpdateWasBeta(true); },
       RegistryType::kDword,
       {1, 0, 0, 0}},
      {"Last Update Was Beta",
       [] { WriteLastUpdateWasBeta(false); },
       RegistryType::kDword,
       {0, 0, 0, 0}},
      {"Repeat Rollback", [] { WriteRepeatRollback(true); }, RegistryType::kDword, {1, 0, 0, 0}},
      {"Program Folder", [] { WriteProgramFolder("C:\\ZARN4\\"); }, RegistryType::kSz,
       Text("C:\\ZARN4\\")},
      {"Program Folder", [] { WriteProgramFolder(""); }, RegistryType::kSz, Text("")},
      // 7 December 2026, 12:00 local time: days since 30 December 1899, plus half a day.
      {"Last Web Update Time",
       [] { WriteLastWebUpdateTime(46363.5); },
       RegistryType::kBinary,
       {0, 0, 0, 0, 0x70, 0xa3, 0xe6, 0x40}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RegistryKey::DeleteTree(RegistryRoot::kCurrentUser, kSettingsKey);
    c.write();
    auto key = OpenSettings();
    ASSERT_NE(key, nullptr);
    const auto read = key->QueryValue(c.name);
    EXPECT_EQ(read.value.type, c.type);
    EXPECT_EQ(read.value.data, c.data);
  }
}

TEST_F(UpdateSettingsTest, WhatTheWritersStoreTheReadersReadBack) {
  WriteLastWebUpdate(123);
  WriteProgramFolder("/opt/zarn4/");
  WriteLastUpdateWasBeta(true);
  WriteRepeatRollback(true);
  EXPECT_EQ(ReadLastWebUpdate(), 123);
  EXPECT_EQ(ReadProgramFolder(), "/opt/zarn4/");
  EXPECT_TRUE(ReadLastUpdateWasBeta());
  EXPECT_TRUE(ReadRepeatRollback());
  WriteRepeatRollback(false);
  EXPECT_FALSE(ReadRepeatRollback());
  // Value names ignore letter case, as the main program may write them differently.
  Store("beta mode enabled", RegistryType::kDword, {1, 0, 0, 0});
  EXPECT_TRUE(ReadBetaModeEnabled());
}

TEST(UpdateServer, HostAndPortComeFromOneText) {
  const struct {
    const char* text;
    const char* host;
    std::uint16_t port;
  } cases[] = {
      {"", "ftp.zarn4.example", 21},
      {"   ", "ftp.zarn4.example", 21},
      {"127.0.0.1", "127.0.0.1", 21},
      {"127.0.0.1:2121", "127.0.0.1", 2121},
      {" updates.example.org : 990 ", "updates.example.org", 990},
      {":2121", "ftp.zarn4.example", 2121},
      {"host:65535", "host", 65535},
      // A port that is no port number keeps the host and falls back to 21.
      {"host:0", "host", 21},
      {"host:65536", "host", 21},
      {"host:ftp", "host", 21},
      {"host:21x", "host", 21},
      {"host:-1", "host", 21},
      {"host:", "host", 21},
      {"[::1]:2121", "::1", 2121},
      {"[::1]", "::1", 21},
      {"::1", "::1", 21},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const UpdateServer server = ParseUpdateServer(c.text);
    EXPECT_EQ(server.host, c.host);
    EXPECT_EQ(server.port, c.port);
  }
}

TEST(UpdateServers, AListSeparatedBySemicolonsKeepsItsOrderAndSkipsBlankEntries) {
  const struct {
    const char* text;
    std::vector<std::string> servers;  // host:port, in order
  } cases[] = {
      {"a.example;127.0.0.1:2121", {"a.example:21", "127.0.0.1:2121"}},
      {" a.example ; ;[::1]:2121;", {"a.example:21", "::1:2121"}},
      {" ; ", {"ftp.zarn4.example:21"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> servers;
    for (const UpdateServer& server : ParseUpdateServers(c.text)) {
      servers.push_back(server.host + ":" + std::to_string(server.port));
    }
    EXPECT_EQ(servers, c.servers);
  }
}

TEST_F(UpdateSettingsTest, TheUpdateServerIsReadFromTheSettingsKey) {
  Store("Update Server", RegistryType::kSz, Text("127.0.0.1:2121"));
  EXPECT_EQ(ReadUpdateServers().front().host, "127.0.0.1");
  EXPECT_EQ(ReadUpdateServers().front().port, 2121);
  Store("Update Server", RegistryType::kDword, {1, 0, 0, 0});
  EXPECT_EQ(Outcome([] { return ReadUpdateServers().front().host; }),
            "error: Invalid data type for 'Update Server'");
}

}  // namespace
}  // namespace zarn
