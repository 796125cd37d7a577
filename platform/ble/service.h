// A service of a phone, as the central sees it.
//
// Created by service discovery from the table the phone advertised; its
// characteristic list stays empty (absent) until characteristic discovery
// fills it. The peripheral owns it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/object.h"
#include "platform/ble/characteristic.h"
#include "platform/ble/uuid.h"

namespace ble {

class Service : public base::Object {
 public:
  using Characteristics = std::vector<std::shared_ptr<Characteristic>>;

  explicit Service(UUID uuid);

  [[nodiscard]] const UUID& uuid() const { return uuid_; }
  [[nodiscard]] const std::optional<Characteristics>& characteristics() const {
    return characteristics_;
  }
  // The discovered characteristic with `uuid`, if any.
  [[nodiscard]] std::shared_ptr<Characteristic> characteristic(const UUID& uuid) const;

  static constexpr base::ClassTable kClassTable{"CBService", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

  // Characteristic discovery: from then on the list exists, and it gains
  // those of `uuids` it does not hold yet.
  void addCharacteristics(const std::vector<UUID>& uuids);

 private:
  UUID uuid_;
  std::optional<Characteristics> characteristics_;
};

}  // namespace ble
