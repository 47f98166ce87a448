// Where the machine's devices are looked up; tests point these at a tree of
// their own.
#pragma once

#include <string>

namespace platform::ports {

struct MachineFolders {
  std::string ttyClass = "/sys/class/tty";
  std::string devices = "/dev";
  std::string serialLinks = "/dev/serial";
};

}  // namespace platform::ports
