// zrelease: the publisher's tool. Builds an update release from a program folder, makes a
// signing key, and checks a finished release as the updater would.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/release_trust.h"
#include "common/hex.h"
#include "tools/zrelease/patch_verifier.h"
#include "tools/zrelease/publisher_commands.h"
#include "tools/zrelease/release_verifier.h"

namespace {

using zarn::tool::kExitFailed;
using zarn::tool::kExitOk;

constexpr const char* kHelp =
    "Usage: zrelease build --from PROGRAM_FOLDER --to UPDATE_FOLDER [--beta]\n"
    "                      [--register NAME]... [--time STAMP] [--expires DAYS]\n"
    "                      [--key PRIVATE_KEY] [--base OLD_PROGRAM_FOLDER]\n"
    "       zrelease keygen PRIVATE_KEY\n"
    "       zrelease verify UPDATE_FOLDER --public KEY [--beta] [--base OLD_PROGRAM_FOLDER]\n"
    "       zrelease apply UPDATE_FOLDER NAME BASE_FILE OUTPUT_FILE [--beta]\n"
    "\n"
    "build   packs every file of PROGRAM_FOLDER and of its first-level subfolders into its own\n"
    "        MSZIP cabinet (\"sub\\name\" becomes sub_name.cab) in UPDATE_FOLDER and writes the\n"
    "        manifest z4up.ini (z4upbeta.ini with --beta): \"Files\" lists each file's dotted\n"
    "        FileVersion, or its packed file date when it has none (a version the updater\n"
    "        would rank wrongly, such as 1.2.3.150, is warned about); \"Hashes\" the cabinets'\n"
    "        SHA-256 digests, \"Sizes\" their sizes; \"Channel\" in \"Ident\" is production\n"
    "        (beta with --beta). --register marks a file (its manifest key, such as radio.dll\n"
    "        or sub\\radio.dll) for registration; repeat it for several. --key signs the\n"
    "        manifest into z4up.ini.sig; without it an old signature in UPDATE_FOLDER is\n"
    "        removed.\n"
    "        --time sets \"Time Of Update\": whole minutes since 2000-01-01 00:00 UTC, given as\n"
    "        that number or as a UTC time YYYY-MM-DDTHH:MM; the default is now. --expires\n"
    "        writes \"Expires\", DAYS days after \"Time Of Update\": from then on updaters\n"
    "        holding the key refuse the release (0: at once).\n"
    "        --base names the previous release's program folder: each file that is there\n"
    "        and changed also gets a zstd patch against it (name.patch beside its cabinet,\n"
    "        listed under \"Patches\" and \"Hashes\"), unless a file is over 64 MiB or the\n"
    "        patch would not save a quarter of the cabinet. Users with that file installed\n"
    "        can download the patch instead of the cabinet.\n"
    "keygen  makes a new P-256 key in the new file PRIVATE_KEY (PEM, readable by its owner\n"
    "        only; an existing file is never replaced) and prints its public key: the value\n"
    "        of the setting \"Update Public Key\" (128 hexadecimal digits).\n"
    "verify  checks the manifest's signature under KEY (the hexadecimal text, or a file\n"
    "        holding it), its \"Channel\" and \"Expires\" as the updater does, then that every\n"
    "        listed file has a cabinet whose digest and size the manifest lists and which\n"
    "        holds the file under its name, and that each patch is listed, intact and gives\n"
    "        the file its cabinet holds; with --base each patch is also applied to the file\n"
    "        it names in OLD_PROGRAM_FOLDER. Prints each problem.\n"
    "apply   applies the patch the manifest lists for the file NAME (its manifest key) to\n"
    "        BASE_FILE into the new file OUTPUT_FILE, as an updater would; the signature is\n"
    "        not checked.\n"
    "\n"
    "  -h, --help   show this text\n"
    "\n"
    "Exit status: 0 done (verify: the release is sound), 1 failed (verify: problems found),\n"
    "2 bad command line.\n";

using zarn::release::Usage;

int Verify(const std::vector<std::string>& args) {
  std::string folder;
  std::string key_text;
  std::string base;
  bool beta = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--beta") {
      beta = true;
    } else if (args[i] == "--public") {
      if (i + 1 >= args.size()) return Usage("verify: --public needs a value");
      key_text = args[++i];
    } else if (args[i] == "--base") {
      if (i + 1 >= args.size()) return Usage("verify: --base needs a value");
      base = args[++i];
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
  const std::vector<std::string> problems = zarn::release::VerifyRelease(folder, beta, *key, base);
  for (const std::string& problem : problems) std::printf("%s\n", problem.c_str());
  if (!problems.empty()) return kExitFailed;
  std::printf("%s: the release is sound\n", folder.c_str());
  return kExitOk;
}

int Apply(const std::vector<std::string>& args) {
  std::vector<std::string> operands;
  bool beta = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--beta") {
      beta = true;
    } else {
      operands.push_back(args[i]);
    }
  }
  if (operands.size() != 4) return Usage("apply takes UPDATE_FOLDER NAME BASE_FILE OUTPUT_FILE");
  const std::string problem =
      zarn::release::ApplyListedPatch(operands[0], beta, operands[1], operands[2], operands[3]);
  return problem.empty() ? kExitOk : zarn::release::Failed(problem);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (zarn::tool::AsksForHelp(args)) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (args.empty()) return Usage("missing command");
  if (args[0] == "build") return zarn::release::BuildCommand(args);
  if (args[0] == "keygen") return zarn::release::KeygenCommand(args);
  if (args[0] == "verify") return Verify(args);
  if (args[0] == "apply") return Apply(args);
  return Usage("unknown command " + args[0]);
}
