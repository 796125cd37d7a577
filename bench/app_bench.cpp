// The whole application in this process, with a phone on its radio socket.
//
// Motion to photon: from an acceleration update written on the radio socket
// to the first frame committed with that update's scroll offset in its
// constants, over the simulator's built-in drive. The display timer's period
// (16.7 ms at 60 Hz) is the baseline: a frame can only pick an update up at
// the next tick, so the ratio to the period is the stand-in's own share.
//
// Idle cost: processor time per second of wall time while the overlay draws,
// and once it has faded and paused.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "app/classes.h"
#include "link/view_controller.h"
#include "platform/base/bundle.h"
#include "platform/base/options.h"
#include "platform/base/run_loop.h"
#include "platform/ui/alert.h"
#include "platform/ui/application.h"
#include "platform/ui/window.h"
#include "render/metal_view.h"
#include "sim/motion.h"
#include "tests/support/scripted_phone.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct App {
  std::shared_ptr<tovelin::ViewController> controller;
  std::unique_ptr<testing_support::ScriptedPhone> phone;
};

// Loads the application once, connects a phone and waits for its subscription.
App& app() {
  static App* instance = [] {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tovelin-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto& options = base::platformOptions();
    options.radioPath = (dir / "radio" / "radio.sock").string();
    options.defaultsFile = (dir / "defaults.json").string();
    options.openUrlCommand = "/bin/true";
    base::Bundle::main() = base::Bundle(TOVELIN_BUNDLE_DIR);
    tovelin::registerClasses();
    auto& application = ui::Application::shared();
    if (auto loaded = application.loadMainInterfaceFile("MainMenu"); !loaded) {
      std::fprintf(stderr, "app_bench: %s\n", loaded.error().message.c_str());
      std::abort();
    }
    application.finishLaunching();
    auto* a = new App;
    a->controller = std::dynamic_pointer_cast<tovelin::ViewController>(
        application.windows().front()->contentViewController());
    a->phone = std::make_unique<testing_support::ScriptedPhone>(
        options.radioPath.value(), "1B4E28BA-2FA1-11D2-883F-0016D3CCA427", "Bench Phone");
    auto& loop = base::RunLoop::main();
    a->controller->startScan();
    loop.runUntil([&] { return !a->controller->discoveredPeripherals().empty(); }, 5s);
    if (a->controller->discoveredPeripherals().empty()) {
      std::fprintf(stderr, "app_bench: the phone was never discovered\n");
      std::abort();
    }
    a->controller->connectToPeripheral(a->controller->discoveredPeripherals().front());
    bool subscribed = false;
    for (int i = 0; i < 500 && !subscribed; ++i) {
      loop.runFor(5ms);
      subscribed = a->phone->waitFor("subscribe", 1ms).has_value();
    }
    if (!subscribed) {
      std::fprintf(stderr, "app_bench: the phone was never subscribed\n");
      std::abort();
    }
    return a;
  }();
  return *instance;
}

bool committedOffsetIs(tovelin::MetalView& view, float x, float y) {
  float committed[2];
  std::memcpy(committed, view.constantsBuffer()->contents(), sizeof committed);
  return committed[0] == x && committed[1] == y;
}

void BM_MotionToPhoton(benchmark::State& state) {
  auto& a = app();
  auto& view = *a.controller->metalView();
  auto& loop = base::RunLoop::main();
  const sim::BuiltInDrive drive;
  std::vector<double> latencies;
  double t = 0;
  std::mt19937 random(1);
  for (auto _ : state) {
    // Updates arrive at any point of the frame: start each at a random phase.
    loop.runFor(std::chrono::microseconds(random() % 16667));
    // Frames 25 ms apart along the drive, never twice the same value.
    t += 0.025;
    const auto a0 = drive.at(std::fmod(t, drive.duration()));
    const double x = a0.x + 1e-3 * static_cast<double>(latencies.size() % 97 + 1);
    const auto start = Clock::now();
    a.phone->sendAcceleration(x, a0.y, a0.z);
    loop.runUntil([&] { return view.lastx() == x; }, 1s);
    const float ox = view.constants().offset[0];
    const float oy = view.constants().offset[1];
    loop.runUntil([&] { return committedOffsetIs(view, ox, oy); }, 1s);
    const auto end = Clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    latencies.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    if (view.isPaused()) view.resumeRendering();
  }
  std::sort(latencies.begin(), latencies.end());
  const auto pick = [&](double q) {
    return latencies[std::min(latencies.size() - 1,
                              static_cast<size_t>(q * static_cast<double>(latencies.size())))];
  };
  const double period = 1000.0 / 60.0;
  state.counters["median_ms"] = pick(0.5);
  state.counters["p99_ms"] = pick(0.99);
  state.counters["frame_period_ms"] = period;
  state.counters["median_per_period"] = pick(0.5) / period;
}
BENCHMARK(BM_MotionToPhoton)->UseManualTime()->Iterations(400)->Unit(benchmark::kMillisecond);

double cpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& tv) {
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Processor seconds per wall second over `wall` of the run loop.
double cpuShare(std::chrono::milliseconds wall) {
  const double before = cpuSeconds();
  base::RunLoop::main().runFor(wall);
  return (cpuSeconds() - before) / std::chrono::duration<double>(wall).count();
}

void BM_IdleCost(benchmark::State& state) {
  auto& view = *app().controller->metalView();
  double drawing = 0;
  double paused = 0;
  for (auto _ : state) {
    view.setConstantsScale(1.0F);
    view.resumeRendering();
    drawing = cpuShare(2000ms);
    view.setPaused(true);  // as the fade's last frame does
    paused = cpuShare(2000ms);
  }
  state.counters["drawing_cpu_per_s"] = drawing;
  state.counters["paused_cpu_per_s"] = paused;
  state.counters["paused_over_drawing"] = drawing > 0 ? paused / drawing : 0;
}
BENCHMARK(BM_IdleCost)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
