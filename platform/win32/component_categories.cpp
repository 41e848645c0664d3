// Component categories on Windows, through the standard component categories manager.
#include "platform/component_categories.h"

// The Windows headers come first: they define macros (FormatMessage) that the program's own
// headers must not see.
#include "platform/win32/windows_api.h"

#include <comcat.h>

#include "platform/win32/com_support.h"

namespace zarn::platform {

namespace {

using win32::Check;
using win32::FromGuid;
using win32::Held;
using win32::ToGuid;

// COM on this thread for the length of a call. When the thread has COM already (in whatever
// apartment) the call uses it and leaves it as it was.
class ComUse {
 public:
  ComUse() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComUse() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComUse(const ComUse&) = delete;
  ComUse& operator=(const ComUse&) = delete;

 private:
  HRESULT result_;
};

}  // namespace

std::vector<Guid> ClassesImplementingCategory(const Guid& category, std::size_t max_count) {
  const ComUse com;
  Held<ICatInformation> categories;
  Check(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                         IID_ICatInformation, categories.ReceiveVoid()));
  CATID implemented = ToGuid(category);
  Held<IEnumCLSID> classes;
  Check(categories->EnumClassesOfCategories(1, &implemented, 0, nullptr, classes.Receive()));
  std::vector<Guid> found;
  if (!classes) return found;
  Check(classes->Reset());
  std::vector<CLSID> ids(max_count);
  ULONG fetched = 0;
  Check(classes->Next(static_cast<ULONG>(ids.size()), ids.data(), &fetched));
  for (ULONG i = 0; i < fetched && i < ids.size(); ++i) found.push_back(FromGuid(ids[i]));
  return found;
}

}  // namespace zarn::platform
