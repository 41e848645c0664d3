// Starts a Windows program and watches it until it ends: whether any top-level window of it was
// ever visible, and whether its notification-area icon was there (the shell accepts a change to
// an icon only while the icon exists). Prints one line per fact and the program's exit code.
//
//   watch_program PROGRAM [PARAMETERS]   exit status 0 when the program ran and ended in time
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

#include "notify_icon.h"

namespace {

constexpr DWORD kLimitMs = 120000;
constexpr DWORD kPollMs = 10;

struct Watch {
  DWORD process_id = 0;
  std::set<std::string> visible;  // class and caption of each visible window seen
  bool icon_seen = false;
};

BOOL CALLBACK LookAtWindow(HWND window, LPARAM context) {
  auto& watch = *reinterpret_cast<Watch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != watch.process_id) return TRUE;
  char class_name[128] = {};
  char caption[256] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  GetWindowTextA(window, caption, sizeof caption);
  if (IsWindowVisible(window)) {
    watch.visible.insert(std::string(class_name) + " \"" + caption + "\"");
  }
  // The icon belongs to a hidden callback window of the program; any of its windows may be it.
  if (!watch.icon_seen && IconExists(window)) {
    watch.icon_seen = true;
    std::printf("icon: window of class %s\n", class_name);
  }
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help") {
    std::printf("usage: watch_program PROGRAM [PARAMETERS...]\n");
    return argc < 2 ? 2 : 0;
  }
  // Built by appending: gcc 12 warns wrongly on a chain of + that starts with a literal.
  std::string command_line = "\"";
  command_line += argv[1];
  command_line += '"';
  for (int i = 2; i < argc; ++i) {
    command_line += ' ';
    command_line += argv[i];
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started)) {
    std::printf("error: cannot start %s (error %lu)\n", argv[1], GetLastError());
    return 3;
  }
  CloseHandle(started.hThread);
  Watch watch;
  watch.process_id = started.dwProcessId;
  const DWORD start = GetTickCount();
  bool ended = false;
  while (!ended && GetTickCount() - start < kLimitMs) {
    EnumWindows(LookAtWindow, reinterpret_cast<LPARAM>(&watch));
    ended = WaitForSingleObject(started.hProcess, kPollMs) == WAIT_OBJECT_0;
  }
  if (!ended) {
    std::printf("error: still running after %lu ms\n", kLimitMs);
    TerminateProcess(started.hProcess, 1);
    CloseHandle(started.hProcess);
    return 4;
  }
  DWORD code = 0;
  GetExitCodeProcess(started.hProcess, &code);
  CloseHandle(started.hProcess);
  for (const std::string& window : watch.visible) std::printf("visible: %s\n", window.c_str());
  std::printf("visible windows: %zu\n", watch.visible.size());
  std::printf("icon seen: %s\n", watch.icon_seen ? "yes" : "no");
  std::printf("ran for: %lu ms\n", GetTickCount() - start);
  std::printf("exit code: %lu\n", code);
  return 0;
}
