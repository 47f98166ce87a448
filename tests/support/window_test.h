// Fixture for the window: virtual clock with the Qt pump, settings in a
// temporary folder, error boxes and the shell captured, the emulator on port 1.
#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <memory>
#include <vector>

#include "Scom.h"
#include "Unit1.h"
#include "Utils.h"
#include "corvane_emulator.h"
#include "error_box.h"
#include "message_pump.h"
#include "port_table.h"
#include "registry.h"
#include "registry_file.h"
#include "port_box.h"
#include "process_state.h"
#include "win32.h"

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace testing_support {

inline platform::registry::Value Dword(std::int32_t v) {
  return platform::registry::DwordValue(static_cast<std::uint32_t>(v));
}

inline platform::registry::Value Text(const std::string& s) {
  platform::registry::Value v{REG_SZ, std::vector<BYTE>(s.begin(), s.end())};
  v.data.push_back(0);
  return v;
}

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() : state(Services()) {
    device = emulator::CorvaneEmulator::Create();
    platform::ports::MapEndpoint(1, device);
  }

  ~WindowTest() override { form.reset(); }

  // A test's services with the settings in this test's folder, and the error
  // boxes and opened addresses taken down.
  platform::Services Services() {
    platform::Services services = TestServices(&clock, &pump);
    services.registryMachineFolder = machineFolder;
    services.registryUserFolder = userFolder;
    services.errorBox = [this](const std::string& caption, const std::string& text) {
      boxes.push_back({QString::fromStdString(caption), QString::fromStdString(text)});
    };
    services.opener = [this](const std::string& target) {
      opened.push_back(target);
      return true;
    };
    return services;
  }

  TForm1& MakeForm() {
    form = std::make_unique<TForm1>();
    form->SetTerminate([this] { ++terminations; });
    return *form;
  }

  std::string KeyFilePath(const std::string& base) const {
    return base + "/HKEY_LOCAL_MACHINE/Software/Veltra_Software/USB_Corvane.reg";
  }

  // Stores values under the settings key, as an earlier run would have.
  void StoreValues(const std::map<std::string, platform::registry::Value>& values) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Veltra_Software\\USB_Corvane\\", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const auto& [name, value] : values) {
      ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, value.type, value.data.data(),
                               static_cast<DWORD>(value.data.size())),
                ERROR_SUCCESS);
    }
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  }

  // The stored values, read back from the file.
  platform::registry::Values StoredValues(const std::string& base) const {
    QFile file(QString::fromStdString(KeyFilePath(base)));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray text = file.readAll();
    platform::registry::KeyFile key;
    if (platform::registry::ParseKeyFile(std::string_view(text.constData(), text.size()), key)) return {};
    return key.values;
  }

  static QByteArray FileBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QColor StatusColor() const { return form->Status->palette().color(QPalette::Base); }

  platform::VirtualClock clock;
  platform::QtMessagePump pump;
  QTemporaryDir folder;
  std::string machineFolder = folder.path().toStdString() + "/machine";
  std::string userFolder = folder.path().toStdString() + "/user";
  std::shared_ptr<emulator::CorvaneEmulator> device;
  std::unique_ptr<TForm1> form;
  std::vector<std::pair<QString, QString>> boxes;
  std::vector<std::string> opened;
  int terminations = 0;

 private:
  ProcessState state;
};

inline std::chrono::milliseconds operator""_ms(unsigned long long ms) { return std::chrono::milliseconds(ms); }

}  // namespace testing_support
