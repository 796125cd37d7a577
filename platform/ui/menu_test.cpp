#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/menu.h"
#include "platform/ui/menu_item.h"
#include "platform/ui/status_bar.h"

namespace {

// Writes down every action it is sent, and answers only the actions it knows.
class Recorder : public base::Object {
 public:
  std::vector<std::pair<std::string, std::shared_ptr<base::Object>>> received;
  void go(const base::ObjectPtr& sender) { received.emplace_back("go:", sender); }
  void click(const base::ObjectPtr& sender) { received.emplace_back("click:", sender); }

  static const base::Action kActions[];
  static const base::ClassTable kClassTable;
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }
};
const base::Action Recorder::kActions[] = {base::action<&Recorder::go>("go:"),
                                           base::action<&Recorder::click>("click:")};
const base::ClassTable Recorder::kClassTable{"Recorder", &base::Object::kClassTable, kActions};

class OpenRecorder : public ui::MenuDelegate {
 public:
  std::vector<std::shared_ptr<ui::Menu>> opened;
  void menuWillOpen(const std::shared_ptr<ui::Menu>& menu) override { opened.push_back(menu); }
};

TEST(MenuItem, ChoosingSendsTheActionToTheTargetWithTheItemAsSender) {
  auto target = std::make_shared<Recorder>();
  auto item = ui::MenuItem::make("Go", "go:", "g");
  item->setTarget(target);
  EXPECT_TRUE(item->performAction());
  ASSERT_EQ(target->received.size(), 1u);
  EXPECT_EQ(target->received[0].first, "go:");
  EXPECT_EQ(target->received[0].second, item);
}

struct NoSendCase {
  const char* name;
  std::optional<std::string> action;
  bool withTarget;
};

class MenuItemNoSend : public ::testing::TestWithParam<NoSendCase> {};

TEST_P(MenuItemNoSend, NothingIsSent) {
  auto target = std::make_shared<Recorder>();
  auto item = ui::MenuItem::make("Item", GetParam().action, "");
  if (GetParam().withTarget) item->setTarget(target);
  EXPECT_FALSE(item->performAction());
  EXPECT_TRUE(target->received.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, MenuItemNoSend,
                         ::testing::Values(NoSendCase{"noAction", std::nullopt, true},
                                           NoSendCase{"noTarget", "go:", false},
                                           NoSendCase{"unknownAction", "other:", true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(MenuItem, HoldsItsTargetWeaklyAndItsRepresentedObjectStrongly) {
  auto item = ui::MenuItem::make("Go", "go:", "");
  std::weak_ptr<Recorder> weakTarget;
  std::weak_ptr<base::Object> weakObject;
  {
    auto target = std::make_shared<Recorder>();
    auto object = std::make_shared<base::Object>();
    weakTarget = target;
    weakObject = object;
    item->setTarget(target);
    item->setRepresentedObject(object);
  }
  EXPECT_TRUE(weakTarget.expired());
  EXPECT_FALSE(item->performAction());
  EXPECT_FALSE(weakObject.expired());
  EXPECT_EQ(item->representedObject(), weakObject.lock());
}

TEST(Menu, KeepsItemsInOrderAndFindsThemByTitle) {
  auto menu = ui::Menu::make();
  auto a = ui::MenuItem::make("A", std::nullopt, "");
  auto b1 = ui::MenuItem::make("B", std::nullopt, "");
  auto b2 = ui::MenuItem::make("B", std::nullopt, "");
  menu->addItem(a);
  menu->addItem(ui::MenuItem::separatorItem());
  menu->addItem(b1);
  menu->addItem(b2);
  ASSERT_EQ(menu->numberOfItems(), 4u);
  EXPECT_EQ(menu->items()[0], a);
  EXPECT_EQ(menu->itemWithTitle("B"), b1);
  EXPECT_EQ(menu->itemWithTitle("C"), nullptr);
  // A separator has an empty title but is not an item one can pick by name.
  EXPECT_EQ(menu->itemWithTitle(""), nullptr);
  menu->removeAllItems();
  EXPECT_TRUE(menu->items().empty());
}

TEST(Menu, OpeningTellsTheDelegateWhichIsHeldWeakly) {
  auto menu = ui::Menu::make();
  auto delegate = std::make_shared<OpenRecorder>();
  menu->setDelegate(delegate);
  menu->willOpen();
  ASSERT_EQ(delegate->opened.size(), 1u);
  EXPECT_EQ(delegate->opened[0], menu);
  delegate->opened.clear();
  delegate.reset();
  EXPECT_EQ(menu->delegate(), nullptr);
  menu->willOpen();  // no delegate left: nothing to call
}

TEST(StatusBar, ItemsLiveAsLongAsTheirOwnersKeepThem) {
  auto& bar = ui::StatusBar::systemStatusBar();
  const size_t before = bar.statusItems().size();
  auto item = bar.statusItemWithLength(ui::VariableStatusItemLength);
  EXPECT_EQ(item->length(), -1);
  ASSERT_EQ(bar.statusItems().size(), before + 1);
  EXPECT_EQ(bar.statusItems().back(), item);
  item.reset();
  EXPECT_EQ(bar.statusItems().size(), before);
}

TEST(StatusBar, ButtonClickSendsItsActionWithTheButtonAsSender) {
  auto item = ui::StatusBar::systemStatusBar().statusItemWithLength(ui::VariableStatusItemLength);
  ASSERT_NE(item->button(), nullptr);
  auto target = std::make_shared<Recorder>();
  EXPECT_FALSE(item->button()->performClick(nullptr));  // no action yet
  item->button()->setAction("click:");
  item->button()->setTarget(target);
  EXPECT_TRUE(item->button()->performClick(nullptr));
  ASSERT_EQ(target->received.size(), 1u);
  EXPECT_EQ(target->received[0].second, item->button());
}

TEST(StatusBar, ABarThatGivesNoButtons) {
  auto& bar = ui::StatusBar::systemStatusBar();
  bar.setGivesButtons(false);
  auto item = bar.statusItemWithLength(20);
  bar.setGivesButtons(true);
  EXPECT_EQ(item->button(), nullptr);
  EXPECT_NE(bar.statusItemWithLength(20)->button(), nullptr);
}

}  // namespace
