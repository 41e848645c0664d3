// An FTP server for tests that plays a fixed dialogue on 127.0.0.1: it sends canned replies,
// waits for command lines, opens passive data listeners, sends or receives data and closes at
// chosen points, and records byte for byte what the client sent on the control connection.
// It runs on its own thread over the platform's sockets, so it works under both back ends.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sockets.h"

namespace zarn::test {

struct ScriptStep {
  enum class Kind {
    kSend,          // text: bytes to send on the control connection
    kReadLine,      // wait for one command line (up to LF) from the client
    kPassive,       // open a data listener and send text with "%p" replaced by "p1,p2"
    kAcceptData,    // accept the client's data connection
    kSendData,      // text: bytes to send on the data connection
    kOfferData,     // text: the same, as far as the client takes them before it closes
    kReceiveData,   // read the data connection until the client closes it
    kCloseData,     // close the data connection
    kCloseControl,  // close the control connection
    kPause,         // wait milliseconds
  };
  Kind kind;
  std::string text;
  int milliseconds = 0;
};

ScriptStep Send(std::string bytes);
ScriptStep ReadLine();
// A reply to the next command line: ReadLine then Send.
std::vector<ScriptStep> Answer(std::string reply);
ScriptStep Passive(std::string reply = "227 Entering Passive Mode (127,0,0,1,%p)\r\n");
ScriptStep AcceptData();
ScriptStep SendData(std::string bytes);
ScriptStep OfferData(std::string bytes);
ScriptStep ReceiveData();
ScriptStep CloseData();
ScriptStep CloseControl();
ScriptStep Pause(int milliseconds);

// Joins step lists into one script.
std::vector<ScriptStep> Script(std::initializer_list<std::vector<ScriptStep>> parts);

class ScriptedFtpServer {
 public:
  explicit ScriptedFtpServer(std::vector<ScriptStep> script);
  ~ScriptedFtpServer();
  ScriptedFtpServer(const ScriptedFtpServer&) = delete;
  ScriptedFtpServer& operator=(const ScriptedFtpServer&) = delete;

  int Port() const { return port_; }
  // Waits until the script has run and the client has closed the control connection (or a
  // few seconds have passed), then returns everything the client sent on it.
  std::string Finish();
  // What the client sent on data connections, all transfers joined.
  std::string ReceivedData();
  // Problems the server met (timeouts, a client that never connected), empty when none.
  std::vector<std::string> Errors();

  // A port on 127.0.0.1 where nothing listens.
  static int UnusedPort();

 private:
  void Run();
  bool ReadControlLine();
  void Fail(const std::string& what);

  std::vector<ScriptStep> script_;
  platform::SocketId listener_ = platform::kNoSocket;
  platform::SocketId control_ = platform::kNoSocket;
  platform::SocketId data_listener_ = platform::kNoSocket;
  platform::SocketId data_ = platform::kNoSocket;
  int port_ = 0;
  std::string pending_;  // control bytes received and not yet taken as a line
  std::mutex mutex_;
  std::string control_record_;
  std::string data_record_;
  std::vector<std::string> errors_;
  std::thread thread_;
};

}  // namespace zarn::test
