// The program's type library as the back end holds it: the loaded library, for the objects'
// IDispatch.
#pragma once

#include "platform/automation.h"
#include "platform/win32/com_support.h"

namespace zarn::platform::win32 {

class LoadedTypeLibrary final : public TypeLibrary {
 public:
  // Takes over the caller's reference to the library.
  explicit LoadedTypeLibrary(ITypeLib* library);
  LoadedTypeLibrary(const LoadedTypeLibrary&) = delete;
  LoadedTypeLibrary& operator=(const LoadedTypeLibrary&) = delete;

  const TypeLibraryFacts& Facts() const override { return facts_; }
  std::optional<TypeClassFacts> FindClass(const Guid& class_id) const override;
  void Register(const std::string& module_path, const std::string& help_folder) override;
  void Unregister() override;

  ITypeLib* Library() const { return library_.Get(); }

 private:
  Held<ITypeLib> library_;
  TypeLibraryFacts facts_;
  TLIBATTR attributes_{};
};

}  // namespace zarn::platform::win32
