// What the phone link needs of the application around it: the status menu
// and the welcome window. The application hands the link its host when it
// registers its classes, so the link never names the application's classes.
#pragma once

#include <memory>
#include <vector>

#include "link/device_connect_delegate.h"
#include "link/menu_state.h"

namespace ble {
class Peripheral;
}
namespace ui {
class Window;
}

namespace tovelin {

class MetalView;

class LinkHost {
 public:
  LinkHost() = default;
  LinkHost(const LinkHost&) = delete;
  LinkHost& operator=(const LinkHost&) = delete;
  virtual ~LinkHost() = default;

  // The link's view has loaded: make the status menu, which asks `link` for
  // scans and connections, and show the welcome window.
  virtual void linkDidLoad(const std::shared_ptr<MetalView>& metalView,
                           const std::shared_ptr<ui::Window>& window,
                           const std::shared_ptr<DeviceConnectDelegate>& link) = 0;

  // Rebuilds the status menu for `state`.
  virtual void buildMenu(MenuState state) = 0;

  // Refills the menu's device list, after "Scan more devices" when
  // `showScanMore` is set.
  virtual void updateDeviceList(const std::vector<std::shared_ptr<ble::Peripheral>>& devices,
                                bool showScanMore) = 0;
};

}  // namespace tovelin
