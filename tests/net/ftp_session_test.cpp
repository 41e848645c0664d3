// FTP sessions against the scripted server: the exact command lines on the wire, the replies
// each step accepts, passive transfers, unread replies and the status and disconnect events.
#include <gtest/gtest.h>

#include "net/net_exceptions.h"
#include "net/streams.h"
#include "tests/net/ftp_session_harness.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace zarn::test {
namespace {

using namespace std::string_literals;

struct SessionCase {
  const char* name;
  std::vector<ScriptStep> script;
  std::function<void(TFtpClient&)> actions;
  std::string outcome;     // DescribeOutcome of the actions
  std::string transcript;  // the control bytes the client sent, exactly
};

std::string Login() {
  return kLoginLines;
}

std::vector<SessionCase> SessionCases() {
  std::vector<SessionCase> cases;
  auto connect_quit = [](TFtpClient& ftp) {
    ftp.Connect(true);
    ftp.Quit();
  };
  cases.push_back({"login answered 331 sends an empty password line",
                   Script({Greeting(), AnonymousLogin()}), connect_quit, "ok",
                   Login() + "Quit\r\n"});
  cases.push_back({"login answered 230 sends no password line",
                   Script({Greeting(), Answer("230 Welcome.\r\n"), Answer("200 Ok.\r\n"),
                           Answer("215 UNIX Type: L8\r\n")}),
                   connect_quit, "ok", "user anonymous\r\ntype I\r\nsyst\r\nQuit\r\n"});
  cases.push_back({"syst answered 500 is accepted",
                   Script({Greeting(), Answer("230 Welcome.\r\n"), Answer("200 Ok.\r\n"),
                           Answer("500 Unknown command.\r\n")}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     EXPECT_EQ(ftp.SystemDescription(), "Unknown");
                     ftp.Quit();
                   },
                   "ok", "user anonymous\r\ntype I\r\nsyst\r\nQuit\r\n"});
  cases.push_back({"syst answered 502 fails the connect and closes",
                   Script({Greeting(), Answer("230 Welcome.\r\n"), Answer("200 Ok.\r\n"),
                           Answer("502 Not implemented.\r\n")}),
                   [](TFtpClient& ftp) {
                     try {
                       ftp.Connect(true);
                     } catch (...) {
                       EXPECT_FALSE(ftp.IsConnected());
                       throw;
                     }
                   },
                   "reply 502: 502 Not implemented.", "user anonymous\r\ntype I\r\nsyst\r\n"});
  cases.push_back(
      {"a multi-line greeting is one reply",
       Script({{Send("220-Welcome\r\n220-to the\r\n220 server\r\n")}, AnonymousLogin()}),
       connect_quit, "ok", Login() + "Quit\r\n"});
  cases.push_back({"blank lines between replies are skipped",
                   Script({{Send("\r\n  \r\n220 Ready.\r\n\r\n")}, AnonymousLogin()}), connect_quit,
                   "ok", Login() + "Quit\r\n"});
  cases.push_back({"a greeting other than 220 fails the connect",
                   {Send("+OK POP3 server ready\r\n")},
                   connect_quit,
                   "reply 1: +OK POP3 server ready",
                   ""});
  cases.push_back({"CWD and CDUP go out as written and accept 250",
                   Script({Greeting(), AnonymousLogin(), Answer("250 Ok.\r\n"),
                           Answer("250 Ok.\r\n"), Answer("250 Ok.\r\n"), Answer("250 Ok.\r\n")}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     ftp.ChangeDir("pub/updates");
                     ftp.ChangeDirUp();
                     ftp.ChangeDirUp();
                     ftp.ChangeDir("incoming");
                     ftp.Quit();
                   },
                   "ok", Login() + "CWD pub/updates\r\nCDUP\r\nCDUP\r\nCWD incoming\r\nQuit\r\n"});
  cases.push_back({"CDUP answered 200 fails",
                   Script({Greeting(), AnonymousLogin(), Answer("200 Ok.\r\n")}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     ftp.ChangeDirUp();
                   },
                   "reply 200: 200 Ok.", Login() + "CDUP\r\n"});
  cases.push_back({"a PASV port that is not a number stops the transfer before its command",
                   Script({Greeting(), AnonymousLogin(),
                           Answer("227 Entering Passive Mode (127,0,0,1,x,1)\r\n")}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     std::vector<std::string> names;
                     ftp.List(names, "*.*", false);
                   },
                   "convert: 'x' is not a valid integer value", Login() + "PASV\r\n"});
  cases.push_back({"a PASV reply with a missing port field is a conversion error",
                   Script({Greeting(), AnonymousLogin(),
                           Answer("227 Entering Passive Mode (127,0,0,1,4)\r\n")}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     std::vector<std::string> names;
                     ftp.List(names, "*.*", false);
                   },
                   "convert: '' is not a valid integer value", Login() + "PASV\r\n"});
  cases.push_back({"a PASV port beyond 65535 is refused, not cut to 16 bits",
                   Script({Greeting(), AnonymousLogin(),
                           Answer("227 Entering Passive Mode (127,0,0,1,256,1)\r\n")}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     std::vector<std::string> names;
                     ftp.List(names, "*.*", false);
                   },
                   "reply 227: 227 Entering Passive Mode (127,0,0,1,256,1)", Login() + "PASV\r\n"});
  cases.push_back({"a transfer ended by 426 then 226 succeeds",
                   Script({Greeting(), AnonymousLogin(),
                           Download("x", {Send("426 Aborted.\r\n226 Closed.\r\n")})}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     TMemoryStream data;
                     ftp.Get("a.cab", data);
                     EXPECT_EQ(data.Bytes(), "x");
                     ftp.Quit();
                   },
                   "ok", Login() + "PASV\r\nretr a.cab\r\nQuit\r\n"});
  cases.push_back({"a transfer ended by 426 then anything but 226 fails",
                   Script({Greeting(), AnonymousLogin(),
                           Download("x", {Send("426 Aborted.\r\n250 Hmm.\r\n")})}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     TMemoryStream data;
                     ftp.Get("a.cab", data);
                   },
                   "reply 250: 250 Hmm.", Login() + "PASV\r\nretr a.cab\r\n"});
  cases.push_back(
      {"a retry after a failed download and ABOR reads the stale reply",
       Script({Greeting(),
               AnonymousLogin(),
               {ReadLine(), Passive(), ReadLine(), Send("550 a.cab: No such file.\r\n"), ReadLine(),
                Send("225 ABOR command successful.\r\n"), ReadLine(), Passive()}}),
       [](TFtpClient& ftp) {
         ftp.Connect(true);
         TMemoryStream data;
         EXPECT_EQ(DescribeOutcome([&] { ftp.Get("a.cab", data); }),
                   "reply 550: 550 a.cab: No such file.");
         ftp.Abort();
         ftp.Get("a.cab", data);
       },
       "reply 225: 225 ABOR command successful.",
       Login() + "PASV\r\nretr a.cab\r\nABOR\r\nPASV\r\n"});
  cases.push_back({"a reply to the transfer command other than 125 or 150 fails it",
                   Script({Greeting(),
                           AnonymousLogin(),
                           {ReadLine(), Passive(), ReadLine(), Send("451 Local error.\r\n")}}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     std::vector<std::string> names{"kept"};
                     EXPECT_EQ(DescribeOutcome([&] { ftp.List(names, "*.*", false); }),
                               "reply 451: 451 Local error.");
                     EXPECT_EQ(names, std::vector<std::string>{"kept"});
                     ftp.Quit();
                   },
                   "ok", Login() + "PASV\r\nnlst *.*\r\nQuit\r\n"});
  cases.push_back({"an empty remote name is stored with STOU",
                   Script({Greeting(), AnonymousLogin(), Upload()}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     TMemoryStream report;
                     report.Write("r", 1);
                     report.Seek(0);
                     ftp.Put(report, "", false);
                     ftp.Quit();
                   },
                   "ok", Login() + "PASV\r\nSTOU \r\nQuit\r\n"});
  cases.push_back({"append goes out as APPE", Script({Greeting(), AnonymousLogin(), Upload()}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     TMemoryStream report;
                     ftp.Put(report, "log.txt", true);
                     ftp.Quit();
                   },
                   "ok", Login() + "PASV\r\nAPPE log.txt\r\nQuit\r\n"});
  cases.push_back({"a details listing goes out as list, an empty specifier is trimmed away",
                   Script({Greeting(), AnonymousLogin(), Download(""), Download("")}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     std::vector<std::string> names;
                     ftp.List(names, "*.cab", true);
                     ftp.List(names, "", false);
                     EXPECT_TRUE(names.empty());
                     ftp.Quit();
                   },
                   "ok", Login() + "PASV\r\nlist *.cab\r\nPASV\r\nnlst\r\nQuit\r\n"});
  cases.push_back({"the type command goes out at once when the type changes while connected",
                   Script({Greeting(), AnonymousLogin(), Answer("200 Type set to A.\r\n")}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     ftp.SetTransferType(TFtpTransferType::ftASCII);
                     ftp.SetTransferType(TFtpTransferType::ftASCII);
                     ftp.Quit();
                   },
                   "ok", Login() + "type A\r\nQuit\r\n"});
  cases.push_back({"a second connect fails and closes the open connection",
                   Script({Greeting(), AnonymousLogin()}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     try {
                       ftp.Connect(true);
                     } catch (...) {
                       EXPECT_FALSE(ftp.IsConnected());
                       throw;
                     }
                   },
                   "net: Already connected.", Login()});
  cases.push_back({"a local file that cannot be created stops the download before it starts",
                   Script({Greeting(), AnonymousLogin()}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     ftp.Get("z4up.ini", "no-such-folder/z4up.ini", true);
                   },
                   "other: Cannot create file no-such-folder/z4up.ini", Login()});
  cases.push_back({"a reply line beyond 64 KiB ends the connection with a clear error",
                   {Send("220 " + std::string(70000, 'x') + "\r\n")},
                   connect_quit,
                   "limit: Line longer than 65536 bytes.",
                   ""});
  const std::string reply_limit = "limit: Reply longer than 10000 lines or 4194304 bytes.";
  std::string flood = "220-Welcome\r\n";
  std::string blank_flood = flood;
  for (int i = 0; i < 10000; ++i) {
    flood += "220-x\r\n";
    blank_flood += " \r\n";
  }
  cases.push_back({"a multi-line reply that never ends is cut off",
                   {Send(flood)},
                   connect_quit,
                   reply_limit,
                   ""});
  cases.push_back({"blank lines count towards the reply's limit",
                   {Send(blank_flood)},
                   connect_quit,
                   reply_limit,
                   ""});
  cases.push_back({"a reply line split across two sends is one line",
                   Script({{Send("22"), Pause(100), Send("0 Ready.\r\n")}, AnonymousLogin()}),
                   connect_quit, "ok", Login() + "Quit\r\n"});
  cases.push_back({"a download into a longer stream leaves it ending with the download",
                   Script({Greeting(), AnonymousLogin(), Download("new")}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     TMemoryStream data;
                     data.Write("old and longer", 14);
                     data.Seek(0);
                     ftp.Get("a.cab", data);
                     EXPECT_EQ(data.Bytes(), "new");
                     ftp.Quit();
                   },
                   "ok", Login() + "PASV\r\nretr a.cab\r\nQuit\r\n"});
  cases.push_back({"the data connection receives in pieces of the client's receive size",
                   Script({Greeting(), AnonymousLogin(), Download("0123456789")}),
                   [](TFtpClient& ftp) {
                     ftp.RecvBufferSize = 4;
                     std::vector<std::int64_t> totals;
                     // The control connection's reply lines come through the same handler.
                     ftp.OnWork = [&](TNetComponent& sender, TWorkMode, std::int64_t count) {
                       if (&sender != &ftp) totals.push_back(count);
                     };
                     ftp.Connect(true);
                     TMemoryStream data;
                     ftp.Get("a.cab", data);
                     EXPECT_EQ(data.Bytes(), "0123456789");
                     // The work events carry the running total: no step may exceed 4 bytes.
                     std::int64_t before = 0;
                     for (const std::int64_t total : totals) {
                       EXPECT_LE(total - before, 4);
                       before = total;
                     }
                     EXPECT_EQ(before, 10);
                     ftp.Quit();
                   },
                   "ok", Login() + "PASV\r\nretr a.cab\r\nQuit\r\n"});
  const auto throwing_work_end = [](TFtpClient& ftp) {
    ftp.OnWorkEnd = [](TNetComponent&, TWorkMode) { throw Exception("progress handler failed"); };
    ftp.Connect(true);
    TMemoryStream data;
    ftp.Get("a.cab", data);
  };
  cases.push_back({"a progress-end handler's exception reaches the caller",
                   Script({Greeting(), AnonymousLogin(), Download("x")}), throwing_work_end,
                   "other: progress handler failed", Login() + "PASV\r\nretr a.cab\r\n"});
  cases.push_back({"a failed transfer reports its own failure, not the handler's",
                   Script({Greeting(),
                           AnonymousLogin(),
                           {ReadLine(), Passive(), ReadLine(), AcceptData(), Send("150 Ok.\r\n"),
                            SendData("x"), Pause(1000)}}),
                   [&](TFtpClient& ftp) {
                     ftp.IdleTimeoutMs = 200;
                     throwing_work_end(ftp);
                   },
                   "socket 10060: Socket Error # 10060\r\nConnection timed out.",
                   Login() + "PASV\r\nretr a.cab\r\n"});
  const int closed_port = ScriptedFtpServer::UnusedPort();
  cases.push_back(
      {"a PASV port where nothing listens fails the transfer and leaves its reply unread",
       Script({Greeting(), AnonymousLogin(),
               Answer("227 Entering Passive Mode (127,0,0,1," + std::to_string(closed_port / 256) +
                      "," + std::to_string(closed_port % 256) + ")\r\n"),
               Answer("425 No data connection.\r\n")}),
       [](TFtpClient& ftp) {
         ftp.Connect(true);
         TMemoryStream data;
         EXPECT_EQ(DescribeOutcome([&] { ftp.Get("a.cab", data); }),
                   "socket 10061: Socket Error # 10061\r\nConnection refused.");
         ftp.ChangeDir("next");
       },
       "reply 425: 425 No data connection.", Login() + "PASV\r\nretr a.cab\r\nCWD next\r\n"});
  cases.push_back({"a server that closes the data connection in mid-upload fails the upload",
                   Script({Greeting(),
                           AnonymousLogin(),
                           {ReadLine(), Passive(), ReadLine(), AcceptData(), Send("150 Ok.\r\n"),
                            CloseData(), Send("426 Closed.\r\n")}}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     TMemoryStream report;
                     const std::string bytes(32 * 1024 * 1024, 'r');
                     report.Write(bytes.data(), bytes.size());
                     report.Seek(0);
                     try {
                       ftp.Put(report, "report.txt");
                       ADD_FAILURE() << "an upload into a closed connection succeeded";
                     } catch (const ENetSocketError& e) {
                       EXPECT_TRUE(e.ErrorCode() == 10053 || e.ErrorCode() == 10054)
                           << e.ErrorCode();
                     }
                   },
                   "ok", Login() + "PASV\r\nSTOR report.txt\r\n"});
  cases.push_back({"a stream that yields nothing before its end fails the upload",
                   Script({Greeting(), AnonymousLogin(), Upload()}),
                   [](TFtpClient& ftp) {
                     ftp.Connect(true);
                     // A stream whose size promises bytes that its reads never give.
                     struct Hollow : TMemoryStream {
                       std::int64_t Size() const override { return 10; }
                     } report;
                     ftp.Put(report, "report.txt");
                   },
                   "net: No data to read.", Login() + "PASV\r\nSTOR report.txt\r\n"});
  return cases;
}

TEST(FtpSession, CommandLinesRepliesAndOutcomes) {
  for (const SessionCase& c : SessionCases()) {
    SCOPED_TRACE(c.name);
    const SessionResult result = RunSession(c.script, c.actions);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.transcript, c.transcript);
    EXPECT_EQ(result.server_errors, std::vector<std::string>{});
  }
}

struct ListingCase {
  const char* name;
  std::string data;
  std::vector<std::string> lines;
};

TEST(FtpSession, ListingsSplitAtEveryKindOfLineEnd) {
  const ListingCase cases[] = {
      {"empty", "", {}},
      {"CR LF", "z4up.ini\r\nzarn4.cab\r\n", {"z4up.ini", "zarn4.cab"}},
      {"LF and lone CR", "a\nb\rc", {"a", "b", "c"}},
      {"LF then CR is two line ends", "a\n\rb\n", {"a", "", "b"}},
      {"blanks kept", " a b \r\n", {" a b "}},
      {"text ends at NUL", "a\r\nb\0c\r\n"s, {"a", "b"}},
  };
  for (const ListingCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TFtpClient::SplitListing(c.data), c.lines);
  }
}

TEST(FtpSession, NameListingOverPassiveDataConnection) {
  std::vector<std::string> names{"stale"};
  const auto result =
      RunSession(Script({Greeting(), AnonymousLogin(), Download("z4up.ini\r\nzarn4.cab\r\n")}),
                 [&](TFtpClient& ftp) {
                   ftp.Connect(true);
                   ftp.List(names, "*.*", false);
                   ftp.Quit();
                 });
  EXPECT_EQ(result.outcome, "ok");
  EXPECT_EQ(result.transcript, Login() + "PASV\r\nnlst *.*\r\nQuit\r\n");
  EXPECT_EQ(names, (std::vector<std::string>{"z4up.ini", "zarn4.cab"}));
}

TEST(FtpSession, PassiveRepliesOfEveryShapeReachTheControlPeer) {
  // The listener of the scripted server is on 127.0.0.1 only: a client that followed an
  // announced 127.0.0.2 would be refused.
  const struct {
    const char* reply;
    const char* announced;
  } cases[] = {
      {"227 Entering Passive Mode (127,0,0,1,%p)\r\n", "127.0.0.1"},
      {"227 Entering Passive Mode 127,0,0,1,%p\r\n", "127.0.0.1"},
      {"227 =127,0,0,2,%p\r\n", "=127.0.0.2"},
      {"227 Entering Passive Mode (127,0,0,2,%p).\r\n", "127.0.0.2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    std::string announced;
    const auto result = RunSession(
        Script({Greeting(),
                AnonymousLogin(),
                {ReadLine(), Passive(c.reply), ReadLine(), AcceptData(), Send("150 Go.\r\n"),
                 SendData("data"), CloseData(), Send("226 Done.\r\n")}}),
        [&](TFtpClient& ftp) {
          ftp.Connect(true);
          TMemoryStream data;
          ftp.Get("f", data);
          EXPECT_EQ(data.Bytes(), "data");
          announced = ftp.AnnouncedDataHost();
          ftp.Quit();
        });
    EXPECT_EQ(result.outcome, "ok");
    EXPECT_EQ(announced, c.announced);
    EXPECT_EQ(result.server_errors, std::vector<std::string>{});
  }
}

TEST(FtpSession, UploadsSendTheStreamFromItsPosition) {
  const std::string body(100000, 'r');  // several send chunks
  const struct {
    const char* name;
    std::int64_t position;
    std::string expected;
  } cases[] = {
      {"whole report", 0, body},
      {"stream at its end sends an empty file", static_cast<std::int64_t>(body.size()), ""},
      {"from the middle", 99990, std::string(10, 'r')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto result =
        RunSession(Script({Greeting(), AnonymousLogin(), Upload()}), [&](TFtpClient& ftp) {
          ftp.Connect(true);
          TMemoryStream report;
          report.Write(body.data(), body.size());
          report.Seek(c.position);
          ftp.Put(report, "2612070001000.txt", false);
          ftp.Quit();
        });
    EXPECT_EQ(result.outcome, "ok");
    EXPECT_EQ(result.transcript, Login() + "PASV\r\nSTOR 2612070001000.txt\r\nQuit\r\n");
    EXPECT_EQ(result.uploaded, c.expected);
  }
}

TEST(FtpSession, ListingBeyond64MiBEndsWithAClearError) {
  std::vector<std::string> names{"kept"};
  const auto result = RunSession(
      Script({Greeting(),
              AnonymousLogin(),
              {ReadLine(), Passive(), ReadLine(), AcceptData(), Send("150 Go.\r\n"),
               SendData(std::string(TFtpClient::kMaxListingSize + 1, 'n')), CloseData()}}),
      [&](TFtpClient& ftp) {
        ftp.Connect(true);
        ftp.List(names, "*.*", false);
      });
  EXPECT_EQ(result.outcome, "limit: Listing larger than 67108864 bytes.");
  EXPECT_EQ(names, std::vector<std::string>{"kept"});
}

TEST(FtpSession, StatusAndDisconnectEventsOfAWholeSession) {
  const auto result =
      RunSession(Script({Greeting(), AnonymousLogin(), Download("a\r\n")}), [](TFtpClient& ftp) {
        ftp.Host = "LocalHost";
        ftp.Connect(true);
        std::vector<std::string> names;
        ftp.List(names, "*.*", false);
        ftp.Quit();
        ftp.Quit();
      });
  EXPECT_EQ(result.outcome, "ok");
  EXPECT_EQ(result.events,
            (std::vector<std::string>{"Resolving hostname LocalHost.", "Connecting to 127.0.0.1.",
                                      "Connected.", "Disconnecting from 127.0.0.1.",
                                      "Not connected.", "OnDisconnected"}));
}

TEST(FtpSession, ServerCloseIsReportedOnceWhenAReadSeesIt) {
  const auto result = RunSession(
      Script({Greeting(), AnonymousLogin(), {ReadLine(), CloseControl()}}), [](TFtpClient& ftp) {
        ftp.Connect(true);
        EXPECT_EQ(DescribeOutcome([&] { ftp.ChangeDirUp(); }),
                  "closed: Connection Closed Gracefully.");
        EXPECT_FALSE(ftp.IsConnected());
        ftp.Quit();
      });
  EXPECT_EQ(result.transcript, Login() + "CDUP\r\n");
  EXPECT_EQ(result.events, (std::vector<std::string>{"Connecting to 127.0.0.1.", "Connected.",
                                                     "Disconnecting from 127.0.0.1.",
                                                     "Not connected.", "OnDisconnected"}));
}

TEST(FtpSession, FailedConnectsReportTheirStatusesThenRaise) {
  const int unused = ScriptedFtpServer::UnusedPort();
  const struct {
    const char* name;
    std::string host;
    std::vector<std::string> events;
    std::string outcome_prefix;
  } cases[] = {
      {"connection refused",
       "127.0.0.1",
       {"Connecting to 127.0.0.1.", "Disconnecting from 127.0.0.1.", "Not connected.",
        "OnDisconnected"},
       "socket 10061: Socket Error # 10061\r\nConnection refused."},
      {"unresolvable host",
       "no-such-host.invalid",
       {"Resolving hostname no-such-host.invalid.", "Disconnecting from .", "Not connected.",
        "OnDisconnected"},
       "socket 1100"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> events;
    TFtpClient ftp;
    ftp.Host = c.host;
    ftp.Port = unused;
    ftp.OnStatus = [&](TNetComponent&, TNetStatus, const std::string& text) {
      events.push_back(text);
    };
    ftp.OnDisconnected = [&](TNetComponent&) { events.push_back("OnDisconnected"); };
    const std::string outcome = DescribeOutcome([&] { ftp.Connect(true); });
    EXPECT_EQ(outcome.substr(0, c.outcome_prefix.size()), c.outcome_prefix);
    EXPECT_EQ(events, c.events);
  }
}

TEST(FtpSession, UnresolvableHostMessageHasOnlyTheNumber) {
  TFtpClient ftp;
  ftp.Host = "no-such-host.invalid";
  try {
    ftp.Connect(true);
    FAIL() << "connected";
  } catch (const ENetSocketError& e) {
    EXPECT_GT(e.ErrorCode(), 10066);
    EXPECT_EQ(e.Message(), "Socket Error # " + std::to_string(e.ErrorCode()) + "\r\n");
  }
}

TEST(FtpSession, ServerCloseIsNotSeenUntilAReadOrSend) {
  ScriptedFtpServer server(Script({Greeting(), AnonymousLogin(), {CloseControl()}}));
  TFtpClient ftp;
  ftp.Host = "127.0.0.1";
  ftp.Port = server.Port();
  ftp.User = "anonymous";
  ftp.Connect(true);
  server.Finish();
  EXPECT_TRUE(ftp.IsConnected());
  ftp.Quit();
  EXPECT_FALSE(ftp.IsConnected());
}

TEST(FtpSession, GetOntoAnExistingFileWithoutOverwriteSendsNothing) {
  const TempDir scratch;
  const std::string path = scratch.Write("ftp_get_existing.tmp", "old");
  const auto result = RunSession(Script({Greeting(), AnonymousLogin()}), [&](TFtpClient& ftp) {
    ftp.Connect(true);
    ftp.Get("z4up.ini", path, false);
  });
  EXPECT_EQ(result.outcome, "net: Destination file already exists.");
  EXPECT_EQ(result.transcript, Login());
}

TEST(FtpSession, GetIntoALocalFileKeepsTheBytes) {
  const TempDir scratch;
  const std::string path = scratch.PathOf("ftp_get_file.tmp");
  std::string bytes;
  for (int i = 0; i < 70000; ++i) bytes += static_cast<char>(i * 7);
  const auto result =
      RunSession(Script({Greeting(), AnonymousLogin(), Download(bytes)}), [&](TFtpClient& ftp) {
        ftp.Connect(true);
        ftp.Get("zarn4.cab", path, true);
        ftp.Quit();
      });
  EXPECT_EQ(result.outcome, "ok");
  TFileStream file(path, TFileStream::Mode::kOpenRead);
  std::string got(static_cast<std::size_t>(file.Size()), '\0');
  file.Read(got.data(), got.size());
  EXPECT_EQ(got, bytes);
}

TEST(FtpSession, AFailedGetLeavesThePartialFile) {
  const TempDir scratch;
  const std::string path = scratch.PathOf("zarn4.cab");
  const auto result =
      RunSession(Script({Greeting(), AnonymousLogin(),
                         Download("part", {Send("451 Transfer aborted: local error.\r\n")})}),
                 [&](TFtpClient& ftp) {
                   ftp.Connect(true);
                   ftp.Get("zarn4.cab", path, true);
                 });
  EXPECT_EQ(result.outcome, "reply 451: 451 Transfer aborted: local error.");
  EXPECT_EQ(ReadWholeFile(path), "part");
}

}  // namespace
}  // namespace zarn::test
