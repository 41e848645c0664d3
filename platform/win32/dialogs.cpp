// Message boxes, owned by the main window so that they stay in front of it and keep its
// messages flowing while they are up.
#include "platform/dialogs.h"

#include <string>

#include "platform/win32/window_class.h"

namespace zarn::platform {

namespace {

int Show(HWND owner, std::string_view text, std::string_view caption, std::uint32_t flags) {
  const std::string body(text);
  const std::string title(caption);
  return MessageBoxA(owner, body.c_str(), title.c_str(), flags);
}

}  // namespace

int ShowMessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) {
  return Show((flags & MB_TASKMODAL) == 0 ? win32::CurrentMainWindow() : nullptr, text, caption,
              flags);
}

int ShowUnownedMessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) {
  return Show(nullptr, text, caption, flags);
}

void WriteErrorLine(std::string_view caption, std::string_view text) {
  const HANDLE output = GetStdHandle(STD_ERROR_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
  const std::string line = std::string(caption) + ": " + std::string(text) + "\r\n";
  DWORD written = 0;
  WriteFile(output, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace zarn::platform
