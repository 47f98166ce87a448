// Saves the settings key over and over, alternating between two sets of
// values, and prints "saved" after each save has landed. The crash tests kill
// it at varied moments. settings_saver MACHINE_FOLDER USER_FOLDER [A|B|AB] [COUNT]
#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "services.h"
#include "registry_file.h"
#include "win32.h"

namespace {

bool Save(std::int32_t base) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Veltra_Software\\USB_Corvane\\", 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const char* names[] = {"Version", "ComPort", "Xpos", "Ypos", "Frequency", "ResetDelay"};
  for (int i = 0; i < 6; ++i) {
    const auto value = platform::registry::DwordValue(static_cast<std::uint32_t>(base + i));
    RegSetValueExA(key, names[i], 0, REG_DWORD, value.data.data(), 4);
  }
  return RegCloseKey(key) == ERROR_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 3) return 2;
  platform::Services services;
  services.registryMachineFolder = argv[1];
  services.registryUserFolder = argv[2];
  platform::InstallServices(services);
  const std::string sets = argc > 3 ? argv[3] : "AB";
  const long count = argc > 4 ? std::atol(argv[4]) : -1;
  for (long i = 0; count < 0 || i < count; ++i) {
    const char set = sets[static_cast<std::size_t>(i) % sets.size()];
    if (!Save(set == 'A' ? 100 : 200)) return 1;
    std::printf("saved %c\n", set);
    std::fflush(stdout);
  }
  return 0;
}
