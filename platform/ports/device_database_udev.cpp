// udev's hardware database through libudev: the modalias prefix of the ids
// ("usb:v0403p6001") matches the database's "usb:v0403p6001*" entries.
#include <libudev.h>

#include <cstdio>
#include <cstring>

#include "device_database.h"
#include "services.h"

namespace platform::ports {
namespace {

struct UdevRelease {
  void operator()(udev* handle) const { udev_unref(handle); }
  void operator()(udev_hwdb* handle) const { udev_hwdb_unref(handle); }
};

class UdevDatabase final : public DeviceDatabase {
 public:
  UsbNames Lookup(unsigned vendorId, unsigned productId) override {
    if (!hwdb_) return {};
    char modalias[32];
    std::snprintf(modalias, sizeof modalias, "usb:v%04Xp%04X", vendorId & 0xFFFF, productId & 0xFFFF);
    UsbNames names;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_hwdb_get_properties_list_entry(hwdb_.get(), modalias, 0)) {
      const char* name = udev_list_entry_get_name(entry);
      const char* value = udev_list_entry_get_value(entry);
      if (name == nullptr || value == nullptr) continue;
      if (std::strcmp(name, "ID_VENDOR_FROM_DATABASE") == 0) names.vendor = value;
      if (std::strcmp(name, "ID_MODEL_FROM_DATABASE") == 0) names.model = value;
    }
    return names;
  }

 private:
  std::unique_ptr<udev, UdevRelease> udev_{udev_new()};
  std::unique_ptr<udev_hwdb, UdevRelease> hwdb_{udev_ ? udev_hwdb_new(udev_.get()) : nullptr};
};

}  // namespace

std::shared_ptr<DeviceDatabase> UdevDeviceDatabase() { return std::make_shared<UdevDatabase>(); }

DeviceDatabase& CurrentDeviceDatabase() {
  if (const auto& installed = InstalledServices().deviceDatabase) return *installed;
  static const std::shared_ptr<DeviceDatabase> udev = UdevDeviceDatabase();  // opened once, at first use
  return *udev;
}

}  // namespace platform::ports
