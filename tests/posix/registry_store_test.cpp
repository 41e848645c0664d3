// The SQLite registry store: where it lives, what it refuses, and that it survives processes
// writing at the same time and processes killed in the middle of a write.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/posix/registry_file.h"
#include "platform/registry.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace zarn::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr RegistryRoot kRoot = RegistryRoot::kCurrentUser;
constexpr const char* kKey = "Software\\ZarnTest\\Store";

Bytes Dword(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

std::uint32_t FromDword(const Bytes& bytes) {
  return bytes.size() == 4 ? static_cast<std::uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                                        static_cast<std::uint32_t>(bytes[3]) << 24)
                           : 0xFFFFFFFF;
}

std::string IntegrityCheck(const std::string& path) {
  sqlite3* db = nullptr;
  std::string result = "cannot open";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
      result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return result;
}

TEST(RegistryStoreFile, ComesFromTheEnvironment) {
  const struct {
    const char* registry;
    const char* data_home;
    const char* home;
    const char* expected;
  } cases[] = {
      {"/x/r.db", "/data", "/home/u", "/x/r.db"},
      {"", "/data", "/home/u", "/data/zarn4/registry.db"},
      {nullptr, "/data", "/home/u", "/data/zarn4/registry.db"},
      {nullptr, nullptr, "/home/u", "/home/u/.local/share/zarn4/registry.db"},
      {nullptr, "", "/home/u", "/home/u/.local/share/zarn4/registry.db"},
      // A relative XDG_DATA_HOME is invalid and ignored.
      {nullptr, "relative/data", "/home/u", "/home/u/.local/share/zarn4/registry.db"},
  };
  for (const auto& c : cases) {
    const test::ScopedEnv registry("ZARN4_REGISTRY", c.registry);
    const test::ScopedEnv data_home("XDG_DATA_HOME", c.data_home);
    const test::ScopedEnv home("HOME", c.home);
    EXPECT_EQ(posix::RegistryFilePath(), c.expected);
  }
}

TEST(RegistryStoreFile, MissingFoldersAreCreated) {
  const test::TempDir scratch;
  const std::string path = scratch.PathOf("deep/er/registry.db");
  const test::ScopedEnv registry("ZARN4_REGISTRY", path.c_str());
  ASSERT_NE(RegistryKey::Create(kRoot, kKey), nullptr);
  EXPECT_TRUE(std::filesystem::is_regular_file(path));
}

TEST(RegistryStoreFile, AFileThatIsNoStoreIsLeftAloneAndEveryCallFails) {
  const test::TempDir scratch;
  const std::string path = scratch.PathOf("not-a-store.db");
  const std::string garbage(5000, 'x');
  test::WriteBytes(path, garbage);
  const test::ScopedEnv registry("ZARN4_REGISTRY", path.c_str());
  EXPECT_EQ(RegistryKey::Create(kRoot, kKey), nullptr);
  EXPECT_EQ(RegistryKey::Open(kRoot, kKey, RegistryKey::Access::kRead), nullptr);
  EXPECT_FALSE(RegistryKey::DeleteTree(kRoot, kKey));
  EXPECT_EQ(test::ReadWholeFile(path), garbage);
}

TEST(RegistryStorePaths, EmptyNamesAndOverlongNamesAreRefused) {
  const struct {
    std::string path;
    bool valid;
  } cases[] = {
      {"Software\\ZarnTest\\Store\\Trailing\\", true},
      {"\\Software\\ZarnTest\\Store", false},
      {"Software\\\\ZarnTest", false},
      {"Software\\ZarnTest\\Store\\" + std::string(255, 'k'), true},
      {"Software\\ZarnTest\\Store\\" + std::string(256, 'k'), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(RegistryKey::Create(kRoot, c.path) != nullptr, c.valid);
  }
  auto key = RegistryKey::Create(kRoot, kKey);
  ASSERT_NE(key, nullptr);
  EXPECT_TRUE(key->SetValue(std::string(16383, 'v'), RegistryType::kSz, Bytes{0}));
  EXPECT_FALSE(key->SetValue(std::string(16384, 'v'), RegistryType::kSz, Bytes{0}));
  EXPECT_FALSE(RegistryKey::DeleteTree(kRoot, ""));
}

TEST(RegistryStoreKeys, AHandleToADeletedKeyFailsEvenAfterTheKeyIsMadeAgain) {
  auto stale = RegistryKey::Create(kRoot, kKey);
  ASSERT_NE(stale, nullptr);
  ASSERT_TRUE(stale->SetValue("v", RegistryType::kDword, Dword(1)));
  ASSERT_TRUE(RegistryKey::DeleteTree(kRoot, kKey));
  auto fresh = RegistryKey::Create(kRoot, kKey);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(stale->QueryValue("v").status, RegistryStatus::kError);
  EXPECT_FALSE(stale->SetValue("v", RegistryType::kDword, Dword(2)));
  EXPECT_EQ(fresh->QueryValue("v").status, RegistryStatus::kMissing);
}

// Starts a child process running body; the child never returns into the test framework (and so
// never removes the test's scratch folder on its way out).
template <typename Body>
pid_t Fork(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

int ExitCode(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RegistryStoreProcesses, WritersAtTheSameTimeWaitForEachOtherInsteadOfFailing) {
  constexpr int kWriters = 3;
  constexpr int kWrites = 100;
  ASSERT_NE(RegistryKey::Create(kRoot, kKey), nullptr);
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    children.push_back(Fork([w] {
      int failures = 0;
      for (int i = 0; i < kWrites; ++i) {
        auto key = RegistryKey::Create(kRoot, kKey);
        const std::string name = "w" + std::to_string(w) + "_" + std::to_string(i);
        if (!key ||
            !key->SetValue(name, RegistryType::kDword, Dword(static_cast<std::uint32_t>(i)))) {
          ++failures;
        }
      }
      return std::min(failures, 255);
    }));
  }
  for (const pid_t child : children) EXPECT_EQ(ExitCode(child), 0);
  auto key = RegistryKey::Open(kRoot, kKey, RegistryKey::Access::kRead);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->ValueNames().size(), static_cast<std::size_t>(kWriters * kWrites));
  EXPECT_EQ(FromDword(key->QueryValue("W2_99").value.data), 99u);
}

TEST(RegistryStoreProcesses, AWriterKilledMidStreamLeavesAStoreThatOpensAndReads) {
  const std::string kKilledKey = "Software\\ZarnTest\\Killed";
  const std::string store = std::getenv("ZARN4_REGISTRY");
  // Kill at different moments of the stream; each round starts from the store the last left.
  for (const int delay_ms : {0, 7, 23, 51, 97}) {
    SCOPED_TRACE(delay_ms);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = Fork([&ready, &kKilledKey] {
      close(ready[0]);
      const Bytes blob(3000, 0x5a);
      for (std::uint32_t i = 0;; ++i) {
        auto key = RegistryKey::Create(kRoot, kKilledKey);
        if (!key) return 1;
        // The counter and a large value, each in a transaction of its own, and now and then a
        // whole sub-tree made and deleted.
        key->SetValue("Counter", RegistryType::kDword, Dword(i));
        key->SetValue("Blob" + std::to_string(i % 20), RegistryType::kBinary, blob);
        if (i % 10 == 0) {
          RegistryKey::Create(kRoot, kKilledKey + "\\Sub\\Deeper");
          RegistryKey::DeleteTree(kRoot, kKilledKey + "\\Sub");
        }
        if (i == 0 && write(ready[1], "x", 1) != 1) return 1;
      }
    });
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the writer never wrote";
    close(ready[0]);
    usleep(static_cast<useconds_t>(delay_ms) * 1000);
    kill(child, SIGKILL);
    EXPECT_EQ(ExitCode(child), -1);

    auto key = RegistryKey::Open(kRoot, kKilledKey, RegistryKey::Access::kAll);
    ASSERT_NE(key, nullptr);
    const RegistryRead counter = key->QueryValue("Counter");
    ASSERT_EQ(counter.status, RegistryStatus::kOk);
    EXPECT_EQ(counter.value.data.size(), 4u);
    for (const std::string& name : key->ValueNames()) {
      const RegistryRead value = key->QueryValue(name);
      ASSERT_EQ(value.status, RegistryStatus::kOk) << name;
      if (name != "Counter" && name != "After") {
        EXPECT_EQ(value.value.data, Bytes(3000, 0x5a)) << name;
      }
    }
    EXPECT_TRUE(key->SetValue("After", RegistryType::kDword, Dword(1)));
    EXPECT_EQ(IntegrityCheck(store), "ok");
  }
}

}  // namespace
}  // namespace zarn::platform
