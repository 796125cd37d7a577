#include "app/application_link_host.h"

#include "platform/base/bundle.h"

namespace tovelin {

void ApplicationLinkHost::linkDidLoad(const std::shared_ptr<MetalView>& metalView,
                                      const std::shared_ptr<ui::Window>& window,
                                      const std::shared_ptr<DeviceConnectDelegate>& link) {
  trayIcon_ = TrayIcon::make(metalView, window, link);

  if (auto videoURL = base::Bundle::main().urlForResource("UseDesktop", "mov")) {
    welcomeWindow_ = CustomAlertWithVideo::make(*videoURL);
    if (welcomeWindow_) {
      welcomeWindow_->showWindow(nullptr);
      if (welcomeWindow_->player) welcomeWindow_->player->play();
      if (welcomeWindow_->player2) welcomeWindow_->player2->play();
    }
  } else {
    CustomAlertWithVideo::reportMissingVideo("UseDesktop.mov");
  }
}

void ApplicationLinkHost::buildMenu(MenuState state) {
  if (trayIcon_) trayIcon_->buildMenu(state);
}

void ApplicationLinkHost::updateDeviceList(
    const std::vector<std::shared_ptr<ble::Peripheral>>& devices, bool showScanMore) {
  if (trayIcon_) trayIcon_->updateDeviceList(devices, showScanMore);
}

}  // namespace tovelin
