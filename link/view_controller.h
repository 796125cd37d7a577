// The phone link: the application's one view controller and Bluetooth LE
// central.
//
// When its view has loaded it creates the central manager and has its host
// (the application) make the status menu and the welcome window. It scans for
// phones that advertise the link service when the menu asks, connects to the
// phone the user picks and asks again whenever a connection drops,
// subscribes to the link characteristic, and handles every packet the phone
// notifies: acceleration goes to the renderer, an authentication request is
// answered with the digest, the PIN and the computer's name.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/device_connect_delegate.h"
#include "link/link_host.h"
#include "platform/ble/central_manager.h"
#include "platform/ble/peripheral.h"
#include "platform/ui/view_controller.h"

namespace ui {
class Window;
}

namespace tovelin {

class MetalView;
class AuthenticationRequest;

class ViewController : public ui::ViewController,
                       public ble::CentralManagerDelegate,
                       public ble::PeripheralDelegate,
                       public DeviceConnectDelegate {
 public:
  // initWithNibName:bundle: and initWithCoder:; both start every field empty.
  ViewController();
  explicit ViewController(const base::Coder& coder);
  ~ViewController() override;

  // What the link holds, for the application's tests and benchmarks.
  [[nodiscard]] const std::shared_ptr<ble::CentralManager>& centralManager() const {
    return centralManager_;
  }
  [[nodiscard]] const std::vector<std::shared_ptr<ble::Peripheral>>& discoveredPeripherals() const {
    return discoveredPeripherals_;
  }
  [[nodiscard]] const std::shared_ptr<MetalView>& metalView() const { return metalView_; }
  [[nodiscard]] const std::shared_ptr<ui::Window>& window() const { return window_; }

  // The status menu and welcome window the link drives; set before the view
  // loads.
  void setHost(std::shared_ptr<LinkHost> host) { host_ = std::move(host); }
  [[nodiscard]] const std::shared_ptr<LinkHost>& host() const { return host_; }

  void viewDidLoad() override;

  // Central-manager delegate.
  void centralManagerDidUpdateState(const std::shared_ptr<ble::CentralManager>& central) override;
  void centralManagerDidDiscoverPeripheral(const std::shared_ptr<ble::CentralManager>& central,
                                           const std::shared_ptr<ble::Peripheral>& peripheral,
                                           const ble::AdvertisementData& advertisementData,
                                           int rssi) override;
  void centralManagerDidConnectPeripheral(
      const std::shared_ptr<ble::CentralManager>& central,
      const std::shared_ptr<ble::Peripheral>& peripheral) override;
  void centralManagerDidDisconnectPeripheral(const std::shared_ptr<ble::CentralManager>& central,
                                             const std::shared_ptr<ble::Peripheral>& peripheral,
                                             const std::optional<ble::Error>& error) override;

  // Peripheral delegate.
  void peripheralDidDiscoverServices(const std::shared_ptr<ble::Peripheral>& peripheral,
                                     const std::optional<ble::Error>& error) override;
  void peripheralDidModifyServices(
      const std::shared_ptr<ble::Peripheral>& peripheral,
      const std::vector<std::shared_ptr<ble::Service>>& invalidatedServices) override;
  void peripheralDidDiscoverCharacteristicsForService(
      const std::shared_ptr<ble::Peripheral>& peripheral,
      const std::shared_ptr<ble::Service>& service,
      const std::optional<ble::Error>& error) override;
  void peripheralDidUpdateValueForCharacteristic(
      const std::shared_ptr<ble::Peripheral>& peripheral,
      const std::shared_ptr<ble::Characteristic>& characteristic,
      const std::optional<ble::Error>& error) override;

  // Asked for by the status menu.
  void startScan() override;
  void connectToPeripheral(const std::shared_ptr<ble::Peripheral>& peripheral) override;

  // The two dialogs of the link.
  void showAlert(const std::string& messageText, const std::string& informativeText);
  std::optional<std::string> askForPincode();

  static const base::ClassTable kClassTable;
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  static const base::Outlet kOutlets[];
  void handleAuthenticationRequest(const std::shared_ptr<ble::Peripheral>& from,
                                   const std::shared_ptr<ble::Characteristic>& characteristic,
                                   const AuthenticationRequest& request);
  enum class Refusal { wrongVersion, pinRefused };
  void dropLink(Refusal refusal, const std::shared_ptr<ble::Peripheral>& from,
                const std::shared_ptr<ble::Characteristic>& characteristic);

  std::shared_ptr<ble::CentralManager> centralManager_;
  std::shared_ptr<ble::Peripheral> peripheral_;
  std::vector<std::shared_ptr<ble::Peripheral>> discoveredPeripherals_;
  std::shared_ptr<MetalView> metalView_;
  std::shared_ptr<ui::Window> window_;
  std::shared_ptr<LinkHost> host_;
};

}  // namespace tovelin
