// The manifest reader's work on one file, for bench/manifest.sh: the key list of a section, then
// a number of look-ups in it, half of them keys the list holds and half keys it lacks (a miss
// searches the whole section). Prints how many look-ups found a value.
//   profile_lookup FILE SECTION COUNT
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/profile.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: profile_lookup FILE SECTION COUNT\n");
    return 2;
  }
  const std::string path = argv[1];
  const std::string section = argv[2];
  const long count = std::strtol(argv[3], nullptr, 10);
  const std::string block = zarn::platform::ReadProfileKeyBlock(path, section, 16384);
  std::string first = block.substr(0, block.find('\0'));
  long found = 0;
  for (long i = 0; i < count; ++i) {
    const std::string key = i % 2 == 0 ? first : "absent" + std::to_string(i);
    if (zarn::platform::ReadProfileString(path, section, key, "ERROR", 2048) != "ERROR") ++found;
  }
  std::printf("%ld of %ld found\n", found, count);
  return 0;
}
