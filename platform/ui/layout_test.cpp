#include <gtest/gtest.h>

#include "platform/ui/layout.h"
#include "platform/ui/view.h"

namespace {

using base::makeRect;

std::shared_ptr<ui::View> constrained(base::Rect frame = {}) {
  auto view = std::make_shared<ui::View>(frame);
  view->setTranslatesAutoresizingMaskIntoConstraints(false);
  return view;
}

// An icon pinned at the top left and a label filling the rest, with margins.
struct IconAndLabel {
  std::shared_ptr<ui::View> root, icon, label;
};

IconAndLabel iconAndLabel(double width, double height) {
  IconAndLabel v{std::make_shared<ui::View>(makeRect(0, 0, width, height)), constrained(),
                 constrained()};
  v.root->addSubview(v.icon);
  v.root->addSubview(v.label);
  ui::LayoutConstraint::activateConstraints({
      ui::leadingAnchor(v.icon).constraintEqualToAnchor(ui::leadingAnchor(v.root), 10),
      ui::topAnchor(v.icon).constraintEqualToAnchor(ui::topAnchor(v.root), 10),
      ui::widthAnchor(v.icon).constraintEqualToConstant(32),
      ui::heightAnchor(v.icon).constraintEqualToConstant(32),
      ui::leadingAnchor(v.label).constraintEqualToAnchor(ui::trailingAnchor(v.icon), 10),
      ui::trailingAnchor(v.label).constraintEqualToAnchor(ui::trailingAnchor(v.root), -10),
      ui::topAnchor(v.label).constraintEqualToAnchor(ui::topAnchor(v.root), 10),
      ui::bottomAnchor(v.label).constraintEqualToAnchor(ui::bottomAnchor(v.root), -10),
  });
  return v;
}

struct Geometry {
  double width, height;
  base::Rect icon, label;  // bottom-left frames in the root
};

class IconAndLabelLayout : public ::testing::TestWithParam<Geometry> {};

TEST_P(IconAndLabelLayout, FramesFollowTheConstraints) {
  const Geometry& g = GetParam();
  auto v = iconAndLabel(g.width, g.height);
  EXPECT_EQ(v.icon->frame(), g.icon);
  EXPECT_EQ(v.label->frame(), g.label);
  EXPECT_EQ(v.root->frame(), makeRect(0, 0, g.width, g.height));  // the reference keeps its frame
}

INSTANTIATE_TEST_SUITE_P(Sizes, IconAndLabelLayout,
                         ::testing::Values(
                             // The icon's top edge 10 below the top: y = H - 42 from the bottom.
                             Geometry{300, 90, makeRect(10, 48, 32, 32), makeRect(52, 10, 238, 70)},
                             Geometry{300, 60, makeRect(10, 18, 32, 32), makeRect(52, 10, 238, 40)},
                             Geometry{100, 40, makeRect(10, -2, 32, 32),
                                      makeRect(52, 10, 38, 20)}));

TEST(Layout, RelayoutFollowsANewReferenceFrame) {
  auto v = iconAndLabel(300, 90);
  v.root->setFrame(makeRect(5, 5, 400, 60));
  ui::layoutSubtreeIfNeeded(v.root);
  EXPECT_EQ(v.icon->frame(), makeRect(10, 18, 32, 32));
  EXPECT_EQ(v.label->frame(), makeRect(52, 10, 338, 40));
}

TEST(Layout, ConstraintsAreKeptWhileTheirViewsLive) {
  auto v = iconAndLabel(300, 90);
  EXPECT_EQ(ui::LayoutConstraint::constraintsInvolving(v.root).size(), 8u);
  EXPECT_EQ(ui::LayoutConstraint::constraintsInvolving(v.icon).size(), 5u);
  std::weak_ptr<ui::View> icon = v.icon;
  v.root.reset();
  v.icon.reset();
  v.label.reset();
  EXPECT_TRUE(icon.expired());  // constraints do not keep views alive
}

TEST(Layout, AFixedFrameSubviewIsAReferenceToo) {
  auto root = std::make_shared<ui::View>(makeRect(0, 0, 200, 100));
  auto fixed = std::make_shared<ui::View>(makeRect(20, 30, 50, 40));
  auto follower = constrained(makeRect(0, 0, 7, 7));
  root->addSubview(fixed);
  root->addSubview(follower);
  ui::LayoutConstraint::activateConstraints({
      ui::leadingAnchor(follower).constraintEqualToAnchor(ui::trailingAnchor(fixed), 5),
      ui::topAnchor(follower).constraintEqualToAnchor(ui::bottomAnchor(fixed), 0),
      ui::widthAnchor(follower).constraintEqualToAnchor(ui::widthAnchor(fixed), 10),
      ui::heightAnchor(follower).constraintEqualToConstant(10),
  });
  EXPECT_EQ(fixed->frame(), makeRect(20, 30, 50, 40));
  // fixed spans y 30..70; the follower's top is fixed's bottom edge (y 30).
  EXPECT_EQ(follower->frame(), makeRect(75, 20, 60, 10));
}

TEST(Layout, WhatTheConstraintsLeaveOpenKeepsTheFrame) {
  auto root = std::make_shared<ui::View>(makeRect(0, 0, 200, 100));
  auto view = constrained(makeRect(3, 4, 50, 60));
  root->addSubview(view);
  ui::LayoutConstraint::activateConstraints(
      {ui::leadingAnchor(view).constraintEqualToAnchor(ui::leadingAnchor(root), 10)});
  EXPECT_EQ(view->frame(), makeRect(10, 4, 50, 60));
}

TEST(Layout, AContradictionIsReportedAndLeftOut) {
  auto root = std::make_shared<ui::View>(makeRect(0, 0, 200, 100));
  auto view = constrained();
  root->addSubview(view);
  ::testing::internal::CaptureStderr();
  ui::LayoutConstraint::activateConstraints({
      ui::leadingAnchor(view).constraintEqualToAnchor(ui::leadingAnchor(root), 10),
      ui::widthAnchor(view).constraintEqualToConstant(30),
      ui::trailingAnchor(view).constraintEqualToAnchor(ui::trailingAnchor(root), -10),
      ui::topAnchor(view).constraintEqualToAnchor(ui::topAnchor(root)),
      ui::heightAnchor(view).constraintEqualToConstant(20),
  });
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("unable to satisfy"), std::string::npos) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
  // Whichever constraint loses, the view gets a definite, finite frame.
  EXPECT_EQ(view->frame().minY(), 80);
  EXPECT_EQ(view->frame().height(), 20);
}

TEST(Layout, NestedConstrainedViews) {
  auto root = std::make_shared<ui::View>(makeRect(0, 0, 100, 100));
  auto outer = constrained();
  auto inner = constrained();
  root->addSubview(outer);
  outer->addSubview(inner);
  auto pin = [](const std::shared_ptr<ui::View>& v, const std::shared_ptr<ui::View>& to,
                double inset) {
    return std::vector<std::shared_ptr<ui::LayoutConstraint>>{
        ui::leadingAnchor(v).constraintEqualToAnchor(ui::leadingAnchor(to), inset),
        ui::trailingAnchor(v).constraintEqualToAnchor(ui::trailingAnchor(to), -inset),
        ui::topAnchor(v).constraintEqualToAnchor(ui::topAnchor(to), inset),
        ui::bottomAnchor(v).constraintEqualToAnchor(ui::bottomAnchor(to), -2 * inset)};
  };
  auto all = pin(outer, root, 10);
  auto innerPins = pin(inner, outer, 5);
  all.insert(all.end(), innerPins.begin(), innerPins.end());
  ui::LayoutConstraint::activateConstraints(all);
  EXPECT_EQ(outer->frame(), makeRect(10, 20, 80, 70));
  EXPECT_EQ(inner->frame(), makeRect(5, 10, 70, 55));  // in outer's coordinates
}

TEST(LayoutDeathTest, TyingViewsOfDifferentTreesStops) {
  auto a = constrained();
  auto b = constrained();
  EXPECT_DEATH(ui::LayoutConstraint::activateConstraints(
                   {ui::leadingAnchor(a).constraintEqualToAnchor(ui::leadingAnchor(b))}),
               "no common ancestor");
}

}  // namespace
