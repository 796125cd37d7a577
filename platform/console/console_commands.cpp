// The console's commands: what each line does to the application.
#include <chrono>
#include <functional>

#include "platform/console/console.h"
#include "platform/console/menu_listing.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/compositor.h"
#include "platform/ui/menu.h"
#include "platform/ui/menu_item.h"
#include "platform/ui/status_bar.h"
#include "platform/ui/window.h"

namespace console {
namespace {

std::string quoted(const std::string& text) { return "\"" + escapeText(text) + "\""; }

std::string yesNo(bool value) { return value ? "yes" : "no"; }

std::string describeFrame(const base::Rect& r) {
  return "(" + formatNumber(r.minX()) + ", " + formatNumber(r.minY()) + ", " +
         formatNumber(r.width()) + ", " + formatNumber(r.height()) + ")";
}

void forEachView(const std::shared_ptr<ui::View>& view,
                 const std::function<void(const std::shared_ptr<ui::View>&)>& fn) {
  if (!view) return;
  fn(view);
  for (const auto& sub : view->subviews()) forEachView(sub, fn);
}

}  // namespace

void Console::run(const Command& command) {
  switch (command.kind) {
    case Command::Kind::menu:
      showMenu();
      break;
    case Command::Kind::click:
      click();
      break;
    case Command::Kind::open:
      open(command);
      break;
    case Command::Kind::choose:
      choose(command);
      break;
    case Command::Kind::windows:
      listWindows();
      break;
    case Command::Kind::close:
      closeWindow(command);
      break;
    case Command::Kind::press:
      press(command);
      break;
    case Command::Kind::snapshot:
      snapshot(command);
      break;
    case Command::Kind::bluetooth:
      bluetooth(command);
      break;
    case Command::Kind::wait:
      startWait(command.seconds);
      break;
    case Command::Kind::quit:
      ui::Application::shared().terminate(nullptr);
      break;
  }
}

std::shared_ptr<ui::Menu> Console::statusMenu() const {
  auto items = ui::StatusBar::systemStatusBar().statusItems();
  if (items.empty()) {
    print("there is no status item in the menu bar");
    return nullptr;
  }
  // The newest item with a menu: the application's own.
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    if ((*it)->menu()) return (*it)->menu();
  }
  print("the status item has no menu");
  return nullptr;
}

void Console::showMenu() {
  if (auto menu = statusMenu()) {
    for (const auto& line : listMenu(*menu, "Status menu", true)) print(line);
  }
}

void Console::click() {
  auto items = ui::StatusBar::systemStatusBar().statusItems();
  if (items.empty()) {
    print("there is no status item in the menu bar");
    return;
  }
  const auto& button = items.back()->button();
  if (!button) {
    print("the status item has no button");
  } else if (!button->performClick(nullptr)) {
    print("the status item's button did nothing (no action or no target)");
  }
}

void Console::open(const Command& command) {
  auto root = statusMenu();
  if (!root) return;
  auto found = followPath(root, command.path, command.path.size());
  if (!found) {
    print(found.error().message);
    return;
  }
  found->menu->willOpen();
  std::string heading;
  for (const auto& part : command.path) {
    heading += (heading.empty() ? "" : " > ") + escapeText(part.title);
  }
  // The delegate may have rebuilt things; print what the menu holds now.
  for (const auto& line : listMenu(*found->menu, heading, false)) print(line);
}

void Console::choose(const Command& command) {
  auto root = statusMenu();
  if (!root) return;
  auto found = followPath(root, command.path, command.path.size() - 1);
  if (!found) {
    print(found.error().message);
    return;
  }
  auto item = findItem(*found->menu, command.path.back(), found->name);
  if (!item) {
    print(item.error().message);
    return;
  }
  const auto& chosen = *item;
  if (!chosen->action()) return;  // nothing to send, as with the real menu
  if (!chosen->performAction()) {
    print(quoted(chosen->title()) + ": no target took its action " + *chosen->action());
  }
}

void Console::listWindows() {
  const auto windows = ui::Application::shared().windows();
  if (windows.empty()) print("no windows");
  size_t n = 0;
  for (const auto& w : windows) {
    print(std::to_string(++n) + ". " + quoted(w->title()) + " frame " + describeFrame(w->frame()) +
          " level " + std::to_string(w->level()) + " alpha " + formatNumber(w->alphaValue()) +
          " shown " + yesNo(w->isVisible()) + " opaque " + yesNo(w->isOpaque()) +
          " ignoresMouseEvents " + yesNo(w->ignoresMouseEvents()));
    forEachView(w->contentView(), [this](const std::shared_ptr<ui::View>& view) {
      if (auto status = view->consoleStatus()) print("     " + escapeText(*status));
    });
  }
}

namespace {

base::Result<std::shared_ptr<ui::Window>> windowNumber(size_t n) {
  const auto windows = ui::Application::shared().windows();
  if (n == 0 || n > windows.size()) {
    return base::fail("no window " + std::to_string(n) + " (there are " +
                      std::to_string(windows.size()) + ")");
  }
  return windows[n - 1];
}

}  // namespace

void Console::closeWindow(const Command& command) {
  if (auto window = windowNumber(command.window)) {
    (*window)->performClose(nullptr);
  } else {
    print(window.error().message);
  }
}

void Console::press(const Command& command) {
  auto window = windowNumber(command.window);
  if (!window) {
    print(window.error().message);
    return;
  }
  std::shared_ptr<ui::Button> button;
  forEachView((*window)->contentView(), [&](const std::shared_ptr<ui::View>& view) {
    auto candidate = std::dynamic_pointer_cast<ui::Button>(view);
    if (!button && candidate && candidate->title() == command.text) button = candidate;
  });
  if (!button) {
    print("no button " + quoted(command.text) + " in window " + std::to_string(command.window));
  } else if (!button->performClick(nullptr)) {
    print("the button " + quoted(command.text) + " did nothing");
  }
}

void Console::snapshot(const Command& command) {
  if (auto written = ui::Compositor::snapshot(command.text); !written) {
    print("snapshot: " + written.error().message);
  } else {
    print("snapshot written to " + command.text);
  }
}

namespace {

Console::BluetoothSwitch& bluetoothSwitch() {
  static Console::BluetoothSwitch registered;
  return registered;
}

}  // namespace

void Console::setBluetoothSwitch(BluetoothSwitch bluetoothSwitch) {
  console::bluetoothSwitch() = std::move(bluetoothSwitch);
}

void Console::bluetooth(const Command& command) {
  const auto& set = bluetoothSwitch();
  if (!set) {
    print("bluetooth: this build has no Bluetooth stand-in");
    return;
  }
  if (auto done = set(command.text); !done) print(done.error().message);
}

void Console::startWait(double seconds) {
  std::weak_ptr<Console> weak = weak_from_this();
  const auto interval =
      std::chrono::duration_cast<base::Clock::duration>(std::chrono::duration<double>(seconds));
  waitTimer_ = base::RunLoop::main().addTimer(interval, false, [weak] {
    if (auto self = weak.lock()) self->schedulePump();
  });
}

}  // namespace console
