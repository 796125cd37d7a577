// MetalView's set-up, motion, fading, pausing and resuming, driven the way
// the link, the presets and the display timer drive it (frames are called
// directly, not through the timer).
#include "render/metal_view.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/bundle.h"
#include "platform/ui/window.h"

namespace tovelin {
namespace {

using testing::HasSubstr;

class MetalViewTest : public testing::Test {
 protected:
  void SetUp() override { base::Bundle::main() = base::Bundle(TOVELIN_SOURCE_DIR "/resources"); }

  static std::shared_ptr<MetalView> makeView(double width = 16, double height = 9) {
    return MetalView::make(base::makeRect(0, 0, width, height), nullptr);
  }

  // The view inside a shown window, as the overlay is.
  static std::shared_ptr<ui::Window> showInWindow(const std::shared_ptr<MetalView>& view) {
    auto window = ui::Window::make(base::makeRect(0, 0, 16, 9));
    window->setContentView(view);
    window->makeKeyAndOrderFront(nullptr);
    return window;
  }

  // Runs frames without motion until the view pauses; the number of frames.
  static int framesUntilPaused(MetalView& view, int limit = 5000) {
    int frames = 0;
    while (!view.isPaused() && frames < limit) {
      view.drawRect(view.bounds());
      ++frames;
    }
    return frames;
  }

  static std::array<uint8_t, 24> constantsBytes(MetalView& view) {
    std::array<uint8_t, 24> bytes{};
    std::memcpy(bytes.data(), view.constantsBuffer()->contents(), bytes.size());
    return bytes;
  }
};

template <typename T>
std::array<uint8_t, sizeof(T)> bytesOf(T value) {
  std::array<uint8_t, sizeof(T)> bytes{};
  std::memcpy(bytes.data(), &value, sizeof(T));
  return bytes;
}

TEST_F(MetalViewTest, SetUpLeavesTheLookOfInvertedDots) {
  auto view = makeView();
  ASSERT_NE(view->constantsBuffer(), nullptr);
  ASSERT_NE(view->vertexBuffer(), nullptr);
  EXPECT_NE(view->commandQueue(), nullptr);
  EXPECT_NE(view->pipelineState(), nullptr);
  EXPECT_EQ(view->constantsBuffer()->length(), 32u);
  EXPECT_EQ(view->vertexBuffer()->length(), 64u);

  // offset (0, 0, 0, 0), type 0, scale 1.0 in bytes 0-23.
  std::array<uint8_t, 24> expected{};
  const auto one = bytesOf(1.0f);
  std::copy(one.begin(), one.end(), expected.begin() + 20);
  EXPECT_EQ(constantsBytes(*view), expected);

  const std::array<float, 16> quad = {-1, 1, 0, 1, -1, -1, 0, 0, 1, 1, 1, 1, 1, -1, 1, 0};
  std::array<float, 16> held{};
  std::memcpy(held.data(), view->vertexBuffer()->contents(), sizeof held);
  EXPECT_EQ(held, quad);

  ASSERT_NE(view->layer(), nullptr);
  EXPECT_FALSE(view->layer()->isOpaque());
  EXPECT_EQ(view->layer()->compositingFilter(), "differenceBlendMode");
  EXPECT_EQ(static_cast<unsigned long>(view->colorPixelFormat()), 80u);
  EXPECT_EQ(view->clearColor(), (gpu::ClearColor{0, 0, 0, 1}));
  EXPECT_FALSE(view->isPaused());
  EXPECT_EQ(view->className(), "MetalView");
}

TEST_F(MetalViewTest, AGivenDeviceIsReplacedByTheDefaultOne) {
  auto other = std::make_shared<gpu::Device>(nullptr);
  auto view = MetalView::make(base::makeRect(0, 0, 4, 4), other);
  EXPECT_EQ(view->device(), gpu::createSystemDefaultDevice());
}

TEST_F(MetalViewTest, FromAnInterfaceFileItIsSetUpToo) {
  auto view = MetalView::make(base::Coder(nlohmann::json{{"frame", {0, 0, 32, 18}}}));
  EXPECT_EQ(view->device(), gpu::createSystemDefaultDevice());
  EXPECT_NE(view->pipelineState(), nullptr);
  EXPECT_EQ(view->drawableSize(), (base::Size{32, 18}));
}

// Notes its set-up steps by a name that only its own constructor gives it:
// an override that set-up misses, or runs before the subclass is built, shows.
class NotingView : public MetalView {
 public:
  NotingView(Key key, base::Rect frame, std::string name)
      : MetalView(key, frame, nullptr), name_(std::move(name)) {}
  std::vector<std::string> notes;

 protected:
  void setupMetal() override {
    notes.push_back(name_ + ": setupMetal");
    MetalView::setupMetal();
  }
  void buildPipeline() override {
    notes.push_back(name_ + ": buildPipeline");
    MetalView::buildPipeline();
  }

 private:
  std::string name_;
};

TEST_F(MetalViewTest, SetUpRunsASubclasssOverridesOnTheFinishedView) {
  auto view = MetalView::make<NotingView>(base::makeRect(0, 0, 16, 9), "noting");
  EXPECT_THAT(view->notes, testing::ElementsAre("noting: setupMetal", "noting: buildPipeline"));
  ASSERT_NE(view->pipelineState(), nullptr);
  view->drawRect(view->bounds());
  EXPECT_EQ(view->presentedFrameCount(), 1u);
}

TEST_F(MetalViewTest, TheFramesPassClearsToTransparentBlackNotTheViewsColour) {
  auto view = makeView();
  view->setConstantsScale(0);  // nothing of the pattern is drawn
  view->drawRect(view->bounds());
  EXPECT_EQ(view->clearColor(), (gpu::ClearColor{0, 0, 0, 1}));
  auto image = view->snapshotPixels();
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->rgba, std::vector<uint8_t>(image->rgba.size(), 0));
}

struct Scroll {
  const char* label;
  float startX, startY;
  double x, y, z;
  float wantX, wantY;
};

class MetalViewScroll : public MetalViewTest, public testing::WithParamInterface<Scroll> {};

TEST_P(MetalViewScroll, AccumulatesTheRemainderOfTruncatedDivision) {
  const auto& s = GetParam();
  // From the start offset (a first reading from zero lands on it exactly) and
  // the aspect factors of a 4x16 drawable, which the view no longer has.
  auto view = makeView(4, 16);
  view->applyAcceleration(static_cast<double>(s.startX), static_cast<double>(s.startY), 0);
  view->drawRect(view->bounds());
  view->setFrame(base::makeRect(0, 0, 16, 12));
  ASSERT_EQ(view->constants().offset, (std::array<float, 4>{s.startX, s.startY, 0.25f, 1}));

  view->applyAcceleration(s.x, s.y, s.z);
  EXPECT_EQ(view->constants().offset[0], s.wantX);
  EXPECT_EQ(view->constants().offset[1], s.wantY);
  EXPECT_EQ(view->constants().offset[2], 0.25f);  // the aspect factors are left alone
  EXPECT_EQ(view->constants().offset[3], 1);
  EXPECT_EQ(view->lastx(), s.x);
  EXPECT_EQ(view->lasty(), s.y);
  EXPECT_EQ(view->lastz(), s.z);
}

INSTANTIATE_TEST_SUITE_P(
    Updates, MetalViewScroll,
    testing::Values(Scroll{"Plus150", 0, 0, 150, 0, 0, 50, 0},
                    Scroll{"Minus150", 0, 0, -150, 0, 0, -50, 0},
                    Scroll{"Exactly100", 60, 0, 40, 0, 0, 0, 0},
                    Scroll{"MinusExactly100", 0, -30, 0, -70, 0, 0, 0},
                    Scroll{"ZAddsAHundredth", 0, 0, 0, 0, 100, 0, 1},
                    Scroll{"ZAndYReachTheModulus", 0, 99.5f, 0, 0.25, 25, 0, 0},
                    Scroll{"KeepsTheSignOfTheSum", -20, 30, -90, -250, -1000, -10, -30},
                    // float(16777217) is 16777216; adding 1 in 32 bits stays there
                    // (in 64 bits the remainder would be 18).
                    Scroll{"ThirtyTwoBitSum", 1, 0, 16777217.0, 0, 0, 16, 0}),
    [](const auto& param) { return std::string(param.param.label); });

TEST_F(MetalViewTest, UpdatesThatWouldBreakTheOffsetAreRefusedWhole) {
  auto view = makeView();
  view->applyAcceleration(10, 20, 0);
  testing::internal::CaptureStderr();
  view->applyAcceleration(std::numeric_limits<double>::quiet_NaN(), 1, 1);
  view->applyAcceleration(1, std::numeric_limits<double>::infinity(), 1);
  view->applyAcceleration(1e300, 0, 0);  // no 32-bit float holds it
  view->applyAcceleration(0, 0, -std::numeric_limits<double>::infinity());
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_THAT(said, HasSubstr("Ignoring an acceleration update"));
  EXPECT_EQ(view->constants().offset[0], 10);
  EXPECT_EQ(view->constants().offset[1], 20);
  EXPECT_EQ(view->lastx(), 10);
  EXPECT_EQ(view->lasty(), 20);
  // Good updates go on working.
  view->applyAcceleration(5, 5, 0);
  EXPECT_EQ(view->constants().offset[0], 15);
  EXPECT_EQ(view->constants().offset[1], 25);
}

TEST_F(MetalViewTest, OneStillFrameDecaysToPoint995InThirtyTwoBits) {
  auto view = makeView();
  view->drawRect(view->bounds());
  EXPECT_EQ(view->constants().scale, 0.995f);
  EXPECT_EQ(static_cast<double>(view->constants().scale), 0.9950000047683716);
  EXPECT_EQ(constantsBytes(*view)[20], bytesOf(0.995f)[0]);

  // Each step multiplies in 32 bits: after twenty frames 64-bit products
  // would have drifted to 0.9046103954315186.
  for (int i = 1; i < 20; ++i) view->drawRect(view->bounds());
  EXPECT_EQ(static_cast<double>(view->constants().scale), 0.9046104550361633);
}

TEST_F(MetalViewTest, AFrameWithMotionRaisesTheFadeAndCapsIt) {
  auto view = makeView();
  view->setConstantsScale(0.9f);
  view->applyAcceleration(1, 0, 0);
  view->drawRect(view->bounds());
  EXPECT_EQ(view->constants().scale, 1.0f);
  EXPECT_EQ(view->lastx2(), 1);  // the frame remembers its values

  // From 0, five frames with motion: 0.2, 0.4, 0.6, 0.8, 1.0.
  view->setConstantsScale(0);
  const float steps[] = {0.2f, 0.4f, 0.6f, 0.8f, 1.0f};
  double x = 1;
  for (const float want : steps) {
    x = -x;
    view->applyAcceleration(x, 0, 0);
    view->drawRect(view->bounds());
    EXPECT_FLOAT_EQ(view->constants().scale, want);
  }
  EXPECT_EQ(view->constants().scale, 1.0f);
}

TEST_F(MetalViewTest, AChangeOfExactlyAHundredthIsNoMotion) {
  auto view = makeView();
  auto window = showInWindow(view);
  framesUntilPaused(*view);
  ASSERT_TRUE(view->isPaused());
  ASSERT_EQ(view->lastx(), 0);
  ASSERT_EQ(view->lastx2(), 0);

  testing::internal::CaptureStdout();
  view->applyAcceleration(0.01, 0, 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(view->isPaused());
  EXPECT_FALSE(window->isVisible());

  // On a drawing view the same change decays the fade.
  view->setConstantsScale(1);
  view->resumeRendering();
  ASSERT_EQ(view->lastx(), 0.01);  // no frame since: the change is still 0.01
  ASSERT_EQ(view->lastx2(), 0);
  view->applyAcceleration(0.01, 0, 0);
  view->drawRect(view->bounds());
  EXPECT_EQ(view->constants().scale, 0.995f);

  // Just above it is motion.
  view->applyAcceleration(0.0200001, 0, 0);
  view->drawRect(view->bounds());
  EXPECT_EQ(view->constants().scale, 1.0f);
}

TEST_F(MetalViewTest, PausesOnThe1379thStillFrameWhichIsStillDrawn) {
  auto view = makeView();
  auto window = showInWindow(view);
  view->drawRect(view->bounds());  // a frame with the pattern fully shown
  view->setConstantsScale(1.0f);
  view->applyAcceleration(0.5, 0.25, 3);
  view->drawRect(view->bounds());  // motion: the values become the frame's
  ASSERT_EQ(view->constants().scale, 1.0f);
  auto shown = view->snapshotPixels();
  ASSERT_TRUE(shown.has_value());
  ASSERT_NE(shown->rgba, std::vector<uint8_t>(shown->rgba.size(), 0));

  const uint64_t presentedBefore = view->presentedFrameCount();
  testing::internal::CaptureStdout();
  const int frames = framesUntilPaused(*view);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Rendering paused\n");
  EXPECT_EQ(frames, 1379);
  // Every still frame was presented, the pausing one among them: its pixels
  // round to nothing like the frame before, so only the count tells.
  EXPECT_EQ(view->presentedFrameCount(), presentedBefore + 1379);
  EXPECT_LT(view->constants().scale, 0.001f);
  EXPECT_GT(view->constants().scale, 0.0f);
  EXPECT_FALSE(window->isVisible());

  // The pausing frame's values were copied out, at its faint scale.
  const auto held = constantsBytes(*view);
  const auto scale = bytesOf(view->constants().scale);
  EXPECT_TRUE(std::equal(scale.begin(), scale.end(), held.begin() + 20));
  auto last = view->snapshotPixels();
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->rgba, std::vector<uint8_t>(last->rgba.size(), 0));
  EXPECT_EQ(view->lastx2(), 0.5);
  EXPECT_EQ(view->lasty2(), 0.25);
  EXPECT_EQ(view->lastz2(), 3);

  // A paused view draws nothing more.
  const float paused = view->constants().scale;
  view->drawRect(view->bounds());
  EXPECT_EQ(view->constants().scale, paused);
  EXPECT_EQ(view->presentedFrameCount(), presentedBefore + 1379);
}

TEST_F(MetalViewTest, MotionResumesWithTheFadeWhereThePauseLeftIt) {
  auto view = makeView();
  auto window = showInWindow(view);
  framesUntilPaused(*view);
  const float faded = view->constants().scale;

  testing::internal::CaptureStdout();
  view->applyAcceleration(0.5, 0, 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Rendering resumed\n");
  EXPECT_FALSE(view->isPaused());
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->isKeyWindow());
  EXPECT_EQ(view->constants().scale, faded);  // still below 0.001

  view->drawRect(view->bounds());  // motion against the pausing frame's values
  EXPECT_FLOAT_EQ(view->constants().scale, faded + 0.2f);
}

TEST_F(MetalViewTest, APresetOrHandshakeResumesFullyShown) {
  auto view = makeView();
  auto window = showInWindow(view);
  framesUntilPaused(*view);

  view->setConstantsType(hearts);
  view->setConstantsScale(1.0f);
  testing::internal::CaptureStdout();
  view->resumeRendering();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Rendering resumed\n");
  EXPECT_TRUE(window->isVisible());
  view->drawRect(view->bounds());
  EXPECT_EQ(view->constants().scale, 0.995f);
  EXPECT_EQ(constantsBytes(*view)[16], hearts);
}

TEST_F(MetalViewTest, ResumingADrawingViewDoesNothing) {
  auto view = makeView();
  auto window = showInWindow(view);
  window->orderOut(nullptr);
  testing::internal::CaptureStdout();
  view->resumeRendering();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(window->isVisible());
}

TEST_F(MetalViewTest, AViewOutsideAnyWindowPausesAndResumes) {
  auto view = makeView();
  testing::internal::CaptureStdout();
  framesUntilPaused(*view);
  view->applyAcceleration(1, 1, 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Rendering paused\nRendering resumed\n");
  EXPECT_FALSE(view->isPaused());
}

// What would change the next frame's picture marks the view, so a screen read
// before that frame has it drawn; what would not leaves it unmarked.
TEST_F(MetalViewTest, OnlyWhatChangesThePictureNeedsDisplay) {
  struct Case {
    const char* what;
    void (*change)(MetalView&);
    bool needsDisplay;
  };
  const Case cases[] = {
      {"another pattern", [](MetalView& v) { v.setConstantsType(hearts); }, true},
      {"the same pattern", [](MetalView& v) { v.setConstantsType(dots); }, false},
      {"another fade", [](MetalView& v) { v.setConstantsScale(0.5F); }, true},
      {"the same fade", [](MetalView& v) { v.setConstantsScale(v.constants().scale); }, false},
      {"a scroll", [](MetalView& v) { v.applyAcceleration(30, 0, 0); }, true},
      {"a whole period", [](MetalView& v) { v.applyAcceleration(100, 0, 0); }, false},
  };
  for (const auto& c : cases) {
    auto view = makeView();
    view->setNeedsDisplay(true);
    view->displayIfNeeded();
    ASSERT_FALSE(view->needsDisplay()) << c.what;
    c.change(*view);
    EXPECT_EQ(view->needsDisplay(), c.needsDisplay) << c.what;
  }

  // The frame drawn when asked hands the new state to the GPU.
  auto view = makeView();
  view->setConstantsType(hearts);
  view->displayIfNeeded();
  EXPECT_FALSE(view->needsDisplay());
  const auto bytes = constantsBytes(*view);
  EXPECT_TRUE(std::equal(bytes.begin() + 16, bytes.begin() + 20, bytesOf(hearts).begin()));
}

TEST_F(MetalViewTest, AFrameWithoutADrawableChangesNothing) {
  auto view = makeView(0, 0);
  view->applyAcceleration(3, 0, 0);
  view->drawRect(view->bounds());
  EXPECT_EQ(view->constants().scale, 1.0f);
  EXPECT_EQ(view->lastx2(), 0);
  EXPECT_FALSE(view->snapshotPixels().has_value());
}

struct Aspect {
  double width, height;
  float z, w;
};

class MetalViewAspect : public MetalViewTest, public testing::WithParamInterface<Aspect> {};

TEST_P(MetalViewAspect, FactorsFollowTheDrawable) {
  auto view = makeView(GetParam().width, GetParam().height);
  // The rectangle passed to a frame plays no part.
  view->drawRect(base::makeRect(5, 5, 1, 3));
  EXPECT_EQ(view->constants().offset[2], GetParam().z);
  EXPECT_EQ(view->constants().offset[3], GetParam().w);
  const auto bytes = constantsBytes(*view);
  const auto z = bytesOf(GetParam().z);
  const auto w = bytesOf(GetParam().w);
  EXPECT_TRUE(std::equal(z.begin(), z.end(), bytes.begin() + 8));
  EXPECT_TRUE(std::equal(w.begin(), w.end(), bytes.begin() + 12));
}

INSTANTIATE_TEST_SUITE_P(Drawables, MetalViewAspect,
                         testing::Values(Aspect{1920, 1080, 1, 0.5625f},
                                         Aspect{1080, 1920, 0.5625f, 1}, Aspect{64, 64, 1, 1},
                                         Aspect{3, 2, 1, 2.0f / 3.0f}));

using MetalViewDeathTest = MetalViewTest;

TEST_F(MetalViewDeathTest, NoGpuDeviceEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("LIBGL_DRIVERS_PATH", "/nonexistent", 1);
        makeView();
      },
      testing::ExitedWithCode(1), "Metal is not supported on this device");
}

TEST_F(MetalViewDeathTest, APipelineTheDriverRefusesEndsTheProgramWithItsLog) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        base::Bundle::main() = base::Bundle(TOVELIN_SOURCE_DIR "/render/testdata/broken");
        makeView();
      },
      testing::ExitedWithCode(1),
      "Fatal error: Compiling the fragment function \"fragment_main\" failed:.*notDeclared");
  EXPECT_EXIT(
      {
        base::Bundle::main() = base::Bundle("/nonexistent");
        makeView();
      },
      testing::ExitedWithCode(1), "Fatal error: The pipeline has no vertex function");
}

}  // namespace
}  // namespace tovelin
