// Continued downloads against the scripted server: what goes on the wire, and that every server
// behaviour that makes a restart unsafe (a restart ignored, one accepted past the end, a refused
// SIZE or REST, a partial file that is no prefix of the server's) still ends with the server's
// file byte for byte.
#include <gtest/gtest.h>

#include "net/net_exceptions.h"
#include "tests/net/ftp_session_harness.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace zarn::test {
namespace {

const std::string kRemote = [] {
  std::string bytes(20000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + i / 251));
  return bytes;
}();
const std::string kPartial = kRemote.substr(0, 12000);
constexpr std::size_t kOffset = 12000 - 4096;
const std::string kRest = "REST " + std::to_string(kOffset) + "\r\n";

// The retr exchange after the passive reply (and a restart, when there is one): the data, then
// the transfer's end.
std::vector<ScriptStep> Retr(const std::string& data) {
  return {ReadLine(),      AcceptData(), Send("150 Opening BINARY mode data connection.\r\n"),
          OfferData(data), CloseData(),  Send("226 Transfer complete.\r\n")};
}

std::vector<ScriptStep> Size(const std::string& reply) {
  return Script({Answer("200 Switching to Binary mode.\r\n"), Answer(reply)});
}

std::vector<ScriptStep> RestartedRetr(const std::string& rest_reply, const std::string& data) {
  return Script({{ReadLine(), Passive()}, Answer(rest_reply), Retr(data)});
}

std::vector<ScriptStep> WholeRetr() {
  return Script({{ReadLine(), Passive()}, Retr(kRemote)});
}

TEST(FtpResume, EndsWithTheServersFileWhateverTheServerDoesWithTheRestart) {
  const std::string size_ok = "213 20000\r\n";
  const std::string start = "type I\r\nSIZE zarn4.cab\r\n";
  const std::string whole = "PASV\r\nretr zarn4.cab\r\n";
  const std::string restarted = "PASV\r\n" + kRest + "retr zarn4.cab\r\n";
  std::string changed = kPartial;
  changed[10000] ^= 0x55;  // inside the overlap
  const struct {
    const char* name;
    std::string partial;
    std::vector<ScriptStep> script;  // after the login
    std::optional<std::int64_t> expected_size;
    std::string outcome;
    std::string commands;  // after the login lines
    bool resumed;
  } cases[] = {
      {"a server that honours the restart", kPartial,
       Script({Size(size_ok),
               RestartedRetr("350 Restart position accepted.\r\n", kRemote.substr(kOffset))}),
       20000, "ok", start + restarted, true},
      {"a server that refuses SIZE", kPartial,
       Script({Size("500 Unknown command.\r\n"),
               RestartedRetr("350 Restart position accepted.\r\n", kRemote.substr(kOffset))}),
       std::nullopt, "ok", start + restarted, true},
      {"a server that refuses the restart", kPartial,
       Script({Size(size_ok), RestartedRetr("502 REST not implemented.\r\n", kRemote)}),
       std::nullopt, "ok", start + restarted, false},
      {"a server that accepts the restart and sends from the start", kPartial,
       Script({Size(size_ok), RestartedRetr("350 Restart position accepted.\r\n", kRemote)}),
       std::nullopt, "ok", start + restarted, false},
      {"a server that accepts the restart and sends nothing", kPartial,
       Script({Size("550 Could not get file size.\r\n"),
               RestartedRetr("350 Restart position accepted.\r\n", ""), WholeRetr()}),
       std::nullopt, "ok", start + restarted + whole, false},
      {"a server that refuses the transfer after the restart", kPartial,
       Script({Size("500 Unknown command.\r\n"),
               {ReadLine(), Passive()},
               Answer("350 Restart position accepted.\r\n"),
               Answer("554 Invalid REST parameter.\r\n"),
               WholeRetr()}),
       std::nullopt, "ok", start + restarted + whole, false},
      {"a partial file that is no prefix of the server's", changed,
       Script({Size(size_ok),
               RestartedRetr("350 Restart position accepted.\r\n", kRemote.substr(kOffset)),
               Answer("200 NOOP ok.\r\n"), WholeRetr()}),
       std::nullopt, "ok", start + restarted + "NOOP\r\n" + whole, false},
      {"a partial file within the overlap is not restarted", kPartial.substr(0, 4000),
       Script({Size(size_ok), WholeRetr()}), std::nullopt, "ok", start + whole, false},
      {"an expected size the server contradicts", kPartial, Size(size_ok), 30000,
       "net: Size of zarn4.cab on the server is 20000 bytes, not 30000.", start, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TempDir scratch;
    const auto path = scratch.path() / "zarn4.cab";
    WriteBytes(path, c.partial);
    TFtpClient::ContinuedGet got;
    const SessionResult result =
        RunSession(Script({Greeting(), AnonymousLogin(), c.script}), [&](TFtpClient& ftp) {
          ftp.Connect(true);
          got = ftp.GetContinued("zarn4.cab", path.string(), c.expected_size);
        });
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.transcript, kLoginLines + c.commands);
    EXPECT_EQ(got.resumed, c.resumed);
    if (c.outcome == "ok") {
      EXPECT_TRUE(ReadWholeFile(path) == kRemote) << "the file is not the server's";
      EXPECT_EQ(got.kept, c.resumed ? 12000 : 0);
    } else {
      EXPECT_TRUE(ReadWholeFile(path) == c.partial) << "a refused download changed the file";
    }
  }
}

}  // namespace
}  // namespace zarn::test
