// Extracts arbitrary bytes as a cabinet into a scratch folder. Whatever the bytes, extraction
// must not crash, and nothing may appear in the scratch folder outside the target.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "cab/cabfiles.h"

namespace {

// The scratch folder of this run, removed when the fuzzer ends.
struct Scratch {
  Scratch()
      : root(std::filesystem::temp_directory_path() /
             ("zarn-cab-fuzz-" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(root / "target");
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  std::filesystem::path root;
};

const std::filesystem::path& Root() {
  static const Scratch scratch;
  return scratch.root;
}

// Everything below the root but the cabinet and the target folder's own contents.
bool OnlyCabinetAndTarget(const std::filesystem::path& root) {
  for (const auto& entry : std::filesystem::directory_iterator(root)) {
    const auto name = entry.path().filename();
    if (name != "in.cab" && name != "target") return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto& root = Root();
  std::ofstream(root / "in.cab", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  zarn::TCABFile cab;
  cab.CABFile = (root / "in.cab").string();
  cab.TargetPath = (root / "target").string();
  cab.ExtractAll();

  if (!OnlyCabinetAndTarget(root)) std::abort();
  std::filesystem::remove_all(root / "target");
  std::filesystem::create_directory(root / "target");
  return 0;
}
