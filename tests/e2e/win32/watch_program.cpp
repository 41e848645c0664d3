// Starts a Windows program and watches it until it ends: whether any top-level window of it was
// ever visible, and whether its notification-area icon was there (the shell accepts a change to
// an icon only while the icon exists). Prints one line per fact and the program's exit code.
// It can also answer the program's "Confirm" box (pressing its Yes or No button, as a user
// would), leave its error box up for a while before pressing OK, and take one picture of the
// program's window while its progress bar is part-way.
//
//   watch_program [--answer yes|no] [--error-box HOLD_MS] [--screenshot FILE.bmp] PROGRAM
//                 [PARAMETERS]
//   exit status 0 when the program ran and ended in time
#include <windows.h>
// The common controls' header needs the base types above.
#include <commctrl.h>

#include <cstdio>
#include <set>
#include <string>

#include "notify_icon.h"

namespace {

constexpr DWORD kLimitMs = 120000;
constexpr DWORD kPollMs = 10;
constexpr const char* kErrorCaption = "ZARN4 Program Update";

struct Watch {
  DWORD process_id = 0;
  std::set<std::string> visible;  // class and caption of each visible window seen
  bool icon_seen = false;
  int answer = 0;  // IDYES or IDNO to press in the "Confirm" box; 0 leaves it
  bool answered = false;
  DWORD error_box_hold = 0;  // how long the error box must stay up before OK; 0 leaves it
  HWND error_box = nullptr;
  DWORD error_box_seen = 0;  // tick count when it was first seen
  bool error_box_done = false;
  std::string screenshot;  // where to save the picture of the window; empty for none
  bool pictured = false;
};

// The texts of a dialog's static controls, joined by " | ".
std::string DialogText(HWND dialog) {
  std::string text;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    char class_name[64] = {};
    char caption[512] = {};
    GetClassNameA(child, class_name, sizeof class_name);
    GetWindowTextA(child, caption, sizeof caption);
    if (lstrcmpiA(class_name, "Static") == 0 && caption[0] != 0) {
      if (!text.empty()) text += " | ";
      text += caption;
    }
  }
  return text;
}

// Presses the dialog's button with the id as a user would, through the button itself.
bool PressButton(HWND dialog, int id) {
  const HWND button = GetDlgItem(dialog, id);
  if (button == nullptr) return false;
  char caption[64] = {};
  GetWindowTextA(button, caption, sizeof caption);
  std::printf("pressed: %s\n", caption);
  PostMessageA(button, BM_CLICK, 0, 0);
  return true;
}

// Saves the screen area of the window as a 24-bit bottom-up BMP file.
bool SaveWindowPicture(HWND window, const std::string& path) {
  RECT frame{};
  if (!GetWindowRect(window, &frame)) return false;
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
  GdiFlush();
  const DWORD row = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD size = row * static_cast<DWORD>(height);
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof header + sizeof info.bmiHeader;
  header.bfSize = header.bfOffBits + size;
  info.bmiHeader.biSizeImage = size;
  bool saved = false;
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    saved = std::fwrite(&header, sizeof header, 1, file) == 1 &&
            std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file) == 1 &&
            std::fwrite(bits, 1, size, file) == size;
    saved = std::fclose(file) == 0 && saved;
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return saved;
}

// True when the window's progress bar stands part-way, neither empty nor full.
bool ProgressPartWay(HWND window) {
  const HWND bar = FindWindowExA(window, nullptr, "msctls_progress32", nullptr);
  if (bar == nullptr || !IsWindowVisible(bar)) return false;
  const LRESULT position = SendMessageA(bar, PBM_GETPOS, 0, 0);
  const LRESULT high = SendMessageA(bar, PBM_GETRANGE, FALSE, 0);
  const LRESULT low = SendMessageA(bar, PBM_GETRANGE, TRUE, 0);
  return position > low && position < high;
}

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
    if (watch.answer != 0 && !watch.answered && std::string(caption) == "Confirm") {
      std::printf("question: %s\n", DialogText(window).c_str());
      watch.answered = PressButton(window, watch.answer);
    }
    if (watch.error_box_hold != 0 && !watch.error_box_done && std::string(class_name) == "#32770" &&
        std::string(caption) == kErrorCaption) {
      if (watch.error_box == nullptr) {
        watch.error_box = window;
        watch.error_box_seen = GetTickCount();
        std::printf("error box: %s\n", DialogText(window).c_str());
      } else if (GetTickCount() - watch.error_box_seen >= watch.error_box_hold) {
        std::printf("error box up for: %lu ms\n", GetTickCount() - watch.error_box_seen);
        watch.error_box_done = PressButton(window, IDOK);
      }
    }
    if (!watch.screenshot.empty() && !watch.pictured && ProgressPartWay(window)) {
      watch.pictured = SaveWindowPicture(window, watch.screenshot);
      std::printf("picture: %s\n", watch.pictured ? "saved" : "failed");
    }
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
  Watch watch;
  int first = 1;
  while (first + 1 < argc && argv[first][0] == '-' && argv[first][1] == '-') {
    const std::string option = argv[first];
    if (option == "--answer") {
      watch.answer = std::string(argv[first + 1]) == "yes" ? IDYES : IDNO;
    } else if (option == "--error-box") {
      watch.error_box_hold = static_cast<DWORD>(std::stoul(argv[first + 1]));
    } else if (option == "--screenshot") {
      watch.screenshot = argv[first + 1];
    } else {
      break;
    }
    first += 2;
  }
  argv += first - 1;
  argc -= first - 1;
  if (argc < 2 || std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help") {
    std::printf(
        "usage: watch_program [--answer yes|no] [--error-box HOLD_MS] [--screenshot FILE.bmp] "
        "PROGRAM [PARAMETERS...]\n");
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
  watch.process_id = started.dwProcessId;
  const DWORD start = GetTickCount();
  bool ended = false;
  while (!ended && GetTickCount() - start < kLimitMs) {
    EnumWindows(LookAtWindow, reinterpret_cast<LPARAM>(&watch));
    // An error box that goes before it is answered was never seen by the user.
    if (watch.error_box != nullptr && !watch.error_box_done && !IsWindow(watch.error_box)) {
      std::printf("error box gone unanswered after: %lu ms\n",
                  GetTickCount() - watch.error_box_seen);
      watch.error_box_done = true;
    }
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
