// What makes a release trustworthy: the publisher's public key the updater holds, the signature
// beside the manifest, and the cabinets' SHA-256 digests listed in the manifest's "Hashes"
// section (key: cabinet name, value: 64 hexadecimal digits).
//
// A public key is 128 hexadecimal digits, the P-256 point's X then Y; a signature file holds the
// 64 bytes r then s of an ECDSA P-256 signature over the manifest file's SHA-256 digest.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/signature.h"

namespace zarn {

inline constexpr std::string_view kManifestHashes = "Hashes";
// Section "Sizes": key cabinet name, value its size in bytes (decimal digits).
inline constexpr std::string_view kManifestSizes = "Sizes";
// The signature's file name is the manifest's with this appended.
inline constexpr std::string_view kSignatureSuffix = ".sig";
inline constexpr const char* kUpdatePublicKeyValue = "Update Public Key";

// The key in its text form; blanks around it are ignored.
std::optional<platform::P256PublicKey> ParsePublicKey(std::string_view text);

// The key the updater checks releases with: the setting "Update Public Key" (REG_SZ) when it is
// present and not blank, else the key built into the program (none by default). A key that is
// configured but malformed still makes signatures mandatory, and no signature is valid under it.
struct UpdateKey {
  bool configured = false;
  std::optional<platform::P256PublicKey> key;
};
UpdateKey ReadUpdateKey();

// True when signature_path holds exactly one signature and it is valid for the manifest's bytes.
bool ManifestSignatureValid(const platform::P256PublicKey& key, std::string_view manifest_path,
                            std::string_view signature_path);

// True when the file's SHA-256 digest is listed_hex (letter case ignored).
bool FileDigestMatches(std::string_view path, std::string_view listed_hex);

// A "Sizes" value: decimal digits only (blanks around them ignored), within 64 bits.
std::optional<std::uint64_t> ParseListedSize(std::string_view text);

// "Install Without Asking" (REG_DWORD, non-zero = true; false when absent): the pass installs an
// update without asking the user.
bool ReadInstallWithoutAsking();

}  // namespace zarn
