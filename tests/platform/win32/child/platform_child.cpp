// A small program for the process tests, without window or resources:
//   exit N        ends at once with code N
//   sleep MS N    ends with code N after MS milliseconds
//   loop          runs the message loop until a timer quits it; ends with 7 when that worked
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/message_loop.h"
#include "platform/win32/windows_api.h"

int main(int argc, char** argv) {
  using zarn::platform::MessageLoop;
  if (argc == 3 && std::strcmp(argv[1], "exit") == 0) return std::atoi(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "sleep") == 0) {
    Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    return std::atoi(argv[3]);
  }
  if (argc == 2 && std::strcmp(argv[1], "loop") == 0) {
    int ticks = 0;
    const auto timer = zarn::platform::Timer::Start(20, [&] {
      if (++ticks == 3) MessageLoop::Quit();
    });
    MessageLoop::Run();
    return ticks == 3 && MessageLoop::Terminated() ? 7 : 1;
  }
  return 100;  // unknown arguments
}
