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
    peripheral->setName(advertise.name);
    if (peripheral->state() == PeripheralState::connected) {
      invalidate(peripheral, advertise, previous);
    } else if (peripheral->state() == PeripheralState::connecting) {
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
  auto invalidated = peripheral->dropServices([&](const Service& service) {
    const auto* now = entryFor(&advertise, service.uuid());
    const auto* before = entryFor(previous, service.uuid());
    return now == nullptr || before == nullptr || !(*now == *before);
  });
  for (const auto& service : invalidated) {
    if (const auto& characteristics = service->characteristics()) {
      for (const auto& c : *characteristics) {
        Radio::shared().subscribe(radioId_, advertise.id, {service->uuid(), c->uuid()}, false);
      }
    }
  }
  peripheral->later([invalidated](const std::shared_ptr<Peripheral>& p) {
    if (auto delegate = p->delegate()) delegate->peripheralDidModifyServices(p, invalidated);
  });
}

void CentralManager::phoneEndedConnection(const UUID& id) {
  auto it = peripherals_.find(id);
  if (it == peripherals_.end() || it->second->state() != PeripheralState::connected) return;
  lose(it->second, Error("The phone ended the connection"));
}

void CentralManager::phoneLeft(const UUID& id) {
  auto it = peripherals_.find(id);
  if (it == peripherals_.end() || it->second->state() != PeripheralState::connected) return;
  // A pending request keeps waiting; a connection is lost.
  lose(it->second, Error("The phone went out of range"));
}

// The radio calls this only while this central subscribes to the
// characteristic, on the loop turn the value arrived in.
void CentralManager::phoneNotified(const UUID& id, radio::Notify notify) {
  auto it = peripherals_.find(id);
  if (it == peripherals_.end() || it->second->state() != PeripheralState::connected) return;
  const auto& peripheral = it->second;
  auto characteristic = peripheral->discoveredCharacteristic(notify.service, notify.characteristic);
  if (!characteristic) return;
  std::optional<Error> failure;
  if (notify.error) {
    failure = Error(std::move(*notify.error));
  } else {
    characteristic->setValue(std::move(notify.value));
  }
  if (auto delegate = peripheral->delegate()) {
    delegate->peripheralDidUpdateValueForCharacteristic(peripheral, characteristic, failure);
  }
}

}  // namespace ble
