// The status item in the menu bar and the status menu it shows.
//
// The menu is built anew, as a whole, for one of three states; the "Connect"
// submenu inside it is refilled with the phones found whenever the phone link
// asks. Choosing an item sends one of the TrayIcon's actions: scanning and
// connecting go to the phone link through the weak delegate, the appearance
// presets restyle the overlay window and its renderer, and the rest open the
// download page, check for updates or quit. The TrayIcon keeps no menu state
// of its own: the menu on the status item is the only trace of the last
// state built.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/device_connect_delegate.h"
#include "link/menu_state.h"
#include "platform/base/object.h"
#include "platform/ui/menu.h"
#include "platform/ui/status_bar.h"

namespace ble {
class Peripheral;
}
namespace ui {
class Window;
}

namespace tovelin {

class MetalView;

class TrayIcon : public base::Object, public ui::MenuDelegate {
  struct Key {};

 public:
  // There is no TrayIcon without its view, window and delegate.
  TrayIcon() = delete;

  // init(metalView:window:delegate:): the new TrayIcon with its status item in
  // the menu bar and the menu built for `searching`. The delegate is held
  // weakly.
  static std::shared_ptr<TrayIcon> make(std::shared_ptr<MetalView> metalView,
                                        std::shared_ptr<ui::Window> window,
                                        const std::shared_ptr<DeviceConnectDelegate>& delegate);
  TrayIcon(Key, std::shared_ptr<MetalView> metalView, std::shared_ptr<ui::Window> window,
           const std::shared_ptr<DeviceConnectDelegate>& delegate);

  [[nodiscard]] const std::shared_ptr<ui::StatusItem>& statusItem() const { return statusItem_; }
  [[nodiscard]] const std::shared_ptr<ui::Menu>& subMenu() const { return subMenu_; }

  // The "Connect" submenu is about to open: a new scan.
  void menuWillOpen(const std::shared_ptr<ui::Menu>& menu) override;

  // Replaces the status item's menu by one built for `state`; any value other
  // than searching and connected builds the bluetoothUnavailable menu.
  void buildMenu(MenuState state);

  // Menu and button actions; each takes its sender.
  void statusBarButtonClicked(const std::shared_ptr<base::Object>& sender);
  void menuOption1Selected(const std::shared_ptr<base::Object>& sender);
  void menuOption2Selected(const std::shared_ptr<base::Object>& sender);
  void menuOption3Selected(const std::shared_ptr<base::Object>& sender);
  void menuOption4Selected(const std::shared_ptr<base::Object>& sender);
  void checkForUpdates(const std::shared_ptr<base::Object>& sender);
  void downloadMobile(const std::shared_ptr<base::Object>& sender);
  void quitApp(const std::shared_ptr<base::Object>& sender);

  // Replaces the contents of the "Connect" submenu by the device list, in the
  // order given, after "Scan more devices" when `showScanMore` is set.
  void updateDeviceList(const std::vector<std::shared_ptr<ble::Peripheral>>& devices,
                        bool showScanMore);

  void startScan(const std::shared_ptr<base::Object>& sender);
  void connectToPeripheral(const std::shared_ptr<base::Object>& sender);

  // The actions above by selector ("menuOption1Selected:", ...).
  static const base::ClassTable kClassTable;
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  static const base::Action kActions[];
  struct Preset;
  void applyPreset(const Preset& preset);
  void scan();

  std::shared_ptr<MetalView> metalView_;
  std::shared_ptr<ui::Window> window_;
  std::shared_ptr<ui::StatusItem> statusItem_;
  std::shared_ptr<ui::Menu> subMenu_;
  std::weak_ptr<DeviceConnectDelegate> delegate_;
};

}  // namespace tovelin
