// The application's message queue on the main thread: window messages, timers and (on POSIX)
// signals. There is one per process. Waits block on "message or deadline" and never spin.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace zarn::platform {

class ChildProcess;

class MessageLoop {
 public:
  // Removes and dispatches every waiting message; returns when the queue is empty.
  static void ProcessMessages();
  // Removes and dispatches one waiting message, if any; true when it dispatched one.
  static bool ProcessOneMessage();
  // True when a message is waiting, without removing it.
  static bool MessageWaiting();
  // Blocks until a message is waiting or timeout_ms has passed; true when a message is waiting.
  static bool WaitForMessage(std::uint32_t timeout_ms);
  // As WaitForMessage, but also returns as soon as the process has ended.
  static bool WaitForMessageOrExit(const ChildProcess& process, std::uint32_t timeout_ms);
  // Dispatches messages until Quit is called.
  static void Run();
  static void Quit();
  // True once Quit has been called: the application is terminating.
  static bool Terminated();
  // Forgets an earlier Quit: a quit message still queued is dropped and Terminated is false
  // again. Only test programs need it, where many cases share one process and its queue.
  static void ResetQuit();
};

// A repeating timer on the main thread's queue: the callback runs from message dispatch every
// interval until the object goes.
class Timer {
 public:
  static std::unique_ptr<Timer> Start(std::uint32_t interval_ms, std::function<void()> callback);
  virtual ~Timer() = default;
};

}  // namespace zarn::platform
