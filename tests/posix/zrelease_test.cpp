// The publisher's tool's own rules: the "Time Of Update" form (it must keep growing past 2038 and
// fit the manifest's 32-bit number) and the releases it refuses to build.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "tests/support/file_contents.h"
#include "tests/support/manifest_name_rows.h"
#include "tests/support/temp_dir.h"
#include "tools/zrelease/release_builder.h"
#include "tools/zrelease/release_verifier.h"
#include "tools/zrelease/signing_key.h"
#include "tools/zrelease/time_stamp.h"

namespace zarn::release {
namespace {

TEST(TimeOfUpdate, NumbersAndUtcTimesWithinTheSigned32BitRange) {
  const struct Row {
    const char* text;
    std::optional<std::int32_t> stamp;
  } rows[] = {
      {"0", 0},
      {"2147483647", 2147483647},
      {"2147483648", std::nullopt},
      {"-1", std::nullopt},
      {"2000-01-01T00:00", 0},
      {"2000-01-01 00:01", 1},
      // The second that ends 32-bit Unix time, and a century later: still growing, still fitting.
      {"2038-01-19T03:14", 20013314},
      {"2038-01-19T03:15", 20013315},
      {"2138-01-19T03:15", 72607875},
      {"1999-12-31T23:59", std::nullopt},
      {"2026-13-01T00:00", std::nullopt},
      {"2024-02-29T12:34", 12708754},
      {"2026-02-29T00:00", std::nullopt},  // not rolled over into March
      {"2026-12-08T11:10Z", std::nullopt},
      {"12ab", std::nullopt},
      {"", std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ParseTimeOfUpdate(row.text), row.stamp) << row.text;
  }
}

TEST(BuildRelease, RefusesWhatTheUpdaterCouldNotInstall) {
  const test::TempDir dir;
  const std::filesystem::path from = dir.path() / "prog";
  std::filesystem::create_directories(from / "a");
  test::WriteBytes(from / "a_b.txt", "one");
  test::WriteBytes(from / "a" / "b.txt", "two");
  const struct Row {
    const char* name;
    BuildOptions options;
    const char* problem;
  } rows[] = {
      {"two files, one cabinet name",
       {from.string(), dir.PathOf("out1"), false, {}, 0, ""},
       "a\\b.txt and a_b.txt would share the cabinet a_b.txt.cab"},
      {"no such folder",
       {dir.PathOf("none"), dir.PathOf("out2"), false, {}, 0, ""},
       " is not a folder"},
  };
  for (const Row& row : rows) {
    const std::string problem = BuildRelease(row.options);
    EXPECT_NE(problem.find(row.problem), std::string::npos) << row.name << ": " << problem;
  }
  std::filesystem::remove(from / "a" / "b.txt");
  const std::string problem =
      BuildRelease({from.string(), dir.PathOf("out3"), false, {"radio.dll"}, 0, ""});
  EXPECT_EQ(problem, "--register radio.dll: no such file in " + from.string());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out3" / "z4up.ini"));
}

// The manifest of a release in `to` with one more "Files" key carried by ok.txt's cabinet, signed
// again.
void AddKey(const std::filesystem::path& to, const std::string& key, const SigningKey& signer) {
  std::string text = test::ReadWholeFile(to / "z4up.ini");
  text.insert(text.find("[Files]\r\n") + 9, key + "=1\r\n");
  text.insert(text.find("[Cabs]\r\n") + 8, key + "=ok.txt.cab\r\n");
  test::WriteBytes(to / "z4up.ini", text);
  const auto digest =
      platform::Sha256(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  const auto signature = signer.Sign(*digest);
  test::WriteBytes(
      to / "z4up.ini.sig",
      std::string_view(reinterpret_cast<const char*>(signature->data()), signature->size()));
}

// Build and verify refuse exactly the names the updater skips or mis-reads.
TEST(BuildRelease, RefusesAndVerifyReportsTheNamesTheUpdaterRefuses) {
  const test::TempDir dir;
  const auto signer = SigningKey::Generate();
  ASSERT_TRUE(signer);
  ASSERT_EQ(signer->Save(dir.PathOf("key.pem")), "");
  int n = 0;
  for (const auto& row : test::ManifestNameRows()) {
    const std::string label = "'" + row.key + "'";
    const std::filesystem::path from = dir.path() / ("prog" + std::to_string(n));
    const std::filesystem::path to = dir.path() / ("rel" + std::to_string(n++));
    std::filesystem::create_directories(from);
    test::WriteBytes(from / "ok.txt", "ok");
    const bool refused = row.refusal != NameRefusal::kNone;
    if (row.posix_file) {
      const auto slash = row.key.find('\\');
      std::filesystem::path file = from / row.key;
      if (slash != std::string::npos) {
        std::filesystem::create_directories(from / row.key.substr(0, slash));
        file = from / row.key.substr(0, slash) / row.key.substr(slash + 1);
      }
      test::WriteBytes(file, "x");
      const std::string problem =
          BuildRelease({from.string(), to.string(), false, {}, 1, dir.PathOf("key.pem")});
      EXPECT_EQ(problem.empty(), !refused) << label << ": " << problem;
      EXPECT_EQ(std::filesystem::exists(to / "z4up.ini"), !refused) << label;
      if (!refused) {
        EXPECT_EQ(VerifyRelease(to.string(), false, signer->PublicKey()),
                  std::vector<std::string>{})
            << label;
      }
      std::filesystem::remove(file);
    }
    // A ";" line is a comment to the reader: such a manifest merely lists no such file.
    if (!refused || row.key.front() == ';') continue;
    ASSERT_EQ(BuildRelease({from.string(), to.string(), false, {}, 1, dir.PathOf("key.pem")}), "");
    AddKey(to, row.key, *signer);
    EXPECT_NE(VerifyRelease(to.string(), false, signer->PublicKey()), std::vector<std::string>{})
        << label;
  }
}

}  // namespace
}  // namespace zarn::release
