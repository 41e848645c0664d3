// The class factory and the object that clients of the automation server receive. The object
// has the interface's own four-slot table (QueryInterface, AddRef, Release, Request) and a
// separate IDispatch that works from the type information: one type info, names looked up in
// it, calls handed to its Invoke on the interface's table. Errors inside a method become the
// call's result code with error information. Every call arrives on the main thread.
#include "platform/win32/automation_object.h"

#include <exception>
#include <memory>
#include <utility>

#include "common/exception.h"

// COM interfaces end their objects through Release, never through a base-class delete, so their
// lack of virtual destructors is by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#include "zarn4update_idl.h"

namespace zarn::platform::win32 {

namespace {

// The class as the object and the factory need it.
struct ClassFacts {
  AutomationClass published;
  Held<ITypeInfo> dispatch_info;   // what GetTypeInfo(0) gives and names are looked up in
  Held<ITypeInfo> interface_info;  // the table part of the dual interface, for Invoke
};

// Takes the dispatch and the table type info of the class's interface from the library.
void ReadTypeInfo(ITypeLib* library, ClassFacts& facts) {
  if (library == nullptr) return;
  const GUID iid = ToGuid(facts.published.interface_id);
  if (FAILED(library->GetTypeInfoOfGuid(iid, facts.dispatch_info.Receive()))) return;
  HREFTYPE table = 0;
  if (SUCCEEDED(facts.dispatch_info->GetRefTypeOfImplType(static_cast<UINT>(-1), &table))) {
    facts.dispatch_info->GetRefTypeInfo(table, facts.interface_info.Receive());
  }
  if (!facts.interface_info) {
    facts.dispatch_info->AddRef();
    *facts.interface_info.Receive() = facts.dispatch_info.Get();
  }
}

// Sets the thread's error information for a failed call and returns its result code: an OLE
// error's own failure code, else E_UNEXPECTED.
HRESULT ReportFailure(const ClassFacts& facts, const std::string& description, HRESULT result) {
  Held<ICreateErrorInfo> created;
  if (SUCCEEDED(CreateErrorInfo(created.Receive()))) {
    const GUID iid = ToGuid(facts.published.interface_id);
    std::wstring source = WideText(facts.published.prog_id);
    std::wstring text = WideText(description);
    created->SetGUID(iid);
    created->SetSource(source.data());
    created->SetDescription(text.data());
    created->SetHelpContext(0);
    Held<IErrorInfo> info;
    if (SUCCEEDED(created->QueryInterface(IID_IErrorInfo, info.ReceiveVoid()))) {
      SetErrorInfo(0, info.Get());
    }
  }
  return result;
}

// Counts a reference off a COM object of this file; the object goes with its last one.
template <typename Object>
ULONG DropReference(Object* object, long& references) {
  const long left = --references;
  if (left == 0) delete object;
  return static_cast<ULONG>(left);
}

template <typename Call>
HRESULT SafeCall(const ClassFacts& facts, Call call) {
  try {
    call();
    return S_OK;
  } catch (const EOleSysError& error) {
    const HRESULT code = static_cast<HRESULT>(error.ErrorCode());
    return ReportFailure(facts, error.Message(), code < 0 ? code : E_UNEXPECTED);
  } catch (const std::exception& error) {
    return ReportFailure(facts, error.what(), E_UNEXPECTED);
  }
}

class AutomationComObject final : public IZ4Update90, public IDispatch, public ISupportErrorInfo {
 public:
  AutomationComObject(std::shared_ptr<const ClassFacts> facts,
                      std::unique_ptr<AutomationObject> object)
      : facts_(std::move(facts)), object_(std::move(object)) {}
  virtual ~AutomationComObject() = default;
  AutomationComObject(const AutomationComObject&) = delete;
  AutomationComObject& operator=(const AutomationComObject&) = delete;

  // IUnknown, shared by the three tables.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown) ||
        IsEqualGUID(iid, ToGuid(facts_->published.interface_id))) {
      *result = static_cast<IZ4Update90*>(this);
    } else if (IsEqualGUID(iid, IID_IDispatch)) {
      *result = static_cast<IDispatch*>(this);
    } else if (IsEqualGUID(iid, IID_ISupportErrorInfo)) {
      *result = static_cast<ISupportErrorInfo*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override { return DropReference(this, references_); }

  // IZ4Update90.
  HRESULT STDMETHODCALLTYPE Request(LONG Code, LONG iValue, BSTR sValue) override {
    return SafeCall(*facts_, [&] {
      const std::string text =
          sValue != nullptr ? AnsiText(std::wstring_view(sValue, SysStringLen(sValue))) : "";
      object_->Request(Code, iValue, text);
    });
  }

  // IDispatch, from the type information.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    if (!facts_->dispatch_info) return E_UNEXPECTED;
    *info = facts_->dispatch_info.Get();
    (*info)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!facts_->dispatch_info) return E_UNEXPECTED;
    return DispGetIDsOfNames(facts_->dispatch_info.Get(), names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argument_error) override {
    if (!facts_->interface_info) return E_UNEXPECTED;
    // A property put and a put by reference are the same call here.
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
      flags |= DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
    }
    return facts_->interface_info->Invoke(static_cast<IZ4Update90*>(this), member, flags, params,
                                          result, exception, argument_error);
  }

  // ISupportErrorInfo: the object's own interface reports errors.
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    return IsEqualGUID(iid, ToGuid(facts_->published.interface_id)) ? S_OK : S_FALSE;
  }

 private:
  std::shared_ptr<const ClassFacts> facts_;
  std::unique_ptr<AutomationObject> object_;
  long references_ = 1;
};

class ClassFactory final : public IClassFactory {
 public:
  // The first reference is the creator's, counted like every later one.
  explicit ClassFactory(std::shared_ptr<const ClassFacts> facts) : facts_(std::move(facts)) {
    CountReference(true);
  }
  virtual ~ClassFactory() = default;
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, IID_IClassFactory)) {
      return E_NOINTERFACE;
    }
    *result = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    CountReference(true);
    return static_cast<ULONG>(++references_);
  }
  ULONG STDMETHODCALLTYPE Release() override {
    CountReference(false);
    return DropReference(this, references_);
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** result) override {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    // The object cannot be aggregated: it would answer for itself instead of for its outer object.
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    std::unique_ptr<AutomationObject> object = facts_->published.create();
    if (!object) return E_UNEXPECTED;
    auto* com_object = new AutomationComObject(facts_, std::move(object));
    // The object's first reference is the creator's: released here, so that a failed query
    // frees it and a successful one leaves the client's alone.
    const HRESULT outcome = com_object->QueryInterface(iid, result);
    com_object->Release();
    return outcome;
  }

  // An unlock can end the server's last object; an error of its event stays on this side of COM.
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    CoLockObjectExternal(this, lock, TRUE);
    try {
      facts_->published.lock(lock != FALSE);
    } catch (...) {
      return E_UNEXPECTED;
    }
    return S_OK;
  }

 private:
  void CountReference(bool added) const {
    if (facts_->published.count_reference) facts_->published.count_reference(added);
  }

  std::shared_ptr<const ClassFacts> facts_;
  long references_ = 1;
};

}  // namespace

#pragma GCC diagnostic pop

IClassFactory* NewClassFactory(const AutomationClass& published, ITypeLib* library) {
  auto facts = std::make_shared<ClassFacts>();
  facts->published = published;
  ReadTypeInfo(library, *facts);
  return new ClassFactory(std::move(facts));
}

}  // namespace zarn::platform::win32
