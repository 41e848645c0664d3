#include "automation/z4update.h"

#include <memory>

#include "automation/com_server.h"

namespace zarn {

platform::TypeLibraryFacts Zarn4UpdateLibrary() {
  platform::TypeLibraryFacts library;
  library.name = "zarn4update";
  library.help_string = "zarn4update Library";
  library.library_id = LIBID_zarn4update;
  library.major_version = 1;
  library.minor_version = 0;
  library.classes.push_back({CLASS_Z4Update, "Z4Update", "Z4Update Object", IID_IZ4Update90});
  return library;
}

void TZ4Update::Request(std::int32_t, std::int32_t, std::string_view) {}

TComObjectFactory& CreateZ4UpdateFactory(TComServer& server) {
  auto create = [](TComServer& owner) -> std::unique_ptr<TAutoObject> {
    return std::make_unique<TZ4Update>(owner);
  };
  return server.AddFactory(std::make_unique<TAutoObjectFactory>(
      server, create, CLASS_Z4Update, "TZ4Update", TZ4Update::kImplemented,
      TClassInstancing::ciMultiInstance, TThreadingModel::tmApartment));
}

}  // namespace zarn
