#include "cab/cabinet_callbacks.h"

#include <cstdlib>
#include <string>
#include <utility>

#include "platform/dialogs.h"
#include "platform/file_handles.h"

namespace zarn::cab_callbacks {

namespace {

// The longest message text the box shows, as the system's message table would give it.
constexpr std::size_t kMaxMessageLength = 1025;

const FileErrorRoute* g_route = nullptr;

}  // namespace

void* Alloc(unsigned long size) {
  return std::malloc(size);
}

void Free(void* block) {
  std::free(block);
}

std::intptr_t Open(char* name, int flags, int /*mode*/) {
  const int low = flags & 3;
  const auto access = low == 0   ? platform::FileAccess::kRead
                      : low == 1 ? platform::FileAccess::kWrite
                                 : platform::FileAccess::kReadWrite;
  std::uint32_t error = 0;
  return platform::OpenFileHandle(name, access, error);
}

unsigned Read(std::intptr_t file, void* buffer, unsigned count) {
  std::uint32_t error = 0;
  return platform::ReadFileHandle(file, buffer, count, error);
}

long Seek(std::intptr_t file, long distance, int origin) {
  std::uint32_t error = 0;
  const std::int64_t position =
      platform::SeekFileHandle(file, distance, static_cast<platform::SeekOrigin>(origin), error);
  if (position < 0) {
    ShowSystemError(error);
    return -1;
  }
  return static_cast<long>(position);
}

void ShowSystemError(std::uint32_t error) {
  std::string text = platform::SystemErrorText(error);
  if (text.size() > kMaxMessageLength) text.resize(kMaxMessageLength);
  if (g_route != nullptr) {
    g_route->handler_(text);
    return;
  }
  // The box has no owner window: it stands on its own, not in front of the hidden main window.
  platform::ShowUnownedMessageBox(text, "Error", platform::kMbOk | platform::kMbIconWarning);
}

FileErrorRoute::FileErrorRoute(std::function<void(const std::string& text)> handler)
    : handler_(std::move(handler)), previous_(g_route) {
  g_route = this;
}

FileErrorRoute::~FileErrorRoute() {
  g_route = previous_;
}

}  // namespace zarn::cab_callbacks
