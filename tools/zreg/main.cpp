// zreg: the command-line editor of the settings store.
#include <iostream>
#include <string>
#include <vector>

#include "tools/zreg/zreg.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  zarn::zreg::Console console{std::cin, std::cout, std::cerr};
  return zarn::zreg::RunZreg(args, console);
}
