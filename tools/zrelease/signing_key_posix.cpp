// P-256 keys and ECDSA signatures with OpenSSL 3; the key file is OpenSSL's own PEM (PKCS #8).
#include "tools/zrelease/signing_key.h"

#include <fcntl.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/c_deleter.h"

namespace zarn::release {

namespace {

using Bignum = std::unique_ptr<BIGNUM, CDeleter<BN_free>>;
using KeyContext = std::unique_ptr<EVP_PKEY_CTX, CDeleter<EVP_PKEY_CTX_free>>;
using Signature = std::unique_ptr<ECDSA_SIG, CDeleter<ECDSA_SIG_free>>;
using File = std::unique_ptr<std::FILE, CDeleter<std::fclose>>;

std::string OpenSslError() {
  const unsigned long code = ERR_get_error();
  if (code == 0) return "unknown error";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

bool IsP256(EVP_PKEY* key) {
  char group[64] = {};
  std::size_t length = 0;
  return EVP_PKEY_is_a(key, "EC") &&
         EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group,
                                        &length) == 1 &&
         std::strcmp(group, "prime256v1") == 0;
}

}  // namespace

struct SigningKey::Impl {
  std::unique_ptr<EVP_PKEY, CDeleter<EVP_PKEY_free>> key;
};

SigningKey::SigningKey(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SigningKey::~SigningKey() = default;
SigningKey::SigningKey(SigningKey&&) noexcept = default;
SigningKey& SigningKey::operator=(SigningKey&&) noexcept = default;

std::optional<SigningKey> SigningKey::Generate() {
  auto impl = std::make_unique<Impl>();
  // EVP_EC_gen would cast a literal's constness away; the curve's name goes in as its own array.
  char curve[] = "P-256";
  impl->key.reset(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", curve));
  if (!impl->key) return std::nullopt;
  return SigningKey(std::move(impl));
}

std::optional<SigningKey> SigningKey::Load(const std::string& path, std::string& problem) {
  const File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    problem = "cannot open " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  auto impl = std::make_unique<Impl>();
  impl->key.reset(PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr));
  if (!impl->key) {
    problem = path + " holds no private key in PEM form (" + OpenSslError() + ")";
    return std::nullopt;
  }
  if (!IsP256(impl->key.get())) {
    problem = path + " is not a P-256 key";
    return std::nullopt;
  }
  return SigningKey(std::move(impl));
}

std::string SigningKey::Save(const std::string& path) const {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (descriptor < 0) return "cannot create " + path + ": " + std::strerror(errno);
  File file(fdopen(descriptor, "wb"));
  if (!file) {
    ::close(descriptor);
    return "cannot write " + path;
  }
  if (PEM_write_PrivateKey(file.get(), impl_->key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
          1 ||
      std::fclose(file.release()) != 0) {
    ::unlink(path.c_str());
    return "cannot write " + path;
  }
  return {};
}

platform::P256PublicKey SigningKey::PublicKey() const {
  platform::P256PublicKey key{};
  BIGNUM* x = nullptr;
  BIGNUM* y = nullptr;
  EVP_PKEY_get_bn_param(impl_->key.get(), OSSL_PKEY_PARAM_EC_PUB_X, &x);
  EVP_PKEY_get_bn_param(impl_->key.get(), OSSL_PKEY_PARAM_EC_PUB_Y, &y);
  const Bignum owned_x(x);
  const Bignum owned_y(y);
  if (x != nullptr && y != nullptr) {
    BN_bn2binpad(x, key.data(), 32);
    BN_bn2binpad(y, key.data() + 32, 32);
  }
  return key;
}

std::optional<platform::P256Signature> SigningKey::Sign(
    const platform::Sha256Digest& digest) const {
  KeyContext context(EVP_PKEY_CTX_new_from_pkey(nullptr, impl_->key.get(), nullptr));
  std::size_t size = 0;
  if (!context || EVP_PKEY_sign_init(context.get()) != 1 ||
      EVP_PKEY_sign(context.get(), nullptr, &size, digest.data(), digest.size()) != 1) {
    return std::nullopt;
  }
  std::vector<unsigned char> der(size);
  if (EVP_PKEY_sign(context.get(), der.data(), &size, digest.data(), digest.size()) != 1) {
    return std::nullopt;
  }
  const unsigned char* in = der.data();
  const Signature parsed(d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(size)));
  if (!parsed) return std::nullopt;
  platform::P256Signature raw{};
  if (BN_bn2binpad(ECDSA_SIG_get0_r(parsed.get()), raw.data(), 32) != 32 ||
      BN_bn2binpad(ECDSA_SIG_get0_s(parsed.get()), raw.data() + 32, 32) != 32) {
    return std::nullopt;
  }
  return raw;
}

}  // namespace zarn::release
