// The channel, expiry and stamp rule of signed manifests, and the stamps it keeps per channel.
#include "app/release_metadata.h"

#include "app/settings_store.h"
#include "common/integer_conversion.h"

namespace zarn {

namespace {

constexpr std::time_t kEpoch2000 = 946684800;  // 2000-01-01 00:00:00 UTC

const char* LastTrustedValue(std::string_view channel) {
  return channel == kBetaChannel ? kLastTrustedBetaUpdateValue : kLastTrustedUpdateValue;
}

// Now as a stamp; a clock before 2000 counts as 2000, one beyond the range as its end.
std::int32_t NowStamp() {
  const std::time_t now = std::time(nullptr);
  if (const auto stamp = TimeOfUpdateAt(now)) return *stamp;
  return now < kEpoch2000 ? 0 : INT32_MAX;
}

}  // namespace

std::optional<std::int32_t> TimeOfUpdateAt(std::time_t when) {
  if (when < kEpoch2000) return std::nullopt;
  const std::int64_t minutes = (static_cast<std::int64_t>(when) - kEpoch2000) / 60;
  if (minutes > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(minutes);
}

ReleaseIdent ReadReleaseIdent(const UpdateManifest& manifest) {
  return {manifest.ReadString(kManifestIdent, kManifestChannel),
          manifest.ReadString(kManifestIdent, kManifestExpires), manifest.TimeOfUpdate()};
}

std::string_view RefusalLine(ManifestRefusal refusal) {
  switch (refusal) {
    case ManifestRefusal::kNone:
      return {};
    case ManifestRefusal::kSignature:
      return "Manifest signature missing or invalid.  Quitting.";
    case ManifestRefusal::kNoChannel:
      return "Manifest without a channel.  Quitting.";
    case ManifestRefusal::kOtherChannel:
      return "Manifest for another channel.  Quitting.";
    case ManifestRefusal::kExpired:
      return "Manifest expired.  Quitting.";
    case ManifestRefusal::kOlder:
      return "Manifest older than the last one accepted.  Quitting.";
  }
  return {};
}

ManifestRefusal CheckReleaseIdent(const ReleaseIdent& ident, std::string_view channel,
                                  std::int32_t now, std::optional<std::int32_t> last_accepted) {
  if (ident.channel == kManifestDefault) return ManifestRefusal::kNoChannel;
  if (ident.channel != channel) return ManifestRefusal::kOtherChannel;
  if (ident.expires != kManifestDefault) {
    // Read as "Time Of Update" is; a signed value that cannot be read gives no validity at all.
    const auto expires = ParseInt32(ident.expires, IntegerForms::DecimalOrHex);
    if (!expires || now >= *expires) return ManifestRefusal::kExpired;
  }
  if (last_accepted && ident.time_of_update < *last_accepted) return ManifestRefusal::kOlder;
  return ManifestRefusal::kNone;
}

ManifestRefusal AcceptSignedManifest(const UpdateManifest& manifest, std::string_view channel) {
  const ReleaseIdent ident = ReadReleaseIdent(manifest);
  const char* value = LastTrustedValue(channel);
  const ManifestRefusal refusal =
      CheckReleaseIdent(ident, channel, NowStamp(), ReadSettingDword(value));
  if (refusal == ManifestRefusal::kNone) {
    WriteSettingDword(value, static_cast<std::uint32_t>(ident.time_of_update));
  }
  return refusal;
}

}  // namespace zarn
