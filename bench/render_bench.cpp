// The renderer's frame on llvmpipe, against a bare EGL/GLES loop drawing the
// same shader pair in the same run (the ratio is the GPU stand-in's
// overhead), with and without reading the frame back; and the display
// timer's regularity, idle and while drawing.
//
// The timer benchmarks run TOVELIN_BENCH_TIMER_SECONDS seconds each (default
// 2; set 60 for the full minute) and report the median and 99th percentile
// tick interval and the ticks missed.
#include <benchmark/benchmark.h>

#include <GLES3/gl3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/bundle.h"
#include "platform/base/file.h"
#include "platform/base/run_loop.h"
#include "platform/gpu/device.h"
#include "render/metal_view.h"

namespace {

void useSourceBundle() { base::Bundle::main() = base::Bundle(TOVELIN_SOURCE_DIR "/resources"); }

double median(std::vector<double>& values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

// Runs `baseline` and `subject` one after the other in each iteration, so that
// a busy machine slows both alike; the counters are their median times in
// milliseconds ("<name>_ms") and the subject's ratio to the baseline.
template <typename Baseline, typename Subject>
void interleave(benchmark::State& state, const std::string& baselineName, Baseline&& baseline,
                const std::string& subjectName, Subject&& subject) {
  std::vector<double> baselineMs;
  std::vector<double> subjectMs;
  for (auto _ : state) {
    const auto t0 = base::Clock::now();
    baseline();
    const auto t1 = base::Clock::now();
    subject();
    const auto t2 = base::Clock::now();
    baselineMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    subjectMs.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
  }
  const double b = median(baselineMs);
  const double s = median(subjectMs);
  state.counters[baselineName + "_ms"] = b;
  state.counters[subjectName + "_ms"] = s;
  state.counters["ratio"] = b > 0 ? s / b : 0;
}

// Keeps the view from fading out: every frame sees motion.
void nudge(tovelin::MetalView& view, double& x) {
  x = -x;
  view.applyAcceleration(x, 0.25, 0);
}

// One frame of `view`, as the display timer would call it, finished (or read
// back) before it returns.
void frame(tovelin::MetalView& view, double& x, bool readBack) {
  nudge(view, x);
  view.drawRect(view.bounds());
  if (readBack) {
    benchmark::DoNotOptimize(view.snapshotPixels());
  } else {
    glFinish();
  }
}

std::shared_ptr<tovelin::MetalView> patternView(int width, int height, int type) {
  auto view = tovelin::MetalView::make(base::makeRect(0, 0, width, height), nullptr);
  view->setConstantsType(type);
  return view;
}

// A bundle whose shader library has the same vertex function and buffers but
// a fragment function that writes one constant colour: the floor of what any
// pattern can cost through the same view, pipeline, buffers and drawables.
class FloorBundle {
 public:
  FloorBundle() {
    std::string pattern = (std::filesystem::temp_directory_path() / "render-bench-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
    auto real = base::readFile(TOVELIN_SOURCE_DIR "/resources/shaders.glsl");
    if (!real) {
      std::fprintf(stderr, "render_bench: %s\n", real.error().message.c_str());
      std::abort();
    }
    std::string source = std::move(*real);
    const auto at = source.find("void fragment_main() {");
    source = source.substr(0, at) +
             "void fragment_main() { color = vec4(0.5) * clamp(u.scale, 0.0, 1.0); }\n";
    std::ofstream(dir_ + "/shaders.glsl") << source;
  }
  FloorBundle(const FloorBundle&) = delete;
  FloorBundle& operator=(const FloorBundle&) = delete;
  ~FloorBundle() { std::filesystem::remove_all(dir_); }

  // A view made while the floor bundle is the main bundle.
  std::shared_ptr<tovelin::MetalView> view(int width, int height) const {
    base::Bundle::main() = base::Bundle(dir_);
    auto made = patternView(width, height, 0);
    useSourceBundle();
    return made;
  }

 private:
  std::string dir_;
};

void BM_MetalViewFrame(benchmark::State& state) {
  useSourceBundle();
  auto view = patternView(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                          static_cast<int>(state.range(2)));
  const bool readBack = state.range(3) != 0;
  // Frames are called here; the timer does not run (the loop is not run).
  double x = 0.5;
  for (auto _ : state) frame(*view, x, readBack);
}

// The constant-colour floor through the same view and path.
void BM_MetalViewFloor(benchmark::State& state) {
  useSourceBundle();
  const FloorBundle floor;
  auto view = floor.view(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const bool readBack = state.range(3) != 0;
  double x = 0.5;
  for (auto _ : state) frame(*view, x, readBack);
}

// A pattern's frame against the floor's, interleaved.
void BM_PatternOverFloor(benchmark::State& state) {
  useSourceBundle();
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const bool readBack = state.range(3) != 0;
  const FloorBundle floor;
  auto floorView = floor.view(width, height);
  auto view = patternView(width, height, static_cast<int>(state.range(2)));
  double x = 0.5;
  interleave(
      state, "floor", [&] { frame(*floorView, x, readBack); }, "pattern",
      [&] { frame(*view, x, readBack); });
}

// The same shader text compiled and drawn with nothing but GL calls.
class BareLoop {
 public:
  BareLoop(int width, int height) : width_(width), height_(height) {
    auto device = gpu::createSystemDefaultDevice();
    auto library = device->newDefaultLibrary();
    const auto compile = [](GLenum type, const std::string& text) {
      GLuint shader = glCreateShader(type);
      const char* source = text.c_str();
      glShaderSource(shader, 1, &source, nullptr);
      glCompileShader(shader);
      return shader;
    };
    program_ = glCreateProgram();
    glAttachShader(
        program_, compile(GL_VERTEX_SHADER, library->newFunctionWithName("vertex_main")->source()));
    glAttachShader(program_, compile(GL_FRAGMENT_SHADER,
                                     library->newFunctionWithName("fragment_main")->source()));
    glLinkProgram(program_);
    glUniformBlockBinding(program_, glGetUniformBlockIndex(program_, "vertex_buffer_0"), 0);
    glUniformBlockBinding(program_, glGetUniformBlockIndex(program_, "fragment_buffer_1"), 1);

    glGenBuffers(2, buffers_);
    glBindBuffer(GL_UNIFORM_BUFFER, buffers_[0]);
    glBufferData(GL_UNIFORM_BUFFER, sizeof(tovelin::kQuadVertices), tovelin::kQuadVertices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_UNIFORM_BUFFER, buffers_[1]);
    glBufferData(GL_UNIFORM_BUFFER, 32, nullptr, GL_DYNAMIC_DRAW);

    glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, width, height);
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
    pixels_.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    constants_.offset = {0, 0, 1, static_cast<float>(height) / static_cast<float>(width)};
  }
  BareLoop(const BareLoop&) = delete;
  BareLoop& operator=(const BareLoop&) = delete;
  ~BareLoop() {
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteTextures(1, &texture_);
    glDeleteBuffers(2, buffers_);
    glDeleteProgram(program_);
  }

  void frame(bool readBack) {
    constants_.offset[0] = constants_.offset[0] > 0 ? -0.5f : 0.5f;
    glBindBuffer(GL_UNIFORM_BUFFER, buffers_[1]);
    glBufferSubData(GL_UNIFORM_BUFFER, 0, tovelin::kUniformsSize, &constants_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glViewport(0, 0, width_, height_);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glUseProgram(program_);
    glBindBufferBase(GL_UNIFORM_BUFFER, 0, buffers_[0]);
    glBindBufferBase(GL_UNIFORM_BUFFER, 1, buffers_[1]);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glFlush();
    if (readBack) {
      glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels_.data());
      benchmark::DoNotOptimize(pixels_.data());
    } else {
      glFinish();
    }
  }

 private:
  int width_;
  int height_;
  GLuint program_ = 0;
  GLuint buffers_[2] = {};
  GLuint texture_ = 0;
  GLuint framebuffer_ = 0;
  tovelin::Uniforms constants_{};
  std::vector<uint8_t> pixels_;
};

void BM_BareGlesFrame(benchmark::State& state) {
  useSourceBundle();
  BareLoop loop(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) loop.frame(state.range(2) != 0);
}

// The view's frame against the bare GLES loop's, interleaved.
void BM_FrameOverhead(benchmark::State& state) {
  useSourceBundle();
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const bool readBack = state.range(2) != 0;
  BareLoop bare(width, height);
  auto view = tovelin::MetalView::make(base::makeRect(0, 0, width, height), nullptr);
  double x = 0.5;
  interleave(
      state, "bare", [&] { bare.frame(readBack); }, "view", [&] { frame(*view, x, readBack); });
}

void frameArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"w", "h", "readback"});
  for (const auto& size : {std::pair{1920, 1080}, std::pair{3840, 2160}}) {
    for (const int readBack : {0, 1}) b->Args({size.first, size.second, readBack});
  }
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}
// Width, height, pattern type, read-back: the three patterns at 1080p and 4K.
void patternArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"w", "h", "type", "readback"});
  for (const auto& size : {std::pair{1920, 1080}, std::pair{3840, 2160}}) {
    for (const int type : {0, 1, 2}) {
      for (const int readBack : {0, 1}) b->Args({size.first, size.second, type, readBack});
    }
  }
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

// The floor does not depend on the type: one row per size and read-back.
void floorArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"w", "h", "type", "readback"});
  for (const auto& size : {std::pair{1920, 1080}, std::pair{3840, 2160}}) {
    for (const int readBack : {0, 1}) b->Args({size.first, size.second, 0, readBack});
  }
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_BareGlesFrame)->Apply(frameArgs);
BENCHMARK(BM_MetalViewFrame)->Apply(patternArgs);
BENCHMARK(BM_MetalViewFloor)->Apply(floorArgs);
BENCHMARK(BM_PatternOverFloor)->Apply(patternArgs);
BENCHMARK(BM_FrameOverhead)->Apply(frameArgs);

// A view that notes when each tick of its display timer came.
class TickView : public tovelin::MetalView {
 public:
  TickView(Key key, bool draw)
      : MetalView(key, base::makeRect(0, 0, 1920, 1080), nullptr), draw_(draw) {}
  void drawRect(base::Rect dirty) override {
    ticks.push_back(base::Clock::now());
    if (!draw_) return;
    nudge(*this, x_);
    MetalView::drawRect(dirty);
    glFinish();  // count the whole frame inside the tick
  }
  std::vector<base::Clock::time_point> ticks;

 private:
  bool draw_;
  double x_ = 0.5;
};

void BM_DisplayTimer(benchmark::State& state) {
  useSourceBundle();
  const char* env = std::getenv("TOVELIN_BENCH_TIMER_SECONDS");
  const double seconds = env != nullptr ? std::max(0.5, std::atof(env)) : 2.0;
  const bool draw = state.range(0) != 0;
  std::vector<double> intervals;
  long missed = 0;
  for (auto _ : state) {
    auto view = tovelin::MetalView::make<TickView>(draw);
    base::RunLoop::main().runFor(
        std::chrono::duration_cast<base::Clock::duration>(std::chrono::duration<double>(seconds)));
    const double period =
        std::chrono::duration<double, std::milli>(gpu::View::kFrameInterval).count();
    for (size_t i = 1; i < view->ticks.size(); ++i) {
      const double ms =
          std::chrono::duration<double, std::milli>(view->ticks[i] - view->ticks[i - 1]).count();
      intervals.push_back(ms);
      missed += std::max(0L, std::lround(ms / period) - 1);
    }
  }
  std::sort(intervals.begin(), intervals.end());
  if (intervals.empty()) return;
  const auto at = [&](double q) {
    return intervals[std::min(intervals.size() - 1,
                              static_cast<size_t>(q * static_cast<double>(intervals.size())))];
  };
  state.counters["ticks"] = static_cast<double>(intervals.size() + 1);
  state.counters["median_ms"] = at(0.5);
  state.counters["p99_ms"] = at(0.99);
  state.counters["missed"] = static_cast<double>(missed);
}
BENCHMARK(BM_DisplayTimer)
    ->ArgName("drawing")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
