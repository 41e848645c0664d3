// The POSIX back end's event loop, behind platform::MessageLoop: posted window messages, timers
// signals and watched descriptors, waited for with poll. Internal to the back end: window.cpp,
// tray.cpp and dialogs.cpp register their windows and descriptors here.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/window_messages.h"

namespace zarn::platform::posix {

// Gives a message target a window id so that messages can be posted to it.
WindowId RegisterWindow(MessageTarget& target);
void UnregisterWindow(WindowId id);

void PostToWindow(WindowId id, const WindowMessage& message);
// Delivers a message at once, as SendMessage does.
std::intptr_t SendToWindow(WindowId id, const WindowMessage& message);

// Runs on_signal from message dispatch (never inside the signal handler) each time the signal
// arrives. One handler per signal; a later call replaces it, and an empty one gives the signal
// its default disposition back.
void WatchSignal(int signal_number, std::function<void()> on_signal);

// Watches a descriptor as a source of messages: whenever poll reports one of events() on it, or
// events() is 0 (work is queued already), a wait returns as for a message and dispatch runs
// on_ready. One watch per descriptor.
void WatchDescriptor(int fd, std::function<short()> events, std::function<void()> on_ready);
void UnwatchDescriptor(int fd);

// Blocks until a message is waiting, fd is readable (or closed), or timeout_ms has passed
// (kInfinite: no limit). Returns true when a message is waiting.
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
bool WaitForMessageOrDescriptor(int fd, std::uint32_t timeout_ms);

}  // namespace zarn::platform::posix
