// The key file's PKCS #8 codec that the Windows tool uses: it must write what OpenSSL writes,
// byte for byte, read OpenSSL's keys, and refuse every other layout.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "tools/zrelease/private_key_der.h"
#include "tools/zrelease/signing_key.h"

namespace zarn::release {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One DER element (lengths below 64 KiB).
Bytes Tlv(std::uint8_t tag, const Bytes& content) {
  Bytes out{tag};
  if (content.size() >= 0x100) {
    out.insert(out.end(), {0x82, static_cast<std::uint8_t>(content.size() >> 8),
                           static_cast<std::uint8_t>(content.size())});
  } else if (content.size() >= 0x80) {
    out.insert(out.end(), {0x81, static_cast<std::uint8_t>(content.size())});
  } else {
    out.push_back(static_cast<std::uint8_t>(content.size()));
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

const Bytes kEcOid = {0x06, 0x07, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};
const Bytes kP256Oid = {0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};
const Bytes kP384Oid = {0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x22};
const Bytes kRsaOid = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};

// The PEM file's DER bytes, decoded by OpenSSL.
Bytes DerOfPem(const std::string& pem) {
  std::string base64;
  std::size_t at = pem.find('\n') + 1;
  for (std::size_t end; (end = pem.find('\n', at)) != std::string::npos; at = end + 1) {
    if (pem.compare(at, 5, "-----") != 0) base64 += pem.substr(at, end - at);
  }
  Bytes der(base64.size());
  const int size =
      EVP_DecodeBlock(der.data(), reinterpret_cast<const unsigned char*>(base64.data()),
                      static_cast<int>(base64.size()));
  der.resize(static_cast<std::size_t>(size) - std::count(base64.begin(), base64.end(), '='));
  return der;
}

TEST(PrivateKeyDer, ReadsAndWritesOpenSslsOwnBytes) {
  const test::TempDir dir;
  const auto key = SigningKey::Generate();
  ASSERT_TRUE(key);
  ASSERT_EQ(key->Save(dir.PathOf("key.pem")), "");
  const Bytes der = DerOfPem(test::ReadWholeFile(dir.path() / "key.pem"));
  std::string problem;
  const auto parts = DecodeP256PrivateKey(der, problem);
  ASSERT_TRUE(parts) << problem;
  ASSERT_TRUE(parts->public_key);
  EXPECT_EQ(*parts->public_key, key->PublicKey());
  EXPECT_EQ(EncodeP256PrivateKey(parts->secret, *parts->public_key), der);
}

TEST(PrivateKeyDer, TakesOnlyTheP256Layout) {
  Bytes secret(32, 0x11);
  Bytes point = {0x00, 0x04};
  point.insert(point.end(), 64, 0x22);
  const Bytes version0 = Tlv(0x02, {0x00});
  const Bytes version1 = Tlv(0x02, {0x01});
  const Bytes algorithm = Tlv(0x30, Join({kEcOid, kP256Oid}));
  const Bytes public_key = Tlv(0xA1, Tlv(0x03, point));
  // PKCS #8 around an ECPrivateKey made of the given fields.
  const auto pkcs8 = [&](const Bytes& algo, const Bytes& ec_fields, const Bytes& after = {}) {
    return Tlv(0x30, Join({version0, algo, Tlv(0x04, Tlv(0x30, ec_fields)), after}));
  };
  const Bytes good_fields = Join({version1, Tlv(0x04, secret), public_key});
  const Bytes good = pkcs8(algorithm, good_fields);
  Bytes long_length = good;
  long_length.insert(long_length.begin() + 28, 0x81);  // 04 6D -> 04 81 6D
  long_length[2] += 1;
  const struct Row {
    const char* name;
    Bytes der;
    const char* problem;  // empty: accepted
    bool has_public_key;
  } rows[] = {
      {"as OpenSSL writes it", good, "", true},
      {"without the public key", pkcs8(algorithm, Join({version1, Tlv(0x04, secret)})), "", false},
      {"with the curve's name",
       pkcs8(algorithm, Join({version1, Tlv(0x04, secret), Tlv(0xA0, kP256Oid), public_key})), "",
       true},
      {"another curve's name inside",
       pkcs8(algorithm, Join({version1, Tlv(0x04, secret), Tlv(0xA0, kP384Oid), public_key})),
       "the key's own curve is not P-256", false},
      {"a byte after the key", Join({good, {0x00}}), "no single DER SEQUENCE", false},
      {"cut short", Bytes(good.begin(), good.end() - 1), "no single DER SEQUENCE", false},
      {"a longer length form than needed", long_length, "no private key", false},
      {"version 1 (with a public key field)",
       Tlv(0x30, Join({version1, algorithm, Tlv(0x04, Tlv(0x30, good_fields))})),
       "version is not 0", false},
      {"an RSA key", pkcs8(Tlv(0x30, Join({kRsaOid, {0x05, 0x00}})), good_fields), "not an EC key",
       false},
      {"P-384", pkcs8(Tlv(0x30, Join({kEcOid, kP384Oid})), good_fields), "not the curve P-256",
       false},
      {"attributes", pkcs8(algorithm, good_fields, Tlv(0xA0, {})), "unexpected attributes", false},
      {"ECPrivateKey version 2", pkcs8(algorithm, Join({Tlv(0x02, {0x02}), Tlv(0x04, secret)})),
       "ECPrivateKey version is not 1", false},
      {"a 31-byte private value",
       pkcs8(algorithm, Join({version1, Tlv(0x04, Bytes(31, 0x11)), public_key})), "not 32 bytes",
       false},
      {"a zero private value", pkcs8(algorithm, Join({version1, Tlv(0x04, Bytes(32, 0))})),
       "the private value is zero", false},
      {"a compressed point",
       pkcs8(algorithm, Join({version1, Tlv(0x04, secret),
                              Tlv(0xA1, Tlv(0x03, Join({{0x00, 0x02}, Bytes(32, 0x22)})))})),
       "not an uncompressed P-256 point", false},
      {"a field after the public key", pkcs8(algorithm, Join({good_fields, Tlv(0x04, {})})),
       "unexpected fields", false},
  };
  for (const Row& row : rows) {
    std::string problem;
    const auto parts = DecodeP256PrivateKey(row.der, problem);
    if (*row.problem == '\0') {
      ASSERT_TRUE(parts) << row.name << ": " << problem;
      EXPECT_EQ(Bytes(parts->secret.begin(), parts->secret.end()), secret) << row.name;
      EXPECT_EQ(parts->public_key.has_value(), row.has_public_key) << row.name;
    } else {
      EXPECT_FALSE(parts) << row.name;
      EXPECT_NE(problem.find(row.problem), std::string::npos) << row.name << ": " << problem;
    }
  }
}

}  // namespace
}  // namespace zarn::release
