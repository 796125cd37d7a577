// A characteristic of a phone's service, as the central sees it.
//
// Created by characteristic discovery from the table the phone advertised.
// Its value is the last one the phone notified; it stays empty until the
// first notification reaches this central.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/object.h"
#include "platform/ble/uuid.h"

namespace ble {

class Service;

class Characteristic : public base::Object {
 public:
  Characteristic(UUID uuid, const std::shared_ptr<Service>& service);

  [[nodiscard]] const UUID& uuid() const { return uuid_; }
  [[nodiscard]] const std::optional<std::vector<uint8_t>>& value() const { return value_; }
  // The service it belongs to, or nothing once the service object is gone.
  [[nodiscard]] std::shared_ptr<Service> service() const { return service_.lock(); }

  static constexpr base::ClassTable kClassTable{"CBCharacteristic", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

  // The central manager keeps here the last value a phone notified.
  void setValue(std::vector<uint8_t> value) { value_ = std::move(value); }

 private:
  UUID uuid_;
  std::weak_ptr<Service> service_;
  std::optional<std::vector<uint8_t>> value_;
};

}  // namespace ble
