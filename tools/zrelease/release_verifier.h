// "zrelease verify": a release checked as the updater checks it, and more strictly where a
// publisher's mistake would only show on the users' machines.
#pragma once

#include <string>
#include <vector>

#include "platform/signature.h"

namespace zarn::release {

// The problems of the release in folder (manifest "z4up.ini", or "z4upbeta.ini" with beta); none
// when the signature is valid under key, the manifest names that channel and has not expired,
// every listed file has a cabinet in the folder whose digest and size the manifest lists and
// which holds the file under its key, and its patches are sound (tools/zrelease/patch_verifier.h;
// applied to base_folder's files unless it is empty).
std::vector<std::string> VerifyRelease(const std::string& folder, bool beta,
                                       const platform::P256PublicKey& key,
                                       const std::string& base_folder = {});

}  // namespace zarn::release
