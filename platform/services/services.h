// The process-wide services a run stands on that a program or a test may
// replace, as one record: each program installs its record once, where it
// starts, and each test fixture its own for the fixture's lifetime. A field
// left empty is the system's own service.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "clock.h"
#include "message_pump.h"
#include "port_entry.h"
#include "port_numbers.h"

namespace platform {

namespace comm {
class SystemCalls;
}
namespace ports {
class DeviceDatabase;
}

using ErrorBox = std::function<void(const std::string& caption, const std::string& text)>;
using Opener = std::function<bool(const std::string& target)>;

struct Services {
  Clock* clock = nullptr;                                 // the system's clock
  MessagePump* pump = nullptr;                            // none: a wait only waits
  bool machinePorts = true;                               // numbers may open the machine's adapters
  ports::MachineFolders machineFolders;                   // where the machine lists them
  std::shared_ptr<ports::NumberStore> numberStore;        // the Ports key of the settings
  ErrorBox errorBox;                                      // the window's message box
  // What the POSIX system gives, where Windows has its own: left empty there.
  Opener opener;                                          // the desktop opens addresses
  comm::SystemCalls* systemCalls = nullptr;               // the kernel
  std::shared_ptr<ports::DeviceDatabase> deviceDatabase;  // udev's hardware database
  std::vector<std::string> lockFolders;                   // the UUCP lock folders
  std::string processFolder;                              // /proc
  std::string registryMachineFolder;                      // /var/lib/usb-corvane/registry
  std::string registryUserFolder;                         // the user's configuration folder
  int registryLockWaitMs = 0;                             // 5 s
};

// Puts `services` in place of whatever was installed.
void InstallServices(Services services);
// The part of it that only this system's own modules take (services_posix.cpp,
// services_windows.cpp).
void InstallSystemServices(const Services& services);
const Services& InstalledServices();

// Installs a record for the lifetime of the object, then puts the one before
// it back: a whole record, or the installed one with `change` made to it.
class ScopedServices {
 public:
  explicit ScopedServices(Services services);
  explicit ScopedServices(const std::function<void(Services&)>& change);
  ~ScopedServices();
  ScopedServices(const ScopedServices&) = delete;
  ScopedServices& operator=(const ScopedServices&) = delete;

 private:
  Services previous_;
};

}  // namespace platform
