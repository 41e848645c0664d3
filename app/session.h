// The session values: set once while the main window is created, read by every part of the
// update pass afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zarn {

// The manifests of the two release channels.
inline constexpr std::string_view kProductionManifest = "z4up.ini";
inline constexpr std::string_view kBetaManifest = "z4upbeta.ini";

struct Session {
  std::string manifest_name;  // "z4up.ini" or "z4upbeta.ini"
  std::string update_folder;  // server path of the manifest and the cabinets
  std::string server_host;    // the update server, without the port
  std::uint16_t server_port = 21;
  bool roll_back = false;      // install every listed file whatever its version
  std::string program_folder;  // the installed product's folder, ending in a delimiter
  std::string work_folder;     // program folder + "temp_update" + delimiter
  bool may_close = false;      // set once the work folder is ready, and at the end of the run
};

}  // namespace zarn
