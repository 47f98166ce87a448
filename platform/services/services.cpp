#include "services.h"

namespace platform {
namespace {

Services& Installed() {
  static Services services;
  return services;
}

}  // namespace

void InstallServices(Services services) { Installed() = std::move(services); }
const Services& InstalledServices() { return Installed(); }
Services& InstalledServicesToChange() { return Installed(); }

ScopedServices::ScopedServices(Services services) : previous_(Installed()) { InstallServices(std::move(services)); }

ScopedServices::ScopedServices(const std::function<void(Services&)>& change) : previous_(Installed()) {
  Services changed = previous_;
  change(changed);
  InstallServices(std::move(changed));
}

ScopedServices::~ScopedServices() { InstallServices(std::move(previous_)); }

}  // namespace platform
