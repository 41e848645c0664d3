// What a signed manifest says about itself, and the rule that keeps an attacker from serving an
// old, expired or other channel's release in its place: "Ident" holds "Channel" ("production" or
// "beta"), optionally "Expires", and "Time Of Update", which must not fall below the highest stamp
// accepted before on that channel. The stamps are whole minutes since 2000-01-01 00:00 UTC.
//
// The rule holds only for signed manifests: an unsigned manifest proves nothing about itself.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "app/release_trust.h"
#include "app/update_manifest.h"

namespace zarn {

inline constexpr std::string_view kManifestChannel = "Channel";
inline constexpr std::string_view kManifestExpires = "Expires";
inline constexpr std::string_view kProductionChannel = "production";
inline constexpr std::string_view kBetaChannel = "beta";
// The highest "Time Of Update" of a signed manifest accepted on each channel (REG_DWORD).
inline constexpr const char* kLastTrustedUpdateValue = "Last Trusted Update";
inline constexpr const char* kLastTrustedBetaUpdateValue = "Last Trusted Beta Update";

// The stamp of a moment: whole minutes since 2000-01-01 00:00 UTC; nullopt before 2000 or beyond
// the signed 32-bit range (the year 6083).
std::optional<std::int32_t> TimeOfUpdateAt(std::time_t when);

// The "Ident" values the rule reads, as the manifest gives them ("ERROR" when missing).
struct ReleaseIdent {
  std::string channel;
  std::string expires;
  std::int32_t time_of_update = -1;
};
ReleaseIdent ReadReleaseIdent(const UpdateManifest& manifest);

enum class ManifestRefusal {
  kNone,
  kSignature,     // missing, refused by the server, or not valid under the key
  kNoChannel,     // made before releases named their channel
  kOtherChannel,  // the other channel's release served in place of this one's
  kExpired,       // "Expires" has come, or cannot be read
  kOlder,         // "Time Of Update" below the highest one accepted on this channel
};

// The status line of a refusal, "...  Quitting."; empty for kNone.
std::string_view RefusalLine(ManifestRefusal refusal);

// The rule, checked in this order: the channel must be named and be the one read; "Expires", when
// given, must lie after now; "Time Of Update" must be at least last_accepted (when there is one:
// an equal stamp is the same release served again and is taken).
ManifestRefusal CheckReleaseIdent(const ReleaseIdent& ident, std::string_view channel,
                                  std::int32_t now, std::optional<std::int32_t> last_accepted);

// Applies the rule to a manifest whose signature has been checked, on the channel the pass reads,
// with the current time and the stored stamp of that channel. An accepted manifest's stamp is
// stored at once, before anything else of the pass happens, so that from then on no older release
// is taken whatever becomes of this pass.
ManifestRefusal AcceptSignedManifest(const UpdateManifest& manifest, std::string_view channel);

}  // namespace zarn
