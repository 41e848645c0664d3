// The release a program folder makes: cabinets, manifest, digests and signature.
#include "tools/zrelease/release_builder.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "app/manifest_names.h"
#include "app/packed_file_date.h"
#include "app/release_metadata.h"
#include "app/release_trust.h"
#include "app/update_manifest.h"
#include "app/version_comparison.h"
#include "common/hex.h"
#include "common/integer_conversion.h"
#include "common/text.h"
#include "platform/signature.h"
#include "tools/zrelease/cabinet_writer.h"
#include "tools/zrelease/patch_builder.h"
#include "tools/zrelease/signing_key.h"
#include "tools/zrelease/time_stamp.h"

namespace zarn::release {

namespace fs = std::filesystem;

namespace {

struct Entry {
  std::string key;  // as the manifest names it: "name" or "folder\name"
  fs::path path;
  std::string listed;
  std::string cabinet;
  std::string digest;
  std::uintmax_t size = 0;  // the cabinet's
};

std::vector<fs::path> RegularFilesOf(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& item : fs::directory_iterator(folder)) {
    if (item.is_regular_file() && !item.is_symlink()) files.push_back(item.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The files of the folder, then those of each first-level subfolder, in name order.
std::vector<Entry> Collect(const fs::path& from) {
  std::vector<Entry> entries;
  for (const fs::path& file : RegularFilesOf(from)) {
    entries.push_back({file.filename().string(), file, {}, {}, {}, 0});
  }
  std::vector<fs::path> folders;
  for (const auto& item : fs::directory_iterator(from)) {
    if (item.is_directory() && !item.is_symlink()) folders.push_back(item.path());
  }
  std::sort(folders.begin(), folders.end());
  for (const fs::path& folder : folders) {
    for (const fs::path& file : RegularFilesOf(folder)) {
      entries.push_back(
          {folder.filename().string() + "\\" + file.filename().string(), file, {}, {}, {}, 0});
    }
  }
  return entries;
}

// The value the comparison reads: a dotted "FileVersion" when the file has one, else its packed
// file date in decimal.
std::string ListedValue(const fs::path& path) {
  const std::string version = GetFileVersionText(path.string());
  if (version.find('.') != std::string::npos) return version;
  return std::to_string(PackedFileDate(path.string()));
}

// "[" + name + "]" and its line end (appended piece by piece: GCC 12 warns falsely about
// "x" + std::string(...) at -O3).
std::string SectionLine(std::string_view name) {
  std::string line("[");
  line.append(name).append("]\r\n");
  return line;
}

std::string Manifest(std::int32_t time, std::optional<std::int32_t> expires, bool beta,
                     const std::vector<Entry>& entries, const std::set<std::string>& registered,
                     const std::vector<MadePatch>& patches) {
  std::string text = "[Ident]\r\nTime Of Update=" + std::to_string(time) + "\r\n";
  text.append(kManifestChannel).append("=").append(beta ? kBetaChannel : kProductionChannel);
  text += "\r\n";
  if (expires) {
    // Appended piece by piece, as above.
    text.append(kManifestExpires).append("=").append(std::to_string(*expires)).append("\r\n");
  }
  text += "[Files]\r\n";
  for (const Entry& entry : entries) text += entry.key + "=" + entry.listed + "\r\n";
  text += "[Cabs]\r\n";
  for (const Entry& entry : entries) text += entry.key + "=" + entry.cabinet + "\r\n";
  text += "[Registration]\r\n";
  for (const Entry& entry : entries) {
    if (registered.count(UpperAscii(entry.key)) != 0) text += entry.key + "=True\r\n";
  }
  text += SectionLine(kManifestHashes);
  for (const Entry& entry : entries) text += entry.cabinet + "=" + entry.digest + "\r\n";
  text += PatchHashLines(patches);
  text += SectionLine(kManifestSizes);
  for (const Entry& entry : entries) {
    text += entry.cabinet + "=" + std::to_string(entry.size) + "\r\n";
  }
  for (const MadePatch& patch : patches) {
    text += patch.listing.patch + "=" + std::to_string(patch.bytes) + "\r\n";
  }
  text += PatchesSection(patches);
  return text;
}

// The keys the updater would skip or mis-read, one line each with the reason, and a key list that
// its buffer would cut; empty when there are none. Nothing is written for such a release.
std::string RefusedKeys(const std::vector<Entry>& entries) {
  std::vector<std::string> keys;
  std::size_t block = 2;  // the list's final zero and the unused last character of the buffer
  for (const Entry& entry : entries) {
    keys.push_back(entry.key);
    block += entry.key.size() + 1;
  }
  std::string problems;
  for (const auto& [key, refusal] : ScreenFileKeys(keys).refused) {
    if (!problems.empty()) problems += "\n";
    problems += key + " cannot be a manifest key: " + std::string(RefusalText(refusal));
  }
  if (problems.empty() && block > kManifestKeyListBuffer) {
    problems = "the names of the " + std::to_string(keys.size()) + " files take " +
               std::to_string(block) + " characters; the updater reads only " +
               std::to_string(kManifestKeyListBuffer);
  }
  return problems;
}

std::string WriteFile(const fs::path& path, const void* bytes, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  out.close();
  return out ? std::string() : "cannot write " + path.string();
}

}  // namespace

std::string VersionRankingProblem(std::string_view version) {
  constexpr std::int64_t kWeights[] = {1000000, 10000, 100, 1};
  std::int64_t number = 0;
  for (std::size_t field = 0; field < 4 && !version.empty(); ++field) {
    const std::size_t dot = version.find('.');
    const std::string_view text = version.substr(0, dot);
    const auto value = ParseInt32(text, IntegerForms::Decimal);
    if (!value) return "the field \"" + std::string(text) + "\" is no number";
    if (field > 0 && (*value < 0 || *value > 99)) {
      return "its field " + std::to_string(*value) +
             " lies outside 0 to 99 and carries into the field before it (the updater ranks "
             "1.2.3.150 above 1.2.4.0)";
    }
    number += *value * kWeights[field];
    version = dot == std::string_view::npos ? std::string_view() : version.substr(dot + 1);
  }
  if (number < 0 || number > INT32_MAX) return "it lies outside the comparison's 32-bit range";
  return {};
}

std::string CabinetNameFor(const std::string& key) {
  std::string name = key;
  std::replace(name.begin(), name.end(), '\\', '_');
  return name + ".cab";
}

std::string BuildRelease(const BuildOptions& options) {
  std::error_code error;
  if (!fs::is_directory(options.from, error)) return options.from + " is not a folder";
  std::optional<SigningKey> key;
  if (!options.key_path.empty()) {
    std::string problem;
    key = SigningKey::Load(options.key_path, problem);
    if (!key) return problem;
  }
  std::optional<std::int32_t> time = options.time;
  if (!time) time = TimeOfUpdateAt(std::time(nullptr));
  if (!time) return "the clock is outside the range of \"Time Of Update\"";
  std::optional<std::int32_t> expires;
  if (options.expires_days) {
    const std::int64_t stamp = *time + std::int64_t{*options.expires_days} * 24 * 60;
    if (*options.expires_days < 0 || stamp > INT32_MAX) {
      return "--expires: the stamp would lie beyond 2^31 - 1 minutes";
    }
    expires = static_cast<std::int32_t>(stamp);
  }

  std::vector<Entry> entries = Collect(options.from);
  if (entries.empty()) return options.from + " holds no files";
  std::set<std::string> registered;
  for (const std::string& name : options.registered) registered.insert(UpperAscii(name));
  std::set<std::string> unknown = registered;
  std::string problem = RefusedKeys(entries);
  if (!problem.empty()) return problem;
  std::map<std::string, std::string> cabinets;  // upper-cased cabinet name -> its key
  for (Entry& entry : entries) {
    entry.cabinet = CabinetNameFor(entry.key);
    const NameRefusal refusal = CabNameRefusal(entry.cabinet);
    if (refusal != NameRefusal::kNone) {
      return entry.key + ": its cabinet " + entry.cabinet + " is " +
             std::string(RefusalText(refusal));
    }
    const auto [at, added] = cabinets.emplace(UpperAscii(entry.cabinet), entry.key);
    if (!added) {
      return entry.key + " and " + at->second + " would share the cabinet " + entry.cabinet;
    }
    unknown.erase(UpperAscii(entry.key));
  }
  for (const std::string& name : options.registered) {
    if (unknown.count(UpperAscii(name)) != 0) {
      return "--register " + name + ": no such file in " + options.from;
    }
  }

  fs::create_directories(options.to, error);
  if (!fs::is_directory(options.to, error)) return "cannot create the folder " + options.to;
  const fs::path to(options.to);
  for (Entry& entry : entries) {
    entry.listed = ListedValue(entry.path);
    if (entry.listed.find('.') != std::string::npos) {
      const std::string ranking = VersionRankingProblem(entry.listed);
      if (!ranking.empty()) {
        std::fprintf(stderr, "zrelease: warning: %s: version %s: %s\n", entry.key.c_str(),
                     entry.listed.c_str(), ranking.c_str());
      }
    }
    const fs::path cabinet = to / entry.cabinet;
    problem = WriteSingleFileCabinet(entry.path.string(), entry.key, cabinet.string());
    if (!problem.empty()) return problem;
    const auto digest = platform::Sha256File(cabinet.string());
    if (!digest) return "cannot read " + cabinet.string();
    entry.digest = ToHex(*digest);
    entry.size = fs::file_size(cabinet, error);
    if (error) return "cannot read " + cabinet.string();
    std::printf("%s -> %s (%s)\n", entry.key.c_str(), entry.cabinet.c_str(), entry.listed.c_str());
  }

  std::vector<MadePatch> patches;
  if (!options.base.empty()) {
    std::vector<PatchCandidate> candidates;
    for (const Entry& entry : entries) {
      candidates.push_back({entry.key, entry.path, to / entry.cabinet});
    }
    problem = MakeReleasePatches(options.from, options.base, to, candidates, patches);
    if (!problem.empty()) return problem;
  }

  const std::string manifest_name = options.beta ? "z4upbeta.ini" : "z4up.ini";
  const std::string text = Manifest(*time, expires, options.beta, entries, registered, patches);
  problem = WriteFile(to / manifest_name, text.data(), text.size());
  if (!problem.empty()) return problem;
  const fs::path signature_path = to / (manifest_name + std::string(kSignatureSuffix));
  if (key) {
    const auto digest = platform::Sha256(
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    const auto signature = digest ? key->Sign(*digest) : std::nullopt;
    if (!signature) return "signing the manifest failed";
    problem = WriteFile(signature_path, signature->data(), signature->size());
    if (!problem.empty()) return problem;
  } else {
    // A signature of an earlier manifest would not match this one.
    fs::remove(signature_path, error);
  }
  std::printf("%s: %zu files, %zu patches, Time Of Update %d, %s%s\n", manifest_name.c_str(),
              entries.size(), patches.size(), static_cast<int>(*time),
              key ? "signed" : "not signed",
              expires ? (", expires " + FormatTimeOfUpdate(*expires) + " UTC").c_str() : "");
  return {};
}

}  // namespace zarn::release
