// Stand-ins for the suite's companion programs. On POSIX a shell script under the companion's
// program name; on Windows a small program whose main window has the companion's window class.
// Either way the fake ends a chosen time after it was asked to close.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zarn::test {

// Held by every test that runs companions: they are found by name (natively, Wine's processes
// included), so two tests or test runs that run them side by side would see each other's. The
// lock is a record lock on byte 0 of /tmp/zarn-companion-tests.lock, which Wine's file locks
// share, so native and Wine runs wait for each other too.
class CompanionTestLock {
 public:
  CompanionTestLock();
  ~CompanionTestLock();
  CompanionTestLock(const CompanionTestLock&) = delete;
  CompanionTestLock& operator=(const CompanionTestLock&) = delete;

 private:
  std::intptr_t handle_ = -1;
};

// Puts the fake for `program` ("zarn4.exe" or "zarn4net.exe") into the folder.
void InstallFakeCompanion(const std::string& folder, const std::string& program,
                          int close_delay_ms);

// A fake started by the test itself. Killed, if it still runs, when the object goes.
class FakeCompanion {
 public:
  virtual ~FakeCompanion() = default;
  // True once the program has ended (and, on POSIX, been reaped).
  virtual bool Ended() = 0;
};

// Starts an installed fake and returns once it is ready to be asked to close.
std::unique_ptr<FakeCompanion> StartFakeCompanion(const std::string& folder,
                                                  const std::string& program);

}  // namespace zarn::test
