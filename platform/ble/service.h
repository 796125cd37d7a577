// A service of a phone, as the central sees it.
//
// Created by service discovery from the table the phone advertised; its
// characteristic list stays empty (absent) until characteristic discovery
// fills it. It refers to its peripheral weakly: the peripheral owns it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/object.h"
#include "platform/ble/characteristic.h"
#include "platform/ble/uuid.h"

namespace ble {

class Peripheral;

class Service : public base::Object {
 public:
  using Characteristics = std::vector<std::shared_ptr<Characteristic>>;

  Service(UUID uuid, const std::shared_ptr<Peripheral>& peripheral);

  [[nodiscard]] const UUID& uuid() const { return uuid_; }
  [[nodiscard]] const std::optional<Characteristics>& characteristics() const {
    return characteristics_;
  }
  [[nodiscard]] std::shared_ptr<Peripheral> peripheral() const { return peripheral_.lock(); }
  // The discovered characteristic with `uuid`, if any.
  [[nodiscard]] std::shared_ptr<Characteristic> characteristic(const UUID& uuid) const;

  [[nodiscard]] std::string className() const override { return "CBService"; }

  // Characteristic discovery: from then on the list exists, and it gains
  // those of `uuids` it does not hold yet.
  void addCharacteristics(const std::vector<UUID>& uuids);

 private:
  UUID uuid_;
  std::weak_ptr<Peripheral> peripheral_;
  std::optional<Characteristics> characteristics_;
};

}  // namespace ble
