#include "platform/ble/peripheral.h"

#include <algorithm>
#include <iterator>

#include "platform/base/run_loop.h"
#include "platform/ble/central_manager.h"
#include "platform/ble/radio.h"

namespace ble {
namespace {

bool wanted(const std::optional<std::vector<UUID>>& filter, const UUID& uuid) {
  return !filter || std::find(filter->begin(), filter->end(), uuid) != filter->end();
}

}  // namespace

Peripheral::Peripheral(UUID identifier, const std::shared_ptr<CentralManager>& central,
                       uint64_t radioId)
    : identifier_(identifier), central_(central), radioId_(radioId) {}

bool Peripheral::belongsTo(const CentralManager* central) const {
  return central_.lock().get() == central;
}

std::shared_ptr<CentralManager> Peripheral::connectedCentral() const {
  if (state_ != PeripheralState::connected) return nullptr;
  return central_.lock();
}

bool Peripheral::owns(const std::shared_ptr<Service>& service) const {
  return service && services_ &&
         std::find(services_->begin(), services_->end(), service) != services_->end();
}

bool Peripheral::owns(const std::shared_ptr<Characteristic>& characteristic) const {
  if (!characteristic) return false;
  auto service = characteristic->service();
  if (!owns(service) || !service->characteristics()) return false;
  const auto& list = *service->characteristics();
  return std::find(list.begin(), list.end(), characteristic) != list.end();
}

std::shared_ptr<Characteristic> Peripheral::discoveredCharacteristic(
    const UUID& service, const UUID& characteristic) const {
  if (!services_) return nullptr;
  for (const auto& s : *services_) {
    if (s->uuid() == service) return s->characteristic(characteristic);
  }
  return nullptr;
}

Peripheral::Services Peripheral::dropServices(const std::function<bool(const Service&)>& changed) {
  Services dropped;
  if (!services_) return dropped;
  auto kept = std::stable_partition(services_->begin(), services_->end(),
                                    [&](const auto& s) { return !changed(*s); });
  dropped.assign(kept, services_->end());
  services_->erase(kept, services_->end());
  return dropped;
}

void Peripheral::later(std::function<void(const std::shared_ptr<Peripheral>&)> fn) {
  std::weak_ptr<Peripheral> weak = sharedAs<Peripheral>();
  base::RunLoop::main().post([weak, generation = generation_, fn = std::move(fn)] {
    auto self = weak.lock();
    if (self && self->generation_ == generation) fn(self);
  });
}

void Peripheral::beginConnecting() {
  state_ = PeripheralState::connecting;
  ++generation_;
}

void Peripheral::markConnected() {
  state_ = PeripheralState::connected;
  ++generation_;
}

void Peripheral::endConnection() {
  state_ = PeripheralState::disconnected;
  ++generation_;
  services_.reset();
}

void Peripheral::discoverServices(const std::optional<std::vector<UUID>>& serviceUUIDs) {
  if (!connectedCentral()) return;  // not connected: no answer
  later([serviceUUIDs](const std::shared_ptr<Peripheral>& p) {
    const radio::Advertise* table = Radio::shared().phone(p->identifier_);
    if (table == nullptr) return;
    if (!p->services_) p->services_.emplace();
    for (const auto& offered : table->services) {
      if (!wanted(serviceUUIDs, offered.uuid)) continue;
      const bool known = std::any_of(p->services_->begin(), p->services_->end(),
                                     [&](const auto& s) { return s->uuid() == offered.uuid; });
      if (!known) p->services_->push_back(std::make_shared<Service>(offered.uuid));
    }
    if (auto delegate = p->delegate()) delegate->peripheralDidDiscoverServices(p, std::nullopt);
  });
}

void Peripheral::discoverCharacteristics(const std::optional<std::vector<UUID>>& uuids,
                                         const std::shared_ptr<Service>& service) {
  if (!connectedCentral() || !owns(service)) return;
  later([uuids, service](const std::shared_ptr<Peripheral>& p) {
    const radio::Advertise* table = Radio::shared().phone(p->identifier_);
    if (table == nullptr) return;
    const radio::AdvertisedService* offered = nullptr;
    for (const auto& s : table->services) {
      if (s.uuid == service->uuid()) offered = &s;
    }
    std::optional<Error> error;
    if (offered == nullptr) {
      error = Error("The phone no longer offers this service");
    } else {
      std::vector<UUID> found;
      std::copy_if(offered->characteristics.begin(), offered->characteristics.end(),
                   std::back_inserter(found),
                   [&](const UUID& uuid) { return wanted(uuids, uuid); });
      service->addCharacteristics(found);
    }
    if (auto delegate = p->delegate()) {
      delegate->peripheralDidDiscoverCharacteristicsForService(p, service, error);
    }
  });
}

void Peripheral::setNotifyValue(bool enabled,
                                const std::shared_ptr<Characteristic>& characteristic) {
  if (!connectedCentral() || !owns(characteristic)) return;
  Radio::shared().subscribe(radioId_, identifier_,
                            {characteristic->service()->uuid(), characteristic->uuid()}, enabled);
}

void Peripheral::writeValue(const std::vector<uint8_t>& data,
                            const std::shared_ptr<Characteristic>& characteristic,
                            CharacteristicWriteType type) {
  if (!connectedCentral() || !owns(characteristic)) return;
  Radio::shared().write(identifier_, {characteristic->service()->uuid(), characteristic->uuid()},
                        data, type == CharacteristicWriteType::withResponse);
}

}  // namespace ble
