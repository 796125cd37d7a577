// The system status bar (the row of status items at the right of the menu
// bar), its status items and their buttons.
//
// The status bar does not own its items: whoever asked for an item keeps it,
// and releasing the last reference takes the item off the bar. A status item
// shows a button (image, action, target) and, when clicked, its menu. The
// console front end stands in for the menu bar: it lists the bar's items'
// menus and presses their buttons.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/object.h"

namespace ui {

class Image;
class Menu;

// The length that makes a status item as wide as its content.
inline constexpr double VariableStatusItemLength = -1;

class StatusBarButton : public base::Object {
 public:
  [[nodiscard]] const std::shared_ptr<Image>& image() const { return image_; }
  void setImage(std::shared_ptr<Image> image) { image_ = std::move(image); }

  [[nodiscard]] const std::optional<std::string>& action() const { return action_; }
  void setAction(std::optional<std::string> action) { action_ = std::move(action); }
  [[nodiscard]] std::shared_ptr<base::Object> target() const { return target_.lock(); }
  void setTarget(const std::shared_ptr<base::Object>& target) { target_ = target; }

  // A click: sends the action to the target with the button as sender.
  // Returns true when a target took it.
  bool performClick(const std::shared_ptr<base::Object>& sender);

  static constexpr base::ClassTable kClassTable{"NSStatusBarButton", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  std::shared_ptr<Image> image_;
  std::optional<std::string> action_;
  std::weak_ptr<base::Object> target_;
};

class StatusItem : public base::Object {
 public:
  StatusItem(double length, bool withButton);

  [[nodiscard]] double length() const { return length_; }
  // The item's button; none for an item the bar could not give a button.
  [[nodiscard]] const std::shared_ptr<StatusBarButton>& button() const { return button_; }
  [[nodiscard]] const std::shared_ptr<Menu>& menu() const { return menu_; }
  void setMenu(std::shared_ptr<Menu> menu) { menu_ = std::move(menu); }

  static constexpr base::ClassTable kClassTable{"NSStatusItem", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  double length_;
  std::shared_ptr<StatusBarButton> button_;
  std::shared_ptr<Menu> menu_;
};

class StatusBar {
 public:
  static StatusBar& systemStatusBar();

  // A new item at the end of the bar; `length` in points, or
  // VariableStatusItemLength.
  std::shared_ptr<StatusItem> statusItemWithLength(double length);

  // The items still alive, oldest first.
  [[nodiscard]] std::vector<std::shared_ptr<StatusItem>> statusItems() const;

  // Whether new items get a button (tests of a bar that gives none).
  void setGivesButtons(bool gives) { givesButtons_ = gives; }

 private:
  mutable std::vector<std::weak_ptr<StatusItem>> items_;
  bool givesButtons_ = true;
};

}  // namespace ui
