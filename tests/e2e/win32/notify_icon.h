// Whether the shell holds a notification-area icon for a window: a modify that changes nothing
// succeeds only for an icon that exists.
#pragma once

#include <windows.h>
// The shell header needs the base types above.
#include <shellapi.h>

inline bool IconExists(HWND window) {
  NOTIFYICONDATAA record{};
  record.cbSize = NOTIFYICONDATAA_V1_SIZE;  // 88 bytes, 104 in a 64-bit program
  record.hWnd = window;
  record.uID = 0;
  record.uFlags = 0;
  return Shell_NotifyIconA(NIM_MODIFY, &record) != FALSE;
}
