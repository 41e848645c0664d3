// The suite's companion programs on Windows: their top-level windows, found by window class.
#include "platform/companions.h"

#include <string>

#include "platform/win32/windows_api.h"

namespace zarn::platform {

std::optional<ForeignWindow> FindWindowOfClass(std::string_view window_class) {
  const std::string name(window_class);
  const HWND window = FindWindowA(name.c_str(), nullptr);
  if (window == nullptr) return std::nullopt;
  return reinterpret_cast<ForeignWindow>(window);
}

void SendCloseRequest(ForeignWindow window) {
  SendMessageA(reinterpret_cast<HWND>(window), WM_CLOSE, 0, 0);
}

bool ShellOpen(WindowId owner, std::string_view file) {
  const std::string path(file);
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  // A start that fails must leave no trace: no error box from the shell.
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.hwnd = reinterpret_cast<HWND>(owner);
  info.lpVerb = "open";
  info.lpFile = path.c_str();
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExA(&info) != FALSE;
}

}  // namespace zarn::platform
