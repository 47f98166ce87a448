#include "services.h"

#include "port_table.h"

namespace platform {
namespace {

Services& Installed() {
  static Services services;
  return services;
}

}  // namespace

void InstallServices(Services services) {
  InstallClock(services.clock);
  InstallPump(services.pump);
  ports::UseMachinePorts(services.machinePorts);
  ports::UseMachineFolders(services.machineFolders);
  ports::UseNumberStore(services.numberStore);
  InstallSystemServices(services);
  Installed() = std::move(services);
}

const Services& InstalledServices() { return Installed(); }

ScopedServices::ScopedServices(Services services) : previous_(Installed()) { InstallServices(std::move(services)); }

ScopedServices::ScopedServices(const std::function<void(Services&)>& change) : previous_(Installed()) {
  Services changed = previous_;
  change(changed);
  InstallServices(std::move(changed));
}

ScopedServices::~ScopedServices() { InstallServices(std::move(previous_)); }

}  // namespace platform
