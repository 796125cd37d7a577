// A scripted console session against the status menu: the three menus built
// as the Bluetooth state and a connection choose them, printed by the
// console, and the screen written as PNG. A small stand-in for the phone link
// answers the central's events the way the status menu expects.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/tray_icon_test_support.h"
#include "platform/base/bundle.h"
#include "platform/base/options.h"
#include "platform/console/application_main.h"
#include "platform/console/console.h"
#include "platform/ui/application.h"
#include "platform/ui/png.h"

namespace tovelin {
namespace {

using namespace std::chrono_literals;

class LinkStandIn : public base::Object,
                    public DeviceConnectDelegate,
                    public ble::CentralManagerDelegate {
 public:
  std::shared_ptr<TrayIcon> tray;
  std::shared_ptr<ble::CentralManager> central;
  std::vector<std::shared_ptr<ble::Peripheral>> found;
  std::vector<std::shared_ptr<ble::Peripheral>> chosen;

  void centralManagerDidUpdateState(const std::shared_ptr<ble::CentralManager>& c) override {
    if (c->state() == ble::ManagerState::poweredOn) {
      tray->buildMenu(MenuState::searching);
    } else if (c->state() == ble::ManagerState::poweredOff) {
      tray->updateDeviceList(found, true);
    } else {
      tray->buildMenu(MenuState::bluetoothUnavailable);
    }
  }
  void centralManagerDidDiscoverPeripheral(const std::shared_ptr<ble::CentralManager>&,
                                           const std::shared_ptr<ble::Peripheral>& p,
                                           const ble::AdvertisementData&, int) override {
    if (std::find(found.begin(), found.end(), p) == found.end()) found.push_back(p);
    tray->updateDeviceList(found, false);
  }
  void startScan() override {
    found.clear();
    central->scanForPeripherals(std::nullopt);
  }
  void connectToPeripheral(const std::shared_ptr<ble::Peripheral>& p) override {
    chosen.push_back(p);
    central->stopScan();
    tray->buildMenu(MenuState::connected);
    tray->updateDeviceList(found, true);
  }
};

TEST(ConsoleSession, BuildsPrintsAndSnapshotsTheThreeMenus) {
  const base::Bundle savedBundle = base::Bundle::main();
  base::Bundle::main() = base::Bundle(TOVELIN_SOURCE_DIR "/resources");
  const base::PlatformOptions savedOptions = base::platformOptions();
  base::platformOptions().screenWidth = 320;
  base::platformOptions().screenHeight = 200;
  ui::Application::shared().reset();
  const std::string shot =
      (std::filesystem::temp_directory_path() / ("session-" + std::to_string(::getpid()) + ".png"))
          .string();
  {
    ble::testing::TempRadio radio;
    ble::testing::ScriptedPhone phone(radio.path());
    phone.advertise("1B4E28BA-2FA1-11D2-883F-0016D3CCA427", R"("Simulated Phone")",
                    R"([{"uuid":"E8BCA012-F851-449B-B759-E4596B11384B","characteristics":[]}])");
    auto link = std::make_shared<LinkStandIn>();
    link->tray = TrayIcon::make(nullptr, nullptr, link);
    link->central = ble::CentralManager::make(link, nullptr);

    std::vector<std::string> out;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ui::registerBluetoothSwitch();
    auto console =
        console::Console::make(fds[0], [&out](const std::string& line) { out.push_back(line); });
    console->start();
    const std::string script =
        "wait 0.1\nmenu\nopen Connect\nwait 0.3\nmenu\nchoose Connect > Simulated Phone\nmenu\n"
        "bluetooth unauthorized\nmenu\nsnapshot " +
        shot + "\n";
    ASSERT_EQ(::write(fds[1], script.data(), script.size()), static_cast<ssize_t>(script.size()));
    ::close(fds[1]);
    base::RunLoop::main().runUntil([&] { return console->inputEnded() && console->idle(); }, 10s);
    console->stop();
    ::close(fds[0]);
    ble::Radio::shared().setAdapterState(ble::ManagerState::poweredOn);

    // Each "menu" starts with its heading; the first entry tells the state.
    std::vector<std::string> firstEntries;
    for (size_t i = 0; i + 1 < out.size(); ++i) {
      if (out[i] == "Status menu:") firstEntries.push_back(out[i + 1]);
    }
    ASSERT_EQ(firstEntries.size(), 4u);
    EXPECT_EQ(firstEntries[0].rfind("  1. [view] Please launch the companion app", 0), 0u);
    EXPECT_EQ(firstEntries[1], firstEntries[0]);
    EXPECT_EQ(firstEntries[2],
              "  1. [view] Remember to keep your phone oriented in the direction of your laptop");
    EXPECT_EQ(firstEntries[3].rfind("  1. [view] The application needs Bluetooth permissions", 0),
              0u);

    // The submenu as "open" printed it, then as the discovery filled it.
    const auto at = [&](const std::string& line) {
      return std::find(out.begin(), out.end(), line) - out.begin();
    };
    EXPECT_LT(at("Connect:"), at("  1. [header] Discovered devices"));
    EXPECT_NE(at("  2. Simulated Phone"), static_cast<long>(out.size()));
    EXPECT_NE(at("  1. Scan more devices"), static_cast<long>(out.size()));  // after connecting
    ASSERT_EQ(link->chosen.size(), 1u);
    EXPECT_EQ(link->chosen[0]->name(), "Simulated Phone");
    EXPECT_NE(at("snapshot written to " + shot), static_cast<long>(out.size()));
  }
  auto image = ui::readPng(shot);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 320);
  EXPECT_EQ(image->height, 200);
  std::filesystem::remove(shot);
  base::platformOptions() = savedOptions;
  base::Bundle::main() = savedBundle;
  ui::Application::shared().reset();
}

}  // namespace
}  // namespace tovelin
