// A client of the updater on the session bus that stays connected between calls, as a client
// holding an object does. Reads one command per line from standard input and answers each with
// one line: "create" (the new object's path), "request PATH" and "release PATH" ("ok"), "quit".
// Errors are answered as "error: NAME: MESSAGE". The connection ends with the program.
#include <systemd/sd-bus.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

namespace {

constexpr const char* kBusName = "org.zarn4.Update";

void Answer(int result, sd_bus_error& error, const std::string& ok) {
  if (result < 0) {
    std::cout << "error: " << (error.name ? error.name : "") << ": "
              << (error.message ? error.message : "") << std::endl;
  } else {
    std::cout << ok << std::endl;
  }
  sd_bus_error_free(&error);
}

}  // namespace

int main() {
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) {
    std::cout << "error: no session bus" << std::endl;
    return 1;
  }
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command;
    std::string path;
    words >> command >> path;
    sd_bus_error error{};  // no error: name and message empty
    sd_bus_message* reply = nullptr;
    if (command == "create") {
      const char* created = "";
      int r = sd_bus_call_method(bus, kBusName, "/org/zarn4/Update", "org.zarn4.Update", "Create",
                                 &error, &reply, "");
      if (r >= 0) r = sd_bus_message_read(reply, "o", &created);
      Answer(r, error, created);
    } else if (command == "request") {
      Answer(sd_bus_call_method(bus, kBusName, path.c_str(), "org.zarn4.Update.Z4Update", "Request",
                                &error, &reply, "iis", 42, 7, "text"),
             error, "ok");
    } else if (command == "release") {
      Answer(sd_bus_call_method(bus, kBusName, path.c_str(), "org.zarn4.Update.Z4Update", "Release",
                                &error, &reply, ""),
             error, "ok");
    } else if (command == "quit") {
      break;
    } else {
      std::cout << "error: unknown command" << std::endl;
    }
    sd_bus_message_unref(reply);
  }
  sd_bus_flush_close_unref(bus);
  return 0;
}
