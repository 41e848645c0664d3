// The record handed to Shell_NotifyIconA: the shell's first notify-icon layout (88 bytes in a
// 32-bit program, 104 in a 64-bit one, where the window and icon handles are 8 bytes and
// aligned), which every version of the shell accepts.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/win32/windows_api.h"

namespace zarn::platform::win32 {

struct NotifyIconRecord {
  DWORD cbSize;
  HWND hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  HICON hIcon;
  CHAR szTip[64];
};
inline constexpr std::size_t kFirstNotifyIconRecordSize = sizeof(void*) == 4 ? 88 : 104;
static_assert(sizeof(NotifyIconRecord) == kFirstNotifyIconRecordSize,
              "the shell's first notify-icon layout");
static_assert(offsetof(NotifyIconRecord, szTip) == offsetof(NOTIFYICONDATAA, szTip));

// Fills the record for the icon of window: id 0, message, icon and tip valid, the tip cut to 63
// characters and terminated.
NotifyIconRecord MakeNotifyIconRecord(HWND window, HICON icon, std::string_view tip);

}  // namespace zarn::platform::win32
