// One entry of a menu: a titled command, a separator, a section header, or a
// custom view.
//
// A command item carries its action as selector text ("menuOption1Selected:")
// and a target held weakly; choosing it sends the action to the target with
// the item as sender. An item may also carry a submenu, a represented object
// (the thing the item stands for, held strongly) and a key equivalent, shown
// with the platform's default modifier.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/base/object.h"

namespace ui {

class Menu;
class View;

class MenuItem : public base::Object {
 public:
  enum class Kind { command, separator, sectionHeader };

  // initWithTitle:action:keyEquivalent: ("" for no key equivalent).
  static std::shared_ptr<MenuItem> make(std::string title, std::optional<std::string> action,
                                        std::string keyEquivalent);
  // Plain init: no title, no action, no key (an item for a custom view).
  static std::shared_ptr<MenuItem> make();
  static std::shared_ptr<MenuItem> separatorItem();
  static std::shared_ptr<MenuItem> sectionHeader(std::string title);

  MenuItem(Kind kind, std::string title, std::optional<std::string> action,
           std::string keyEquivalent);

  [[nodiscard]] const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  [[nodiscard]] const std::optional<std::string>& action() const { return action_; }
  void setAction(std::optional<std::string> action) { action_ = std::move(action); }
  [[nodiscard]] const std::string& keyEquivalent() const { return keyEquivalent_; }

  [[nodiscard]] std::shared_ptr<base::Object> target() const { return target_.lock(); }
  void setTarget(const std::shared_ptr<base::Object>& target) { target_ = target; }

  [[nodiscard]] const std::shared_ptr<base::Object>& representedObject() const {
    return representedObject_;
  }
  void setRepresentedObject(std::shared_ptr<base::Object> object) {
    representedObject_ = std::move(object);
  }

  [[nodiscard]] const std::shared_ptr<Menu>& submenu() const { return submenu_; }
  void setSubmenu(std::shared_ptr<Menu> menu) { submenu_ = std::move(menu); }

  [[nodiscard]] const std::shared_ptr<View>& view() const { return view_; }
  void setView(std::shared_ptr<View> view) { view_ = std::move(view); }

  [[nodiscard]] bool isSeparatorItem() const { return kind_ == Kind::separator; }
  [[nodiscard]] bool isSectionHeader() const { return kind_ == Kind::sectionHeader; }

  // Choosing the item: sends its action to its target with the item as
  // sender. Returns true when a target took the action; an item without an
  // action, without a live target, or whose target does not know the action,
  // does nothing and returns false.
  bool performAction();

  static constexpr base::ClassTable kClassTable{"NSMenuItem", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  Kind kind_;
  std::string title_;
  std::optional<std::string> action_;
  std::string keyEquivalent_;
  std::weak_ptr<base::Object> target_;
  std::shared_ptr<base::Object> representedObject_;
  std::shared_ptr<Menu> submenu_;
  std::shared_ptr<View> view_;
};

}  // namespace ui
