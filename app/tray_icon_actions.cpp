// The TrayIcon's actions: what the status menu and the status button do.
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "app/app_delegate.h"
#include "app/download_page.h"
#include "app/tray_icon.h"
#include "platform/base/log.h"
#include "platform/base/url.h"
#include "platform/ble/peripheral.h"
#include "platform/ui/application.h"
#include "platform/ui/menu_item.h"
#include "platform/ui/window.h"
#include "platform/ui/workspace.h"
#include "render/metal_view.h"

namespace tovelin {

// One appearance preset: how the overlay window and the renderer look.
struct TrayIcon::Preset {
  const char* logLine;
  double alpha;
  std::optional<std::string> filter;
  PatternType type;
};

void TrayIcon::applyPreset(const Preset& preset) {
  base::printLine(preset.logLine);
  if (window_) window_->setAlphaValue(preset.alpha);
  if (!metalView_) return;
  if (const auto& layer = metalView_->layer()) layer->setCompositingFilter(preset.filter);
  metalView_->setConstantsType(static_cast<int32_t>(preset.type));
  metalView_->setConstantsScale(1.0F);
  metalView_->resumeRendering();
}

void TrayIcon::menuOption1Selected(const std::shared_ptr<base::Object>& /*sender*/) {
  applyPreset({"Option 1 selected", 1.0, "differenceBlendMode", PatternType::dots});
}

void TrayIcon::menuOption2Selected(const std::shared_ptr<base::Object>& /*sender*/) {
  applyPreset({"Option 2 selected", 0.5, std::nullopt, PatternType::dots});
}

void TrayIcon::menuOption3Selected(const std::shared_ptr<base::Object>& /*sender*/) {
  applyPreset({"Option 3 selected", 0.8, "multiplyBlendMode", PatternType::ladyBug});
}

void TrayIcon::menuOption4Selected(const std::shared_ptr<base::Object>& /*sender*/) {
  applyPreset({"Option 4 selected", 1.0, "differenceBlendMode", PatternType::hearts});
}

void TrayIcon::statusBarButtonClicked(const std::shared_ptr<base::Object>& /*sender*/) {
  base::printLine("statusBarButtonClicked");
}

void TrayIcon::scan() {
  if (auto delegate = delegate_.lock()) delegate->startScan();
}

void TrayIcon::menuWillOpen(const std::shared_ptr<ui::Menu>& /*menu*/) { scan(); }

void TrayIcon::startScan(const std::shared_ptr<base::Object>& /*sender*/) { scan(); }

void TrayIcon::connectToPeripheral(const std::shared_ptr<base::Object>& sender) {
  auto item = std::dynamic_pointer_cast<ui::MenuItem>(sender);
  if (!item) return;
  auto peripheral = std::dynamic_pointer_cast<ble::Peripheral>(item->representedObject());
  if (!peripheral) return;
  if (auto delegate = delegate_.lock()) delegate->connectToPeripheral(peripheral);
}

void TrayIcon::checkForUpdates(const std::shared_ptr<base::Object>& /*sender*/) {
  auto delegate = delegate_.lock();
  if (!delegate) return;
  auto appDelegate = std::dynamic_pointer_cast<AppDelegate>(ui::Application::shared().delegate());
  if (!appDelegate) {
    base::printError("Fatal error: the application's delegate is not an AppDelegate");
    std::abort();
  }
  // The sender is the phone link (the delegate), not the menu item.
  if (appDelegate->updater) {
    appDelegate->updater->checkForUpdates(std::dynamic_pointer_cast<base::Object>(delegate));
  }
}

void TrayIcon::downloadMobile(const std::shared_ptr<base::Object>& /*sender*/) {
  auto url = base::URL::fromString(kDownloadPageAddress);
  if (!url) return;
  ui::Workspace::shared().openURL(*url);
}

void TrayIcon::quitApp(const std::shared_ptr<base::Object>& /*sender*/) {
  ui::Application::shared().terminate(shared_from_this());
}

const base::Action TrayIcon::kActions[] = {
    base::action<&TrayIcon::statusBarButtonClicked>("statusBarButtonClicked:"),
    base::action<&TrayIcon::menuOption1Selected>("menuOption1Selected:"),
    base::action<&TrayIcon::menuOption2Selected>("menuOption2Selected:"),
    base::action<&TrayIcon::menuOption3Selected>("menuOption3Selected:"),
    base::action<&TrayIcon::menuOption4Selected>("menuOption4Selected:"),
    base::action<&TrayIcon::checkForUpdates>("checkForUpdates:"),
    base::action<&TrayIcon::downloadMobile>("downloadMobile:"),
    base::action<&TrayIcon::quitApp>("quitApp:"),
    base::action<&TrayIcon::startScan>("startScan:"),
    base::action<&TrayIcon::connectToPeripheral>("connectToPeripheral:"),
    {"menuWillOpen:",
     [](base::Object& self, const std::shared_ptr<base::Object>& sender) {
       static_cast<TrayIcon&>(self).menuWillOpen(std::dynamic_pointer_cast<ui::Menu>(sender));
     }},
};
const base::ClassTable TrayIcon::kClassTable{"TrayIcon", &base::Object::kClassTable, kActions};

}  // namespace tovelin
