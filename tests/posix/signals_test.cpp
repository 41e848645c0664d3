// Signals the message loop watches: a removed handler gives the signal back to the system.
#include <gtest/gtest.h>

#include <signal.h>

#include "platform/message_loop.h"
#include "platform/posix/event_loop.h"

namespace zarn::test {
namespace {

TEST(Signals, RemovingAHandlerRestoresTheDefaultAndDropsCaughtSignals) {
  int calls = 0;
  platform::posix::WatchSignal(SIGUSR1, [&] { ++calls; });
  ::raise(SIGUSR1);
  platform::MessageLoop::ProcessMessages();
  EXPECT_EQ(calls, 1);

  ::raise(SIGUSR1);  // caught, and still waiting to be dispatched when the handler goes
  platform::posix::WatchSignal(SIGUSR1, nullptr);
  EXPECT_NO_THROW(platform::MessageLoop::ProcessMessages());
  EXPECT_EQ(calls, 1);

  struct sigaction now {};
  ::sigaction(SIGUSR1, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace zarn::test
