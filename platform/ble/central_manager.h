// The Bluetooth central: scans for phones on the virtual radio, connects to
// them and hands out their Peripheral objects.
//
// All callbacks come on the main run loop (the queue must be nullptr), never
// from inside the call that caused them; the delegate is held weakly.
// One Peripheral object per identifier for the central's whole life.
// Connection requests never time out: one made while the phone is out of
// range, or while the adapter is not powered on, completes when both are
// true again. Asking to connect a connected phone reports it connected
// again; cancelling a pending request reports a disconnection too.
//
// Adapter states: only poweredOn scans and connects. Leaving poweredOn ends
// a running scan and every connection (each reported as a disconnection with
// an error); pending requests wait. A scan requested while not poweredOn is
// ignored with a line on standard error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/object.h"
#include "platform/ble/error.h"
#include "platform/ble/peripheral.h"
#include "platform/ble/radio_events.h"
#include "platform/ble/radio_protocol.h"
#include "platform/ble/uuid.h"

namespace ble {

class CentralManager;

// What a phone advertised, as a discovery passes it on.
struct AdvertisementData {
  std::optional<std::string> localName;
  std::vector<UUID> serviceUUIDs;
};

// The radio reports every advertisement and waits for ever; these options
// exist for the operations' shape only and change nothing.
struct ScanOptions {};
struct ConnectOptions {};

class CentralManagerDelegate {
 public:
  virtual ~CentralManagerDelegate() = default;
  virtual void centralManagerDidUpdateState(const std::shared_ptr<CentralManager>& central) = 0;
  virtual void centralManagerDidDiscoverPeripheral(
      const std::shared_ptr<CentralManager>& /*central*/,
      const std::shared_ptr<Peripheral>& /*peripheral*/, const AdvertisementData& /*data*/,
      int /*rssi*/) {}
  virtual void centralManagerDidConnectPeripheral(
      const std::shared_ptr<CentralManager>& /*central*/,
      const std::shared_ptr<Peripheral>& /*peripheral*/) {}
  virtual void centralManagerDidDisconnectPeripheral(
      const std::shared_ptr<CentralManager>& /*central*/,
      const std::shared_ptr<Peripheral>& /*peripheral*/, const std::optional<Error>& /*error*/) {}
};

class CentralManager : public base::Object, private RadioEvents {
 public:
  // The signal strength every discovery reports (the radio has no distance).
  static constexpr int kRSSI = -50;

  // Starts the radio if it is not running. The first state report follows
  // on a later turn of the run loop.
  static std::shared_ptr<CentralManager> make(
      const std::shared_ptr<CentralManagerDelegate>& delegate, std::nullptr_t queue);
  explicit CentralManager(const std::shared_ptr<CentralManagerDelegate>& delegate);
  ~CentralManager() override;

  [[nodiscard]] ManagerState state() const { return state_; }
  [[nodiscard]] bool isScanning() const { return scanning_; }
  [[nodiscard]] std::shared_ptr<CentralManagerDelegate> delegate() const {
    return delegate_.lock();
  }

  // Nothing means every phone. Reports each phone in range at once, then
  // every advertisement while the scan runs.
  void scanForPeripherals(const std::optional<std::vector<UUID>>& serviceUUIDs,
                          const ScanOptions& options = {});
  void stopScan();
  void connectPeripheral(const std::shared_ptr<Peripheral>& peripheral,
                         const ConnectOptions& options = {});
  void cancelPeripheralConnection(const std::shared_ptr<Peripheral>& peripheral);

  static constexpr base::ClassTable kClassTable{"CBCentralManager", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  // What the radio reports.
  void radioStateChanged() override;
  void phoneAdvertised(const radio::Advertise& advertise,
                       const radio::Advertise* previous) override;
  void phoneEndedConnection(const UUID& id) override;
  void phoneLeft(const UUID& id) override;
  void phoneNotified(const UUID& id, radio::Notify notify) override;

  std::shared_ptr<Peripheral> peripheralFor(const UUID& id);
  void report(const radio::Advertise& advertise);
  void invalidate(const std::shared_ptr<Peripheral>& peripheral, const radio::Advertise& advertise,
                  const radio::Advertise* previous);
  void completeLater(const std::shared_ptr<Peripheral>& peripheral);
  void lose(const std::shared_ptr<Peripheral>& peripheral, std::optional<Error> error);
  void applyState(ManagerState state);
  void reportState();
  void requireOwn(const std::shared_ptr<Peripheral>& peripheral, const char* operation) const;
  [[nodiscard]] std::shared_ptr<CentralManager> self();

  uint64_t radioId_ = 0;
  std::weak_ptr<CentralManagerDelegate> delegate_;
  ManagerState state_ = ManagerState::unknown;
  bool scanning_ = false;
  uint64_t scanGeneration_ = 0;
  std::optional<std::vector<UUID>> scanFilter_;
  std::map<UUID, std::shared_ptr<Peripheral>> peripherals_;
};

}  // namespace ble
