// The publisher's P-256 key through the platform's cryptography (OpenSSL on POSIX, CNG on
// Windows): made and kept as a PEM (PKCS #8) file that both back ends read, and used to sign
// manifests. Signatures come out in the raw r||s form the updater checks.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/signature.h"

namespace zarn::release {

class SigningKey {
 public:
  ~SigningKey();
  SigningKey(SigningKey&&) noexcept;
  SigningKey& operator=(SigningKey&&) noexcept;

  // A new random key.
  static std::optional<SigningKey> Generate();
  // A P-256 private key from a PEM file; nullopt (with the reason in problem) otherwise.
  static std::optional<SigningKey> Load(const std::string& path, std::string& problem);

  // Writes the key as a new PEM file readable by its owner only; an existing file is never
  // overwritten. Returns an empty text, or what went wrong.
  std::string Save(const std::string& path) const;

  platform::P256PublicKey PublicKey() const;
  // The signature of a digest, in r||s form.
  std::optional<platform::P256Signature> Sign(const platform::Sha256Digest& digest) const;

 private:
  struct Impl;
  explicit SigningKey(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace zarn::release
