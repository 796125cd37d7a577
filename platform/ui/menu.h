// A menu: an ordered list of items, and an optional delegate that hears when
// the menu is about to open (so it can refresh what the menu shows).
//
// The menu owns its items; the delegate is held weakly.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/object.h"

namespace ui {

class Menu;
class MenuItem;

class MenuDelegate {
 public:
  MenuDelegate() = default;
  MenuDelegate(const MenuDelegate&) = delete;
  MenuDelegate& operator=(const MenuDelegate&) = delete;
  virtual ~MenuDelegate() = default;
  virtual void menuWillOpen(const std::shared_ptr<Menu>& menu) = 0;
};

class Menu : public base::Object {
 public:
  explicit Menu(std::string title = {}) : title_(std::move(title)) {}
  static std::shared_ptr<Menu> make(std::string title = {}) {
    return std::make_shared<Menu>(std::move(title));
  }

  [[nodiscard]] const std::string& title() const { return title_; }

  // Appends at the end.
  void addItem(std::shared_ptr<MenuItem> item);
  void removeAllItems() { items_.clear(); }
  [[nodiscard]] const std::vector<std::shared_ptr<MenuItem>>& items() const { return items_; }
  [[nodiscard]] size_t numberOfItems() const { return items_.size(); }
  // The first item titled `title`, or none.
  [[nodiscard]] std::shared_ptr<MenuItem> itemWithTitle(std::string_view title) const;

  [[nodiscard]] std::shared_ptr<MenuDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<MenuDelegate>& delegate) { delegate_ = delegate; }

  // The platform opening the menu: the delegate hears menuWillOpen first.
  void willOpen();

  static constexpr base::ClassTable kClassTable{"NSMenu", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  std::string title_;
  std::vector<std::shared_ptr<MenuItem>> items_;
  std::weak_ptr<MenuDelegate> delegate_;
};

}  // namespace ui
