#include "link/view_controller.h"

#include "link/handshake.h"
#include "platform/base/host.h"
#include "platform/base/log.h"
#include "platform/base/user_defaults.h"
#include "platform/ui/application.h"
#include "platform/ui/window.h"
#include "proto/link_profile.h"
#include "proto/packet_codec.h"
#include "proto/tovelin.pb.h"
#include "render/metal_view.h"

namespace tovelin {
namespace {

const ble::UUID& linkService() {
  static const ble::UUID uuid = ble::UUID::withString(kLinkServiceUUID);
  return uuid;
}

const ble::UUID& linkCharacteristic() {
  static const ble::UUID uuid = ble::UUID::withString(kLinkCharacteristicUUID);
  return uuid;
}

std::string nameOf(const std::shared_ptr<ble::Peripheral>& p) {
  return p->name().value_or("unknown device");
}

}  // namespace

ViewController::ViewController() = default;

ViewController::ViewController(const base::Coder& coder) : ui::ViewController(coder) {}

ViewController::~ViewController() = default;

const base::Outlet ViewController::kOutlets[] = {
    base::outlet<&ViewController::metalView_>("metalView"),
};
const base::ClassTable ViewController::kClassTable{
    "ViewController", &ui::ViewController::kClassTable, {}, kOutlets};

void ViewController::viewDidLoad() {
  ui::ViewController::viewDidLoad();

  const auto windows = ui::Application::shared().windows();
  window_ = windows.empty() ? nullptr : windows.front();

  auto self = sharedAs<ViewController>();
  centralManager_ = ble::CentralManager::make(self, nullptr);
  if (host_) host_->linkDidLoad(metalView_, window_, self);
}

void ViewController::centralManagerDidUpdateState(
    const std::shared_ptr<ble::CentralManager>& central) {
  if (!host_) return;
  switch (central->state()) {
    case ble::ManagerState::poweredOn:
      host_->buildMenu(MenuState::searching);
      break;
    case ble::ManagerState::poweredOff:
      host_->updateDeviceList(discoveredPeripherals_, true);
      break;
    default:
      host_->buildMenu(MenuState::bluetoothUnavailable);
      break;
  }
}

void ViewController::centralManagerDidDiscoverPeripheral(
    const std::shared_ptr<ble::CentralManager>& /*central*/,
    const std::shared_ptr<ble::Peripheral>& p, const ble::AdvertisementData& /*advertisementData*/,
    int /*rssi*/) {
  bool known = false;
  for (const auto& entry : discoveredPeripherals_) {
    if (entry->identifier() == p->identifier()) {
      known = true;
      break;
    }
  }
  if (!known) {
    base::printLine("Discovered " + nameOf(p));
    discoveredPeripherals_.push_back(p);
  }
  if (host_) host_->updateDeviceList(discoveredPeripherals_, false);
}

void ViewController::centralManagerDidConnectPeripheral(
    const std::shared_ptr<ble::CentralManager>& /*central*/,
    const std::shared_ptr<ble::Peripheral>& p) {
  base::printLine("Connected to " + nameOf(p));
  p->discoverServices(std::vector<ble::UUID>{linkService()});
}

void ViewController::centralManagerDidDisconnectPeripheral(
    const std::shared_ptr<ble::CentralManager>& /*central*/,
    const std::shared_ptr<ble::Peripheral>& p, const std::optional<ble::Error>& /*error*/) {
  base::printLine("Disconnected from " + nameOf(p));
  centralManager_->connectPeripheral(p);
}

void ViewController::peripheralDidDiscoverServices(const std::shared_ptr<ble::Peripheral>& p,
                                                   const std::optional<ble::Error>& /*error*/) {
  const auto& services = p->services();
  if (!services) return;
  for (const auto& service : *services) {
    p->discoverCharacteristics(std::vector<ble::UUID>{linkCharacteristic()}, service);
  }
}

void ViewController::peripheralDidModifyServices(
    const std::shared_ptr<ble::Peripheral>& p,
    const std::vector<std::shared_ptr<ble::Service>>& /*invalidatedServices*/) {
  base::printLine("Service modified from " + nameOf(p));
  p->discoverServices(std::vector<ble::UUID>{linkService()});
}

void ViewController::peripheralDidDiscoverCharacteristicsForService(
    const std::shared_ptr<ble::Peripheral>& p, const std::shared_ptr<ble::Service>& service,
    const std::optional<ble::Error>& /*error*/) {
  const auto& characteristics = service->characteristics();
  if (!characteristics) return;
  for (const auto& characteristic : *characteristics) {
    if (characteristic->uuid() == linkCharacteristic()) p->setNotifyValue(true, characteristic);
  }
}

void ViewController::startScan() {
  discoveredPeripherals_.clear();
  centralManager_->scanForPeripherals(std::vector<ble::UUID>{linkService()});
}

void ViewController::connectToPeripheral(const std::shared_ptr<ble::Peripheral>& p) {
  if (peripheral_) {
    centralManager_->cancelPeripheralConnection(peripheral_);
    peripheral_->setDelegate(nullptr);
  }
  peripheral_.reset();
  peripheral_ = p;
  p->setDelegate(sharedAs<ViewController>());
  centralManager_->stopScan();
  if (host_) {
    host_->buildMenu(MenuState::connected);
    host_->updateDeviceList(discoveredPeripherals_, true);
  }
  centralManager_->connectPeripheral(p);
}

}  // namespace tovelin
