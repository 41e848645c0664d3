// The program's entry: hands the command line to the platform and runs the application.
#include "platform/system.h"

int main(int argc, char** argv) {
  zarn::platform::SetCommandLine(argc, argv);
  return 0;
}
