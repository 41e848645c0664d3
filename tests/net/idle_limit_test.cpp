// The time rules of every wait for the server: silence for the limit ends the wait with 10060,
// and so does a reply or transfer that moves fewer than 512 bytes in a window of the limit's
// length; a slow transfer that keeps above that pace completes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "net/streams.h"
#include "tests/net/ftp_session_harness.h"

namespace zarn::test {
namespace {

constexpr int kSilenceMs = 1500;
const std::string kTimedOut = "socket 10060: Socket Error # 10060\r\nConnection timed out.";

// The bytes sent in pieces of `piece` bytes, `pause_ms` apart.
std::vector<ScriptStep> Trickle(const std::string& bytes, bool on_data, int pause_ms,
                                std::size_t piece = 1) {
  std::vector<ScriptStep> steps;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    const std::string part = bytes.substr(at, piece);
    steps.push_back(on_data ? SendData(part) : Send(part));
    steps.push_back(Pause(pause_ms));
  }
  return steps;
}

std::vector<ScriptStep> StartDownload() {
  return {ReadLine(), Passive(), ReadLine(), AcceptData(),
          Send("150 Opening data connection.\r\n")};
}

TEST(IdleLimit, SilenceAndTricklesEndTheWaitAndASufficientPaceDoesNot) {
  TMemoryStream file;
  const auto connect_get = [&file](TFtpClient& ftp) {
    ftp.Connect(true);
    ftp.Get("zarn4.cab", file);
  };
  const auto connect_put = [](TFtpClient& ftp) {
    ftp.Connect(true);
    TMemoryStream source;
    const std::string bytes(32 * 1024 * 1024, 'u');
    source.Write(bytes.data(), bytes.size());
    source.Seek(0);
    ftp.Put(source, "report.txt");
  };
  const auto connect_cwd = [](TFtpClient& ftp) {
    ftp.Connect(true);
    ftp.ChangeDir("zarn4");
  };
  const std::string slow_file(8 * 600, 's');
  const struct {
    const char* name;
    std::uint32_t limit_ms;
    std::vector<ScriptStep> script;
    std::function<void(TFtpClient&)> actions;
    std::string outcome;
    // The bytes the download kept: a trickle is cut wherever its pieces fell within the window.
    std::size_t min_bytes, max_bytes;
  } cases[] = {
      {"a silent greeting", 300, {Pause(kSilenceMs)}, connect_cwd, kTimedOut, 0, 0},
      {"silence after a command", 300,
       Script({Greeting(), AnonymousLogin(), {ReadLine(), Pause(kSilenceMs)}}), connect_cwd,
       kTimedOut, 0, 0},
      {"a data connection silent in mid-transfer", 300,
       Script(
           {Greeting(), AnonymousLogin(), StartDownload(), {SendData("slow"), Pause(kSilenceMs)}}),
       connect_get, kTimedOut, 4, 4},
      {"a server that takes no upload bytes", 300,
       Script({Greeting(),
               AnonymousLogin(),
               {ReadLine(), Passive(), ReadLine(), AcceptData(), Send("150 Ok.\r\n"),
                Pause(kSilenceMs)}}),
       connect_put, kTimedOut, 0, 0},
      // Each byte comes before the limit runs out, but the reply never gets anywhere.
      {"a reply trickled a byte every 1.5 s", 2000,
       Script({Greeting(),
               AnonymousLogin(),
               {ReadLine()},
               Trickle("250 Directory successfully changed.\r\n", false, 1500)}),
       connect_cwd, kTimedOut, 0, 0},
      {"a data connection trickled a byte every 1.5 s", 2000,
       Script({Greeting(), AnonymousLogin(), StartDownload(),
               Trickle(std::string(40, 'x'), true, 1500)}),
       connect_get, kTimedOut, 1, 2},
      {"a data connection trickled 100 bytes every 300 ms", 1000,
       Script({Greeting(), AnonymousLogin(), StartDownload(),
               Trickle(std::string(3000, 'x'), true, 300, 100)}),
       connect_get, kTimedOut, 300, 500},
      // 600 bytes every 400 ms: every window of a second sees at least 1200.
      {"a slow transfer above the minimum pace completes", 1000,
       Script({Greeting(),
               AnonymousLogin(),
               StartDownload(),
               Trickle(slow_file, true, 400, 600),
               {CloseData(), Send("2"), Pause(300), Send("26 Done.\r\n")}}),
       connect_get, "ok", slow_file.size(), slow_file.size()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    file.Clear();
    std::chrono::duration<double> took{};
    const SessionResult result = RunSession(c.script, [&](TFtpClient& ftp) {
      ftp.IdleTimeoutMs = c.limit_ms;
      const auto start = std::chrono::steady_clock::now();
      try {
        c.actions(ftp);
      } catch (...) {
        took = std::chrono::steady_clock::now() - start;
        throw;
      }
      took = std::chrono::steady_clock::now() - start;
    });
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_GE(file.Bytes().size(), c.min_bytes);
    EXPECT_LE(file.Bytes().size(), c.max_bytes);
    std::printf("[ figures  ] %s: %zu bytes kept, %.1f s (limit %.1f s)\n", c.name,
                file.Bytes().size(), took.count(), c.limit_ms / 1000.0);
  }
}

}  // namespace
}  // namespace zarn::test
