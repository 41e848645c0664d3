// The suite's other programs, found by the window class of their main window, asked to close, and
// started again. On Windows these are top-level windows of other processes; on POSIX a window
// class stands for its companion's program: "TZARN4MF" for "zarn4.exe", "TfrmZarnNet" for
// "zarn4net.exe", and a window of that class exists while a process of the same user runs under
// that program name.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/window_messages.h"

namespace zarn::platform {

// A top-level window of another program: its HWND on Windows, its process id on POSIX.
using ForeignWindow = std::uintptr_t;

// Some top-level window of that class, whatever its title; nullopt when there is none.
std::optional<ForeignWindow> FindWindowOfClass(std::string_view window_class);

// Asks the window to close (WM_CLOSE; SIGTERM on POSIX). On Windows this returns once the
// window's program has handled the message.
void SendCloseRequest(ForeignWindow window);

// Opens a program file the way the shell does ("open", shown normally, no parameters, no working
// folder), owned by `owner`. On POSIX the file is run detached with no arguments. False when it
// could not be started.
bool ShellOpen(WindowId owner, std::string_view file);

}  // namespace zarn::platform
