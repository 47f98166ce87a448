// The process-wide services a run stands on that a program or a test may
// replace, as one record, and their one owner: each program installs its
// record once, where it starts, and each test fixture its own for the
// fixture's lifetime; each module reads its field from the installed record.
// A field left empty is the system's own service.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "machine_folders.h"

namespace platform {

class Clock;
class MessagePump;
class CommEndpoint;
namespace comm {
class SystemCalls;
}
namespace ports {
class NumberStore;
class DeviceDatabase;

// A number given its device by the program or a test: the simulated
// interface's endpoint, or a device path.
struct PortMapping {
  std::shared_ptr<CommEndpoint> endpoint;  // null: the line at `device`
  std::string device;
};
}  // namespace ports

using ErrorBox = std::function<void(const std::string& caption, const std::string& text)>;
using Opener = std::function<bool(const std::string& target)>;

struct Services {
  Clock* clock = nullptr;                                 // the system's clock
  MessagePump* pump = nullptr;                            // none: a wait only waits
  bool machinePorts = true;                               // numbers may open the machine's adapters
  ports::MachineFolders machineFolders;                   // where the machine lists them
  std::shared_ptr<ports::NumberStore> numberStore;        // the Ports key of the settings
  std::map<unsigned, ports::PortMapping> portMap;         // numbers mapped (port_table.h)
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
const Services& InstalledServices();
// The installed record, for the port table alone: its map, which a program
// or a test changes after the rest is installed (MapDevice and the like), and
// the registry's number store, made at first use.
Services& InstalledServicesToChange();

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
