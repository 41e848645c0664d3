#include "tests/support/scripted_ftp_server.h"

#include <chrono>

namespace zarn::test {

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;  // 127.0.0.1
constexpr int kStepTimeoutMs = 10000;            // a client that stalls longer has hung
constexpr int kFinalReadTimeoutMs = 3000;        // waiting for the client to close at the end

platform::SocketId OpenListener(int& port) {
  platform::SocketId socket = platform::kNoSocket;
  if (platform::OpenStreamSocket(socket) != 0) return platform::kNoSocket;
  platform::SocketAddress local{kLoopback, 0};
  if (platform::BindSocket(socket, local) != 0 || platform::ListenSocket(socket, 4) != 0 ||
      platform::LocalAddress(socket, local) != 0) {
    platform::CloseSocket(socket);
    return platform::kNoSocket;
  }
  port = local.port;
  return socket;
}

void Close(platform::SocketId& socket) {
  if (socket != platform::kNoSocket) platform::CloseSocket(socket);
  socket = platform::kNoSocket;
}

bool Readable(platform::SocketId socket, int timeout_ms) {
  bool readable = false;
  return platform::WaitReadable(socket, timeout_ms, readable) == 0 && readable;
}

bool SendAll(platform::SocketId socket, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    std::size_t sent = 0;
    if (platform::SendBytes(socket, bytes.data() + done, bytes.size() - done, sent) != 0 ||
        sent == 0) {
      return false;
    }
    done += sent;
  }
  return true;
}

// One receive after a wait; false on a close, an error or a timeout.
bool ReceiveSome(platform::SocketId socket, std::string& into, int timeout_ms) {
  if (!Readable(socket, timeout_ms)) return false;
  char chunk[16384];
  std::size_t got = 0;
  if (platform::ReceiveBytes(socket, chunk, sizeof chunk, got) != 0 || got == 0) return false;
  into.append(chunk, got);
  return true;
}

bool Accept(platform::SocketId listener, platform::SocketId& accepted) {
  return Readable(listener, kStepTimeoutMs) && platform::AcceptSocket(listener, accepted) == 0;
}

}  // namespace

ScriptStep Send(std::string bytes) {
  return {ScriptStep::Kind::kSend, std::move(bytes)};
}
ScriptStep ReadLine() {
  return {ScriptStep::Kind::kReadLine, {}};
}
std::vector<ScriptStep> Answer(std::string reply) {
  return {ReadLine(), Send(std::move(reply))};
}
ScriptStep Passive(std::string reply) {
  return {ScriptStep::Kind::kPassive, std::move(reply)};
}
ScriptStep AcceptData() {
  return {ScriptStep::Kind::kAcceptData, {}};
}
ScriptStep SendData(std::string bytes) {
  return {ScriptStep::Kind::kSendData, std::move(bytes)};
}
ScriptStep OfferData(std::string bytes) {
  return {ScriptStep::Kind::kOfferData, std::move(bytes)};
}
ScriptStep ReceiveData() {
  return {ScriptStep::Kind::kReceiveData, {}};
}
ScriptStep CloseData() {
  return {ScriptStep::Kind::kCloseData, {}};
}
ScriptStep CloseControl() {
  return {ScriptStep::Kind::kCloseControl, {}};
}
ScriptStep Pause(int milliseconds) {
  return {ScriptStep::Kind::kPause, {}, milliseconds};
}

std::vector<ScriptStep> Script(std::initializer_list<std::vector<ScriptStep>> parts) {
  std::vector<ScriptStep> script;
  for (const auto& part : parts) script.insert(script.end(), part.begin(), part.end());
  return script;
}

ScriptedFtpServer::ScriptedFtpServer(std::vector<ScriptStep> script) : script_(std::move(script)) {
  platform::StartSocketStack();
  listener_ = OpenListener(port_);
  if (listener_ == platform::kNoSocket) {
    errors_.push_back("cannot listen on 127.0.0.1");
    return;
  }
  thread_ = std::thread([this] { Run(); });
}

ScriptedFtpServer::~ScriptedFtpServer() {
  Finish();
  platform::StopSocketStack();
}

std::string ScriptedFtpServer::Finish() {
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  return control_record_;
}

std::string ScriptedFtpServer::ReceivedData() {
  std::lock_guard lock(mutex_);
  return data_record_;
}

std::vector<std::string> ScriptedFtpServer::Errors() {
  std::lock_guard lock(mutex_);
  return errors_;
}

int ScriptedFtpServer::UnusedPort() {
  platform::StartSocketStack();
  int port = 0;
  platform::SocketId socket = OpenListener(port);
  Close(socket);
  platform::StopSocketStack();
  return port;
}

void ScriptedFtpServer::Fail(const std::string& what) {
  std::lock_guard lock(mutex_);
  errors_.push_back(what);
}

bool ScriptedFtpServer::ReadControlLine() {
  for (;;) {
    const auto end = pending_.find('\n');
    if (end != std::string::npos) {
      pending_.erase(0, end + 1);
      return true;
    }
    std::string got;
    if (!ReceiveSome(control_, got, kStepTimeoutMs)) return false;
    pending_ += got;
    std::lock_guard lock(mutex_);
    control_record_ += got;
  }
}

void ScriptedFtpServer::Run() {
  if (!Accept(listener_, control_)) {
    Fail("the client did not connect");
    Close(listener_);
    return;
  }
  std::size_t index = 0;
  for (; index < script_.size(); ++index) {
    const ScriptStep& step = script_[index];
    bool ok = true;
    switch (step.kind) {
      case ScriptStep::Kind::kSend:
        ok = SendAll(control_, step.text);
        break;
      case ScriptStep::Kind::kReadLine:
        ok = ReadControlLine();
        break;
      case ScriptStep::Kind::kPassive: {
        Close(data_listener_);
        int data_port = 0;
        data_listener_ = OpenListener(data_port);
        std::string reply = step.text;
        const auto at = reply.find("%p");
        if (at != std::string::npos) {
          reply.replace(at, 2,
                        std::to_string(data_port / 256) + "," + std::to_string(data_port % 256));
        }
        ok = data_listener_ != platform::kNoSocket && SendAll(control_, reply);
        break;
      }
      case ScriptStep::Kind::kAcceptData:
        ok = Accept(data_listener_, data_);
        break;
      case ScriptStep::Kind::kSendData:
        ok = SendAll(data_, step.text);
        break;
      case ScriptStep::Kind::kOfferData:
        SendAll(data_, step.text);
        break;
      case ScriptStep::Kind::kReceiveData: {
        std::string got;
        while (ReceiveSome(data_, got, kStepTimeoutMs)) {
        }
        std::lock_guard lock(mutex_);
        data_record_ += got;
        break;
      }
      case ScriptStep::Kind::kCloseData:
        Close(data_);
        break;
      case ScriptStep::Kind::kCloseControl:
        Close(control_);
        break;
      case ScriptStep::Kind::kPause:
        std::this_thread::sleep_for(std::chrono::milliseconds(step.milliseconds));
        break;
    }
    if (!ok) {
      Fail("script step " + std::to_string(index) + " failed");
      break;
    }
  }
  // Record what the client still sends until it closes.
  if (control_ != platform::kNoSocket) {
    std::string rest;
    while (ReceiveSome(control_, rest, kFinalReadTimeoutMs)) {
    }
    std::lock_guard lock(mutex_);
    control_record_ += rest;
  }
  Close(data_);
  Close(data_listener_);
  Close(control_);
  Close(listener_);
}

}  // namespace zarn::test
