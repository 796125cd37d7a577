// The central's side of what the radio reports: advertisements, phones that
// end a connection or leave, and notified values.
#include <algorithm>

#include "platform/base/run_loop.h"
#include "platform/ble/central_manager.h"
#include "platform/ble/radio.h"

namespace ble {
namespace {

const radio::AdvertisedService* entryFor(const radio::Advertise* advertise, const UUID& uuid) {
  if (advertise == nullptr) return nullptr;
  for (const auto& service : advertise->services) {
    if (service.uuid == uuid) return &service;
  }
  return nullptr;
}

}  // namespace

void CentralManager::phoneAdvertised(const radio::Advertise& advertise,
                                     const radio::Advertise* previous) {
  auto it = peripherals_.find(advertise.id);
  if (it != peripherals_.end()) {
    auto peripheral = it->second;
    peripheral->name_ = advertise.name;
    if (peripheral->state_ == PeripheralState::connected) {
      invalidate(peripheral, advertise, previous);
    } else if (peripheral->state_ == PeripheralState::connecting) {
      completeLater(peripheral);
    }
  }
  report(advertise);
}

// A new service table (or name) reaches a connected central as modified
// services: the services whose definition changed or vanished are dropped
// with their subscriptions; the unchanged ones stay.
void CentralManager::invalidate(const std::shared_ptr<Peripheral>& peripheral,
                                const radio::Advertise& advertise,
                                const radio::Advertise* previous) {
  if (previous != nullptr && previous->name == advertise.name &&
      previous->services == advertise.services) {
    return;
  }
  std::vector<std::shared_ptr<Service>> invalidated;
  if (peripheral->services_) {
    auto& services = *peripheral->services_;
    for (auto it = services.begin(); it != services.end();) {
      const auto* now = entryFor(&advertise, (*it)->uuid());
      const auto* before = entryFor(previous, (*it)->uuid());
      if (now != nullptr && before != nullptr && *now == *before) {
        ++it;
        continue;
      }
      if (const auto& characteristics = (*it)->characteristics()) {
        for (const auto& c : *characteristics) {
          Radio::shared().subscribe(radioId_, advertise.id, {(*it)->uuid(), c->uuid()}, false);
        }
      }
      invalidated.push_back(*it);
      it = services.erase(it);
    }
  }
  peripheral->later([invalidated](const std::shared_ptr<Peripheral>& p) {
    if (auto delegate = p->delegate()) delegate->peripheralDidModifyServices(p, invalidated);
  });
}

void CentralManager::phoneEndedConnection(const UUID& id) {
  auto it = peripherals_.find(id);
  if (it == peripherals_.end() || it->second->state_ != PeripheralState::connected) return;
  lose(it->second, Error("The phone ended the connection"));
}

void CentralManager::phoneLeft(const UUID& id) {
  auto it = peripherals_.find(id);
  if (it == peripherals_.end() || it->second->state_ != PeripheralState::connected) return;
  // A pending request keeps waiting; a connection is lost.
  lose(it->second, Error("The phone went out of range"));
}

void CentralManager::phoneNotified(const UUID& id, const radio::Notify& notify) {
  auto it = peripherals_.find(id);
  if (it == peripherals_.end()) return;
  auto peripheral = it->second;
  const Radio::CharacteristicKey key{notify.service, notify.characteristic};
  if (peripheral->state_ != PeripheralState::connected ||
      !Radio::shared().isSubscribed(radioId_, id, key) || !peripheral->services_) {
    return;
  }
  std::shared_ptr<Characteristic> characteristic;
  for (const auto& service : *peripheral->services_) {
    if (service->uuid() == notify.service)
      characteristic = service->characteristic(notify.characteristic);
  }
  if (!characteristic) return;
  std::weak_ptr<CentralManager> weak = self();
  peripheral->later([weak, characteristic, key, value = notify.value,
                     error = notify.error](const std::shared_ptr<Peripheral>& p) {
    auto central = weak.lock();
    if (!central || !Radio::shared().isSubscribed(central->radioId_, p->identifier_, key)) return;
    std::optional<Error> failure;
    if (error) {
      failure = Error(*error);
    } else {
      characteristic->setValue(value);
    }
    if (auto delegate = p->delegate()) {
      delegate->peripheralDidUpdateValueForCharacteristic(p, characteristic, failure);
    }
  });
}

}  // namespace ble
