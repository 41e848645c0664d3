// POSIX has no type-library format and no registration of one: the library is what the program
// describes, and registering it adds nothing beyond the class keys.
#include "platform/automation.h"

namespace zarn::platform {

namespace {

class DescribedTypeLibrary final : public TypeLibrary {
 public:
  explicit DescribedTypeLibrary(TypeLibraryFacts facts) : facts_(std::move(facts)) {}

  const TypeLibraryFacts& Facts() const override { return facts_; }

  std::optional<TypeClassFacts> FindClass(const Guid& class_id) const override {
    for (const TypeClassFacts& described : facts_.classes) {
      if (described.class_id == class_id) return described;
    }
    return std::nullopt;
  }

  void Register(const std::string&, const std::string&) override {}
  void Unregister() override {}

 private:
  TypeLibraryFacts facts_;
};

}  // namespace

std::unique_ptr<TypeLibrary> TypeLibrary::Load(const std::string&,
                                               const TypeLibraryFacts& described) {
  return std::make_unique<DescribedTypeLibrary>(described);
}

}  // namespace zarn::platform
