// Menus as the console prints them, and finding the item a command names.
//
// One entry a line, numbered from 1 within each menu:
//     Status menu:
//       1. [view] Remember to keep your phone oriented in the direction of your laptop
//       2. Connect >
//       3. [header] Appearance Settings
//       4. Inverted Dots  (key 1)
//       8. ---
// then each submenu under its own heading ("Connect:", "Connect > More:").
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/base/result.h"
#include "platform/console/command.h"
#include "platform/ui/menu.h"
#include "platform/ui/menu_item.h"

namespace console {

// The entry line of one item, without its number.
std::string describeItem(const ui::MenuItem& item);

// `menu` under `heading`, followed by its submenus when `withSubmenus`.
std::vector<std::string> listMenu(const ui::Menu& menu, const std::string& heading,
                                  bool withSubmenus);

// The item `ref` names in `menu` (called `menuName` in the error text).
base::Result<std::shared_ptr<ui::MenuItem>> findItem(const ui::Menu& menu, const ItemRef& ref,
                                                     const std::string& menuName);

// A menu reached through submenus, and its name as error texts spell it.
struct FoundMenu {
  std::shared_ptr<ui::Menu> menu;
  std::string name;
};

// Follows the first `parts` parts of `path` through submenus from `root`.
base::Result<FoundMenu> followPath(const std::shared_ptr<ui::Menu>& root,
                                   const std::vector<ItemRef>& path, size_t parts);

}  // namespace console
