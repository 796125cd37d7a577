#include "platform/base/object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace base {
namespace {

class Parent : public Object {
 public:
  std::vector<std::string> heard;
  std::shared_ptr<Parent> peer;
  std::weak_ptr<Object> watcher;

  void ring(const ObjectPtr& /*sender*/) { heard.emplace_back("parent ring"); }
  void knock(const ObjectPtr& sender) { heard.push_back(sender ? "knock from someone" : "knock"); }

  static const Action kActions[];
  static const Outlet kOutlets[];
  static const ClassTable kClassTable;
  [[nodiscard]] const ClassTable& classTable() const override { return kClassTable; }
};
const Action Parent::kActions[] = {action<&Parent::ring>("ring:"),
                                   action<&Parent::knock>("knock:")};
const Outlet Parent::kOutlets[] = {outlet<&Parent::peer>("peer"),
                                   outlet<&Parent::watcher>("watcher")};
const ClassTable Parent::kClassTable{"Parent", &Object::kClassTable, kActions, kOutlets};

// Answers "ring:" itself and leaves "knock:" to its parent.
class Child : public Parent {
 public:
  void ringHere(const ObjectPtr& /*sender*/) { heard.emplace_back("child ring"); }

  static const Action kActions[];
  static const ClassTable kClassTable;
  [[nodiscard]] const ClassTable& classTable() const override { return kClassTable; }
};
const Action Child::kActions[] = {action<&Child::ringHere>("ring:")};
const ClassTable Child::kClassTable{"Child", &Parent::kClassTable, kActions};

// Publishes nothing of its own: only its name.
class Quiet : public Child {
 public:
  static constexpr ClassTable kClassTable{"Quiet", &Child::kClassTable};
  [[nodiscard]] const ClassTable& classTable() const override { return kClassTable; }
};

TEST(ClassTable, ActionsAreLookedUpFromTheMostDerivedClassUp) {
  auto child = std::make_shared<Child>();
  EXPECT_TRUE(child->perform("ring:", nullptr));
  EXPECT_TRUE(child->perform("knock:", child));
  EXPECT_FALSE(child->perform("ring", nullptr));  // selectors match whole
  EXPECT_FALSE(child->perform("shout:", nullptr));
  EXPECT_EQ(child->heard, (std::vector<std::string>{"child ring", "knock from someone"}));

  auto quiet = std::make_shared<Quiet>();
  EXPECT_TRUE(quiet->perform("ring:", nullptr));
  EXPECT_EQ(quiet->heard, (std::vector<std::string>{"child ring"}));

  auto parent = std::make_shared<Parent>();
  EXPECT_TRUE(parent->perform("ring:", nullptr));
  EXPECT_EQ(parent->heard, (std::vector<std::string>{"parent ring"}));
  EXPECT_FALSE(std::make_shared<Object>()->perform("ring:", nullptr));
}

TEST(ClassTable, OutletsTakeOnlyValuesOfTheirClass) {
  auto quiet = std::make_shared<Quiet>();
  auto peer = std::make_shared<Child>();
  EXPECT_TRUE(quiet->setValueForKey("peer", peer));  // inherited from two levels up
  EXPECT_EQ(quiet->peer, peer);

  EXPECT_FALSE(quiet->setValueForKey("peer", std::make_shared<Object>()));
  EXPECT_EQ(quiet->peer, peer) << "a refused value leaves the outlet as it was";

  EXPECT_TRUE(quiet->setValueForKey("peer", nullptr));
  EXPECT_EQ(quiet->peer, nullptr);

  EXPECT_TRUE(quiet->setValueForKey("watcher", peer));
  EXPECT_EQ(quiet->watcher.lock(), peer);
  EXPECT_FALSE(quiet->setValueForKey("Peer", peer));
  EXPECT_FALSE(quiet->setValueForKey("ring:", peer)) << "actions are not outlets";
}

TEST(ClassTable, TheNameIsTheMostDerivedClasssEvenThroughABaseReference) {
  std::shared_ptr<Object> quiet = std::make_shared<Quiet>();
  EXPECT_EQ(quiet->className(), "Quiet");
  EXPECT_EQ(std::make_shared<Child>()->className(), "Child");
  EXPECT_EQ(std::make_shared<Object>()->className(), "Object");
}

}  // namespace
}  // namespace base
