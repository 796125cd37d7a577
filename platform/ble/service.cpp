#include "platform/ble/service.h"

namespace ble {

Characteristic::Characteristic(UUID uuid, const std::shared_ptr<Service>& service)
    : uuid_(uuid), service_(service) {}

Service::Service(UUID uuid) : uuid_(uuid) {}

void Service::addCharacteristics(const std::vector<UUID>& uuids) {
  if (!characteristics_) characteristics_.emplace();
  for (const UUID& uuid : uuids) {
    if (!characteristic(uuid)) {
      characteristics_->push_back(std::make_shared<Characteristic>(uuid, sharedAs<Service>()));
    }
  }
}

std::shared_ptr<Characteristic> Service::characteristic(const UUID& uuid) const {
  if (!characteristics_) return nullptr;
  for (const auto& c : *characteristics_) {
    if (c->uuid() == uuid) return c;
  }
  return nullptr;
}

}  // namespace ble
