// "zrelease verify": a release checked as the updater checks it, and more strictly where a
// publisher's mistake would only show on the users' machines.
#pragma once

#include <string>
#include <vector>

#include "platform/signature.h"

namespace zarn::release {

// The problems of the release in folder (manifest "z4up.ini", or "z4upbeta.ini" with beta); none
// when the signature is valid under key, the manifest names that channel and has not expired, and
// every listed file has a cabinet in the folder whose digest and size the manifest lists and
// which holds the file under its key.
std::vector<std::string> VerifyRelease(const std::string& folder, bool beta,
                                       const platform::P256PublicKey& key);

}  // namespace zarn::release
