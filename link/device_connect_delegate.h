// How the status menu asks the phone link for work: start a scan when the
// "Connect" submenu opens or "Scan more devices" is chosen, and connect to the
// phone a device item stands for. The status menu holds its implementer
// weakly, so only objects with shared ownership implement it.
#pragma once

#include <memory>

namespace ble {
class Peripheral;
}

namespace tovelin {

class DeviceConnectDelegate {
 public:
  DeviceConnectDelegate() = default;
  DeviceConnectDelegate(const DeviceConnectDelegate&) = delete;
  DeviceConnectDelegate& operator=(const DeviceConnectDelegate&) = delete;
  virtual ~DeviceConnectDelegate() = default;

  virtual void startScan() = 0;
  virtual void connectToPeripheral(const std::shared_ptr<ble::Peripheral>& peripheral) = 0;
};

}  // namespace tovelin
