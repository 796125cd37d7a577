#include "platform/ui/text_field.h"

#include <gtest/gtest.h>

#include "platform/ui/button.h"

namespace ui {
namespace {

std::string join(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += (out.empty() ? "" : "|") + l;
  return out;
}

struct Wrap {
  LineBreakMode mode;
  const char* text;
  double width;  // 13-point font: 6.5 points a character
  const char* lines;
};

class TextLayoutTest : public ::testing::TestWithParam<Wrap> {};

TEST_P(TextLayoutTest, LinesFitTheWidth) {
  auto label = TextField::labelWithString(GetParam().text);
  label->setLineBreakMode(GetParam().mode);
  EXPECT_EQ(join(label->layoutLines(GetParam().width)), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextLayoutTest,
    ::testing::Values(Wrap{LineBreakByWordWrapping, "Remember to keep your phone oriented", 65,
                           "Remember|to keep|your phone|oriented"},
                      Wrap{LineBreakByWordWrapping, "one two", 65, "one two"},
                      Wrap{LineBreakByWordWrapping, "abcdefghijklmnop xy", 39,
                           "abcdef|ghijkl|mnop|xy"},
                      Wrap{LineBreakByWordWrapping, "first line\nsecond", 130, "first line|second"},
                      Wrap{LineBreakByWordWrapping, "", 100, ""},
                      Wrap{LineBreakByWordWrapping, "Grüße aus Köln", 39, "Grüße|aus|Köln"},
                      Wrap{LineBreakByCharWrapping, "abcdefgh", 26, "abcd|efgh"},
                      Wrap{LineBreakByClipping, "a long line that is clipped", 65, "a long lin"}));

TEST(TextField, ALabelIsPlainTextAndAFieldIsEditable) {
  auto label = TextField::labelWithString("Hello");
  EXPECT_EQ(label->className(), "NSTextField");
  EXPECT_FALSE(label->isEditable());
  EXPECT_FALSE(label->isBordered());
  EXPECT_FALSE(label->drawsBackground());
  auto field = TextField::make(base::makeRect(0, 0, 200, 24));
  EXPECT_TRUE(field->isEditable());
  EXPECT_TRUE(field->isBordered());
  EXPECT_EQ(field->frame(), base::makeRect(0, 0, 200, 24));
  EXPECT_FALSE(field->placeholderString());
  EXPECT_EQ(field->contentCompressionResistancePriority(LayoutConstraintOrientationHorizontal),
            LayoutPriorityDefaultHigh);
  field->setContentCompressionResistancePriority(LayoutPriorityDefaultLow,
                                                 LayoutConstraintOrientationHorizontal);
  EXPECT_EQ(field->contentCompressionResistancePriority(LayoutConstraintOrientationHorizontal),
            LayoutPriorityDefaultLow);
  EXPECT_EQ(field->contentCompressionResistancePriority(LayoutConstraintOrientationVertical),
            LayoutPriorityDefaultHigh);
}

TEST(TextField, AClearLabelPaintsOnlyItsTextStripes) {
  auto label = TextField::labelWithString("ab cd");
  label->setBackgroundColor(Color::clearColor());
  label->setFrame(base::makeRect(0, 0, 60, 20));
  auto pixels = label->snapshotPixels();
  ASSERT_TRUE(pixels);
  ASSERT_EQ(pixels->width, 60);
  ASSERT_EQ(pixels->height, 20);
  // Row through the middle of the first line: "ab" at 0-13, gap, "cd" at 19.5-32.5.
  const int y = 8;
  EXPECT_GT(pixels->at(3, y)[3], 200);
  EXPECT_EQ(pixels->at(16, y)[3], 0);
  EXPECT_GT(pixels->at(25, y)[3], 200);
  EXPECT_EQ(pixels->at(45, y)[3], 0);
  EXPECT_EQ(pixels->at(3, 19)[3], 0);
}

// Counts the "openWebsite:" actions it is sent.
class Target : public base::Object {
 public:
  void openWebsite(const base::ObjectPtr& sender) { senders.push_back(sender); }
  std::vector<std::shared_ptr<base::Object>> senders;

  static const base::Action kActions[];
  static const base::ClassTable kClassTable;
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }
};
const base::Action Target::kActions[] = {base::action<&Target::openWebsite>("openWebsite:")};
const base::ClassTable Target::kClassTable{"Target", &base::Object::kClassTable, kActions};

TEST(Button, PressingSendsItsActionToItsTargetOnlyWhileItCan) {
  auto target = std::make_shared<Target>();
  auto button = Button::make("Website", target, "openWebsite:");
  EXPECT_TRUE(button->performClick(nullptr));
  ASSERT_EQ(target->senders.size(), 1U);
  EXPECT_EQ(target->senders[0], button);

  button->setEnabled(false);
  EXPECT_FALSE(button->performClick(nullptr));
  button->setEnabled(true);
  button->setAction("closeAlert:");  // the target does not answer it
  EXPECT_FALSE(button->performClick(nullptr));
  button->setAction("openWebsite:");
  target.reset();  // held weakly: gone with its owner
  EXPECT_FALSE(button->performClick(nullptr));
}

}  // namespace
}  // namespace ui
