#include "platform/ble/central_manager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/base/log.h"
#include "platform/base/run_loop.h"
#include "platform/ble/radio.h"

namespace ble {
namespace {

bool offersAny(const radio::Advertise& advertise, const std::optional<std::vector<UUID>>& filter) {
  if (!filter) return true;
  return std::any_of(advertise.services.begin(), advertise.services.end(), [&](const auto& s) {
    return std::find(filter->begin(), filter->end(), s.uuid) != filter->end();
  });
}

AdvertisementData dataOf(const radio::Advertise& advertise) {
  AdvertisementData data{advertise.name, {}};
  for (const auto& service : advertise.services) data.serviceUUIDs.push_back(service.uuid);
  return data;
}

}  // namespace

std::shared_ptr<CentralManager> CentralManager::make(
    const std::shared_ptr<CentralManagerDelegate>& delegate, std::nullptr_t /*queue*/) {
  auto central = std::make_shared<CentralManager>(delegate);
  Radio& radio = Radio::shared();
  radio.start();
  // Aliasing: the radio holds the central weakly through its private events side.
  central->radioId_ =
      radio.attach(std::shared_ptr<RadioEvents>(central, static_cast<RadioEvents*>(central.get())));
  central->state_ = radio.centralState();
  central->reportState();
  return central;
}

CentralManager::CentralManager(const std::shared_ptr<CentralManagerDelegate>& delegate)
    : delegate_(delegate) {}

CentralManager::~CentralManager() {
  if (radioId_ != 0) Radio::shared().detach(radioId_);
}

std::shared_ptr<CentralManager> CentralManager::self() {
  return std::static_pointer_cast<CentralManager>(shared_from_this());
}

void CentralManager::reportState() {
  std::weak_ptr<CentralManager> weak = self();
  base::RunLoop::main().post([weak] {
    auto central = weak.lock();
    if (!central) return;
    if (auto delegate = central->delegate_.lock()) delegate->centralManagerDidUpdateState(central);
  });
}

void CentralManager::radioStateChanged() {
  const ManagerState next = Radio::shared().centralState();
  if (next == state_) return;
  reportState();
  applyState(next);
}

void CentralManager::applyState(ManagerState state) {
  const bool wasOn = state_ == ManagerState::poweredOn;
  state_ = state;
  const bool isOn = state_ == ManagerState::poweredOn;
  if (wasOn && !isOn) {
    stopScan();
    for (const auto& [id, peripheral] : peripherals_) {
      if (peripheral->state() == PeripheralState::connected) {
        lose(peripheral, Error("Bluetooth is not powered on"));
        // A connection lost this way waits for power like any request.
      }
    }
  }
  if (!wasOn && isOn) {
    for (const auto& [id, peripheral] : peripherals_) {
      if (peripheral->state() == PeripheralState::connecting) completeLater(peripheral);
    }
  }
}

void CentralManager::scanForPeripherals(const std::optional<std::vector<UUID>>& serviceUUIDs,
                                        const ScanOptions& /*options*/) {
  if (state_ != ManagerState::poweredOn) {
    base::printError("ble: scan ignored: Bluetooth is not powered on");
    return;
  }
  scanning_ = true;
  ++scanGeneration_;
  scanFilter_ = serviceUUIDs;
  Radio& radio = Radio::shared();
  for (const UUID& id : radio.phonesInRange()) report(*radio.phone(id));
}

void CentralManager::stopScan() {
  scanning_ = false;
  ++scanGeneration_;
  scanFilter_.reset();
}

std::shared_ptr<Peripheral> CentralManager::peripheralFor(const UUID& id) {
  auto& slot = peripherals_[id];
  if (!slot) slot = std::make_shared<Peripheral>(id, self(), radioId_);
  return slot;
}

void CentralManager::report(const radio::Advertise& advertise) {
  if (!scanning_ || state_ != ManagerState::poweredOn || !offersAny(advertise, scanFilter_)) {
    return;
  }
  auto peripheral = peripheralFor(advertise.id);
  peripheral->setName(advertise.name);
  std::weak_ptr<CentralManager> weak = self();
  base::RunLoop::main().post(
      [weak, peripheral, data = dataOf(advertise), generation = scanGeneration_] {
        auto central = weak.lock();
        if (!central || !central->scanning_ || central->scanGeneration_ != generation) return;
        if (auto delegate = central->delegate_.lock()) {
          delegate->centralManagerDidDiscoverPeripheral(central, peripheral, data, kRSSI);
        }
      });
}

void CentralManager::requireOwn(const std::shared_ptr<Peripheral>& peripheral,
                                const char* operation) const {
  if (!peripheral || !peripheral->belongsTo(this)) {
    std::fprintf(stderr, "ble::CentralManager::%s: the peripheral is not one of this central's\n",
                 operation);
    std::abort();
  }
}

void CentralManager::connectPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                                       const ConnectOptions& /*options*/) {
  requireOwn(peripheral, "connectPeripheral");
  switch (peripheral->state()) {
    case PeripheralState::connected: {
      std::weak_ptr<CentralManager> weak = self();
      peripheral->later([weak](const std::shared_ptr<Peripheral>& p) {
        auto central = weak.lock();
        if (!central) return;
        if (auto delegate = central->delegate_.lock()) {
          delegate->centralManagerDidConnectPeripheral(central, p);
        }
      });
      return;
    }
    case PeripheralState::connecting:
      return;  // already waiting
    case PeripheralState::disconnected:
      peripheral->beginConnecting();
      completeLater(peripheral);
      return;
  }
}

void CentralManager::completeLater(const std::shared_ptr<Peripheral>& peripheral) {
  if (state_ != ManagerState::poweredOn ||
      Radio::shared().phone(peripheral->identifier()) == nullptr) {
    return;  // waits for the phone or for power
  }
  std::weak_ptr<CentralManager> weak = self();
  peripheral->later([weak](const std::shared_ptr<Peripheral>& p) {
    auto central = weak.lock();
    if (!central || p->state() != PeripheralState::connecting ||
        central->state_ != ManagerState::poweredOn) {
      return;
    }
    Radio& radio = Radio::shared();
    if (radio.phone(p->identifier()) == nullptr) return;
    p->markConnected();
    radio.connect(central->radioId_, p->identifier());
    if (auto delegate = central->delegate_.lock()) {
      delegate->centralManagerDidConnectPeripheral(central, p);
    }
  });
}

void CentralManager::cancelPeripheralConnection(const std::shared_ptr<Peripheral>& peripheral) {
  requireOwn(peripheral, "cancelPeripheralConnection");
  if (peripheral->state() == PeripheralState::disconnected) return;
  lose(peripheral, std::nullopt);
}

void CentralManager::lose(const std::shared_ptr<Peripheral>& peripheral,
                          std::optional<Error> error) {
  if (peripheral->state() == PeripheralState::connected) {
    Radio::shared().disconnect(radioId_, peripheral->identifier());
  }
  peripheral->endConnection();
  std::weak_ptr<CentralManager> weak = self();
  base::RunLoop::main().post([weak, peripheral, error = std::move(error)] {
    auto central = weak.lock();
    if (!central) return;
    if (auto delegate = central->delegate_.lock()) {
      delegate->centralManagerDidDisconnectPeripheral(central, peripheral, error);
    }
  });
}

}  // namespace ble
