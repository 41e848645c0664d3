// The checks of a release's signature and cabinet digests, over the platform's cryptography.
#include "app/release_trust.h"

#include <algorithm>
#include <cstdint>

#include "app/settings_store.h"
#include "common/hex.h"
#include "common/text.h"
#include "platform/file_handles.h"

#ifndef ZARN_UPDATE_PUBLIC_KEY
#define ZARN_UPDATE_PUBLIC_KEY ""
#endif

namespace zarn {

namespace {

// The publisher's key built in at compile time; empty when there is none.
constexpr std::string_view kBuiltInPublicKey = ZARN_UPDATE_PUBLIC_KEY;

// The whole signature file, when it is exactly one signature long.
std::optional<platform::P256Signature> ReadSignature(std::string_view path) {
  std::uint32_t error = 0;
  const platform::FileHandle file =
      platform::OpenFileHandle(path, platform::FileAccess::kRead, error);
  if (file == platform::kInvalidFileHandle) return std::nullopt;
  platform::P256Signature signature{};
  std::uint8_t extra = 0;
  const std::uint32_t count = platform::ReadFileHandle(
      file, signature.data(), static_cast<std::uint32_t>(signature.size()), error);
  const bool more = platform::ReadFileHandle(file, &extra, 1, error) != 0;
  platform::CloseFileHandle(file, error);
  if (count != signature.size() || more) return std::nullopt;
  return signature;
}

}  // namespace

std::optional<platform::P256PublicKey> ParsePublicKey(std::string_view text) {
  const auto bytes = FromHex(Trim(text));
  platform::P256PublicKey key{};
  if (!bytes || bytes->size() != key.size()) return std::nullopt;
  std::copy(bytes->begin(), bytes->end(), key.begin());
  return key;
}

UpdateKey ReadUpdateKey() {
  std::string text = ReadSettingText(kUpdatePublicKeyValue).value_or("");
  if (Trim(text).empty()) text = kBuiltInPublicKey;
  UpdateKey result;
  result.configured = !Trim(text).empty();
  if (result.configured) result.key = ParsePublicKey(text);
  return result;
}

bool ManifestSignatureValid(const platform::P256PublicKey& key, std::string_view manifest_path,
                            std::string_view signature_path) {
  const auto signature = ReadSignature(signature_path);
  const auto digest = platform::Sha256File(manifest_path);
  return signature && digest && platform::VerifyP256(key, *digest, *signature);
}

bool FileDigestMatches(std::string_view path, std::string_view listed_hex) {
  const auto digest = platform::Sha256File(path);
  return digest && EqualsIgnoringCase(ToHex(*digest), Trim(listed_hex));
}

std::optional<std::uint64_t> ParseListedSize(std::string_view text) {
  const std::string_view digits = Trim(text);
  if (digits.empty() || digits.size() > 19) return std::nullopt;  // 19 digits always fit
  std::uint64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

bool ReadInstallWithoutAsking() {
  return ReadSettingDword("Install Without Asking").value_or(0) != 0;
}

}  // namespace zarn
