// The welcome window on screens of any size, with the real program: centred
// on the screen --screen gives, its top-left corner on a smaller screen.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/ui/png.h"
#include "tests/app_fixture.h"

namespace e2e {
namespace {

// A screen and the window's frame on it, as `windows` prints it (origin at
// the bottom left), and the rows and columns of the screen it covers.
struct Placement {
  const char* screen;
  const char* frame;
  int left, top, right, bottom;  // the covered pixels, rows counted from the top
};

class WelcomeWindowPlacement : public AppTest, public ::testing::WithParamInterface<Placement> {};

TEST_P(WelcomeWindowPlacement, IsOnTheScreenWhereItIsShown) {
  const auto& c = GetParam();
  start({"--screen", c.screen});
  app_->send("windows");
  ASSERT_TRUE(app_->waitForStderr(
      "\"Welcome to Tovelin\" frame " + std::string(c.frame) + " level 0 alpha 1 shown yes", 10s))
      << app_->stderrText();

  // What the window covers changes when it closes; the screen is composed
  // the same way both times otherwise.
  const std::string open = dir_ + "/open.png";
  const std::string closed = dir_ + "/closed.png";
  app_->send("snapshot " + open);
  ASSERT_TRUE(app_->waitForStderr("snapshot written to " + open, 10s));
  app_->send("close 2");
  app_->send("snapshot " + closed);
  ASSERT_TRUE(app_->waitForStderr("snapshot written to " + closed, 10s));
  const auto before = ui::readPng(open);
  const auto after = ui::readPng(closed);
  ASSERT_TRUE(before && after);
  size_t changed = 0;
  for (int y = c.top; y < c.bottom; ++y) {
    for (int x = c.left; x < c.right; ++x) {
      if (std::memcmp(before->at(x, y), after->at(x, y), 3) != 0) ++changed;
    }
  }
  const auto area = static_cast<size_t>(c.right - c.left) * static_cast<size_t>(c.bottom - c.top);
  EXPECT_GT(changed, area / 2) << changed << " of " << area << " pixels";
}

INSTANTIATE_TEST_SUITE_P(
    Screens, WelcomeWindowPlacement,
    ::testing::Values(Placement{"1920x1080", "(640, 340, 640, 400)", 640, 340, 1280, 740},
                      Placement{"960x540", "(160, 70, 640, 400)", 160, 70, 800, 470},
                      Placement{"640x360", "(0, -40, 640, 400)", 0, 0, 640, 360},
                      Placement{"320x180", "(0, -220, 640, 400)", 0, 0, 320, 180}),
    [](const auto& param) {
      std::string name = param.param.screen;
      name[name.find('x')] = '_';
      return "Screen" + name;
    });

}  // namespace
}  // namespace e2e
