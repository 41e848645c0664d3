// SHA-256 and ECDSA P-256 checks through OpenSSL's libcrypto. The raw r||s signature becomes the
// DER form OpenSSL verifies; the raw X||Y key becomes an uncompressed point of prime256v1.
#include "platform/signature.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/c_deleter.h"

namespace zarn::platform {

namespace {

using DigestContext = std::unique_ptr<EVP_MD_CTX, CDeleter<EVP_MD_CTX_free>>;
using KeyContext = std::unique_ptr<EVP_PKEY_CTX, CDeleter<EVP_PKEY_CTX_free>>;
using Key = std::unique_ptr<EVP_PKEY, CDeleter<EVP_PKEY_free>>;
using Signature = std::unique_ptr<ECDSA_SIG, CDeleter<ECDSA_SIG_free>>;
using File = std::unique_ptr<std::FILE, CDeleter<std::fclose>>;

std::optional<Sha256Digest> Finish(EVP_MD_CTX* context) {
  Sha256Digest digest{};
  unsigned size = 0;
  if (EVP_DigestFinal_ex(context, digest.data(), &size) != 1 || size != digest.size()) {
    return std::nullopt;
  }
  return digest;
}

Key ImportPublicKey(const P256PublicKey& key) {
  std::uint8_t point[65];
  point[0] = 0x04;  // uncompressed
  std::copy(key.begin(), key.end(), point + 1);
  char group[] = "prime256v1";
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, group, 0),
      OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point),
      OSSL_PARAM_construct_end()};
  KeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  EVP_PKEY* imported = nullptr;
  if (!context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
      EVP_PKEY_fromdata(context.get(), &imported, EVP_PKEY_PUBLIC_KEY, params) != 1) {
    return nullptr;
  }
  Key result(imported);
  // fromdata takes the point as it is; the check refuses one that is not on the curve.
  KeyContext check(EVP_PKEY_CTX_new_from_pkey(nullptr, result.get(), nullptr));
  if (!check || EVP_PKEY_public_check(check.get()) != 1) return nullptr;
  return result;
}

std::vector<std::uint8_t> ToDer(const P256Signature& raw) {
  Signature signature(ECDSA_SIG_new());
  BIGNUM* r = BN_bin2bn(raw.data(), 32, nullptr);
  BIGNUM* s = BN_bin2bn(raw.data() + 32, 32, nullptr);
  if (!signature || r == nullptr || s == nullptr || ECDSA_SIG_set0(signature.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    return {};
  }
  const int size = i2d_ECDSA_SIG(signature.get(), nullptr);
  if (size <= 0) return {};
  std::vector<std::uint8_t> der(static_cast<std::size_t>(size));
  std::uint8_t* out = der.data();
  i2d_ECDSA_SIG(signature.get(), &out);
  return der;
}

}  // namespace

std::optional<Sha256Digest> Sha256(std::span<const std::uint8_t> bytes) {
  DigestContext context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
      EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1) {
    return std::nullopt;
  }
  return Finish(context.get());
}

std::optional<Sha256Digest> Sha256File(std::string_view path) {
  File file(std::fopen(std::string(path).c_str(), "rb"));
  DigestContext context(EVP_MD_CTX_new());
  if (!file || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> buffer(64 * 1024);
  std::size_t count = 0;
  while ((count = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
    if (EVP_DigestUpdate(context.get(), buffer.data(), count) != 1) return std::nullopt;
  }
  if (std::ferror(file.get()) != 0) return std::nullopt;
  return Finish(context.get());
}

bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                const P256Signature& signature) {
  const Key public_key = ImportPublicKey(key);
  const std::vector<std::uint8_t> der = ToDer(signature);
  if (!public_key || der.empty()) return false;
  KeyContext context(EVP_PKEY_CTX_new_from_pkey(nullptr, public_key.get(), nullptr));
  return context && EVP_PKEY_verify_init(context.get()) == 1 &&
         EVP_PKEY_verify(context.get(), der.data(), der.size(), digest.data(), digest.size()) == 1;
}

}  // namespace zarn::platform
