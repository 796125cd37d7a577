#include <gtest/gtest.h>

#include "app/warning_item.h"
#include "platform/ui/image.h"
#include "platform/ui/layout.h"

namespace tovelin {
namespace {

struct Geometry {
  double height;
  base::Rect icon;  // bottom-left frames in the view
  base::Rect label;
};

class WarningGeometry : public ::testing::TestWithParam<Geometry> {};

TEST_P(WarningGeometry, IconAtTheTopLeftAndTheLabelBesideIt) {
  const Geometry& g = GetParam();
  auto view = WarningMenuItemView::make("Some text", ui::ImageNameInfo,
                                        base::makeRect(0, 0, 300, g.height));
  EXPECT_EQ(view->frame(), base::makeRect(0, 0, 300, g.height));
  EXPECT_EQ(view->imageView->frame(), g.icon);
  EXPECT_EQ(view->textField->frame(), g.label);
  // Measured from the top-left corner: the icon spans 10..42 both ways, the
  // label 52..W-10 across and 10..H-10 down.
  const base::Rect icon = view->imageView->frame();
  EXPECT_EQ(g.height - icon.maxY(), 10);
  EXPECT_EQ(g.height - icon.minY(), 42);
  EXPECT_EQ(view->textField->frame().width(), 238);
  EXPECT_EQ(view->textField->frame().height(), g.height - 20);
}

INSTANTIATE_TEST_SUITE_P(Frames, WarningGeometry,
                         ::testing::Values(Geometry{90, base::makeRect(10, 48, 32, 32),
                                                    base::makeRect(52, 10, 238, 70)},
                                           Geometry{60, base::makeRect(10, 18, 32, 32),
                                                    base::makeRect(52, 10, 238, 40)}));

TEST(WarningMenuItemView, HoldsTheIconAndALabelThatWraps) {
  auto view =
      WarningMenuItemView::make("Hello", ui::ImageNameCaution, base::makeRect(0, 0, 300, 90));
  ASSERT_EQ(view->subviews().size(), 2u);
  EXPECT_EQ(view->subviews()[0], view->imageView);
  EXPECT_EQ(view->subviews()[1], view->textField);
  EXPECT_EQ(view->imageView->image(), ui::Image::imageNamed(ui::ImageNameCaution));
  const auto& label = *view->textField;
  EXPECT_EQ(label.stringValue(), "Hello");
  EXPECT_FALSE(label.isEditable());
  EXPECT_FALSE(label.isBordered());
  EXPECT_EQ(label.backgroundColor(), ui::Color::clearColor());
  EXPECT_EQ(label.lineBreakMode(), ui::LineBreakByWordWrapping);
  EXPECT_EQ(label.contentCompressionResistancePriority(ui::LayoutConstraintOrientationHorizontal),
            ui::LayoutPriorityDefaultLow);
  EXPECT_FALSE(view->imageView->translatesAutoresizingMaskIntoConstraints());
  EXPECT_FALSE(label.translatesAutoresizingMaskIntoConstraints());
  EXPECT_EQ(ui::LayoutConstraint::constraintsInvolving(view).size(), 8u);
}

TEST(WarningMenuItemView, ALongTextWrapsInsteadOfWideningTheView) {
  const std::string text(2000, 'w');
  auto view = WarningMenuItemView::make(text + " " + text, ui::ImageNameInfo,
                                        base::makeRect(0, 0, 300, 60));
  EXPECT_EQ(view->frame().width(), 300);
  EXPECT_EQ(view->textField->frame().width(), 238);
  EXPECT_GT(view->textField->layoutLines(238).size(), 1u);
}

TEST(WarningMenuItemView, AnEmptyTextAndAnUnknownImageLeaveEmptyPlaces) {
  auto view = WarningMenuItemView::make("", "NoSuchImage", base::makeRect(0, 0, 300, 60));
  EXPECT_EQ(view->textField->stringValue(), "");
  ASSERT_NE(view->imageView, nullptr);
  EXPECT_EQ(view->imageView->image(), nullptr);
  EXPECT_EQ(view->imageView->frame(), base::makeRect(10, 18, 32, 32));
}

TEST(WarningMenuItemViewDeathTest, TheUnsupportedInitializersStopTheProgram) {
  EXPECT_DEATH({ WarningMenuItemView view{base::Coder()}; },
               "Fatal error: init\\(coder:\\) has not been implemented");
  EXPECT_DEATH({ WarningMenuItemView view{base::makeRect(0, 0, 10, 10)}; },
               "unimplemented initializer 'init\\(frame:\\)' for class 'WarningMenuItemView'");
}

}  // namespace
}  // namespace tovelin
