// A phone as one central manager knows it.
//
// The central keeps one Peripheral per phone identifier for its whole life,
// so a phone that leaves and comes back is the same object. Discovery is
// answered from the table the phone advertised, and only while connected
// (otherwise there is no answer at all). Notifications reach the delegate
// only while connected and subscribed. Every delegate call comes from the
// run loop, never from inside the call that caused it; the delegate is held
// weakly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/object.h"
#include "platform/ble/error.h"
#include "platform/ble/service.h"
#include "platform/ble/uuid.h"

namespace ble {

class CentralManager;
class Peripheral;

class PeripheralDelegate {
 public:
  virtual ~PeripheralDelegate() = default;
  virtual void peripheralDidDiscoverServices(const std::shared_ptr<Peripheral>& /*peripheral*/,
                                             const std::optional<Error>& /*error*/) {}
  virtual void peripheralDidModifyServices(
      const std::shared_ptr<Peripheral>& /*peripheral*/,
      const std::vector<std::shared_ptr<Service>>& /*invalidated*/) {}
  virtual void peripheralDidDiscoverCharacteristicsForService(
      const std::shared_ptr<Peripheral>& /*peripheral*/,
      const std::shared_ptr<Service>& /*service*/, const std::optional<Error>& /*error*/) {}
  virtual void peripheralDidUpdateValueForCharacteristic(
      const std::shared_ptr<Peripheral>& /*peripheral*/,
      const std::shared_ptr<Characteristic>& /*characteristic*/,
      const std::optional<Error>& /*error*/) {}
};

enum class PeripheralState : int { disconnected = 0, connecting = 1, connected = 2 };

class Peripheral : public base::Object {
 public:
  using Services = std::vector<std::shared_ptr<Service>>;

  // `radioId` is the central's id on the radio.
  Peripheral(UUID identifier, const std::shared_ptr<CentralManager>& central, uint64_t radioId);

  [[nodiscard]] const UUID& identifier() const { return identifier_; }
  [[nodiscard]] const std::optional<std::string>& name() const { return name_; }
  [[nodiscard]] PeripheralState state() const { return state_; }

  [[nodiscard]] std::shared_ptr<PeripheralDelegate> delegate() const { return delegate_.lock(); }
  // Held weakly; nullptr detaches.
  void setDelegate(const std::shared_ptr<PeripheralDelegate>& delegate) { delegate_ = delegate; }

  // Absent until the first service discovery of a connection.
  [[nodiscard]] const std::optional<Services>& services() const { return services_; }

  // Nothing (all services) or the services wanted.
  void discoverServices(const std::optional<std::vector<UUID>>& serviceUUIDs);
  void discoverCharacteristics(const std::optional<std::vector<UUID>>& uuids,
                               const std::shared_ptr<Service>& service);
  void setNotifyValue(bool enabled, const std::shared_ptr<Characteristic>& characteristic);
  // Sent to the phone when connected; otherwise it goes nowhere.
  void writeValue(const std::vector<uint8_t>& data,
                  const std::shared_ptr<Characteristic>& characteristic,
                  CharacteristicWriteType type);

  static constexpr base::ClassTable kClassTable{"CBPeripheral", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

  // For its central manager, which drives the connection's life.
  [[nodiscard]] bool belongsTo(const CentralManager* central) const;
  void setName(std::optional<std::string> name) { name_ = std::move(name); }
  // Each starts a new connection life: answers pending for the old one are dropped.
  void beginConnecting();
  void markConnected();
  void endConnection();
  // Runs `fn` on a later turn if this connection is still the one it is now.
  void later(std::function<void(const std::shared_ptr<Peripheral>&)> fn);
  // Drops the discovered services that `changed` picks and returns them.
  Services dropServices(const std::function<bool(const Service&)>& changed);
  // The discovered characteristic of that service, if any.
  [[nodiscard]] std::shared_ptr<Characteristic> discoveredCharacteristic(
      const UUID& service, const UUID& characteristic) const;

 private:
  // Whether `characteristic` is one of this peripheral's discovered ones.
  [[nodiscard]] bool owns(const std::shared_ptr<Characteristic>& characteristic) const;
  [[nodiscard]] bool owns(const std::shared_ptr<Service>& service) const;
  [[nodiscard]] std::shared_ptr<CentralManager> connectedCentral() const;

  UUID identifier_;
  std::weak_ptr<CentralManager> central_;
  uint64_t radioId_;
  std::optional<std::string> name_;
  std::weak_ptr<PeripheralDelegate> delegate_;
  std::optional<Services> services_;
  PeripheralState state_ = PeripheralState::disconnected;
  uint64_t generation_ = 0;  // bumped whenever a connection starts or ends
};

}  // namespace ble
