#include "platform/ui/compositor.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <set>

#include "platform/base/options.h"
#include "platform/ui/png.h"
#include "platform/ui/window.h"

namespace ui {
namespace {

using Rgba = std::array<uint8_t, 4>;

// A view that shows one colour all over, as a drawing view's last frame would.
class SolidView : public View {
 public:
  SolidView(base::Rect frame, Rgba colour) : View(frame), colour_(colour) {}
  std::optional<Pixels> snapshotPixels() override {
    Pixels p;
    p.width = static_cast<int>(frame().width());
    p.height = static_cast<int>(frame().height());
    for (int i = 0; i < p.width * p.height; ++i)
      p.rgba.insert(p.rgba.end(), colour_.begin(), colour_.end());
    return p;
  }

 private:
  Rgba colour_;
};

class FlippedView : public View {
 public:
  using View::View;
  [[nodiscard]] bool isFlipped() const override { return true; }
};

constexpr int kW = 200;
constexpr int kH = 100;

Rgba pixel(const Pixels& p, int x, int y) {
  const uint8_t* q = p.at(x, y);
  return {q[0], q[1], q[2], q[3]};
}

// A shown window at (20, 10) sized 60 x 40: screen rows 50 to 89, columns 20 to 79.
std::shared_ptr<Window> windowWith(const std::shared_ptr<View>& content, long level = 0) {
  auto w = Window::make(base::makeRect(20, 10, 60, 40));
  w->setBackgroundColor(Color::clearColor());
  w->setContentView(content);
  w->setLevel(level);
  w->makeKeyAndOrderFront(nullptr);
  return w;
}

struct BlendCase {
  const char* name;
  std::optional<std::string> filter;
  double windowAlpha;
  uint8_t pixelAlpha;
};

class BlendTest : public ::testing::TestWithParam<BlendCase> {};

TEST_P(BlendTest, EachFilterFollowsTheBlendRule) {
  const auto& c = GetParam();
  const Rgba source{200, 40, 120, c.pixelAlpha};
  auto view = std::make_shared<SolidView>(base::makeRect(0, 0, 60, 40), source);
  view->setWantsLayer(true);
  view->layer()->setCompositingFilter(c.filter);
  auto window = windowWith(view);
  window->setAlphaValue(c.windowAlpha);

  const Pixels backdrop = Compositor::desktopBackdrop(kW, kH);
  const Pixels screen = Compositor::compose({window}, kW, kH);
  const double as = source[3] / 255.0 * c.windowAlpha;
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{{20, 50}, {50, 70}, {79, 89}}) {
    const Rgba cb = pixel(backdrop, x, y);
    const Rgba got = pixel(screen, x, y);
    for (size_t k = 0; k < 3; ++k) {
      const double b = cb[k] / 255.0;
      const double s = source[k] / 255.0;
      const std::string filter = c.filter.value_or("");
      const double mixed = filter == "differenceBlendMode" ? std::fabs(b - s)
                           : filter == "multiplyBlendMode" ? b * s
                                                           : s;
      const double expected = ((1 - as) * b + as * mixed) * 255.0;
      EXPECT_NEAR(got[k], expected, 1.0) << "channel " << k << " at " << x << "," << y;
    }
    EXPECT_EQ(got[3], 255);
  }
  // Just outside the window the desktop is untouched.
  for (const auto& [x, y] :
       std::vector<std::pair<int, int>>{{19, 60}, {80, 60}, {50, 49}, {50, 90}}) {
    EXPECT_EQ(pixel(screen, x, y), pixel(backdrop, x, y)) << x << "," << y;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Filters, BlendTest,
    ::testing::Values(BlendCase{"Normal", std::nullopt, 1.0, 255},
                      BlendCase{"NormalHalfAlphaWindow", std::nullopt, 0.5, 255},
                      BlendCase{"NormalHalfCoverage", std::nullopt, 1.0, 128},
                      BlendCase{"Difference", "differenceBlendMode", 1.0, 255},
                      BlendCase{"DifferenceHalfCoverageAndAlpha", "differenceBlendMode", 0.8, 128},
                      BlendCase{"Multiply", "multiplyBlendMode", 1.0, 255},
                      BlendCase{"MultiplyLadyBugPreset", "multiplyBlendMode", 0.8, 255},
                      BlendCase{"UnknownFilterIsNormal", "screenBlendMode", 1.0, 255}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Compositor, TransparentPixelsLeaveTheDesktopUnderEveryFilter) {
  const Pixels backdrop = Compositor::desktopBackdrop(kW, kH);
  for (const char* filter : {"differenceBlendMode", "multiplyBlendMode"}) {
    auto view = std::make_shared<SolidView>(base::makeRect(0, 0, 60, 40), Rgba{0, 0, 0, 0});
    view->setWantsLayer(true);
    view->layer()->setCompositingFilter(std::string(filter));
    auto window = windowWith(view);
    const Pixels screen = Compositor::compose({window}, kW, kH);
    EXPECT_EQ(screen.rgba, backdrop.rgba) << filter;
  }
}

TEST(Compositor, DifferenceWithWhiteInvertsTheDesktop) {
  auto view = std::make_shared<SolidView>(base::makeRect(0, 0, 60, 40), Rgba{255, 255, 255, 255});
  view->setWantsLayer(true);
  view->layer()->setCompositingFilter(std::string("differenceBlendMode"));
  auto window = windowWith(view);
  const Pixels backdrop = Compositor::desktopBackdrop(kW, kH);
  const Pixels screen = Compositor::compose({window}, kW, kH);
  const Rgba below = pixel(backdrop, 40, 60);
  EXPECT_EQ(pixel(screen, 40, 60),
            (Rgba{static_cast<uint8_t>(255 - below[0]), static_cast<uint8_t>(255 - below[1]),
                  static_cast<uint8_t>(255 - below[2]), 255}));
}

TEST(Compositor, HigherLevelsAndThenLaterOrderingAreOnTop) {
  const Rgba red{255, 0, 0, 255};
  const Rgba green{0, 255, 0, 255};
  auto a = windowWith(std::make_shared<SolidView>(base::makeRect(0, 0, 60, 40), red));
  auto b = windowWith(std::make_shared<SolidView>(base::makeRect(0, 0, 60, 40), green));
  // Windows are passed in list order; ordering decides, not the list.
  EXPECT_EQ(pixel(Compositor::compose({a, b}, kW, kH), 50, 70), green);
  a->makeKeyAndOrderFront(nullptr);
  EXPECT_EQ(pixel(Compositor::compose({a, b}, kW, kH), 50, 70), red);
  b->setLevel(shieldingWindowLevel() + 1);
  EXPECT_EQ(pixel(Compositor::compose({a, b}, kW, kH), 50, 70), green);
  b->orderOut(nullptr);
  EXPECT_EQ(pixel(Compositor::compose({a, b}, kW, kH), 50, 70), red);
  a->orderOut(nullptr);
  EXPECT_EQ(pixel(Compositor::compose({a, b}, kW, kH), 50, 70),
            pixel(Compositor::desktopBackdrop(kW, kH), 50, 70));
}

TEST(Compositor, BackgroundUnderContentAndSubviewsFromTheBottomLeft) {
  auto content = std::make_shared<View>(base::makeRect(0, 0, 60, 40));
  auto corner = std::make_shared<SolidView>(base::makeRect(0, 0, 10, 10), Rgba{0, 0, 255, 255});
  auto hidden = std::make_shared<SolidView>(base::makeRect(30, 0, 10, 10), Rgba{0, 0, 0, 255});
  hidden->setHidden(true);
  content->addSubview(corner);
  content->addSubview(hidden);
  auto window = windowWith(content);
  window->setBackgroundColor(Color{1, 1, 0, 1});
  const Pixels screen = Compositor::compose({window}, kW, kH);
  // The window spans rows 50-89: its bottom-left corner is column 20, row 89.
  EXPECT_EQ(pixel(screen, 20, 89), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(pixel(screen, 29, 80), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(pixel(screen, 30, 89), (Rgba{255, 255, 0, 255}));
  EXPECT_EQ(pixel(screen, 20, 79), (Rgba{255, 255, 0, 255}));
  EXPECT_EQ(pixel(screen, 55, 85), (Rgba{255, 255, 0, 255}));  // hidden view not drawn

  // In a flipped view the same frame is at the top left.
  auto flipped = std::make_shared<FlippedView>(base::makeRect(0, 0, 60, 40));
  flipped->addSubview(
      std::make_shared<SolidView>(base::makeRect(0, 0, 10, 10), Rgba{0, 0, 255, 255}));
  window->setContentView(flipped);
  const Pixels again = Compositor::compose({window}, kW, kH);
  EXPECT_EQ(pixel(again, 20, 50), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(pixel(again, 20, 89), (Rgba{255, 255, 0, 255}));
}

TEST(Compositor, WindowsPartlyOffScreenAreClipped) {
  auto w = Window::make(base::makeRect(-30, -20, 60, 40));  // the lower left corner is off screen
  w->setBackgroundColor(Color{0, 0, 0, 1});
  w->setContentView(std::make_shared<SolidView>(base::makeRect(0, 0, 60, 40), Rgba{9, 9, 9, 255}));
  w->makeKeyAndOrderFront(nullptr);
  const Pixels screen = Compositor::compose({w}, kW, kH);
  EXPECT_EQ(pixel(screen, 0, 99), (Rgba{9, 9, 9, 255}));
  EXPECT_EQ(pixel(screen, 29, 80), (Rgba{9, 9, 9, 255}));
  EXPECT_NE(pixel(screen, 30, 80), (Rgba{9, 9, 9, 255}));
  EXPECT_NE(pixel(screen, 10, 79), (Rgba{9, 9, 9, 255}));
}

TEST(Compositor, TheBackdropIsTheSameEachTimeAndNotFlat) {
  const Pixels a = Compositor::desktopBackdrop(320, 180);
  const Pixels b = Compositor::desktopBackdrop(320, 180);
  EXPECT_EQ(a.rgba, b.rgba);
  std::set<uint32_t> colours;
  for (size_t i = 0; i < a.rgba.size(); i += 4) {
    EXPECT_EQ(a.rgba[i + 3], 255);
    colours.insert(static_cast<uint32_t>(a.rgba[i] << 16 | a.rgba[i + 1] << 8 | a.rgba[i + 2]));
  }
  EXPECT_GT(colours.size(), 50U);
}

TEST(Compositor, SnapshotWritesTheMainScreenAsPng) {
  const auto saved = base::platformOptions();
  base::platformOptions().screenWidth = 64;
  base::platformOptions().screenHeight = 48;
  char path[] = "/tmp/snapshot-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  ASSERT_TRUE(Compositor::snapshot(path));
  const auto read = readPng(path);
  std::remove(path);
  const Pixels expected = Compositor::composeMainScreen();
  base::platformOptions() = saved;
  ASSERT_TRUE(read);
  EXPECT_EQ(read->width, 64);
  EXPECT_EQ(read->height, 48);
  EXPECT_EQ(read->rgba, expected.rgba);
  EXPECT_FALSE(Compositor::snapshot("/nonexistent-folder/x.png"));
}

}  // namespace
}  // namespace ui
