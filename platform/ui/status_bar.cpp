#include "platform/ui/status_bar.h"

#include "platform/ui/image.h"
#include "platform/ui/menu.h"

namespace ui {

bool StatusBarButton::performClick(const std::shared_ptr<base::Object>& /*sender*/) {
  if (!action_) return false;
  auto target = target_.lock();
  if (!target) return false;
  return target->perform(*action_, shared_from_this());
}

StatusItem::StatusItem(double length, bool withButton) : length_(length) {
  if (withButton) button_ = std::make_shared<StatusBarButton>();
}

StatusBar& StatusBar::systemStatusBar() {
  static StatusBar bar;
  return bar;
}

std::shared_ptr<StatusItem> StatusBar::statusItemWithLength(double length) {
  auto item = std::make_shared<StatusItem>(length, givesButtons_);
  std::erase_if(items_, [](const std::weak_ptr<StatusItem>& w) { return w.expired(); });
  items_.push_back(item);
  return item;
}

std::vector<std::shared_ptr<StatusItem>> StatusBar::statusItems() const {
  std::vector<std::shared_ptr<StatusItem>> live;
  for (const auto& weak : items_) {
    if (auto item = weak.lock()) live.push_back(std::move(item));
  }
  return live;
}

}  // namespace ui
