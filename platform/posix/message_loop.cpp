// The application's message queue on POSIX. Messages posted to windows, due timers and caught
// signals (and watched descriptors) are dispatched from ProcessMessages; waits block in poll until
// one of them is due.
#include "platform/message_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <vector>

#include "platform/posix/event_loop.h"
#include "platform/process.h"

namespace zarn::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kMinimumTimerMs = 10;

struct PostedMessage {
  WindowId window;
  WindowMessage message;
};

struct WatchedDescriptor {
  std::function<short()> events;
  std::shared_ptr<std::function<void()>> on_ready;
};

struct TimerEntry {
  std::chrono::milliseconds interval;
  Clock::time_point due;
  std::shared_ptr<std::function<void()>> callback;
};

// The self-pipe that carries caught signal numbers from the handler to the loop.
int g_signal_pipe[2] = {-1, -1};

extern "C" void OnSignal(int signal_number) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signal_number);
  [[maybe_unused]] const ssize_t n = ::write(g_signal_pipe[1], &byte, 1);
  errno = saved;
}

// The process-wide queue. There is one application message queue per process, and all of it is
// touched only from the main thread.
class Loop {
 public:
  static Loop& Get() {
    static Loop loop;
    return loop;
  }

  WindowId Register(MessageTarget& target) {
    const WindowId id = next_window_++;
    windows_[id] = &target;
    return id;
  }

  void Unregister(WindowId id) { windows_.erase(id); }

  void Post(WindowId id, const WindowMessage& message) { queue_.push_back({id, message}); }

  std::intptr_t Send(WindowId id, const WindowMessage& message) {
    const auto it = windows_.find(id);
    return it == windows_.end() ? 0 : it->second->HandleMessage(message);
  }

  void Watch(int signal_number, std::function<void()> handler) {
    struct sigaction action {};
    if (!handler) {
      // No handler: the signal does what it does by default again (ends the program).
      signal_handlers_.erase(signal_number);
      action.sa_handler = SIG_DFL;
      sigemptyset(&action.sa_mask);
      sigaction(signal_number, &action, nullptr);
      return;
    }
    EnsureSignalPipe();
    signal_handlers_[signal_number] = std::move(handler);
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal_number, &action, nullptr);
  }

  std::uintptr_t AddTimer(std::uint32_t interval_ms, std::function<void()> callback) {
    const std::uintptr_t id = next_timer_++;
    // Shorter intervals are raised to 10 ms, as Windows does: a timer due on every pass would
    // keep ProcessMessages from ever finding the queue empty.
    const std::chrono::milliseconds interval(std::max<std::uint32_t>(interval_ms, kMinimumTimerMs));
    timers_[id] = {interval, Clock::now() + interval,
                   std::make_shared<std::function<void()>>(std::move(callback))};
    return id;
  }

  void RemoveTimer(std::uintptr_t id) { timers_.erase(id); }

  void WatchDescriptor(int fd, WatchedDescriptor watch) { watched_[fd] = std::move(watch); }
  void UnwatchDescriptor(int fd) { watched_.erase(fd); }

  bool DispatchOne() {
    DrainSignals();
    if (const int fd = ReadyDescriptor(); fd >= 0) {
      const auto on_ready = watched_[fd].on_ready;  // survives an unwatch by its own callback
      (*on_ready)();
      return true;
    }
    if (!queue_.empty()) {
      const PostedMessage posted = queue_.front();
      queue_.pop_front();
      Send(posted.window, posted.message);
      return true;
    }
    // Timers come after posted messages, as timer messages do on Windows.
    const auto now = Clock::now();
    for (auto& [id, timer] : timers_) {
      if (timer.due <= now) {
        timer.due = now + timer.interval;
        const auto callback = timer.callback;  // survives the timer's removal by its own callback
        (*callback)();
        return true;
      }
    }
    return false;
  }

  bool Waiting() {
    DrainSignals();
    if (!queue_.empty() || ReadyDescriptor() >= 0) return true;
    const auto now = Clock::now();
    for (const auto& entry : timers_) {
      if (entry.second.due <= now) return true;
    }
    return false;
  }

  // Blocks in poll for the signal pipe, fd (when not -1) and the next timer, up to timeout_ms.
  bool Wait(int fd, std::uint32_t timeout_ms) {
    const auto deadline = timeout_ms == posix::kInfinite
                              ? Clock::time_point::max()
                              : Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      if (Waiting()) return true;
      const auto now = Clock::now();
      if (now >= deadline) return false;
      auto wake = deadline;
      for (const auto& entry : timers_) wake = std::min(wake, entry.second.due);
      int poll_ms = -1;
      if (wake != Clock::time_point::max()) {
        // Round up so that a timer is due when poll returns.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
        poll_ms = static_cast<int>(std::min<long long>(left, std::numeric_limits<int>::max()));
      }
      std::vector<pollfd> fds = WatchedPollSet();
      if (g_signal_pipe[0] >= 0) fds.push_back({g_signal_pipe[0], POLLIN, 0});
      if (fd >= 0) fds.push_back({fd, POLLIN, 0});
      const int ready = ::poll(fds.data(), fds.size(), poll_ms);
      if (ready < 0 && errno != EINTR) return Waiting();
      if (fd >= 0 && ready > 0 && fds.back().revents != 0) return Waiting();
    }
  }

  bool terminated = false;

 private:
  void EnsureSignalPipe() {
    if (g_signal_pipe[0] >= 0) return;
    if (::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
      g_signal_pipe[0] = g_signal_pipe[1] = -1;
  }

  std::vector<pollfd> WatchedPollSet() const {
    std::vector<pollfd> fds;
    for (const auto& [fd, watch] : watched_) fds.push_back({fd, watch.events(), 0});
    return fds;
  }

  // A watched descriptor that has something to handle now (one that waits for no event has
  // work queued already); -1 when none.
  int ReadyDescriptor() const {
    if (watched_.empty()) return -1;
    std::vector<pollfd> fds = WatchedPollSet();
    for (const pollfd& entry : fds) {
      if (entry.events == 0) return entry.fd;
    }
    if (::poll(fds.data(), fds.size(), 0) <= 0) return -1;
    for (const pollfd& entry : fds) {
      if (entry.revents != 0) return entry.fd;
    }
    return -1;
  }

  // Turns the signals caught since the last look into calls of their handlers, posted in order.
  void DrainSignals() {
    if (g_signal_pipe[0] < 0) return;
    unsigned char buffer[64];
    ssize_t n;
    while ((n = ::read(g_signal_pipe[0], buffer, sizeof buffer)) > 0) {
      for (ssize_t i = 0; i < n; ++i) {
        // A signal caught after its handler was removed finds none and is dropped. The handler
        // is copied, since it may replace or remove itself.
        const auto it = signal_handlers_.find(buffer[i]);
        if (it == signal_handlers_.end()) continue;
        const std::function<void()> handler = it->second;
        handler();
      }
    }
  }

  std::deque<PostedMessage> queue_;
  std::map<WindowId, MessageTarget*> windows_;
  std::map<std::uintptr_t, TimerEntry> timers_;
  std::map<int, std::function<void()>> signal_handlers_;
  std::map<int, WatchedDescriptor> watched_;
  WindowId next_window_ = 1;
  std::uintptr_t next_timer_ = 1;
};

class LoopTimer final : public Timer {
 public:
  explicit LoopTimer(std::uintptr_t id) : id_(id) {}
  ~LoopTimer() override { Loop::Get().RemoveTimer(id_); }

 private:
  std::uintptr_t id_;
};

}  // namespace

namespace posix {

WindowId RegisterWindow(MessageTarget& target) {
  return Loop::Get().Register(target);
}
void UnregisterWindow(WindowId id) {
  Loop::Get().Unregister(id);
}
void PostToWindow(WindowId id, const WindowMessage& message) {
  Loop::Get().Post(id, message);
}
std::intptr_t SendToWindow(WindowId id, const WindowMessage& message) {
  return Loop::Get().Send(id, message);
}
void WatchSignal(int signal_number, std::function<void()> on_signal) {
  Loop::Get().Watch(signal_number, std::move(on_signal));
}
void WatchDescriptor(int fd, std::function<short()> events, std::function<void()> on_ready) {
  Loop::Get().WatchDescriptor(
      fd, {std::move(events), std::make_shared<std::function<void()>>(std::move(on_ready))});
}
void UnwatchDescriptor(int fd) {
  Loop::Get().UnwatchDescriptor(fd);
}
bool WaitForMessageOrDescriptor(int fd, std::uint32_t timeout_ms) {
  return Loop::Get().Wait(fd, timeout_ms);
}

}  // namespace posix

void MessageLoop::ProcessMessages() {
  while (Loop::Get().DispatchOne()) {
  }
}

bool MessageLoop::ProcessOneMessage() {
  return Loop::Get().DispatchOne();
}

bool MessageLoop::MessageWaiting() {
  return Loop::Get().Waiting();
}

bool MessageLoop::WaitForMessage(std::uint32_t timeout_ms) {
  return Loop::Get().Wait(-1, timeout_ms);
}

bool MessageLoop::WaitForMessageOrExit(const ChildProcess& process, std::uint32_t timeout_ms) {
  return Loop::Get().Wait(static_cast<int>(process.WaitHandle()), timeout_ms);
}

void MessageLoop::Run() {
  Loop& loop = Loop::Get();
  while (!loop.terminated) {
    ProcessMessages();
    if (loop.terminated) break;
    loop.Wait(-1, posix::kInfinite);
  }
}

void MessageLoop::Quit() {
  Loop::Get().terminated = true;
}

bool MessageLoop::Terminated() {
  return Loop::Get().terminated;
}

void MessageLoop::ResetQuit() {
  Loop::Get().terminated = false;
}

std::unique_ptr<Timer> Timer::Start(std::uint32_t interval_ms, std::function<void()> callback) {
  return std::make_unique<LoopTimer>(Loop::Get().AddTimer(interval_ms, std::move(callback)));
}

}  // namespace zarn::platform
