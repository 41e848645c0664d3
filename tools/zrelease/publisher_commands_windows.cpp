// "zrelease build" and "zrelease keygen" are not made on Windows: the cabinets and signatures
// come from the POSIX build (libgcab and OpenSSL). verify works on both.
#include "tools/zrelease/publisher_commands.h"

namespace zarn::release {

int BuildCommand(const std::vector<std::string>&) {
  return Failed("build is made by the POSIX build of zrelease only");
}

int KeygenCommand(const std::vector<std::string>&) {
  return Failed("keygen is made by the POSIX build of zrelease only");
}

}  // namespace zarn::release
