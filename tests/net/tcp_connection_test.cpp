// Reading lines and numbered replies off a TCP connection, and the helpers of the socket stack.
#include <gtest/gtest.h>

#include "common/integer_conversion.h"
#include "net/net_exceptions.h"
#include "net/tcp_client.h"
#include "tests/net/ftp_session_harness.h"

namespace zarn::test {
namespace {

struct ReplyCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
  std::int16_t code;
};

TEST(TcpConnection, RepliesOfEveryShape) {
  const ReplyCase cases[] = {
      {"multi-line",
       "220-first\r\n220-second\r\n220 last\r\n",
       {"220-first", "220-second", "220 last"},
       220},
      {"a bare code ends a multi-line reply", "220-first\r\n220 \r\n", {"220-first", "220"}, 220},
      {"end marker ignores case and leading blanks",
       "2a0-x\r\n  2A0 end\r\n",
       {"2a0-x", "2A0 end"},
       0},
      {"+ok in any case is 1", "+ok ready\r\n", {"+ok ready"}, 1},
      {"-ERR is 0", "-ERR nope\r\n", {"-ERR nope"}, 0},
      {"no digits is 0", "abc text\r\n", {"abc text"}, 0},
      {"a hexadecimal code is 0", "$E6 ok\r\n", {"$E6 ok"}, 0},
      {"blank lines before a reply are skipped", "\r\n   \r\n\t\r\n250 ok\r\n", {"250 ok"}, 250},
      {"bare LF ends a line", "250 lf\n", {"250 lf"}, 250},
      {"lone CR does not end a line", "250 cr\r250 next\r\n", {"250 cr\r250 next"}, 250},
      {"trailing blanks are trimmed", "230 Welcome.   \r\n", {"230 Welcome."}, 230},
  };
  for (const ReplyCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedFtpServer server({Send(c.bytes)});
    TTcpClient client;
    ConnectTo(client, server);
    EXPECT_EQ(client.ReadReply(), c.code);
    EXPECT_EQ(client.ReplyLines, c.lines);
    EXPECT_EQ(client.ReplyText, c.lines.back());
    client.Disconnect();
  }
}

TEST(TcpConnection, BytesAfterThePeerClosedCanStillBeRead) {
  ScriptedFtpServer server({Send("220 one\r\n220 two\r\n"), CloseControl()});
  TTcpClient client;
  ConnectTo(client, server);
  server.Finish();
  EXPECT_EQ(client.ReadReply({220}), 220);
  EXPECT_EQ(client.ReadReply({220}), 220);
  EXPECT_EQ(client.ReplyText, "220 two");
  EXPECT_THROW(client.ReadReply(), ENetConnClosedGracefully);
  EXPECT_FALSE(client.IsConnected());
}

TEST(TcpConnection, UnacceptedCodeCarriesCodeAndLastLine) {
  ScriptedFtpServer server({Send("550-a\r\n550 No such file.\r\n")});
  TTcpClient client;
  ConnectTo(client, server);
  try {
    client.ReadReply({250});
    FAIL() << "accepted";
  } catch (const ENetProtocolReplyError& e) {
    EXPECT_EQ(e.ReplyCode(), 550);
    EXPECT_EQ(e.Message(), "550 No such file.");
  }
  EXPECT_TRUE(client.IsConnected());
}

TEST(SocketStack, ErrorMessages) {
  const struct {
    int code;
    const char* message;
  } cases[] = {
      {10061, "Socket Error # 10061\r\nConnection refused."},
      {10054, "Socket Error # 10054\r\nConnection reset by peer."},
      {10035, "Socket Error # 10035\r\nOperation would block. "},
      {10066, "Socket Error # 10066\r\nDirectory not empty"},
      {11001, "Socket Error # 11001\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ENetSocketError(c.code).Message(), c.message);
    EXPECT_EQ(ENetSocketError(c.code).ErrorCode(), c.code);
  }
}

TEST(SocketStack, DottedQuadsAndHostResolution) {
  const struct {
    const char* text;
    bool dotted;
  } cases[] = {
      {"10.1.2.3", true},   {"255.255.255.255", true}, {"1.2.3", false},
      {"1.2.3.4.5", false}, {"10.1.2.300", false},     {"a.b.c.d", false},
      {"", false},          {"1..2.3", false},         {"-1.0.0.0", false},
  };
  for (const auto& c : cases) EXPECT_EQ(TSocketStack::IsDottedQuad(c.text), c.dotted) << c.text;
  EXPECT_EQ(TSocketStack::ResolveHost("LocalHost"), "127.0.0.1");
  EXPECT_EQ(TSocketStack::ResolveHost("10.1.2.3"), "10.1.2.3");
  EXPECT_EQ(TSocketStack::AddressToDotted(TSocketStack::DottedToAddress("192.168.1.20")),
            "192.168.1.20");
}

TEST(SocketStack, IntegerFields) {
  const struct {
    const char* text;
    std::optional<std::int32_t> value;
  } cases[] = {
      {"0", 0},
      {"255", 255},
      {"-1", -1},
      {"$FF", 255},
      {"0x10", 16},
      {"x10", 16},
      {" 7", 7},
      {"", std::nullopt},
      {"12a", std::nullopt},
      {"7 ", std::nullopt},
      {"2147483648", std::nullopt},
      {"-2147483648", -2147483647 - 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseInt32(c.text, IntegerForms::DecimalOrHex), c.value) << c.text;
  EXPECT_THROW(TextToInt32("x"), EConvertError);
}

TEST(SocketStack, LivesAsLongAsANetworkComponent) {
  ASSERT_FALSE(TSocketStack::Started());
  {
    TTcpClient first;
    {
      TTcpClient second;
      EXPECT_TRUE(TSocketStack::Started());
    }
    EXPECT_TRUE(TSocketStack::Started());
  }
  EXPECT_FALSE(TSocketStack::Started());
}

}  // namespace
}  // namespace zarn::test
