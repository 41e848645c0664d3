// The type library in the program file (resource TYPELIB 1), through OLE automation's loader.
#include "platform/win32/type_library.h"

#include "common/exception.h"

namespace zarn::platform {

namespace win32 {

namespace {

// A BSTR, freed when it goes.
class HeldText {
 public:
  HeldText() = default;
  ~HeldText() { SysFreeString(text_); }
  HeldText(const HeldText&) = delete;
  HeldText& operator=(const HeldText&) = delete;

  BSTR* Receive() { return &text_; }
  std::string Ansi() const {
    return text_ != nullptr ? AnsiText(std::wstring_view(text_, SysStringLen(text_)))
                            : std::string();
  }

 private:
  BSTR text_ = nullptr;
};

// The name and help string of a type info, or of the library itself (index -1).
void ReadDocumentation(ITypeLib* library, INT index, std::string& name, std::string& help) {
  HeldText name_text;
  HeldText help_text;
  Check(
      library->GetDocumentation(index, name_text.Receive(), help_text.Receive(), nullptr, nullptr));
  name = name_text.Ansi();
  help = help_text.Ansi();
}

// The id of the type info's default interface, when it has one.
std::optional<Guid> DefaultInterface(ITypeInfo* info) {
  TYPEATTR* attributes = nullptr;
  if (FAILED(info->GetTypeAttr(&attributes))) return std::nullopt;
  const WORD count = attributes->cImplTypes;
  info->ReleaseTypeAttr(attributes);
  for (UINT i = 0; i < count; ++i) {
    INT flags = 0;
    if (FAILED(info->GetImplTypeFlags(i, &flags)) || (flags & IMPLTYPEFLAG_FDEFAULT) == 0 ||
        (flags & IMPLTYPEFLAG_FSOURCE) != 0) {
      continue;
    }
    HREFTYPE reference = 0;
    Held<ITypeInfo> implemented;
    if (FAILED(info->GetRefTypeOfImplType(i, &reference)) ||
        FAILED(info->GetRefTypeInfo(reference, implemented.Receive()))) {
      return std::nullopt;
    }
    TYPEATTR* interface_attributes = nullptr;
    if (FAILED(implemented->GetTypeAttr(&interface_attributes))) return std::nullopt;
    const Guid id = FromGuid(interface_attributes->guid);
    implemented->ReleaseTypeAttr(interface_attributes);
    return id;
  }
  return std::nullopt;
}

}  // namespace

LoadedTypeLibrary::LoadedTypeLibrary(ITypeLib* library) {
  *library_.Receive() = library;
  ReadDocumentation(library, -1, facts_.name, facts_.help_string);
  TLIBATTR* attributes = nullptr;
  Check(library_->GetLibAttr(&attributes));
  attributes_ = *attributes;
  library_->ReleaseTLibAttr(attributes);
  facts_.library_id = FromGuid(attributes_.guid);
  facts_.major_version = attributes_.wMajorVerNum;
  facts_.minor_version = attributes_.wMinorVerNum;
}

std::optional<TypeClassFacts> LoadedTypeLibrary::FindClass(const Guid& class_id) const {
  Held<ITypeInfo> info;
  const GUID id = ToGuid(class_id);
  if (FAILED(library_->GetTypeInfoOfGuid(id, info.Receive()))) return std::nullopt;
  TypeClassFacts facts;
  facts.class_id = class_id;
  HeldText name;
  HeldText help;
  if (FAILED(
          info->GetDocumentation(MEMBERID_NIL, name.Receive(), help.Receive(), nullptr, nullptr))) {
    return std::nullopt;
  }
  facts.name = name.Ansi();
  facts.description = help.Ansi();
  facts.default_interface = DefaultInterface(info.Get());
  return facts;
}

void LoadedTypeLibrary::Register(const std::string& module_path, const std::string& help_folder) {
  std::wstring path = WideText(module_path);
  std::wstring folder = WideText(help_folder);
  Check(RegisterTypeLib(library_.Get(), path.data(), folder.data()));
}

void LoadedTypeLibrary::Unregister() {
  // Looked up at run time: older systems lack it, and then there is nothing to remove.
  using Unregisterer = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
  HMODULE automation = GetModuleHandleA("OLEAUT32.DLL");
  if (automation == nullptr) return;
  const auto unregister = reinterpret_cast<Unregisterer>(
      reinterpret_cast<void*>(GetProcAddress(automation, "UnRegisterTypeLib")));
  if (unregister == nullptr) return;
  unregister(attributes_.guid, attributes_.wMajorVerNum, attributes_.wMinorVerNum, attributes_.lcid,
             attributes_.syskind);
}

}  // namespace win32

std::unique_ptr<TypeLibrary> TypeLibrary::Load(const std::string& module_path,
                                               const TypeLibraryFacts&) {
  const std::wstring path = win32::WideText(module_path);
  ITypeLib* library = nullptr;
  win32::Check(LoadTypeLib(path.c_str(), &library));
  return std::make_unique<win32::LoadedTypeLibrary>(library);
}

}  // namespace zarn::platform
