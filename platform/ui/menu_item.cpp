#include "platform/ui/menu_item.h"

#include "platform/ui/menu.h"
#include "platform/ui/view.h"

namespace ui {

MenuItem::MenuItem(Kind kind, std::string title, std::optional<std::string> action,
                   std::string keyEquivalent)
    : kind_(kind),
      title_(std::move(title)),
      action_(std::move(action)),
      keyEquivalent_(std::move(keyEquivalent)) {}

std::shared_ptr<MenuItem> MenuItem::make(std::string title, std::optional<std::string> action,
                                         std::string keyEquivalent) {
  return std::make_shared<MenuItem>(Kind::command, std::move(title), std::move(action),
                                    std::move(keyEquivalent));
}

std::shared_ptr<MenuItem> MenuItem::make() {
  return std::make_shared<MenuItem>(Kind::command, std::string(), std::nullopt, std::string());
}

std::shared_ptr<MenuItem> MenuItem::separatorItem() {
  return std::make_shared<MenuItem>(Kind::separator, std::string(), std::nullopt, std::string());
}

std::shared_ptr<MenuItem> MenuItem::sectionHeader(std::string title) {
  return std::make_shared<MenuItem>(Kind::sectionHeader, std::move(title), std::nullopt,
                                    std::string());
}

bool MenuItem::performAction() {
  if (!action_) return false;
  auto target = target_.lock();
  if (!target) return false;
  // Keep the item alive through the action: the action may rebuild the menu
  // that holds it.
  auto self = shared_from_this();
  return target->perform(*action_, self);
}

}  // namespace ui
