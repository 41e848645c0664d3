// The publisher's tool's own rules: the "Time Of Update" form (it must keep growing past 2038 and
// fit the manifest's 32-bit number), the releases it refuses to build, the versions it warns
// about, what verify finds wrong in a signed release's "Ident" and "Sizes", and releases with
// patches.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <span>

#include "common/hex.h"
#include "platform/signature.h"
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
       {from.string(), dir.PathOf("out1"), false, {}, 0, "", {}, ""},
       "a\\b.txt and a_b.txt would share the cabinet a_b.txt.cab"},
      {"no such folder",
       {dir.PathOf("none"), dir.PathOf("out2"), false, {}, 0, "", {}, ""},
       " is not a folder"},
  };
  for (const Row& row : rows) {
    const std::string problem = BuildRelease(row.options);
    EXPECT_NE(problem.find(row.problem), std::string::npos) << row.name << ": " << problem;
  }
  std::filesystem::remove(from / "a" / "b.txt");
  const std::string problem =
      BuildRelease({from.string(), dir.PathOf("out3"), false, {"radio.dll"}, 0, "", {}, ""});
  EXPECT_EQ(problem, "--register radio.dll: no such file in " + from.string());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out3" / "z4up.ini"));
}

TEST(VersionRanking, WarnsAboutWhatTheComparisonRanksWrongly) {
  const struct Row {
    const char* version;
    bool warned;
  } rows[] = {
      {"4.1", false},           {"1.2.3.99", false},     {"100.0.0.0", false},
      {"1.2.3.150", true},      {"1.100", true},         {"1.2.-1", true},
      {"2147.48.36.47", false}, {"2147.48.36.48", true}, {"1.2.3.4.500", false},
      {"1.2a", true},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(!VersionRankingProblem(row.version).empty(), row.warned) << row.version;
  }
}

// The manifest rewritten by edit and signed again with the release's own key, as a publisher
// could do by hand.
void Resign(const std::filesystem::path& manifest, const SigningKey& key,
            const std::function<std::string(std::string)>& edit) {
  const std::string text = edit(test::ReadWholeFile(manifest));
  test::WriteBytes(manifest, text);
  const auto digest =
      platform::Sha256(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  const auto signature = key.Sign(*digest);
  test::WriteBytes(manifest.string() + ".sig",
                   std::string_view(reinterpret_cast<const char*>(signature->data()), 64));
}

std::string Replaced(std::string text, std::string_view from, std::string_view to) {
  const std::size_t at = text.find(from);
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(VerifyRelease, ChecksChannelExpiryAndSizesAsSigned) {
  const test::TempDir dir;
  const std::filesystem::path from = dir.path() / "prog";
  std::filesystem::create_directories(from);
  test::WriteBytes(from / "notes.txt", "the release notes");
  const std::string key_path = dir.PathOf("key.pem");
  const auto key = SigningKey::Generate();
  ASSERT_TRUE(key && key->Save(key_path).empty());
  const auto keep = [](std::string text) { return text; };
  const struct Row {
    const char* name;
    bool beta;
    std::optional<std::int32_t> expires_days;
    std::function<std::string(std::string)> edit;
    const char* problem;  // "": sound
  } rows[] = {
      {"production", false, 100000, keep, ""},
      {"beta", true, std::nullopt, keep, ""},
      {"made before releases named their channel", false, std::nullopt,
       [](std::string text) { return Replaced(text, "Channel=production\r\n", ""); },
       "the manifest names no \"Channel\": the updater refuses it"},
      {"the beta channel's manifest", false, std::nullopt,
       [](std::string text) { return Replaced(text, "=production", "=beta"); },
       "the manifest's \"Channel\" is beta, not production"},
      {"expired", false, 0, keep, "the release expired at 2024-02-29T12:34 UTC"},
      {"a wrong size", false, std::nullopt,
       [](std::string text) {
         return Replaced(text, "[Sizes]\r\nnotes.txt.cab=", "[Sizes]\r\nnotes.txt.cab=1");
       },
       "notes.txt.cab: the size in \"Sizes\" ("},
      {"a cabinet not in Sizes", false, std::nullopt,
       [](std::string text) { return text.substr(0, text.find("[Sizes]")); },
       "notes.txt.cab: no \"Sizes\" entry"},
  };
  for (const Row& row : rows) {
    const std::string to = dir.PathOf(row.name);
    BuildOptions options{from.string(), to, row.beta, {}, 12708754, key_path, row.expires_days, ""};
    ASSERT_EQ(BuildRelease(options), "") << row.name;
    Resign(std::filesystem::path(to) / (row.beta ? "z4upbeta.ini" : "z4up.ini"), *key, row.edit);
    const std::vector<std::string> problems = VerifyRelease(to, row.beta, key->PublicKey());
    if (*row.problem == '\0') {
      EXPECT_TRUE(problems.empty()) << row.name << ": " << problems.front();
    } else {
      ASSERT_EQ(problems.size(), 1u) << row.name;
      EXPECT_EQ(problems.front().rfind(row.problem, 0), 0u) << row.name << ": " << problems[0];
    }
  }
}

// A release with patches against the previous program folder: only a changed file that a patch
// makes clearly smaller gets one, and verify finds the release sound with and without the base,
// and each kind of damage with it.
TEST(BuildRelease, PatchesAgainstTheOldFolderVerifyWithAndWithoutIt) {
  const test::TempDir dir;
  const std::filesystem::path old_folder = dir.path() / "old";
  const std::filesystem::path from = dir.path() / "new";
  for (const char* folder : {"old", "new", "other"}) {
    std::filesystem::create_directory(dir.path() / folder);
  }
  std::string library(200000, '\0');
  for (std::size_t i = 0; i < library.size(); ++i) library[i] = static_cast<char>(i * i >> 7);
  test::WriteBytes(old_folder / "radio.dll", library);
  test::WriteBytes(old_folder / "same.txt", "same");
  library.replace(5000, 8, "12345678");
  test::WriteBytes(from / "radio.dll", library);
  test::WriteBytes(from / "same.txt", "same");
  test::WriteBytes(from / "new.txt", "only in the new folder");
  const auto key = SigningKey::Generate();
  ASSERT_TRUE(key);
  ASSERT_EQ(key->Save(dir.PathOf("key.pem")), "");
  const std::string out = dir.PathOf("out");
  ASSERT_EQ(BuildRelease(
                {from.string(), out, false, {}, 0, dir.PathOf("key.pem"), {}, old_folder.string()}),
            "");
  const std::filesystem::path patch = dir.path() / "out" / "radio.dll.patch";
  ASSERT_TRUE(std::filesystem::exists(patch));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "same.txt.patch"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "new.txt.patch"));

  test::WriteBytes(dir.path() / "other" / "radio.dll", library);
  const std::string good_patch = test::ReadWholeFile(patch);
  std::string bad_patch = good_patch;
  bad_patch.back() ^= 1;
  const struct Row {
    const char* name;
    std::string base;
    std::string patch;
    const char* problem;  // empty: sound
  } rows[] = {
      {"without the base", "", good_patch, ""},
      {"with the base", old_folder.string(), good_patch, ""},
      {"a folder without the base", dir.PathOf("other"), good_patch, "is not the patch's base"},
      {"a changed patch", "", bad_patch, "the digest does not match the patch"},
  };
  for (const Row& row : rows) {
    test::WriteBytes(patch, row.patch);
    const auto problems = VerifyRelease(out, false, key->PublicKey(), row.base);
    const std::string all = problems.empty() ? "" : problems.front();
    if (*row.problem == '\0') {
      EXPECT_TRUE(problems.empty()) << row.name << ": " << all;
    } else {
      EXPECT_NE(all.find(row.problem), std::string::npos) << row.name << ": " << all;
    }
  }
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
          BuildRelease({from.string(), to.string(), false, {}, 1, dir.PathOf("key.pem"), {}, ""});
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
    ASSERT_EQ(
        BuildRelease({from.string(), to.string(), false, {}, 1, dir.PathOf("key.pem"), {}, ""}),
        "");
    AddKey(to, row.key, *signer);
    EXPECT_NE(VerifyRelease(to.string(), false, signer->PublicKey()), std::vector<std::string>{})
        << label;
  }
}

}  // namespace
}  // namespace zarn::release
