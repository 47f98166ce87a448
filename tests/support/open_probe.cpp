// Tries to open a device path through the comm calls, from a process of its
// own: exit 0 when it opened, 3 when refused as in use, 4 otherwise. With
// "hold" it keeps the port, says "held", and waits for its input to close.
#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "comm_calls.h"
#include "port_table.h"
#include "services.h"
#include "win32.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) return 2;
  platform::Services services;
  services.machinePorts = false;
  platform::InstallServices(services);
  platform::ports::MapDevice(1, argv[1]);
  HANDLE handle = platform::comm::CreateFileA(".\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION ? 3 : 4;
  if (argc > 2 && std::string(argv[2]) == "hold") {
    std::printf("held\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
  }
  platform::comm::CloseHandle(handle);
  return 0;
}
