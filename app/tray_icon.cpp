#include "app/tray_icon.h"

#include "app/warning_item.h"
#include "platform/ble/peripheral.h"
#include "platform/ui/image.h"
#include "platform/ui/menu_item.h"

namespace tovelin {
namespace {

// What the status menu's first item shows in each state.
struct FirstItem {
  const char* imageName;
  double height;
  const char* text;
};

const FirstItem& firstItemFor(MenuState state) {
  static const FirstItem unavailable{
      ui::ImageNameCaution, 90,
      "The application needs Bluetooth permissions to work properly.\n"
      "Please grant Bluetooth permissions in the system settings."};
  static const FirstItem searching{
      ui::ImageNameInfo, 60,
      "Please launch the companion app on your smartphone to enable its visibility for this "
      "application.\nRemember to keep your phone oriented in the direction of your laptop"};
  static const FirstItem connected{
      ui::ImageNameComputer, 60,
      "Remember to keep your phone oriented in the direction of your laptop"};
  switch (state) {
    case MenuState::searching:
      return searching;
    case MenuState::connected:
      return connected;
    default:
      return unavailable;
  }
}

std::shared_ptr<ui::MenuItem> viewItem(const FirstItem& first) {
  auto item = ui::MenuItem::make();
  item->setView(WarningMenuItemView::make(first.text, first.imageName,
                                          base::makeRect(0, 0, 300, first.height)));
  return item;
}

}  // namespace

TrayIcon::TrayIcon(Key /*key*/, std::shared_ptr<MetalView> metalView,
                   std::shared_ptr<ui::Window> window,
                   const std::shared_ptr<DeviceConnectDelegate>& delegate)
    : metalView_(std::move(metalView)),
      window_(std::move(window)),
      subMenu_(ui::Menu::make()),
      delegate_(delegate) {}

std::shared_ptr<TrayIcon> TrayIcon::make(std::shared_ptr<MetalView> metalView,
                                         std::shared_ptr<ui::Window> window,
                                         const std::shared_ptr<DeviceConnectDelegate>& delegate) {
  auto self = std::make_shared<TrayIcon>(Key{}, std::move(metalView), std::move(window), delegate);
  // The button's target is the TrayIcon itself, which needs its shared owner.
  self->statusItem_ =
      ui::StatusBar::systemStatusBar().statusItemWithLength(ui::VariableStatusItemLength);
  if (self->statusItem_) {
    if (const auto& button = self->statusItem_->button()) {
      button->setImage(ui::Image::imageNamed("caricon"));
      if (button->image()) button->image()->setTemplate(true);
      button->setAction("statusBarButtonClicked:");
      button->setTarget(self);
    }
  }
  self->buildMenu(MenuState::searching);
  return self;
}

void TrayIcon::buildMenu(MenuState state) {
  auto self = sharedAs<TrayIcon>();
  auto menu = ui::Menu::make();
  const bool withConnect = state == MenuState::searching || state == MenuState::connected;
  if (!withConnect) {
    menu->addItem(viewItem(firstItemFor(MenuState::bluetoothUnavailable)));
  } else {
    subMenu_ = ui::Menu::make();
    menu->addItem(viewItem(firstItemFor(state)));
    subMenu_->addItem(ui::MenuItem::make("Searching...", std::nullopt, ""));
    auto connect = ui::MenuItem::make("Connect", std::nullopt, "");
    connect->setSubmenu(subMenu_);
    if (const auto& submenu = connect->submenu()) submenu->setDelegate(self);
    menu->addItem(connect);
  }

  menu->addItem(ui::MenuItem::sectionHeader("Appearance Settings"));
  auto add = [&](const char* title, const char* action, const char* key) {
    auto item = ui::MenuItem::make(title, action, key);
    item->setTarget(self);
    menu->addItem(item);
  };
  add("Inverted Dots", "menuOption1Selected:", "1");
  add("Black and White Dots", "menuOption2Selected:", "2");
  add("Lady Bug", "menuOption3Selected:", "3");
  add("Inverted Hearts", "menuOption4Selected:", "4");
  menu->addItem(ui::MenuItem::separatorItem());
  add("Download Mobile Application", "downloadMobile:", "d");
  menu->addItem(ui::MenuItem::separatorItem());
  add("Check for updates...", "checkForUpdates:", "U");
  menu->addItem(ui::MenuItem::separatorItem());
  add("Quit", "quitApp:", "q");

  if (statusItem_) statusItem_->setMenu(std::move(menu));
}

void TrayIcon::updateDeviceList(const std::vector<std::shared_ptr<ble::Peripheral>>& devices,
                                bool showScanMore) {
  auto self = sharedAs<TrayIcon>();
  subMenu_->removeAllItems();
  if (showScanMore) {
    auto scanMore = ui::MenuItem::make("Scan more devices", "startScan:", "");
    scanMore->setTarget(self);
    subMenu_->addItem(scanMore);
    subMenu_->addItem(ui::MenuItem::separatorItem());
  }
  subMenu_->addItem(ui::MenuItem::sectionHeader("Discovered devices"));
  for (const auto& device : devices) {
    if (!device) continue;
    // An empty name is a name: only a phone without one is "Unknown".
    auto item = ui::MenuItem::make(device->name().value_or("Unknown"), "connectToPeripheral:", "");
    item->setTarget(self);
    item->setRepresentedObject(device);
    subMenu_->addItem(item);
  }
}

}  // namespace tovelin
