// Test support for the status menu: a stand-in phone link that writes down
// what the menu asks of it, real peripherals found over the virtual radio,
// and menu entries as one line of text each.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/tray_icon.h"
#include "app/warning_item.h"
#include "link/device_connect_delegate.h"
#include "platform/ble/scripted_phone_test_support.h"
#include "platform/ui/menu.h"
#include "platform/ui/menu_item.h"

namespace tovelin::testing {

class FakeLink : public base::Object, public DeviceConnectDelegate {
 public:
  int scans = 0;
  std::vector<std::shared_ptr<ble::Peripheral>> connects;
  void startScan() override { ++scans; }
  void connectToPeripheral(const std::shared_ptr<ble::Peripheral>& peripheral) override {
    connects.push_back(peripheral);
  }
};

// Phones in range of a private radio, found by a real scan. Each phone is
// given by the JSON of its name ("\"Pixel\"", or "null" for none).
class Phones {
 public:
  std::vector<std::shared_ptr<ble::Peripheral>> find(const std::vector<std::string>& names) {
    if (!central_) central_ = ble::CentralManager::make(recorder_, nullptr);
    std::vector<std::string> ids;
    for (const auto& name : names) {
      char id[40];
      std::snprintf(id, sizeof id, "00000000-0000-4000-8000-%012zu", phones_.size() + 1);
      ids.emplace_back(id);
      auto phone = std::make_unique<ble::testing::ScriptedPhone>(radio_.path());
      phone->advertise(id, name,
                       R"([{"uuid":"E8BCA012-F851-449B-B759-E4596B11384B",)"
                       R"("characteristics":[]}])");
      phones_.push_back(std::move(phone));
    }
    central_->scanForPeripherals(std::nullopt);
    base::RunLoop::main().runUntil([&] { return known(ids); }, std::chrono::seconds(5));
    std::vector<std::shared_ptr<ble::Peripheral>> found;
    found.reserve(ids.size());
    for (const auto& id : ids) found.push_back(byId(id));
    return found;
  }

 private:
  std::shared_ptr<ble::Peripheral> byId(const std::string& id) const {
    for (const auto& p : recorder_->discovered) {
      if (p->identifier().description() == id) return p;
    }
    return nullptr;
  }
  bool known(const std::vector<std::string>& ids) const {
    for (const auto& id : ids) {
      if (!byId(id)) return false;
    }
    return true;
  }

  ble::testing::TempRadio radio_;
  std::shared_ptr<ble::testing::Recorder> recorder_ = std::make_shared<ble::testing::Recorder>();
  std::shared_ptr<ble::CentralManager> central_;
  std::vector<std::unique_ptr<ble::testing::ScriptedPhone>> phones_;
};

// "Title | action | key K | tray | submenu | object", "---", "header Title",
// "view NSInfo 300x60".
inline std::string entry(const ui::MenuItem& item, const base::Object* tray) {
  if (item.isSeparatorItem()) return "---";
  if (item.isSectionHeader()) return "header " + item.title();
  if (item.view()) {
    auto view = std::dynamic_pointer_cast<WarningMenuItemView>(item.view());
    if (!view) return "view ?";
    const auto& image = view->imageView->image();
    return "view " + (image ? image->name() : std::string("none")) + " " +
           std::to_string(static_cast<int>(view->frame().width())) + "x" +
           std::to_string(static_cast<int>(view->frame().height()));
  }
  std::string line =
      item.title() + " | " + item.action().value_or("-") + " | key " + item.keyEquivalent();
  if (auto target = item.target()) line += target.get() == tray ? " | tray" : " | other";
  if (item.submenu()) line += " | submenu";
  if (item.representedObject()) line += " | object";
  return line;
}

inline std::vector<std::string> entries(const ui::Menu& menu, const base::Object* tray) {
  std::vector<std::string> lines;
  for (const auto& item : menu.items()) lines.push_back(entry(*item, tray));
  return lines;
}

}  // namespace tovelin::testing
