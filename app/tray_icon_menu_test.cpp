#include <gtest/gtest.h>

#include "app/tray_icon_test_support.h"
#include "platform/base/bundle.h"
#include "platform/ui/image.h"
#include "platform/ui/status_bar.h"

namespace tovelin {
namespace {

using testing::entries;
using testing::FakeLink;

const char* kUnavailableText =
    "The application needs Bluetooth permissions to work properly.\n"
    "Please grant Bluetooth permissions in the system settings.";
const char* kSearchingText =
    "Please launch the companion app on your smartphone to enable its visibility for this "
    "application.\nRemember to keep your phone oriented in the direction of your laptop";
const char* kConnectedText = "Remember to keep your phone oriented in the direction of your laptop";

std::vector<std::string> statusMenu(const std::string& first, bool withConnect) {
  std::vector<std::string> lines{first};
  if (withConnect) lines.emplace_back("Connect | - | key  | submenu");
  for (const char* line : {
           "header Appearance Settings",
           "Inverted Dots | menuOption1Selected: | key 1 | tray",
           "Black and White Dots | menuOption2Selected: | key 2 | tray",
           "Lady Bug | menuOption3Selected: | key 3 | tray",
           "Inverted Hearts | menuOption4Selected: | key 4 | tray",
           "---",
           "Download Mobile Application | downloadMobile: | key d | tray",
           "---",
           "Check for updates... | checkForUpdates: | key U | tray",
           "---",
           "Quit | quitApp: | key q | tray",
       }) {
    lines.emplace_back(line);
  }
  return lines;
}

class TrayIconMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = base::Bundle::main();
    base::Bundle::main() = base::Bundle(TOVELIN_SOURCE_DIR "/resources");
    link = std::make_shared<FakeLink>();
    tray = TrayIcon::make(nullptr, nullptr, link);
  }
  void TearDown() override { base::Bundle::main() = saved_; }

  [[nodiscard]] const ui::Menu& menu() const { return *tray->statusItem()->menu(); }
  [[nodiscard]] std::string text(size_t index) const {
    auto view = std::dynamic_pointer_cast<WarningMenuItemView>(menu().items().at(index)->view());
    return view ? view->textField->stringValue() : "(no view)";
  }

  std::shared_ptr<FakeLink> link;
  std::shared_ptr<TrayIcon> tray;

 private:
  base::Bundle saved_{""};
};

TEST_F(TrayIconMenu, StartsInTheMenuBarWithTheSearchingMenu) {
  auto items = ui::StatusBar::systemStatusBar().statusItems();
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items.back(), tray->statusItem());
  const auto& button = tray->statusItem()->button();
  ASSERT_NE(button, nullptr);
  ASSERT_NE(button->image(), nullptr);
  EXPECT_EQ(button->image()->name(), "caricon");
  EXPECT_TRUE(button->image()->isTemplate());
  EXPECT_EQ(button->action(), "statusBarButtonClicked:");
  EXPECT_EQ(button->target(), tray);
  EXPECT_EQ(tray->statusItem()->length(), ui::VariableStatusItemLength);
  EXPECT_EQ(entries(menu(), tray.get()), statusMenu("view NSInfo 300x60", true));
  EXPECT_EQ(text(0), kSearchingText);
  EXPECT_EQ(entries(*tray->subMenu(), tray.get()),
            std::vector<std::string>{"Searching... | - | key "});
}

struct StateCase {
  const char* name;
  MenuState state;
  const char* first;
  const char* text;
  size_t length;
  bool withConnect;
};

class TrayIconStates : public TrayIconMenu, public ::testing::WithParamInterface<StateCase> {};

TEST_P(TrayIconStates, BuildsTheStatesMenuEntryByEntry) {
  const StateCase& c = GetParam();
  auto before = tray->subMenu();
  tray->updateDeviceList({}, true);
  tray->buildMenu(c.state);
  EXPECT_EQ(entries(menu(), tray.get()), statusMenu(c.first, c.withConnect));
  EXPECT_EQ(text(0), c.text);
  EXPECT_EQ(text(0).size(), c.length);
  if (c.withConnect) {
    // A new "Connect" submenu showing "Searching...", with the TrayIcon as its delegate.
    EXPECT_NE(tray->subMenu(), before);
    EXPECT_EQ(menu().items()[1]->submenu(), tray->subMenu());
    EXPECT_EQ(tray->subMenu()->delegate(), tray);
    EXPECT_EQ(entries(*tray->subMenu(), tray.get()),
              std::vector<std::string>{"Searching... | - | key "});
  } else {
    // The old submenu, device list and all, stays the one updateDeviceList fills.
    EXPECT_EQ(tray->subMenu(), before);
    EXPECT_EQ(tray->subMenu()->numberOfItems(), 3u);
  }
  EXPECT_EQ(menu().delegate(), nullptr);  // only the submenu has a delegate
}

INSTANTIATE_TEST_SUITE_P(
    States, TrayIconStates,
    ::testing::Values(StateCase{"unavailable", MenuState::bluetoothUnavailable,
                                "view NSCaution 300x90", kUnavailableText, 120, false},
                      StateCase{"searching", MenuState::searching, "view NSInfo 300x60",
                                kSearchingText, 166, true},
                      StateCase{"connected", MenuState::connected, "view NSComputer 300x60",
                                kConnectedText, 68, true},
                      StateCase{"raw3", static_cast<MenuState>(3), "view NSCaution 300x90",
                                kUnavailableText, 120, false},
                      StateCase{"raw255", static_cast<MenuState>(255), "view NSCaution 300x90",
                                kUnavailableText, 120, false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(TrayIconMenu, BuildingTwiceMakesNewMenusAndItems) {
  auto first = tray->statusItem()->menu();
  tray->buildMenu(MenuState::searching);
  auto second = tray->statusItem()->menu();
  ASSERT_NE(first, second);
  for (size_t i = 0; i < second->numberOfItems(); ++i) {
    EXPECT_NE(first->items()[i], second->items()[i]) << i;
  }
  EXPECT_NE(first->items()[0]->view(), second->items()[0]->view());
}

TEST_F(TrayIconMenu, EmptyDeviceLists) {
  tray->updateDeviceList({}, false);
  EXPECT_EQ(entries(*tray->subMenu(), tray.get()),
            std::vector<std::string>{"header Discovered devices"});
  tray->updateDeviceList({}, true);
  EXPECT_EQ(entries(*tray->subMenu(), tray.get()),
            (std::vector<std::string>{"Scan more devices | startScan: | key  | tray", "---",
                                      "header Discovered devices"}));
  // updateDeviceList never touches the status menu.
  EXPECT_EQ(entries(menu(), tray.get()), statusMenu("view NSInfo 300x60", true));
}

TEST_F(TrayIconMenu, DeviceListsInTheOrderGiven) {
  testing::Phones phones;
  auto found = phones.find({R"("Pixel")", "null", R"("")", R"("Pixel")"});
  for (const auto& p : found) ASSERT_NE(p, nullptr) << "a phone was not discovered";
  // Duplicates and order are kept as given.
  std::vector<std::shared_ptr<ble::Peripheral>> list{found[3], found[1], found[2], found[0],
                                                     found[0]};
  tray->updateDeviceList(list, true);
  const std::vector<std::string> expected{
      "Scan more devices | startScan: | key  | tray",
      "---",
      "header Discovered devices",
      "Pixel | connectToPeripheral: | key  | tray | object",
      "Unknown | connectToPeripheral: | key  | tray | object",
      " | connectToPeripheral: | key  | tray | object",  // an empty name stays empty
      "Pixel | connectToPeripheral: | key  | tray | object",
      "Pixel | connectToPeripheral: | key  | tray | object",
  };
  EXPECT_EQ(entries(*tray->subMenu(), tray.get()), expected);
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(tray->subMenu()->items()[i + 3]->representedObject(), list[i]) << i;
  }
  // A new searching menu forgets the list.
  tray->buildMenu(MenuState::searching);
  EXPECT_EQ(entries(*tray->subMenu(), tray.get()),
            std::vector<std::string>{"Searching... | - | key "});
}

TEST(TrayIconWithoutButton, StillBuildsItsMenu) {
  auto& bar = ui::StatusBar::systemStatusBar();
  bar.setGivesButtons(false);
  auto link = std::make_shared<FakeLink>();
  auto tray = TrayIcon::make(nullptr, nullptr, link);
  bar.setGivesButtons(true);
  ASSERT_NE(tray->statusItem(), nullptr);
  EXPECT_EQ(tray->statusItem()->button(), nullptr);
  ASSERT_NE(tray->statusItem()->menu(), nullptr);
  EXPECT_EQ(tray->statusItem()->menu()->numberOfItems(), 13u);
}

TEST(TrayIconWithoutIcon, SetsTheButtonsActionAllTheSame) {
  const base::Bundle saved = base::Bundle::main();
  base::Bundle::main() = base::Bundle("/nonexistent");
  auto link = std::make_shared<FakeLink>();
  auto tray = TrayIcon::make(nullptr, nullptr, link);
  base::Bundle::main() = saved;
  const auto& button = tray->statusItem()->button();
  EXPECT_EQ(button->image(), nullptr);
  EXPECT_EQ(button->action(), "statusBarButtonClicked:");
  EXPECT_EQ(button->target(), tray);
}

}  // namespace
}  // namespace tovelin
