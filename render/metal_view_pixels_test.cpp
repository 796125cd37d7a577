// What MetalView's frames put on screen, read back from llvmpipe: fading,
// scrolling, the three patterns and round dots on any drawable.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "platform/base/bundle.h"
#include "render/metal_view.h"

namespace tovelin {
namespace {

class MetalViewPixels : public testing::Test {
 protected:
  void SetUp() override { base::Bundle::main() = base::Bundle(TOVELIN_SOURCE_DIR "/resources"); }

  // One frame of `type` with the scroll offset at (x, y) and the given fade.
  static ui::Pixels frame(double width, double height, int32_t type, float x = 0, float y = 0,
                          float scale = 1) {
    auto view = MetalView::make(base::makeRect(0, 0, width, height), nullptr);
    view->setConstantsType(type);
    // Only acceleration moves the offset. A first reading of a whole period
    // leaves it at 0 and is what a first frame remembers; the next reading
    // then puts the offset at (x, y) exactly and, being different, is motion.
    view->applyAcceleration(100, 0, 0);
    view->drawRect(view->bounds());
    // A frame with motion raises the fade by 0.2 and caps it at 1; start
    // below so that it lands on `scale`.
    view->setConstantsScale(scale - 0.2f);
    view->applyAcceleration(static_cast<double>(x), static_cast<double>(y), 0);
    EXPECT_EQ(view->constants().offset[0], x);
    EXPECT_EQ(view->constants().offset[1], y);
    view->drawRect(view->bounds());
    EXPECT_FLOAT_EQ(view->constants().scale, std::min(scale, 1.0f));
    auto image = view->snapshotPixels();
    EXPECT_TRUE(image.has_value());
    return image.value_or(ui::Pixels{});
  }

  static int coveredPixels(const ui::Pixels& image) {
    int count = 0;
    for (size_t i = 3; i < image.rgba.size(); i += 4) count += image.rgba[i] > 0 ? 1 : 0;
    return count;
  }

  // The largest difference of any byte between two images of one size.
  static int maxDifference(const ui::Pixels& a, const ui::Pixels& b) {
    int worst = 0;
    for (size_t i = 0; i < a.rgba.size(); ++i)
      worst = std::max(worst, std::abs(a.rgba[i] - b.rgba[i]));
    return worst;
  }

  // The largest byte difference between `moved` and `image` moved right by
  // dx and up by dy pixels, over the part both show. Colours are compared
  // premultiplied: faint edge pixels differ by rounding, not by what shows.
  static int differenceMoved(const ui::Pixels& image, const ui::Pixels& moved, int dx, int dy) {
    int worst = 0;
    for (int y = std::max(0, -dy); y < std::min(image.height, image.height - dy); ++y) {
      for (int x = std::max(0, -dx); x < std::min(image.width, image.width - dx); ++x) {
        const uint8_t* a = image.at(x, y);
        const uint8_t* b = moved.at(x + dx, y + dy);
        worst = std::max(worst, std::abs(a[3] - b[3]));
        for (int c = 0; c < 3; ++c) {
          worst = std::max(worst, std::abs(a[c] * a[3] - b[c] * b[3]) / 255);
        }
      }
    }
    return worst;
  }

  // Width and height of the dot covering (x, y): its run of covered pixels
  // along the row and the column.
  static std::pair<int, int> extentAt(const ui::Pixels& image, int x, int y) {
    const auto covered = [&](int px, int py) {
      return px >= 0 && py >= 0 && px < image.width && py < image.height &&
             image.at(px, py)[3] >= 128;
    };
    int left = x;
    int right = x;
    int top = y;
    int bottom = y;
    while (covered(left - 1, y)) --left;
    while (covered(right + 1, y)) ++right;
    while (covered(x, top - 1)) --top;
    while (covered(x, bottom + 1)) ++bottom;
    return {right - left + 1, bottom - top + 1};
  }
};

TEST_F(MetalViewPixels, AFadeOfZeroDrawsNothingAtAll) {
  for (const int32_t type : {dots, ladyBug, hearts}) {
    const ui::Pixels image = frame(192, 108, type, 13, 7, 0);
    EXPECT_EQ(image.rgba, std::vector<uint8_t>(image.rgba.size(), 0)) << "type " << type;
  }
}

TEST_F(MetalViewPixels, TheFadeScalesCoverage) {
  const ui::Pixels full = frame(192, 108, dots);
  const ui::Pixels half = frame(192, 108, dots, 0, 0, 0.5f);
  int fullAlpha = 0;
  int halfAlpha = 0;
  for (size_t i = 3; i < full.rgba.size(); i += 4) {
    fullAlpha = std::max<int>(fullAlpha, full.rgba[i]);
    halfAlpha = std::max<int>(halfAlpha, half.rgba[i]);
  }
  EXPECT_EQ(fullAlpha, 255);
  EXPECT_NEAR(halfAlpha, 128, 1);
  EXPECT_EQ(coveredPixels(full), coveredPixels(half));
}

TEST_F(MetalViewPixels, EachPatternDrawsSomethingOfItsOwn) {
  const ui::Pixels d = frame(384, 216, dots);
  const ui::Pixels l = frame(384, 216, ladyBug);
  const ui::Pixels h = frame(384, 216, hearts);
  for (const auto* image : {&d, &l, &h}) {
    const int covered = coveredPixels(*image);
    EXPECT_GT(covered, image->width * image->height / 20);  // the pattern is there
    EXPECT_LT(covered, image->width * image->height / 2);   // and leaves the desktop be
  }
  EXPECT_GT(maxDifference(d, l), 100);
  EXPECT_GT(maxDifference(d, h), 100);
  EXPECT_GT(maxDifference(l, h), 100);

  // Lady bugs are red with black spots; dots and hearts are white-ish where
  // fully covered.
  int red = 0;
  int black = 0;
  for (size_t i = 0; i < l.rgba.size(); i += 4) {
    if (l.rgba[i + 3] < 255) continue;
    if (l.rgba[i] > 180 && l.rgba[i + 1] < 60 && l.rgba[i + 2] < 60) ++red;
    if (l.rgba[i] < 40 && l.rgba[i + 1] < 40 && l.rgba[i + 2] < 40) ++black;
  }
  EXPECT_GT(red, 0);
  EXPECT_GT(black, 0);
  for (const auto* image : {&d, &h}) {
    int white = 0;
    for (size_t i = 0; i < image->rgba.size(); i += 4) {
      if (image->rgba[i + 3] == 255 && image->rgba[i] > 230 && image->rgba[i + 1] > 230 &&
          image->rgba[i + 2] > 230) {
        ++white;
      }
    }
    EXPECT_GT(white, 0);
  }
}

TEST_F(MetalViewPixels, ThePatternScrollsWithTheOffset) {
  // 1920 wide: 12 cells of 160 pixels, 50 offset units a cell; a positive
  // offset moves the pattern right and up.
  for (const int32_t type : {dots, ladyBug, hearts}) {
    const ui::Pixels still = frame(1920, 1080, type);
    const ui::Pixels right = frame(1920, 1080, type, 25, 0);  // half a cell
    const ui::Pixels up = frame(1920, 1080, type, 0, 12.5f);  // a quarter
    EXPECT_GT(maxDifference(still, right), 100) << "type " << type;
    EXPECT_GT(maxDifference(still, up), 100) << "type " << type;
    // Rows run top down: up is towards row 0.
    EXPECT_LE(differenceMoved(still, right, 80, 0), 8) << "type " << type;
    EXPECT_LE(differenceMoved(still, up, 0, -40), 8) << "type " << type;
  }
}

TEST_F(MetalViewPixels, TheWrapAtAHundredDoesNotShow) {
  for (const int32_t type : {dots, ladyBug, hearts}) {
    const ui::Pixels before = frame(480, 270, type, 99.99f, -99.99f);
    const ui::Pixels after = frame(480, 270, type, -0.01f, 0.01f);
    EXPECT_LE(differenceMoved(before, after, 0, 0), 8) << "type " << type;
  }
}

class RoundDots : public MetalViewPixels,
                  public testing::WithParamInterface<std::pair<double, double>> {};

TEST_P(RoundDots, AreAsWideAsTheyAreHigh) {
  const auto [width, height] = GetParam();
  const ui::Pixels image = frame(width, height, dots);
  // Dot centres sit at the middle of each 160-pixel cell from the bottom left
  // (the longer side is 1920 either way).
  const int x = 80 + 160 * 2;
  const int y = image.height - 1 - (80 + 160 * 2);
  ASSERT_EQ(image.at(x, y)[3], 255);
  const auto [w, h] = extentAt(image, x, y);
  EXPECT_NEAR(w, 64, 2);  // 0.4 of a cell
  EXPECT_NEAR(h, w, 1);
}

INSTANTIATE_TEST_SUITE_P(Drawables, RoundDots,
                         testing::Values(std::make_pair(1920.0, 1080.0),
                                         std::make_pair(1080.0, 1920.0)));

}  // namespace
}  // namespace tovelin
