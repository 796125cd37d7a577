// The GPU view: drawable size and reuse, presenting and reading back, and the
// display timer that drives the frames.
#include "platform/gpu/view.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>

#include "platform/base/run_loop.h"

namespace gpu {
namespace {

using namespace std::chrono_literals;

// Counts its frames; each frame clears the drawable to `colour` and presents.
class CountingView : public View {
 public:
  using View::View;
  void drawRect(base::Rect /*dirty*/) override {
    ++frames;
    auto drawable = currentDrawable();
    auto pass = currentRenderPassDescriptor();
    if (!drawable || !pass) return;
    pass->colorAttachments[0].clearColor = colour;
    auto commands = device()->newCommandQueue()->commandBuffer();
    commands->renderCommandEncoder(pass)->endEncoding();
    commands->presentDrawable(drawable);
    commands->commit();
  }
  int frames = 0;
  ClearColor colour{0, 0, 0, 0};
};

std::shared_ptr<CountingView> makeView(double width, double height) {
  auto device = createSystemDefaultDevice();
  EXPECT_NE(device, nullptr);
  return std::make_shared<CountingView>(base::makeRect(0, 0, width, height), device);
}

TEST(GpuView, StartsUnpausedWithALayerAndTheReportedFormat) {
  auto view = makeView(4, 4);
  EXPECT_FALSE(view->isPaused());
  EXPECT_NE(view->layer(), nullptr);
  EXPECT_EQ(view->colorPixelFormat(), PixelFormat::bgra8Unorm);
  EXPECT_EQ(static_cast<unsigned long>(view->colorPixelFormat()), 80u);
  EXPECT_EQ(view->className(), "MTKView");
}

TEST(GpuView, DrawableSizeFollowsTheFrame) {
  auto view = makeView(1920, 1080);
  EXPECT_EQ(view->drawableSize(), (base::Size{1920, 1080}));
  auto drawable = view->currentDrawable();
  ASSERT_NE(drawable, nullptr);
  EXPECT_EQ(drawable->texture()->width(), 1920);
  EXPECT_EQ(drawable->texture()->height(), 1080);

  view->setFrame(base::makeRect(0, 0, 99.6, 50.2));
  EXPECT_EQ(view->drawableSize(), (base::Size{100, 50}));
  drawable = view->currentDrawable();
  ASSERT_NE(drawable, nullptr);
  EXPECT_EQ(drawable->texture()->width(), 100);
  EXPECT_EQ(drawable->texture()->height(), 50);
}

TEST(GpuView, NoDrawableWithoutAreaOrDevice) {
  auto flat = makeView(100, 0);
  EXPECT_EQ(flat->currentDrawable(), nullptr);
  EXPECT_EQ(flat->currentRenderPassDescriptor(), nullptr);

  auto noDevice = std::make_shared<CountingView>(base::makeRect(0, 0, 10, 10), nullptr);
  EXPECT_EQ(noDevice->currentDrawable(), nullptr);

  auto fromFile =
      std::make_shared<CountingView>(base::Coder(nlohmann::json{{"frame", {0, 0, 8, 6}}}));
  EXPECT_EQ(fromFile->drawableSize(), (base::Size{8, 6}));
  EXPECT_EQ(fromFile->device(), nullptr);
  EXPECT_EQ(fromFile->currentDrawable(), nullptr);
}

TEST(GpuView, PassesClearTheCurrentDrawableToTheViewsClearColour) {
  auto view = makeView(4, 4);
  view->setClearColor(ClearColor{0.5, 0.25, 1, 1});
  auto pass = view->currentRenderPassDescriptor();
  ASSERT_NE(pass, nullptr);
  EXPECT_EQ(pass->colorAttachments[0].texture, view->currentDrawable()->texture());
  EXPECT_EQ(pass->colorAttachments[0].loadAction, LoadAction::clear);
  EXPECT_EQ(pass->colorAttachments[0].clearColor, (ClearColor{0.5, 0.25, 1, 1}));
}

TEST(GpuView, SnapshotIsTheLastPresentedFrameStraightAlpha) {
  auto view = makeView(3, 2);
  EXPECT_FALSE(view->snapshotPixels().has_value());  // nothing presented yet

  view->colour = ClearColor{0.25, 0, 0.5, 0.5};  // premultiplied: (0.5, 0, 1) at half
  view->drawRect(view->bounds());
  auto first = view->snapshotPixels();
  ASSERT_TRUE(first.has_value());
  ASSERT_EQ(first->width, 3);
  ASSERT_EQ(first->height, 2);
  const uint8_t* p = first->at(2, 1);
  EXPECT_NEAR(p[0], 128, 1);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[2], 255);
  EXPECT_EQ(p[3], 128);

  // The next frame draws into another texture; until it is presented the
  // snapshot is still the first frame.
  auto next = view->currentDrawable();
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(view->currentDrawable(), next);
  view->colour = ClearColor{0, 1, 0, 1};
  view->drawRect(view->bounds());
  auto second = view->snapshotPixels();
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->at(0, 0)[1], 255);
  EXPECT_NE(view->currentDrawable(), next);  // a presented drawable is not handed out again
}

TEST(Unpremultiply, GivesStraightColour) {
  struct Case {
    std::array<uint8_t, 4> in;
    std::array<uint8_t, 4> out;
  };
  const Case cases[] = {
      {{0, 0, 0, 0}, {0, 0, 0, 0}},          {{255, 10, 0, 255}, {255, 10, 0, 255}},
      {{64, 32, 0, 128}, {128, 64, 0, 128}}, {{1, 0, 1, 1}, {255, 0, 255, 1}},
      {{200, 0, 0, 100}, {255, 0, 0, 100}},  // out of range stays in range
  };
  for (const auto& c : cases) {
    ui::Pixels image{1, 1, {c.in.begin(), c.in.end()}};
    unpremultiply(image);
    EXPECT_EQ(image.rgba, std::vector<uint8_t>(c.out.begin(), c.out.end()));
  }
}

TEST(GpuViewTimer, DrawsWhileUnpausedAndCostsNothingWhilePaused) {
  auto& loop = base::RunLoop::main();
  const size_t before = loop.timerCount();
  auto view = makeView(2, 2);
  EXPECT_EQ(loop.timerCount(), before + 1);

  EXPECT_TRUE(loop.runUntil([&] { return view->frames >= 3; }, 5s));
  EXPECT_TRUE(view->snapshotPixels().has_value());

  view->setPaused(true);
  EXPECT_EQ(loop.timerCount(), before);
  const int paused = view->frames;
  loop.runFor(100ms);
  EXPECT_EQ(view->frames, paused);

  view->setPaused(false);
  EXPECT_EQ(loop.timerCount(), before + 1);
  EXPECT_TRUE(loop.runUntil([&] { return view->frames >= paused + 2; }, 5s));

  view.reset();
  EXPECT_EQ(loop.timerCount(), before);
  loop.runFor(50ms);  // nothing left to call
}

// A frame that pauses its own view stops the timer from inside its tick.
class SelfPausingView : public CountingView {
 public:
  using CountingView::CountingView;
  void drawRect(base::Rect dirty) override {
    CountingView::drawRect(dirty);
    setPaused(true);
  }
};

TEST(GpuViewTimer, AFrameCanPauseItsOwnView) {
  auto& loop = base::RunLoop::main();
  auto view =
      std::make_shared<SelfPausingView>(base::makeRect(0, 0, 2, 2), createSystemDefaultDevice());
  EXPECT_TRUE(loop.runUntil([&] { return view->frames >= 1; }, 5s));
  loop.runFor(100ms);
  EXPECT_EQ(view->frames, 1);
  EXPECT_TRUE(view->isPaused());
}

TEST(GpuViewTimer, AChangedViewDrawsItsNextFrameWhenAskedAndOnlyThen) {
  auto& loop = base::RunLoop::main();
  auto view = makeView(2, 2);
  const size_t timers = loop.timerCount();
  view->colour = ClearColor{1, 0, 0, 1};
  view->setNeedsDisplay(true);
  view->displayIfNeeded();
  EXPECT_EQ(view->frames, 1);
  EXPECT_FALSE(view->needsDisplay());
  const auto shown = view->snapshotPixels();
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(std::vector<uint8_t>(shown->rgba.begin(), shown->rgba.begin() + 4),
            (std::vector<uint8_t>{255, 0, 0, 255}));
  EXPECT_EQ(loop.timerCount(), timers);  // the timer started over, not a second one

  view->displayIfNeeded();  // nothing changed since
  EXPECT_EQ(view->frames, 1);

  // A paused view keeps showing its last frame, whatever changed.
  view->setPaused(true);
  view->colour = ClearColor{0, 1, 0, 1};
  view->setNeedsDisplay(true);
  view->displayIfNeeded();
  EXPECT_EQ(view->frames, 1);
  EXPECT_EQ(view->snapshotPixels()->rgba[0], 255);
  EXPECT_EQ(loop.timerCount(), timers - 1);

  // Its timer's frames bring it up to date once it runs again.
  view->setPaused(false);
  EXPECT_TRUE(loop.runUntil([&] { return view->frames >= 2; }, 5s));
  EXPECT_FALSE(view->needsDisplay());
  EXPECT_EQ(view->snapshotPixels()->rgba[1], 255);
}

}  // namespace
}  // namespace gpu
