// The cryptography that checks a release: SHA-256 digests and ECDSA P-256 signature checks,
// done by the platform's own library (OpenSSL's libcrypto on POSIX, CNG's bcrypt.dll on Windows).
// Keys and signatures travel in CNG's raw forms, which both back ends read the same way.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace zarn::platform {

using Sha256Digest = std::array<std::uint8_t, 32>;
// A P-256 public key: the point's X and Y, 32 big-endian bytes each.
using P256PublicKey = std::array<std::uint8_t, 64>;
// An ECDSA signature: r and s, 32 big-endian bytes each.
using P256Signature = std::array<std::uint8_t, 64>;

// The digest of bytes, or nullopt when the platform offers no SHA-256.
std::optional<Sha256Digest> Sha256(std::span<const std::uint8_t> bytes);
// The digest of a file's contents, or nullopt when it cannot be read (or there is no SHA-256).
std::optional<Sha256Digest> Sha256File(std::string_view path);

// True only when signature is a valid ECDSA P-256 signature of digest under key. A key that is
// not a point of the curve, a signature out of range, or a platform without the algorithm all
// give false.
bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                const P256Signature& signature);

}  // namespace zarn::platform
