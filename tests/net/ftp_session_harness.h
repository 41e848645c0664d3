// Runs client actions against the scripted FTP server and collects what happened: the outcome
// (the exception raised, described by class, number and message), the status lines and
// disconnect events of the client, and the bytes the client sent.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "net/ftp_client.h"
#include "tests/support/scripted_ftp_server.h"

namespace zarn::test {

// "ok", or for example "reply 502: 502 not here", "socket 10061: ...", "closed: ...".
std::string DescribeOutcome(const std::function<void()>& action);

struct SessionResult {
  std::string outcome;
  std::vector<std::string> events;  // status texts and "OnDisconnected", in order
  std::string transcript;           // control bytes the client sent
  std::string uploaded;             // data bytes the client sent
  std::vector<std::string> server_errors;
};

// Connects a client to the scripted server on 127.0.0.1.
void ConnectTo(TTcpClient& client, const ScriptedFtpServer& server);

// Connects a TFtpClient (anonymous, passive, binary) to a scripted server playing script and
// runs actions on it; the client is closed before the server's record is taken.
SessionResult RunSession(std::vector<ScriptStep> script,
                         const std::function<void(TFtpClient&)>& actions);

// Dialogue pieces: the greeting, an anonymous login answered 331 and 230, and one passive
// download or upload.
std::vector<ScriptStep> Greeting();
std::vector<ScriptStep> AnonymousLogin();
inline constexpr const char* kLoginLines = "user anonymous\r\npass \r\ntype I\r\nsyst\r\n";
std::vector<ScriptStep> Download(std::string data,
                                 std::vector<ScriptStep> ending = {Send("226 Done.\r\n")});
std::vector<ScriptStep> Upload();

}  // namespace zarn::test
