// The platform's SHA-256 and ECDSA P-256 check against fixed vectors made with OpenSSL's command
// line (two keys, one signature of one message): the same table runs on both back ends, so a key
// or signature that one accepts and the other refuses shows here.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/hex.h"
#include "platform/signature.h"
#include "tests/support/temp_dir.h"

namespace zarn::platform {
namespace {

constexpr std::string_view kMessage = "ZARN release manifest";
constexpr std::string_view kKeyA =
    "f1f2dee18af7981f1cf30443b33579a72a9a54200c53fa3e2d7318871f0b5b00"
    "c3285a78d312c9febcda6fa336c16f1f57a53babe8713bbc537eecfc0a740be4";
constexpr std::string_view kKeyB =
    "f2b4e5cb879e631c75baff798b66c7c2e61d93280fdafea554bb770ee759a78e"
    "69b27ba91134b615c154a9d3e61383580e5c0e6747a9af9f16d8ac04e456f9ec";
constexpr std::string_view kDigest =
    "35b57c4437ab91fbcbce4370ab6b8e03eba8d505eee1d8f542dbfd5c34bd6a52";
// Signed with key A.
constexpr std::string_view kSignature =
    "c758692944ef1092ab5e96cca1ee638e5610ac05add321e32ff3ec065be46d40"
    "079170a9b95d7c84b33eea50e6a731bc0af157760b10d724c83caa77e771eb3b";
// The order of the curve's group: no valid r or s reaches it.
constexpr std::string_view kOrder =
    "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";

template <typename Array>
Array FromText(std::string_view hex) {
  const auto bytes = FromHex(hex);
  Array array{};
  std::copy(bytes->begin(), bytes->end(), array.begin());
  return array;
}

// The array with one bit of byte `at` changed.
template <typename Array>
Array Flipped(Array array, std::size_t at) {
  array[at] ^= 1;
  return array;
}

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(Sha256, DigestsOfBytesAndOfFilesAreTheKnownOnes) {
  EXPECT_EQ(ToHex(*Sha256(Bytes(""))),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(ToHex(*Sha256(Bytes("abc"))),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(ToHex(*Sha256(Bytes(kMessage))), kDigest);
  const test::TempDir dir;
  // Larger than one read of the file, so that the pieces are joined in order.
  std::string big(200000, 'x');
  big[123456] = 'y';
  EXPECT_EQ(Sha256File(dir.Write("big.bin", big)), Sha256(Bytes(big)));
  EXPECT_EQ(ToHex(*Sha256File(dir.Write("m.txt", kMessage))), kDigest);
  EXPECT_FALSE(Sha256File(dir.PathOf("missing.bin")).has_value());
}

TEST(VerifyP256, AcceptsOnlyTheSignatureOfTheDigestUnderItsKey) {
  const auto key_a = FromText<P256PublicKey>(kKeyA);
  const auto digest = FromText<Sha256Digest>(kDigest);
  const auto signature = FromText<P256Signature>(kSignature);
  auto order_as_r = signature;
  const auto order = FromText<Sha256Digest>(kOrder);
  std::copy(order.begin(), order.end(), order_as_r.begin());
  const struct Row {
    const char* name;
    P256PublicKey key;
    Sha256Digest digest;
    P256Signature signature;
    bool valid;
  } rows[] = {
      {"good", key_a, digest, signature, true},
      {"another key", FromText<P256PublicKey>(kKeyB), digest, signature, false},
      {"digest bit flipped", key_a, Flipped(digest, 31), signature, false},
      {"r bit flipped", key_a, digest, Flipped(signature, 5), false},
      {"s bit flipped", key_a, digest, Flipped(signature, 40), false},
      {"key not on the curve", Flipped(key_a, 63), digest, signature, false},
      {"zero key", P256PublicKey{}, digest, signature, false},
      {"zero signature", key_a, digest, P256Signature{}, false},
      {"r is the group order", key_a, digest, order_as_r, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(VerifyP256(row.key, row.digest, row.signature), row.valid) << row.name;
  }
}

}  // namespace
}  // namespace zarn::platform
