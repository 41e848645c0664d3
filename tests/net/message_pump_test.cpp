// The message pump: when the socket layer calls it, how waits are sliced, and that it pumps only
// on the main thread.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "net/message_pump.h"
#include "net/tcp_client.h"
#include "platform/message_loop.h"
#include "tests/net/ftp_session_harness.h"

namespace zarn::test {
namespace {

class CountingPump : public TMessagePumpBase {
 public:
  void Pump() override { ++calls; }
  int calls = 0;
};

TEST(MessagePump, PumpIfDueHonoursItsSettings) {
  const struct {
    bool active, only_when_idle, idle, override_idle;
    int calls;
  } cases[] = {
      {true, true, false, false, 0},  {true, true, true, false, 1},  {true, true, false, true, 1},
      {true, false, false, false, 1}, {false, false, true, true, 0},
  };
  for (const auto& c : cases) {
    CountingPump pump;
    pump.Active = c.active;
    pump.OnlyWhenIdle = c.only_when_idle;
    TMessagePumpBase::PumpIfDue(c.idle, c.override_idle);
    EXPECT_EQ(pump.calls, c.calls);
  }
}

TEST(MessagePump, LatestPumpIsRegisteredAndEitherDestructionClears) {
  EXPECT_EQ(TMessagePumpBase::Global(), nullptr);
  CountingPump first;
  {
    CountingPump second;
    EXPECT_EQ(TMessagePumpBase::Global(), &second);
  }
  EXPECT_EQ(TMessagePumpBase::Global(), nullptr);
}

TEST(MessagePump, NeverPumpsOffTheMainThread) {
  CountingPump pump;
  pump.OnlyWhenIdle = false;
  std::thread([] { TMessagePumpBase::PumpIfDue(true, true); }).join();
  EXPECT_EQ(pump.calls, 0);
}

// A reply that arrives after delay_ms, read with the given pump settings: how often the pump ran.
int PumpCallsWhileAwaitingReply(bool active, bool only_when_idle, int delay_ms) {
  ScriptedFtpServer server({Pause(delay_ms), Send("220 late\r\n")});
  TTcpClient client;
  ConnectTo(client, server);
  CountingPump pump;
  pump.IdleTimeOut = 500;
  pump.Active = active;
  pump.OnlyWhenIdle = only_when_idle;
  client.ReadReply({220});
  client.Disconnect();
  return pump.calls;
}

TEST(MessagePump, WaitsAreSlicedWhileActive) {
  // A reply after 1200 ms with 500 ms slices: two idle slices, then one that finds data.
  const struct {
    const char* name;
    bool active, only_when_idle;
    int min_calls, max_calls;
  } cases[] = {
      {"every slice pumps", true, false, 3, 4},
      {"only idle slices pump", true, true, 2, 3},
      {"an inactive pump never runs", false, false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int calls = PumpCallsWhileAwaitingReply(c.active, c.only_when_idle, 1200);
    EXPECT_GE(calls, c.min_calls);
    EXPECT_LE(calls, c.max_calls);
  }
}

class TimingPump : public TMessagePumpBase {
 public:
  void Pump() override { calls.push_back(std::chrono::steady_clock::now()); }
  std::vector<std::chrono::steady_clock::time_point> calls;
};

TEST(MessagePump, FiniteWaitsTakeTheRemainderFirstAndNeverOverrun) {
  ScriptedFtpServer server({Pause(2000)});
  TTcpClient client;
  ConnectTo(client, server);
  TimingPump pump;
  pump.IdleTimeOut = 300;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.Socket().WaitReadable(700));  // 100 ms, then two slices of 300 ms
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(pump.calls.size(), 3u);
  // The short remainder comes first: the first pump follows sooner than the next one.
  EXPECT_LT(pump.calls[0] - start, pump.calls[1] - pump.calls[0]);
  EXPECT_GE(elapsed, std::chrono::milliseconds(690));
  // Never a slice more than the timeout holds (that would end at 1000 ms or later).
  EXPECT_LT(elapsed, std::chrono::milliseconds(990));
  client.Disconnect();
}

TEST(MessagePump, WindowMessagesRunWhileAReplyIsAwaited) {
  // A timer of 100 ms stands for the window's messages; the reply comes after 1200 ms.
  const struct {
    const char* name;
    bool active;
    int min_ticks, max_ticks;
  } cases[] = {
      {"the main window's settings dispatch within every 500 ms slice", true, 2, 4},
      {"an inactive pump dispatches nothing", false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    platform::MessageLoop::ProcessMessages();
    ScriptedFtpServer server({Pause(1200), Send("220 late\r\n")});
    TTcpClient client;
    ConnectTo(client, server);
    TMessagePump pump;
    pump.IdleTimeOut = 500;
    pump.OnlyWhenIdle = false;
    pump.Active = c.active;
    int ticks = 0;
    const auto timer = platform::Timer::Start(100, [&] { ++ticks; });
    client.ReadReply({220});
    EXPECT_GE(ticks, c.min_ticks);
    EXPECT_LE(ticks, c.max_ticks);
    client.Disconnect();
  }
}

// Under Wine this case runs last: after it, window timers of later cases in the same process
// were seen not to fire.
class ClosingPump : public TMessagePumpBase {
 public:
  explicit ClosingPump(TTcpClient& client) : client_(client) {}
  void Pump() override { client_.Disconnect(); }

 private:
  TTcpClient& client_;
};

TEST(MessagePump, AHandlerThatClosesTheSocketEndsEveryWaitTheSameWay) {
  const struct {
    const char* name;
    std::function<void(TTcpClient&)> wait;
  } cases[] = {
      {"an unbounded wait whose slice found data", [](TTcpClient& client) { client.ReadReply(); }},
      {"a finite wait", [](TTcpClient& client) { client.Socket().WaitReadable(700); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedFtpServer server({Send("220 Ready.\r\n"), Pause(1000)});
    TTcpClient client;
    ConnectTo(client, server);
    ClosingPump pump(client);
    pump.IdleTimeOut = 300;
    pump.OnlyWhenIdle = false;
    EXPECT_EQ(DescribeOutcome([&] { c.wait(client); }), "closed: Connection Closed Gracefully.");
  }
}

}  // namespace
}  // namespace zarn::test
