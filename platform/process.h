// Starting other programs of the suite.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace zarn::platform {

// A started program whose end can be awaited; the handle is released with the object.
class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  virtual bool Running() = 0;
  // A handle the message loop can wait on together with the message queue (a process handle on
  // Windows, a pidfd on POSIX).
  virtual std::intptr_t WaitHandle() const = 0;
};

// Starts file (a program name, looked up in folder) with the parameters, hidden, in folder.
// On failure returns nullptr and sets the system error code.
std::unique_ptr<ChildProcess> StartHidden(std::string_view file, std::string_view parameters,
                                          std::string_view folder, std::uint32_t& error);

}  // namespace zarn::platform
