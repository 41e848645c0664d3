// The message queue: waits block without burning the processor and wake for posted messages,
// timers fire from dispatch, and a timer may end itself from its own callback.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/message_loop.h"
#include "platform/system.h"
#include "platform/win32/windows_api.h"

namespace zarn::platform {
namespace {

TEST(Win32MessageLoop, WaitBlocksForItsTimeWithoutSpinning) {
  MessageLoop::ProcessMessages();
  const std::uint64_t cpu_before = ProcessorTimeMs();
  const std::uint32_t start = TickCount();
  EXPECT_FALSE(MessageLoop::WaitForMessage(2000));
  const std::uint32_t elapsed = TickCount() - start;
  const std::uint64_t cpu = ProcessorTimeMs() - cpu_before;
  std::printf("[ figure   ] a 2000 ms wait took %u ms and %u ms of processor time\n", elapsed,
              static_cast<unsigned>(cpu));
  EXPECT_GE(elapsed, 1900u);
  EXPECT_LT(elapsed, 4000u);
  // A spinning wait would cost about the whole 2000 ms.
  EXPECT_LT(cpu, 500u);

  // The measure itself sees a busy loop (of a sixth of the time, on a shared processor), so the
  // figure above means something.
  const std::uint64_t spin_before = ProcessorTimeMs();
  const std::uint32_t spin_start = TickCount();
  while (TickCount() - spin_start < 300) {
  }
  EXPECT_GT(ProcessorTimeMs() - spin_before, cpu);
}

TEST(Win32MessageLoop, PostedMessageEndsTheWaitAndIsSeenUntilDispatched) {
  MessageLoop::ProcessMessages();
  EXPECT_FALSE(MessageLoop::MessageWaiting());
  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP + 7, 0, 0));
  EXPECT_TRUE(MessageLoop::MessageWaiting());
  EXPECT_TRUE(MessageLoop::MessageWaiting());  // looking does not take it off the queue
  const std::uint32_t start = TickCount();
  EXPECT_TRUE(MessageLoop::WaitForMessage(5000));
  EXPECT_LT(TickCount() - start, 1000u);
  EXPECT_TRUE(MessageLoop::ProcessOneMessage());
  EXPECT_FALSE(MessageLoop::ProcessOneMessage());
  EXPECT_FALSE(MessageLoop::MessageWaiting());
}

TEST(Win32MessageLoop, TimerRepeatsUntilItGoes) {
  int fired = 0;
  auto timer = Timer::Start(20, [&] { ++fired; });
  const std::uint32_t start = TickCount();
  while (fired < 3 && TickCount() - start < 5000) {
    MessageLoop::WaitForMessage(1000);
    MessageLoop::ProcessMessages();
  }
  EXPECT_GE(fired, 3);
  timer.reset();
  const int after_stop = fired;
  const std::uint32_t stopped = TickCount();
  while (TickCount() - stopped < 150) {
    MessageLoop::WaitForMessage(50);
    MessageLoop::ProcessMessages();
  }
  EXPECT_EQ(fired, after_stop);
}

TEST(Win32MessageLoop, TimerMayEndItselfFromItsCallback) {
  std::unique_ptr<Timer> timer;
  int fired = 0;
  std::string seen;
  const std::string captured = "still here";
  timer = Timer::Start(10, [&, captured] {
    ++fired;
    timer.reset();
    seen = captured;  // the closure outlives the timer that held it
  });
  const std::uint32_t start = TickCount();
  while (timer != nullptr && TickCount() - start < 5000) {
    MessageLoop::WaitForMessage(1000);
    MessageLoop::ProcessMessages();
  }
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(seen, "still here");
}

}  // namespace
}  // namespace zarn::platform
