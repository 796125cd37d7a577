// The screen compositor on a full 1920x1080 screen: the desktop alone (the
// baseline) and with a full-screen overlay blended by difference, as the
// "Inverted Dots" preset shows it.
#include <benchmark/benchmark.h>

#include "platform/ui/compositor.h"
#include "platform/ui/window.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// A full-screen frame of sparse white dots on transparent black.
class DotsView : public ui::View {
 public:
  DotsView() : ui::View(base::makeRect(0, 0, kWidth, kHeight)) {
    frame_.width = kWidth;
    frame_.height = kHeight;
    frame_.rgba.assign(static_cast<size_t>(kWidth) * kHeight * 4, 0);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if ((x / 8 + y / 8) % 5 != 0) continue;
        uint8_t* p =
            frame_.rgba.data() + (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 4;
        p[0] = p[1] = p[2] = p[3] = 255;
      }
    }
  }
  std::optional<ui::Pixels> snapshotPixels() override { return frame_; }

 private:
  ui::Pixels frame_;
};

void BM_DesktopOnly(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(ui::Compositor::compose({}, kWidth, kHeight));
  }
}
BENCHMARK(BM_DesktopOnly)->Unit(benchmark::kMillisecond);

void BM_DesktopWithDifferenceOverlay(benchmark::State& state) {
  auto view = std::make_shared<DotsView>();
  view->setWantsLayer(true);
  view->layer()->setCompositingFilter(std::string("differenceBlendMode"));
  auto window = ui::Window::make(base::makeRect(0, 0, kWidth, kHeight));
  window->setBackgroundColor(ui::Color::clearColor());
  window->setContentView(view);
  window->makeKeyAndOrderFront(nullptr);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ui::Compositor::compose({window}, kWidth, kHeight));
  }
}
BENCHMARK(BM_DesktopWithDifferenceOverlay)->Unit(benchmark::kMillisecond);

}  // namespace
