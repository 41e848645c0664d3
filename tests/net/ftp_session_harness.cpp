#include "tests/net/ftp_session_harness.h"

#include "net/net_exceptions.h"

namespace zarn::test {

std::string DescribeOutcome(const std::function<void()>& action) {
  try {
    action();
    return "ok";
  } catch (const ENetProtocolReplyError& e) {
    return "reply " + std::to_string(e.ReplyCode()) + ": " + e.Message();
  } catch (const ENetSocketError& e) {
    return "socket " + std::to_string(e.ErrorCode()) + ": " + e.Message();
  } catch (const ENetConnClosedGracefully& e) {
    return "closed: " + e.Message();
  } catch (const ENetLimitExceeded& e) {
    return "limit: " + e.Message();
  } catch (const ENetException& e) {
    return "net: " + e.Message();
  } catch (const EConvertError& e) {
    return "convert: " + e.Message();
  } catch (const Exception& e) {
    return "other: " + e.Message();
  }
}

void ConnectTo(TTcpClient& client, const ScriptedFtpServer& server) {
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.Connect();
}

SessionResult RunSession(std::vector<ScriptStep> script,
                         const std::function<void(TFtpClient&)>& actions) {
  SessionResult result;
  ScriptedFtpServer server(std::move(script));
  {
    TFtpClient ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = server.Port();
    ftp.User = "anonymous";
    ftp.Passive = true;
    ftp.OnStatus = [&](TNetComponent&, TNetStatus, const std::string& text) {
      result.events.push_back(text);
    };
    ftp.OnDisconnected = [&](TNetComponent&) { result.events.push_back("OnDisconnected"); };
    result.outcome = DescribeOutcome([&] { actions(ftp); });
    ftp.OnStatus = nullptr;
    ftp.OnDisconnected = nullptr;
    ftp.Disconnect();
  }
  result.transcript = server.Finish();
  result.uploaded = server.ReceivedData();
  result.server_errors = server.Errors();
  return result;
}

std::vector<ScriptStep> Greeting() {
  return {Send("220 Scripted server ready.\r\n")};
}

std::vector<ScriptStep> AnonymousLogin() {
  return Script({Answer("331 Anonymous login ok, send your e-mail as password.\r\n"),
                 Answer("230 Login successful.\r\n"), Answer("200 Type set to I.\r\n"),
                 Answer("215 UNIX Type: L8\r\n")});
}

std::vector<ScriptStep> Download(std::string data, std::vector<ScriptStep> ending) {
  return Script({{ReadLine(), Passive(), ReadLine(), AcceptData(),
                  Send("150 Opening BINARY mode data connection.\r\n"), SendData(std::move(data)),
                  CloseData()},
                 std::move(ending)});
}

std::vector<ScriptStep> Upload() {
  return {ReadLine(),
          Passive(),
          ReadLine(),
          AcceptData(),
          Send("150 Ok to send data.\r\n"),
          ReceiveData(),
          CloseData(),
          Send("226 Transfer complete.\r\n")};
}

}  // namespace zarn::test
