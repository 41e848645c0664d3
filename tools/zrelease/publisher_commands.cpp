// "zrelease build" and "zrelease keygen": the command lines of making a release and a key. The
// cabinets and keys come from the back end's own libraries (libgcab and OpenSSL on POSIX, the
// cabinet library's FCI and CNG on Windows).
#include <charconv>
#include <cstdio>

#include "common/hex.h"
#include "tools/zrelease/publisher_commands.h"
#include "tools/zrelease/release_builder.h"
#include "tools/zrelease/signing_key.h"
#include "tools/zrelease/time_stamp.h"

namespace zarn::release {

using tool::kExitOk;

int BuildCommand(const std::vector<std::string>& args) {
  BuildOptions options;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--beta") {
      options.beta = true;
      continue;
    }
    if (option != "--from" && option != "--to" && option != "--register" && option != "--time" &&
        option != "--key" && option != "--expires" && option != "--base") {
      return Usage("build: unknown option " + option);
    }
    if (i + 1 >= args.size()) return Usage("build: " + option + " needs a value");
    const std::string& value = args[++i];
    if (option == "--from") {
      options.from = value;
    } else if (option == "--to") {
      options.to = value;
    } else if (option == "--register") {
      options.registered.push_back(value);
    } else if (option == "--key") {
      options.key_path = value;
    } else if (option == "--expires") {
      std::int32_t days = -1;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), days);
      if (ec != std::errc() || end != value.data() + value.size() || days < 0) {
        return Usage("build: --expires takes a whole number of days");
      }
      options.expires_days = days;
    } else if (option == "--base") {
      options.base = value;
    } else {
      options.time = ParseTimeOfUpdate(value);
      if (!options.time) return Usage("build: --time takes minutes since 2000 or YYYY-MM-DDTHH:MM");
    }
  }
  if (options.from.empty() || options.to.empty()) return Usage("build needs --from and --to");
  const std::string problem = BuildRelease(options);
  return problem.empty() ? kExitOk : Failed(problem);
}

int KeygenCommand(const std::vector<std::string>& args) {
  if (args.size() != 2) return Usage("keygen takes PRIVATE_KEY");
  const auto key = SigningKey::Generate();
  if (!key) return Failed("making a key failed");
  const std::string problem = key->Save(args[1]);
  if (!problem.empty()) return Failed(problem);
  std::printf("%s\n", ToHex(key->PublicKey()).c_str());
  return kExitOk;
}

}  // namespace zarn::release
