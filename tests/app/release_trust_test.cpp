// The settings and files around a release's signature: which key the updater holds, which
// signature files it takes at all, and what a signed manifest must say about itself. Runs
// natively and under Wine.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/release_metadata.h"
#include "app/release_trust.h"
#include "common/hex.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/temp_dir.h"

namespace zarn {
namespace {

constexpr std::string_view kKey =
    "f1f2dee18af7981f1cf30443b33579a72a9a54200c53fa3e2d7318871f0b5b00"
    "c3285a78d312c9febcda6fa336c16f1f57a53babe8713bbc537eecfc0a740be4";
// Key's signature of kMessage (r then s).
constexpr std::string_view kMessage = "ZARN release manifest";
constexpr std::string_view kSignature =
    "c758692944ef1092ab5e96cca1ee638e5610ac05add321e32ff3ec065be46d40"
    "079170a9b95d7c84b33eea50e6a731bc0af157760b10d724c83caa77e771eb3b";

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// Blanks around a text (built by appending: GCC 12 mistakes " " + text + " " for an overlapping
// copy).
std::string Padded(std::string_view text) {
  std::string padded(1, ' ');
  padded.append(text);
  padded.push_back(' ');
  return padded;
}

TEST(UpdateKey, TheSettingDecidesAndAMalformedKeyStillMakesSignaturesMandatory) {
  const struct Row {
    const char* name;
    bool present;
    std::string setting;
    bool configured;
    bool usable;
  } rows[] = {
      {"absent", false, "", false, false},
      {"blank", true, "  ", false, false},
      {"good", true, std::string(kKey), true, true},
      {"upper case, blanks around", true, Padded(Upper(kKey)), true, true},
      {"one digit short", true, std::string(kKey.substr(1)), true, false},
      {"not hexadecimal", true, "zz", true, false},
  };
  for (const Row& row : rows) {
    test::SettingsSandbox settings;
    if (row.present) settings.SetString(kUpdatePublicKeyValue, row.setting);
    const UpdateKey key = ReadUpdateKey();
    EXPECT_EQ(key.configured, row.configured) << row.name;
    ASSERT_EQ(key.key.has_value(), row.usable) << row.name;
    if (row.usable) {
      EXPECT_EQ(ToHex(*key.key), kKey) << row.name;
    }
  }
}

TEST(ManifestSignature, OnlyAFileOfExactlyOneValidSignatureCounts) {
  const test::TempDir dir;
  const std::string manifest = dir.Write("z4up.ini", kMessage);
  const auto key = ParsePublicKey(kKey);
  ASSERT_TRUE(key.has_value());
  const std::string good = std::string(reinterpret_cast<const char*>(FromHex(kSignature)->data()),
                                       FromHex(kSignature)->size());
  const struct Row {
    const char* name;
    std::string signature;  // "-": no file
    bool valid;
  } rows[] = {
      {"good", good, true},
      {"missing", "-", false},
      {"empty", "", false},
      {"one byte short", good.substr(0, 63), false},
      {"one byte more", good + '\0', false},
      {"as hexadecimal text", std::string(kSignature), false},
  };
  for (const Row& row : rows) {
    const std::string path = dir.PathOf(std::string("sig-") + row.name);
    if (row.signature != "-") dir.Write(std::string("sig-") + row.name, row.signature);
    EXPECT_EQ(ManifestSignatureValid(*key, manifest, path), row.valid) << row.name;
  }
}

TEST(FileDigest, MatchesTheListedDigestInEitherLetterCase) {
  const test::TempDir dir;
  const std::string path = dir.Write("a.cab", "abc");
  const std::string digest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  EXPECT_TRUE(FileDigestMatches(path, digest));
  EXPECT_TRUE(FileDigestMatches(path, Upper(digest)));
  EXPECT_FALSE(FileDigestMatches(path, digest.substr(0, 62)));
  EXPECT_FALSE(FileDigestMatches(dir.PathOf("missing.cab"), digest));
}

TEST(ReleaseIdent, ChannelThenExpiryThenStampDecide) {
  using enum ManifestRefusal;
  constexpr std::int32_t kNow = 14000000;
  const struct Row {
    const char* name;
    ReleaseIdent ident;
    std::optional<std::int32_t> last;
    ManifestRefusal refusal;
  } rows[] = {
      {"same release again", {"production", "ERROR", 1000}, 1000, kNone},
      {"no stamp, one accepted", {"production", "ERROR", -1}, 1000, kOlder},
      {"other channel, even expired", {"beta", "1", 1000}, std::nullopt, kOtherChannel},
      {"expires this minute", {"production", std::to_string(kNow), 1000}, 1000, kExpired},
      {"expires next minute", {"production", std::to_string(kNow + 1), 1000}, 1000, kNone},
      {"unreadable expiry", {"production", "soon", 1000}, 1000, kExpired},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(CheckReleaseIdent(row.ident, kProductionChannel, kNow, row.last), row.refusal)
        << row.name;
  }
}

}  // namespace
}  // namespace zarn
