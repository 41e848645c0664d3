// The session values: set once while the main window is created, read by every part of the
// update pass afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/update_common.h"

namespace zarn {

// The manifests of the two release channels.
inline constexpr std::string_view kProductionManifest = "z4up.ini";
inline constexpr std::string_view kBetaManifest = "z4upbeta.ini";

struct Session {
  std::string manifest_name;  // "z4up.ini" or "z4upbeta.ini"
  // The update servers in the order they are tried; the first that logs in serves the pass.
  std::vector<UpdateServer> servers;
  std::string channel_folder;  // "/pub/zarn4update" or "/pub/zarn4updatebeta"
  // Server path of the manifest and the cabinets: a first component named after the serving
  // server's host, then the channel folder.
  std::string update_folder;
  bool roll_back = false;      // install every listed file whatever its version
  std::string program_folder;  // the installed product's folder, ending in a delimiter
  std::string work_folder;     // program folder + "temp_update" + delimiter
  bool may_close = false;      // set once the work folder is ready, and at the end of the run
};

}  // namespace zarn
