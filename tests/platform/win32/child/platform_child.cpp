// A small program for the process tests: "exit N" ends at once with code N, "sleep MS N" ends
// with code N after MS milliseconds. No window, no resources.
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "exit") == 0) return std::atoi(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "sleep") == 0) {
    Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    return std::atoi(argv[3]);
  }
  return 100;  // unknown arguments
}
