// The application's real objects in this process, loaded from the real main
// interface file on the stand-in platform: the overlay's settings and the
// appearance presets, read straight from the objects.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/application_link_host.h"
#include "app/classes.h"
#include "link/view_controller.h"
#include "platform/base/bundle.h"
#include "platform/base/options.h"
#include "platform/base/run_loop.h"
#include "platform/ui/application.h"
#include "platform/ui/menu_item.h"
#include "platform/ui/window.h"
#include "render/metal_view.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

class InProcess : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ =
        std::filesystem::temp_directory_path() / ("tovelin-inproc-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    auto& options = base::platformOptions();
    options.radioPath = (dir_ / "radio" / "radio.sock").string();
    options.defaultsFile = (dir_ / "defaults.json").string();
    options.screenWidth = 640;
    options.screenHeight = 360;
    options.openUrlCommand = "/bin/true";
    base::Bundle::main() = base::Bundle(TOVELIN_BUNDLE_DIR);
    tovelin::registerClasses();
    auto& app = ui::Application::shared();
    ASSERT_TRUE(app.loadMainInterfaceFile("MainMenu"));
    app.finishLaunching();
    base::RunLoop::main().runFor(50ms);
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  static std::shared_ptr<ui::Window> overlay() {
    return ui::Application::shared().windows().front();
  }
  static std::shared_ptr<tovelin::ViewController> controller() {
    return std::dynamic_pointer_cast<tovelin::ViewController>(overlay()->contentViewController());
  }
  // The status menu and welcome window the application handed the link.
  static std::shared_ptr<tovelin::ApplicationLinkHost> host() {
    auto vc = controller();
    return vc ? std::dynamic_pointer_cast<tovelin::ApplicationLinkHost>(vc->host()) : nullptr;
  }

  static std::filesystem::path dir_;
};

std::filesystem::path InProcess::dir_;

TEST_F(InProcess, LaunchTurnsTheFirstWindowIntoTheOverlay) {
  const auto windows = ui::Application::shared().windows();
  ASSERT_GE(windows.size(), 2U);  // the overlay and the welcome window
  const auto& w = windows.front();
  EXPECT_EQ(w->frame(), base::makeRect(0, 0, 640, 360));
  EXPECT_FALSE(w->isOpaque());
  EXPECT_FALSE(w->hasShadow());
  EXPECT_EQ(w->collectionBehavior(), 1UL);
  EXPECT_EQ(w->backgroundColor(), ui::Color::clearColor());
  EXPECT_TRUE(w->ignoresMouseEvents());
  EXPECT_EQ(w->level(), static_cast<long>(ui::shieldingWindowLevel()) + 1);
  // Only the first window gets the settings.
  EXPECT_EQ(windows[1]->level(), ui::NormalWindowLevel);
  EXPECT_TRUE(windows[1]->ignoresMouseEvents() == false);

  auto vc = controller();
  ASSERT_TRUE(vc);
  ASSERT_TRUE(vc->metalView());
  EXPECT_EQ(vc->window(), w);
  EXPECT_TRUE(vc->centralManager());
  ASSERT_TRUE(host());
  EXPECT_TRUE(host()->trayIcon());
  EXPECT_TRUE(host()->welcomeWindow());
  // The renderer's view fills the overlay.
  EXPECT_EQ(vc->metalView()->frame().size, w->frame().size);
}

struct PresetCase {
  const char* action;
  double alpha;
  std::optional<std::string> filter;
  int32_t type;
  const char* line;
};

class Presets : public InProcess, public testing::WithParamInterface<PresetCase> {};

TEST_P(Presets, EachPresetRestylesTheOverlayAndResumesIt) {
  auto vc = controller();
  ASSERT_TRUE(vc && host() && host()->trayIcon() && vc->metalView());
  const auto& trayIcon = host()->trayIcon();
  auto& view = *vc->metalView();
  // From a faded, paused overlay.
  view.setConstantsScale(0.0F);
  view.setConstantsType(7);
  view.setPaused(true);
  overlay()->orderOut(nullptr);

  testing::internal::CaptureStdout();
  ASSERT_TRUE(trayIcon->perform(GetParam().action, ui::MenuItem::make("x", std::nullopt, "")));
  const std::string out = testing::internal::GetCapturedStdout();

  EXPECT_EQ(out, std::string(GetParam().line) + "\nRendering resumed\n");
  EXPECT_DOUBLE_EQ(overlay()->alphaValue(), GetParam().alpha);
  ASSERT_TRUE(view.layer());
  EXPECT_EQ(view.layer()->compositingFilter(), GetParam().filter);
  EXPECT_EQ(view.constants().type, GetParam().type);
  EXPECT_EQ(view.constants().scale, 1.0F);
  EXPECT_FALSE(view.isPaused());
  EXPECT_TRUE(overlay()->isVisible());

  // The same preset again finds the renderer running: no second resume.
  testing::internal::CaptureStdout();
  trayIcon->perform(GetParam().action, nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(GetParam().line) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    All, Presets,
    testing::Values(
        PresetCase{"menuOption1Selected:", 1.0, "differenceBlendMode", 0, "Option 1 selected"},
        PresetCase{"menuOption2Selected:", 0.5, std::nullopt, 0, "Option 2 selected"},
        PresetCase{"menuOption3Selected:", 0.8, "multiplyBlendMode", 1, "Option 3 selected"},
        PresetCase{"menuOption4Selected:", 1.0, "differenceBlendMode", 2, "Option 4 selected"}),
    [](const testing::TestParamInfo<PresetCase>& param) {
      return "option" + std::to_string(param.index + 1);
    });

TEST_F(InProcess, AccelerationAloneResumesWithTheFadeStillLow) {
  auto vc = controller();
  ASSERT_TRUE(vc && vc->metalView());
  auto& view = *vc->metalView();
  view.setConstantsScale(0.0005F);
  view.setPaused(true);
  testing::internal::CaptureStdout();
  view.applyAcceleration(view.lastx() + 1.0, view.lasty(), view.lastz());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Rendering resumed\n");
  EXPECT_FALSE(view.isPaused());
  EXPECT_EQ(view.constants().scale, 0.0005F);
}

}  // namespace
}  // namespace e2e
