// The base of every network component: it keeps the process-wide socket stack alive while it
// exists, reports status changes and counts the progress of reads and writes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zarn {

enum class TNetStatus {
  statusResolving = 0,      // "Resolving hostname %s."
  statusConnecting = 1,     // "Connecting to %s."
  statusConnected = 2,      // "Connected."
  statusDisconnecting = 3,  // "Disconnecting from %s."
  statusDisconnected = 4,   // "Not connected."
  statusText = 5,           // "%s"
};

enum class TWorkMode { workRead = 0, workWrite = 1 };

class TNetComponent;

using TNetStatusEvent =
    std::function<void(TNetComponent& sender, TNetStatus status, const std::string& status_text)>;
using TNotifyEvent = std::function<void(TNetComponent& sender)>;
using TWorkBeginEvent =
    std::function<void(TNetComponent& sender, TWorkMode mode, std::int64_t work_count_max)>;
using TWorkEvent =
    std::function<void(TNetComponent& sender, TWorkMode mode, std::int64_t work_count)>;
using TWorkEndEvent = std::function<void(TNetComponent& sender, TWorkMode mode)>;

class TNetComponent {
 public:
  // Starts the socket stack when this is the first network component (ENetStackCanNotLoadWinsock,
  // ENetStackInitializationFailed).
  TNetComponent();
  virtual ~TNetComponent();
  TNetComponent(const TNetComponent&) = delete;
  TNetComponent& operator=(const TNetComponent&) = delete;

  // The status text of a status value with its one argument.
  static std::string StatusText(TNetStatus status, const std::string& argument);

  TNetStatusEvent OnStatus;
  TWorkBeginEvent OnWorkBegin;
  TWorkEvent OnWork;
  TWorkEndEvent OnWorkEnd;

 protected:
  // Formats the text and calls OnStatus; nothing happens without a handler.
  void DoStatus(TNetStatus status, const std::string& argument = {});

  // Progress: begin fires when the mode's nesting goes from 0 to 1 (and resets its total), work
  // adds to the total and fires while a begin is open, end fires when the last begin closes.
  void DoWorkBegin(TWorkMode mode, std::int64_t count_max);
  void DoWork(TWorkMode mode, std::int64_t count);
  void DoWorkEnd(TWorkMode mode);

 private:
  int work_nesting_[2] = {0, 0};
  std::int64_t work_total_[2] = {0, 0};
};

}  // namespace zarn
