// zrelease: the publisher's tool. Builds an update release from a program folder, makes a
// signing key, and checks a finished release as the updater would.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/release_trust.h"
#include "common/hex.h"
#include "tools/zrelease/release_builder.h"
#include "tools/zrelease/release_verifier.h"
#include "tools/zrelease/signing_key.h"
#include "tools/zrelease/time_stamp.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the release could not be built, or it is not sound
constexpr int kExitUsage = 2;

constexpr const char* kHelp =
    "Usage: zrelease build --from PROGRAM_FOLDER --to UPDATE_FOLDER [--beta]\n"
    "                      [--register NAME]... [--time STAMP] [--key PRIVATE_KEY]\n"
    "       zrelease keygen PRIVATE_KEY\n"
    "       zrelease verify UPDATE_FOLDER --public KEY [--beta]\n"
    "\n"
    "build   packs every file of PROGRAM_FOLDER and of its first-level subfolders into its own\n"
    "        MSZIP cabinet (\"sub\\name\" becomes sub_name.cab) in UPDATE_FOLDER and writes the\n"
    "        manifest z4up.ini (z4upbeta.ini with --beta): \"Files\" lists each file's dotted\n"
    "        FileVersion, or its packed file date when it has none; \"Hashes\" the cabinets'\n"
    "        SHA-256 digests. --register marks a file (its manifest key, such as radio.dll or\n"
    "        sub\\radio.dll) for registration; repeat it for several. --key signs the manifest\n"
    "        into z4up.ini.sig; without it an old signature in UPDATE_FOLDER is removed.\n"
    "        --time sets \"Time Of Update\": whole minutes since 2000-01-01 00:00 UTC, given as\n"
    "        that number or as a UTC time YYYY-MM-DDTHH:MM; the default is now.\n"
    "keygen  makes a new P-256 key in the new file PRIVATE_KEY (PEM, readable by its owner\n"
    "        only; an existing file is never replaced) and prints its public key: the value\n"
    "        of the setting \"Update Public Key\" (128 hexadecimal digits).\n"
    "verify  checks the manifest's signature under KEY (the hexadecimal text, or a file\n"
    "        holding it), then that every listed file has a cabinet whose digest the manifest\n"
    "        lists and which holds the file under its name. Prints each problem.\n"
    "\n"
    "  -h, --help   show this text\n"
    "\n"
    "Exit status: 0 done (verify: the release is sound), 1 failed (verify: problems found),\n"
    "2 bad command line.\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "zrelease: %s\nTry 'zrelease --help'.\n", problem.c_str());
  return kExitUsage;
}

int Failed(const std::string& problem) {
  std::fprintf(stderr, "zrelease: %s\n", problem.c_str());
  return kExitFailed;
}

int Build(const std::vector<std::string>& args) {
  zarn::release::BuildOptions options;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--beta") {
      options.beta = true;
      continue;
    }
    if (option != "--from" && option != "--to" && option != "--register" && option != "--time" &&
        option != "--key") {
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
    } else {
      options.time = zarn::release::ParseTimeOfUpdate(value);
      if (!options.time) return Usage("build: --time takes minutes since 2000 or YYYY-MM-DDTHH:MM");
    }
  }
  if (options.from.empty() || options.to.empty()) return Usage("build needs --from and --to");
  const std::string problem = zarn::release::BuildRelease(options);
  return problem.empty() ? kExitOk : Failed(problem);
}

int Keygen(const std::vector<std::string>& args) {
  if (args.size() != 2) return Usage("keygen takes PRIVATE_KEY");
  const auto key = zarn::release::SigningKey::Generate();
  if (!key) return Failed("making a key failed");
  const std::string problem = key->Save(args[1]);
  if (!problem.empty()) return Failed(problem);
  std::printf("%s\n", zarn::ToHex(key->PublicKey()).c_str());
  return kExitOk;
}

int Verify(const std::vector<std::string>& args) {
  std::string folder;
  std::string key_text;
  bool beta = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--beta") {
      beta = true;
    } else if (args[i] == "--public") {
      if (i + 1 >= args.size()) return Usage("verify: --public needs a value");
      key_text = args[++i];
    } else if (folder.empty() && args[i].rfind("--", 0) != 0) {
      folder = args[i];
    } else {
      return Usage("verify: unexpected " + args[i]);
    }
  }
  if (folder.empty() || key_text.empty()) return Usage("verify needs UPDATE_FOLDER and --public");
  auto key = zarn::ParsePublicKey(key_text);
  if (!key) {
    std::ifstream file(key_text);
    std::string line;
    if (file && std::getline(file, line)) key = zarn::ParsePublicKey(line);
  }
  if (!key) return Usage("verify: --public takes 128 hexadecimal digits or a file holding them");
  const std::vector<std::string> problems = zarn::release::VerifyRelease(folder, beta, *key);
  for (const std::string& problem : problems) std::printf("%s\n", problem.c_str());
  if (!problems.empty()) return kExitFailed;
  std::printf("%s: the release is sound\n", folder.c_str());
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  for (const auto& arg : args) {
    if (arg == "-h" || arg == "--help") {
      std::fputs(kHelp, stdout);
      return kExitOk;
    }
  }
  if (args.empty()) return Usage("missing command");
  if (args[0] == "build") return Build(args);
  if (args[0] == "keygen") return Keygen(args);
  if (args[0] == "verify") return Verify(args);
  return Usage("unknown command " + args[0]);
}
