#include "platform/console/menu_listing.h"

#include <cstdio>

#include "platform/ui/text_field.h"
#include "platform/ui/view.h"

namespace console {
namespace {

// Menus can in principle hold themselves; listings stop this deep.
constexpr int kDeepestSubmenu = 8;

void collectText(const ui::View& view, std::vector<std::string>& texts) {
  if (const auto* field = dynamic_cast<const ui::TextField*>(&view)) {
    texts.push_back(field->stringValue());
  }
  for (const auto& sub : view.subviews()) collectText(*sub, texts);
}

std::string number(size_t n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%3zu. ", n);
  return buf;
}

std::string quoted(const std::string& title) { return "\"" + escapeText(title) + "\""; }

void listInto(const ui::Menu& menu, const std::string& heading, bool withSubmenus, int depth,
              std::vector<std::string>& lines) {
  lines.push_back(heading + ":");
  if (menu.items().empty()) lines.emplace_back("       (empty)");
  size_t n = 0;
  for (const auto& item : menu.items()) lines.push_back(number(++n) + describeItem(*item));
  if (!withSubmenus || depth >= kDeepestSubmenu) return;
  for (const auto& item : menu.items()) {
    if (item->submenu()) {
      const std::string name =
          depth == 0 ? escapeText(item->title()) : heading + " > " + escapeText(item->title());
      listInto(*item->submenu(), name, true, depth + 1, lines);
    }
  }
}

}  // namespace

std::string describeItem(const ui::MenuItem& item) {
  if (item.isSeparatorItem()) return "---";
  if (item.isSectionHeader()) return "[header] " + escapeText(item.title());
  std::string line;
  if (item.view()) {
    std::vector<std::string> texts;
    collectText(*item.view(), texts);
    line = "[view]";
    for (size_t i = 0; i < texts.size(); ++i) line += (i == 0 ? " " : " | ") + escapeText(texts[i]);
    if (texts.empty()) line += " " + item.view()->className();
  } else {
    line = item.title().empty() ? std::string("\"\"") : escapeText(item.title());
  }
  if (item.submenu()) line += " >";
  if (!item.keyEquivalent().empty()) line += "  (key " + escapeText(item.keyEquivalent()) + ")";
  return line;
}

std::vector<std::string> listMenu(const ui::Menu& menu, const std::string& heading,
                                  bool withSubmenus) {
  std::vector<std::string> lines;
  listInto(menu, heading, withSubmenus, 0, lines);
  return lines;
}

base::Result<std::shared_ptr<ui::MenuItem>> findItem(const ui::Menu& menu, const ItemRef& ref,
                                                     const std::string& menuName) {
  const auto& items = menu.items();
  if (ref.position) {
    if (*ref.position <= items.size()) return items[*ref.position - 1];
    return base::fail("no item " + ref.title + " in " + menuName + " (it has " +
                      std::to_string(items.size()) + ")");
  }
  if (auto item = menu.itemWithTitle(ref.title)) return item;
  return base::fail("no item " + quoted(ref.title) + " in " + menuName);
}

base::Result<FoundMenu> followPath(const std::shared_ptr<ui::Menu>& root,
                                   const std::vector<ItemRef>& path, size_t parts) {
  FoundMenu at{root, "the status menu"};
  for (size_t i = 0; i < parts && i < path.size(); ++i) {
    auto found = findItem(*at.menu, path[i], at.name);
    if (!found) return found.error();
    if (!(*found)->submenu()) return base::fail(quoted((*found)->title()) + " has no submenu");
    at.menu = (*found)->submenu();
    at.name = quoted((*found)->title());
  }
  return at;
}

}  // namespace console
