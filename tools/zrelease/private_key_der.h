// The publisher's private key in the one binary form both back ends keep it in: PKCS #8 DER of a
// P-256 key, laid out as OpenSSL writes it. The POSIX back end leaves the form to OpenSSL; the
// Windows back end, whose CNG has no PKCS #8 reader for ECC keys, uses this codec. Reading is
// strict: anything but that layout is refused, with the reason.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/signature.h"

namespace zarn::release {

// The private scalar d, 32 big-endian bytes.
using P256Secret = std::array<std::uint8_t, 32>;

struct P256KeyParts {
  P256Secret secret{};
  // The public point, when the file carries it (OpenSSL always writes it).
  std::optional<platform::P256PublicKey> public_key;
};

// SEQUENCE { INTEGER 0, SEQUENCE { id-ecPublicKey, prime256v1 }, OCTET STRING { ECPrivateKey
// SEQUENCE { INTEGER 1, OCTET STRING d, [1] BIT STRING 04||X||Y } } }: 138 bytes.
std::vector<std::uint8_t> EncodeP256PrivateKey(const P256Secret& secret,
                                               const platform::P256PublicKey& public_key);

// The parts of such a key. The ECPrivateKey may also carry [0] with the curve's name (it must be
// prime256v1) and may leave out [1]; nothing else is accepted. nullopt, with the reason in
// problem, for anything else.
std::optional<P256KeyParts> DecodeP256PrivateKey(std::span<const std::uint8_t> der,
                                                 std::string& problem);

}  // namespace zarn::release
