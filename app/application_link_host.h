// The application's side of the phone link: the status menu (TrayIcon) and
// the welcome window (CustomAlertWithVideo), made when the link's view loads.
#pragma once

#include <memory>

#include "app/custom_alert_with_video.h"
#include "app/tray_icon.h"
#include "link/link_host.h"

namespace tovelin {

class ApplicationLinkHost : public LinkHost {
 public:
  void linkDidLoad(const std::shared_ptr<MetalView>& metalView,
                   const std::shared_ptr<ui::Window>& window,
                   const std::shared_ptr<DeviceConnectDelegate>& link) override;
  void buildMenu(MenuState state) override;
  void updateDeviceList(const std::vector<std::shared_ptr<ble::Peripheral>>& devices,
                        bool showScanMore) override;

  [[nodiscard]] const std::shared_ptr<TrayIcon>& trayIcon() const { return trayIcon_; }
  [[nodiscard]] const std::shared_ptr<CustomAlertWithVideo>& welcomeWindow() const {
    return welcomeWindow_;
  }

 private:
  std::shared_ptr<TrayIcon> trayIcon_;
  std::shared_ptr<CustomAlertWithVideo> welcomeWindow_;
};

}  // namespace tovelin
