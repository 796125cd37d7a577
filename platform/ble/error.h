// Errors and the small enumerations of the Bluetooth central.
//
// An Error carries only the text a person reads; callbacks pass one when an
// operation ended for a reason the caller may want to log. The numeric
// values of the enumerations are the platform's own.
#pragma once

#include <string>
#include <utility>

namespace ble {

class Error {
 public:
  explicit Error(std::string description) : description_(std::move(description)) {}
  [[nodiscard]] const std::string& localizedDescription() const { return description_; }

 private:
  std::string description_;
};

enum class ManagerState : int {
  unknown = 0,
  resetting = 1,
  unsupported = 2,
  unauthorized = 3,
  poweredOff = 4,
  poweredOn = 5,
};

enum class CharacteristicWriteType : int { withResponse = 0, withoutResponse = 1 };

}  // namespace ble
