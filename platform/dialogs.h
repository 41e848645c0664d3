// Message boxes and the Yes/No question, with the Windows flag and answer numbers.
#pragma once

#include <cstdint>
#include <string_view>

namespace zarn::platform {

inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbYesNo = 0x4;
inline constexpr std::uint32_t kMbIconError = 0x10;
inline constexpr std::uint32_t kMbIconQuestion = 0x20;
inline constexpr std::uint32_t kMbIconWarning = 0x30;
inline constexpr std::uint32_t kMbIconInformation = 0x40;
inline constexpr std::uint32_t kMbDefButton2 = 0x100;
// A box with no owner window that holds up every window of the program.
inline constexpr std::uint32_t kMbTaskModal = 0x2000;
inline constexpr std::uint32_t kMbSetForeground = 0x10000;

inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Shows a modal box owned by the main window (by no window with kMbTaskModal); messages keep
// flowing while it is up.
int ShowMessageBox(std::string_view text, std::string_view caption, std::uint32_t flags);
// The same box owned by no window.
int ShowUnownedMessageBox(std::string_view text, std::string_view caption, std::uint32_t flags);

// Tells an error without waiting for anyone: one line "caption: text" on standard error, when the
// process has one (a Windows program started without a console has none, and writes nothing).
void WriteErrorLine(std::string_view caption, std::string_view text);

}  // namespace zarn::platform
