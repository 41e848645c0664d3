// The message loop of whichever back end is built: dispatch, timers and waits that block.
#include "platform/message_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/system.h"
#include "platform/window.h"

namespace zarn::platform {
namespace {

using Clock = std::chrono::steady_clock;

struct Recorder : MessageTarget {
  std::intptr_t HandleMessage(const WindowMessage& message) override {
    seen.push_back(message.message);
    return 0;
  }
  std::vector<std::uint32_t> seen;
};

// std::clock counts wall time on Windows, so the platform's own measure is used.
double ProcessCpuSeconds() { return static_cast<double>(ProcessorTimeMs()) / 1000.0; }

TEST(MessageLoop, PostedMessagesAreDispatchedInOrderAndOnlyOnce) {
  Recorder recorder;
  auto window = MainWindow::Create("test", recorder);
  window->Post({kWmUser + 1, 0, 0});
  window->Post({kWmUser + 2, 0, 0});
  EXPECT_TRUE(MessageLoop::MessageWaiting());
  MessageLoop::ProcessMessages();
  MessageLoop::ProcessMessages();
  std::vector<std::uint32_t> user_messages;
  for (std::uint32_t m : recorder.seen) {
    if (m > kWmUser) user_messages.push_back(m);
  }
  EXPECT_EQ(user_messages, (std::vector<std::uint32_t>{kWmUser + 1, kWmUser + 2}));
}

TEST(MessageLoop, WaitReturnsAsSoonAsAMessageIsPosted) {
  Recorder recorder;
  auto window = MainWindow::Create("test", recorder);
  MessageLoop::ProcessMessages();
  window->Post({kWmUser + 3, 0, 0});
  const auto start = Clock::now();
  EXPECT_TRUE(MessageLoop::WaitForMessage(5000));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

TEST(MessageLoop, WaitWithoutMessagesBlocksForTheTimeoutWithoutSpinning) {
  MessageLoop::ProcessMessages();
  const double cpu_before = ProcessCpuSeconds();
  const auto start = Clock::now();
  EXPECT_FALSE(MessageLoop::WaitForMessage(1000));
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(990));
  // A spinning wait would burn the whole second; a blocking one costs next to nothing.
  EXPECT_LT(ProcessCpuSeconds() - cpu_before, 0.2);
}

TEST(MessageLoop, TimerFiresRepeatedlyUntilDestroyed) {
  int fired = 0;
  auto timer = Timer::Start(20, [&] { ++fired; });
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (fired < 3 && Clock::now() < deadline) {
    MessageLoop::WaitForMessage(100);
    MessageLoop::ProcessMessages();
  }
  EXPECT_GE(fired, 3);
  timer.reset();
  const int after = fired;
  MessageLoop::WaitForMessage(100);
  MessageLoop::ProcessMessages();
  EXPECT_EQ(fired, after);
}

TEST(MessageLoop, ZeroIntervalTimerStillLetsTheQueueEmpty) {
  int fired = 0;
  auto timer = Timer::Start(0, [&] { ++fired; });
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (fired < 2 && Clock::now() < deadline) {
    MessageLoop::WaitForMessage(100);
    MessageLoop::ProcessMessages();  // must return although the timer is due again and again
  }
  EXPECT_GE(fired, 2);
}

TEST(MessageLoop, TimerMayDestroyItselfFromItsOwnCallback) {
  std::unique_ptr<Timer> timer;
  int fired = 0;
  timer = Timer::Start(10, [&] {
    ++fired;
    timer.reset();
  });
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (fired == 0 && Clock::now() < deadline) {
    MessageLoop::WaitForMessage(100);
    MessageLoop::ProcessMessages();
  }
  MessageLoop::WaitForMessage(50);
  MessageLoop::ProcessMessages();
  EXPECT_EQ(fired, 1);
}

}  // namespace
}  // namespace zarn::platform
