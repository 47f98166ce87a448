#include "device_database.h"
#include "port_holders.h"
#include "port_table.h"
#include "registry.h"
#include "services.h"
#include "system_calls.h"

namespace platform {

void InstallSystemServices(const Services& services) {
  comm::InstallSystemCalls(services.systemCalls);
  ports::UseDeviceDatabase(services.deviceDatabase);
  comm::SetLockFolders(services.lockFolders);
  comm::SetProcessFolder(services.processFolder);
  registry::SetLocations(services.registryMachineFolder, services.registryUserFolder);
  registry::SetLockWait(services.registryLockWaitMs);
}

}  // namespace platform
