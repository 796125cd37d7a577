#include "platform/ble/service.h"

#include "platform/ble/peripheral.h"

namespace ble {

Characteristic::Characteristic(UUID uuid, const std::shared_ptr<Service>& service)
    : uuid_(uuid), service_(service) {}

Service::Service(UUID uuid, const std::shared_ptr<Peripheral>& peripheral)
    : uuid_(uuid), peripheral_(peripheral) {}

std::shared_ptr<Characteristic> Service::characteristic(const UUID& uuid) const {
  if (!characteristics_) return nullptr;
  for (const auto& c : *characteristics_) {
    if (c->uuid() == uuid) return c;
  }
  return nullptr;
}

}  // namespace ble
