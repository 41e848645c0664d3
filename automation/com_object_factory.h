// The class factories of the automation server and the base of its objects. A factory knows its
// class (id, names, instancing), writes and removes the class's registry entries, and makes
// objects for clients; TAutoObjectFactory takes the class's names from the type library.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "common/guid.h"
#include "platform/automation.h"

namespace zarn {

class TComServer;

enum class TClassInstancing : std::uint8_t {
  ciInternal = 0,
  ciSingleInstance = 1,
  ciMultiInstance = 2
};
enum class TThreadingModel : std::uint8_t { tmSingle = 0, tmApartment = 1, tmFree = 2, tmBoth = 3 };

// The base of every object a client creates: counted by the server for as long as it lives.
class TAutoObject : public platform::AutomationObject {
 public:
  explicit TAutoObject(TComServer& server);
  ~TAutoObject() override;
  TAutoObject(const TAutoObject&) = delete;
  TAutoObject& operator=(const TAutoObject&) = delete;

 private:
  TComServer& server_;
};

class TComObjectFactory {
 public:
  using Creator = std::function<std::unique_ptr<TAutoObject>(TComServer&)>;

  TComObjectFactory(TComServer& server, Creator creator, const Guid& class_id,
                    std::string class_name, std::string description, TClassInstancing instancing,
                    TThreadingModel threading_model);
  virtual ~TComObjectFactory();
  TComObjectFactory(const TComObjectFactory&) = delete;
  TComObjectFactory& operator=(const TComObjectFactory&) = delete;

  TComServer& ComServer() const { return server_; }
  const Guid& ClassID() const { return class_id_; }
  const std::string& ClassName() const { return class_name_; }
  const std::string& Description() const { return description_; }
  TClassInstancing Instancing() const { return instancing_; }
  TThreadingModel ThreadingModel() const { return threading_model_; }
  // Empty when the class has no name, else the server's registered name + "." + class name.
  std::string ProgID() const;
  const Guid& ErrorIID() const { return error_iid_; }

  // Writes the class's registry entries (raising EOleRegistrationError when a write is refused)
  // or removes them (ignoring every failure).
  virtual void UpdateRegistry(bool register_class);

  // A new object for a client; nullptr when its creation failed, after the failure was shown
  // in a "ZIR Error" box (when ShowErrors is set).
  std::unique_ptr<platform::AutomationObject> CreateComObject();
  // A client's lock (true) or unlock (false) of the class object counts as an object.
  void LockServer(bool lock);

  // The class as the runtime publishes it.
  virtual platform::AutomationClass Published();

  bool ShowErrors = true;

 protected:
  void SetNames(std::string class_name, std::string description);
  void SetErrorIID(const Guid& iid) { error_iid_ = iid; }

 private:
  TComServer& server_;
  Creator creator_;
  Guid class_id_;
  std::string class_name_;
  std::string description_;
  TClassInstancing instancing_;
  TThreadingModel threading_model_;
  Guid error_iid_;
};

// A factory whose class is described by the server's type library: names, description and the
// default interface come from there, and its registration adds the library's version and id.
class TAutoObjectFactory : public TComObjectFactory {
 public:
  // implemented: the interfaces the object class implements; the class's default interface must
  // be one of them. Raises EOleSysError when the library cannot be loaded and EOleError when it
  // does not describe the class as needed (object_class_name names the class in those messages).
  TAutoObjectFactory(TComServer& server, Creator creator, const Guid& class_id,
                     const std::string& object_class_name, std::span<const Guid> implemented,
                     TClassInstancing instancing, TThreadingModel threading_model);

  void UpdateRegistry(bool register_class) override;
  platform::AutomationClass Published() override;
};

// The text of the "ZIR Error" box for a failure message: a full stop is added unless the message
// is empty or ends in a character that sorts at or before ".".
std::string CreationErrorText(std::string message);

}  // namespace zarn
