#include <gtest/gtest.h>

#include "platform/console/command.h"
#include "platform/console/menu_listing.h"
#include "platform/ui/menu.h"
#include "platform/ui/menu_item.h"
#include "platform/ui/text_field.h"

namespace console {
namespace {

using Kind = Command::Kind;

struct GoodLine {
  const char* line;
  Kind kind;
  std::vector<ItemRef> path;
  size_t window;
  std::string text;
  double seconds;
};

class ParseGood : public ::testing::TestWithParam<GoodLine> {};

TEST_P(ParseGood, ReadsTheCommand) {
  const GoodLine& g = GetParam();
  auto parsed = parseCommand(g.line);
  ASSERT_TRUE(parsed) << g.line << ": " << parsed.error().message;
  ASSERT_TRUE(*parsed) << g.line;
  const Command& command = **parsed;
  EXPECT_EQ(command.kind, g.kind);
  EXPECT_EQ(command.path, g.path);
  EXPECT_EQ(command.window, g.window);
  EXPECT_EQ(command.text, g.text);
  EXPECT_DOUBLE_EQ(command.seconds, g.seconds);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseGood,
    ::testing::Values(
        GoodLine{"menu", Kind::menu, {}, 0, "", 0},
        GoodLine{"  click \r", Kind::click, {}, 0, "", 0},
        GoodLine{"open Connect", Kind::open, {{"Connect", {}}}, 0, "", 0},
        GoodLine{"choose Lady Bug", Kind::choose, {{"Lady Bug", {}}}, 0, "", 0},
        GoodLine{"choose Connect > Simulated Phone",
                 Kind::choose,
                 {{"Connect", {}}, {"Simulated Phone", {}}},
                 0,
                 "",
                 0},
        GoodLine{"choose Connect >  #3 ", Kind::choose, {{"Connect", {}}, {"#3", 3}}, 0, "", 0},
        // Only " > " separates: a title may hold '>' itself.
        GoodLine{"choose a>b", Kind::choose, {{"a>b", {}}}, 0, "", 0},
        GoodLine{"choose #0", Kind::choose, {{"#0", {}}}, 0, "", 0},
        GoodLine{"windows", Kind::windows, {}, 0, "", 0},
        GoodLine{"close 2", Kind::close, {}, 2, "", 0},
        GoodLine{"press 1 Start Now", Kind::press, {}, 1, "Start Now", 0},
        GoodLine{"snapshot /tmp/a b.png", Kind::snapshot, {}, 0, "/tmp/a b.png", 0},
        GoodLine{"bluetooth off", Kind::bluetooth, {}, 0, "off", 0},
        GoodLine{"wait 2", Kind::wait, {}, 0, "", 2},
        GoodLine{"wait 0.25", Kind::wait, {}, 0, "", 0.25},
        GoodLine{"wait .5", Kind::wait, {}, 0, "", 0.5},
        GoodLine{"quit", Kind::quit, {}, 0, "", 0}));

struct BadLine {
  const char* line;
  const char* error;  // a part of the error text
};

class ParseBad : public ::testing::TestWithParam<BadLine> {};

TEST_P(ParseBad, GivesOneErrorLine) {
  auto parsed = parseCommand(GetParam().line);
  ASSERT_FALSE(parsed) << GetParam().line;
  const std::string& error = parsed.error().message;
  EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseBad,
    ::testing::Values(BadLine{"frobnicate", "unknown command \"frobnicate\""},
                      BadLine{"Menu", "unknown command"}, BadLine{"menu now", "no argument"},
                      BadLine{"open", "usage: open"}, BadLine{"choose Connect > ", "empty title"},
                      BadLine{"choose  > Phone", "empty title"}, BadLine{"close", "usage: close N"},
                      BadLine{"close 0", "usage: close N"}, BadLine{"close x", "usage"},
                      BadLine{"close 1 2", "usage"}, BadLine{"press 1", "usage: press N TITLE"},
                      BadLine{"snapshot", "usage: snapshot"}, BadLine{"bluetooth", "usage"},
                      BadLine{"bluetooth on off", "usage"}, BadLine{"wait", "usage: wait"},
                      BadLine{"wait -1", "usage"}, BadLine{"wait 1e3", "usage"},
                      BadLine{"wait 1.2.3", "usage"}, BadLine{"wait .", "usage"},
                      BadLine{"wait 100000", "at most"}, BadLine{"\x1b[31mx", "\\x1b[31mx"}));

TEST(Parse, BlankLinesAreNothing) {
  for (const char* line : {"", "   ", "\r", "\t"}) {
    auto parsed = parseCommand(line);
    ASSERT_TRUE(parsed) << parsed.error().message;
    EXPECT_FALSE(*parsed);
  }
}

TEST(AlertAnswer, Readings) {
  using A = AlertAnswer;
  EXPECT_EQ(readAlertAnswer("OK: 1234"), (std::vector<A>{{"OK", "1234"}, {"OK: 1234", {}}}));
  EXPECT_EQ(readAlertAnswer("OK:"), (std::vector<A>{{"OK", ""}, {"OK:", {}}}));
  EXPECT_EQ(readAlertAnswer("OK:  two spaces "),
            (std::vector<A>{{"OK", " two spaces"}, {"OK:  two spaces", {}}}));
  // Spaces around the line are no part of the text; spaces inside it are.
  EXPECT_EQ(readAlertAnswer(" OK: 1234 "), (std::vector<A>{{"OK", "1234"}, {"OK: 1234", {}}}));
  EXPECT_EQ(readAlertAnswer("\tOK: 12 34\t \r"),
            (std::vector<A>{{"OK", "12 34"}, {"OK: 12 34", {}}}));
  EXPECT_EQ(readAlertAnswer("OK:   "), (std::vector<A>{{"OK", ""}, {"OK:", {}}}));
  EXPECT_EQ(readAlertAnswer("Cancel\r"), (std::vector<A>{{"Cancel", {}}}));
  // A colon inside a word does not split: "Re:try" is a title.
  EXPECT_EQ(readAlertAnswer("Re:try"), (std::vector<A>{{"Re:try", {}}}));
  EXPECT_EQ(readAlertAnswer("OK: a: b"), (std::vector<A>{{"OK", "a: b"}, {"OK: a: b", {}}}));
}

TEST(EscapeText, KeepsEachEntryOnOneLine) {
  EXPECT_EQ(escapeText("a\nb\tc\x01\x7f"
                       "d"),
            "a\\nb\\tc\\x01\\x7fd");
  EXPECT_EQ(escapeText("Grüße"), "Grüße");
}

TEST(MenuListing, EveryKindOfEntry) {
  auto menu = ui::Menu::make();
  auto view = std::make_shared<ui::View>();
  view->addSubview(ui::TextField::labelWithString("line one\nline two"));
  auto viewItem = ui::MenuItem::make();
  viewItem->setView(view);
  menu->addItem(viewItem);
  auto sub = ui::Menu::make();
  sub->addItem(ui::MenuItem::make("Inner", "go:", ""));
  auto deeper = ui::Menu::make();
  auto more = ui::MenuItem::make("More", std::nullopt, "");
  more->setSubmenu(deeper);
  sub->addItem(more);
  auto parent = ui::MenuItem::make("Parent", std::nullopt, "");
  parent->setSubmenu(sub);
  menu->addItem(parent);
  menu->addItem(ui::MenuItem::sectionHeader("Header"));
  menu->addItem(ui::MenuItem::make("Keyed", "go:", "U"));
  menu->addItem(ui::MenuItem::separatorItem());
  menu->addItem(ui::MenuItem::make("", "go:", ""));
  menu->addItem(ui::MenuItem::make("Evil\nName", "go:", ""));

  const std::vector<std::string> expected{
      "Status menu:",
      "  1. [view] line one\\nline two",
      "  2. Parent >",
      "  3. [header] Header",
      "  4. Keyed  (key U)",
      "  5. ---",
      "  6. \"\"",
      "  7. Evil\\nName",
      "Parent:",
      "  1. Inner",
      "  2. More >",
      "Parent > More:",
      "       (empty)",
  };
  EXPECT_EQ(listMenu(*menu, "Status menu", true), expected);
  EXPECT_EQ(listMenu(*sub, "Parent", false).size(), 3u);
}

TEST(MenuListing, FindsItemsByTitleAndPosition) {
  auto menu = ui::Menu::make();
  auto sub = ui::Menu::make();
  auto twin1 = ui::MenuItem::make("Twin", "a:", "");
  auto twin2 = ui::MenuItem::make("Twin", "b:", "");
  sub->addItem(twin1);
  sub->addItem(twin2);
  auto parent = ui::MenuItem::make("Connect", std::nullopt, "");
  parent->setSubmenu(sub);
  menu->addItem(parent);
  menu->addItem(ui::MenuItem::make("Quit", "quit:", "q"));

  std::vector<ItemRef> path{{"Connect", {}}, {"#2", 2}};
  auto found = followPath(menu, path, 1);
  ASSERT_TRUE(found) << found.error().message;
  ASSERT_EQ(found->menu, sub);
  EXPECT_EQ(*findItem(*found->menu, path[1], found->name), twin2);
  EXPECT_EQ(*findItem(*sub, ItemRef{"Twin", {}}, "x"), twin1);
  EXPECT_EQ(findItem(*sub, ItemRef{"#3", 3}, "\"Connect\"").error().message,
            "no item #3 in \"Connect\" (it has 2)");
  EXPECT_EQ(followPath(menu, {{"Quit", {}}}, 1).error().message, "\"Quit\" has no submenu");
  EXPECT_EQ(followPath(menu, {{"Nope", {}}}, 1).error().message,
            "no item \"Nope\" in the status menu");
}

}  // namespace
}  // namespace console
