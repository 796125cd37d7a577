#include "platform/ui/menu.h"

#include <cstdlib>

#include "platform/base/log.h"
#include "platform/ui/menu_item.h"

namespace ui {

void Menu::addItem(std::shared_ptr<MenuItem> item) {
  if (!item) {
    base::printError("ui::Menu::addItem: no item given");
    std::abort();
  }
  items_.push_back(std::move(item));
}

std::shared_ptr<MenuItem> Menu::itemWithTitle(std::string_view title) const {
  for (const auto& item : items_) {
    if (!item->isSeparatorItem() && item->title() == title) return item;
  }
  return nullptr;
}

void Menu::willOpen() {
  if (auto delegate = delegate_.lock()) {
    delegate->menuWillOpen(sharedAs<Menu>());
  }
}

}  // namespace ui
