#include "platform/ui/window.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/screen.h"
#include "platform/ui/view_controller.h"

namespace ui {
namespace {

std::vector<std::weak_ptr<Window>>& registry() {
  static std::vector<std::weak_ptr<Window>> windows;
  return windows;
}

uint64_t nextOrderStamp() {
  static uint64_t stamp = 0;
  return ++stamp;
}

}  // namespace

// The stand-in's value for the shielding level (the desktop platform's value
// is of the same order): above every ordinary, floating and status window.
int32_t shieldingWindowLevel() { return 2147483628; }

Window::Window(base::Rect frame) : frame_(frame) {}

Window::~Window() = default;

std::shared_ptr<Window> Window::make(base::Rect frame) {
  std::shared_ptr<Window> window(new Window(frame));
  enlist(window);
  return window;
}

std::shared_ptr<Window> Window::make(const base::Coder& coder) {
  auto window = make(coder.decodeRect("frame").value_or(base::makeRect(0, 0, 480, 270)));
  if (auto title = coder.decodeString("title")) window->title_ = *title;
  if (auto opaque = coder.decodeBool("opaque")) window->opaque_ = *opaque;
  if (auto level = coder.decodeDouble("level")) window->level_ = static_cast<long>(*level);
  if (auto alpha = coder.decodeDouble("alpha")) window->alpha_ = *alpha;
  if (auto visible = coder.decodeBool("visible")) window->visibleAtLaunch_ = *visible;
  if (auto shadow = coder.decodeBool("hasShadow")) window->hasShadow_ = *shadow;
  if (auto ignores = coder.decodeBool("ignoresMouseEvents")) window->ignoresMouse_ = *ignores;
  if (auto behavior = coder.decodeDouble("collectionBehavior"); behavior && *behavior >= 0) {
    window->collectionBehavior_ = static_cast<unsigned long>(*behavior);
  }
  if (coder.decodeBool("center").value_or(false)) window->center();
  if (coder.contains("backgroundColor")) {
    const auto& c = coder.attributes()["backgroundColor"];
    if (c.is_array() && c.size() == 4 &&
        std::all_of(c.begin(), c.end(), [](const auto& v) { return v.is_number(); })) {
      window->background_ =
          Color{c[0].get<double>(), c[1].get<double>(), c[2].get<double>(), c[3].get<double>()};
    }
  }
  return window;
}

const base::Outlet Window::kOutlets[] = {
    base::outlet<&Window::delegate_>("delegate"),
};
const base::ClassTable Window::kClassTable{"NSWindow", &base::Object::kClassTable, {}, kOutlets};

void Window::enlist(const std::shared_ptr<Window>& window) {
  auto& list = registry();
  std::erase_if(list, [](const std::weak_ptr<Window>& w) { return w.expired(); });
  list.push_back(window);
}

std::vector<std::shared_ptr<Window>> Window::allWindows() {
  std::vector<std::shared_ptr<Window>> live;
  for (const auto& w : registry()) {
    if (auto window = w.lock()) live.push_back(window);
  }
  return live;
}

void Window::center() {
  const base::Rect screen = Screen::mainScreen()->frame();
  const double x = std::max(0.0, std::floor((screen.width() - frame_.width()) / 2));
  // The origin is the bottom left: too tall a window keeps its top edge on
  // the screen's.
  const double spare = screen.height() - frame_.height();
  const double y = std::min(std::floor(spare / 2), spare);
  setFrame(base::makeRect(x, y, frame_.width(), frame_.height()), true);
}

void Window::setFrame(base::Rect frame, bool /*display*/) {
  frame_ = frame;
  if (contentView_) contentView_->setFrame(base::Rect{{0, 0}, frame.size});
}

void Window::makeKeyAndOrderFront(const std::shared_ptr<base::Object>& /*sender*/) {
  for (const auto& other : allWindows()) other->key_ = false;
  visible_ = true;
  key_ = true;
  orderStamp_ = nextOrderStamp();
}

void Window::orderOut(const std::shared_ptr<base::Object>& /*sender*/) {
  visible_ = false;
  key_ = false;
}

void Window::close() {
  if (closing_) return;  // a delegate closing the window again from windowWillClose
  closing_ = true;
  if (auto d = delegate()) d->windowWillClose(shared_from_this());
  closing_ = false;
  orderOut(nullptr);
}

void Window::setContentView(std::shared_ptr<View> view) {
  if (contentView_) contentView_->setWindow({});
  contentView_ = std::move(view);
  if (contentView_) {
    contentView_->setFrame(base::Rect{{0, 0}, frame_.size});
    contentView_->setWindow(sharedAs<Window>());
  }
}

void Window::setContentViewController(std::shared_ptr<ViewController> controller) {
  contentViewController_ = std::move(controller);
  if (contentViewController_) setContentView(contentViewController_->view());
}

}  // namespace ui
