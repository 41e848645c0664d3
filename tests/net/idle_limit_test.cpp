// The idle limit: a server that goes silent (or stops taking bytes) ends the wait with 10060, and
// one that trickles is never cut off.
#include <gtest/gtest.h>

#include "net/streams.h"
#include "tests/net/ftp_session_harness.h"

namespace zarn::test {
namespace {

constexpr std::uint32_t kLimitMs = 300;
constexpr int kSilenceMs = 1500;
const std::string kTimedOut = "socket 10060: Socket Error # 10060\r\nConnection timed out.";

// The bytes sent one at a time, 100 ms apart (a third of the limit).
std::vector<ScriptStep> Trickle(const std::string& bytes, bool on_data) {
  std::vector<ScriptStep> steps;
  for (char byte : bytes) {
    steps.push_back(on_data ? SendData(std::string(1, byte)) : Send(std::string(1, byte)));
    steps.push_back(Pause(100));
  }
  return steps;
}

std::vector<ScriptStep> StartDownload() {
  return {ReadLine(), Passive(), ReadLine(), AcceptData(),
          Send("150 Opening data connection.\r\n")};
}

TEST(IdleLimit, SilenceEndsTheWaitAndTricklingDoesNot) {
  const auto connect_get = [](TFtpClient& ftp) {
    ftp.Connect(true);
    TMemoryStream file;
    ftp.Get("zarn4.cab", file);
    EXPECT_EQ(file.Bytes(), "slowly");
  };
  const auto connect_put = [](TFtpClient& ftp) {
    ftp.Connect(true);
    TMemoryStream file;
    const std::string bytes(32 * 1024 * 1024, 'u');
    file.Write(bytes.data(), bytes.size());
    file.Seek(0);
    ftp.Put(file, "report.txt");
  };
  const struct {
    const char* name;
    std::vector<ScriptStep> script;
    std::function<void(TFtpClient&)> actions;
    std::string outcome;
  } cases[] = {
      {"a silent greeting",
       {Pause(kSilenceMs)},
       [](TFtpClient& ftp) { ftp.Connect(true); },
       kTimedOut},
      {"silence after a command",
       Script({Greeting(), AnonymousLogin(), {ReadLine(), Pause(kSilenceMs)}}),
       [](TFtpClient& ftp) {
         ftp.Connect(true);
         ftp.ChangeDir("zarn4");
       },
       kTimedOut},
      {"a data connection silent in mid-transfer",
       Script(
           {Greeting(), AnonymousLogin(), StartDownload(), {SendData("slow"), Pause(kSilenceMs)}}),
       connect_get, kTimedOut},
      {"a server that takes no upload bytes",
       Script({Greeting(),
               AnonymousLogin(),
               {ReadLine(), Passive(), ReadLine(), AcceptData(), Send("150 Ok.\r\n"),
                Pause(kSilenceMs)}}),
       connect_put, kTimedOut},
      {"a trickling greeting, reply and transfer complete",
       Script({Trickle("220 slow\r\n", false),
               AnonymousLogin(),
               StartDownload(),
               Trickle("slowly", true),
               {CloseData()},
               Trickle("226 Done.\r\n", false)}),
       connect_get, "ok"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const SessionResult result = RunSession(c.script, [&](TFtpClient& ftp) {
      ftp.IdleTimeoutMs = kLimitMs;
      c.actions(ftp);
    });
    EXPECT_EQ(result.outcome, c.outcome);
  }
}

}  // namespace
}  // namespace zarn::test
