// The class factory as COM calls it, in the test's own process: what it answers to an
// aggregating create request and to a lock whose last-release event fails, and that every
// reference to it is counted with the server.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>

#include "platform/win32/automation_object.h"

namespace zarn::platform::win32 {
namespace {

class Plain final : public AutomationObject {
 public:
  void Request(std::int32_t, std::int32_t, std::string_view) override {}
};

TEST(ClassFactory, AnswersAsCOMRequires) {
  struct Outcome {
    int created = 0;
    int references = 0;  // as the server counts them
  };
  const struct {
    const char* name;
    std::function<HRESULT(IClassFactory&, Outcome&)> call;
    HRESULT result;
    int created, references;
  } rows[] = {
      {"an outer object asking for IUnknown",
       [](IClassFactory& factory, Outcome&) {
         IUnknown* outer = &factory;  // any object stands for the aggregating one
         void* made = nullptr;
         return factory.CreateInstance(outer, IID_IUnknown, &made);
       },
       CLASS_E_NOAGGREGATION, 0, 1},
      {"an unlock whose last-release event fails",
       [](IClassFactory& factory, Outcome&) { return factory.LockServer(FALSE); }, E_UNEXPECTED, 0,
       1},
      {"a client's reference and its release",
       [](IClassFactory& factory, Outcome& outcome) {
         factory.AddRef();
         const int held = outcome.references;
         factory.Release();
         return held == 2 ? S_OK : E_FAIL;
       },
       S_OK, 0, 1},
  };
  CoInitialize(nullptr);
  for (const auto& row : rows) {
    Outcome outcome;
    AutomationClass published;
    published.create = [&outcome] {
      ++outcome.created;
      return std::make_unique<Plain>();
    };
    published.lock = [](bool) { throw std::runtime_error("last-release event failed"); };
    published.count_reference = [&outcome](bool added) { outcome.references += added ? 1 : -1; };
    IClassFactory* factory = NewClassFactory(published, nullptr);
    EXPECT_EQ(row.call(*factory, outcome), row.result) << row.name;
    EXPECT_EQ(outcome.created, row.created) << row.name;
    EXPECT_EQ(outcome.references, row.references) << row.name;
    factory->Release();
    EXPECT_EQ(outcome.references, 0) << row.name;
  }
  CoUninitialize();
}

}  // namespace
}  // namespace zarn::platform::win32
