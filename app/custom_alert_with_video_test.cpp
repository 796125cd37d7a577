#include "app/custom_alert_with_video.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/download_page.h"
#include "app/tray_icon.h"
#include "platform/base/bundle.h"
#include "platform/base/file.h"
#include "platform/base/options.h"
#include "platform/media/player_view.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/workspace.h"

namespace tovelin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A bundle in a temporary folder with the welcome window's resources, copied
// from the repository, so that each test can take some away.
class WelcomeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("welcome-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    for (const char* name : {"CustomAlertWithVideo.json", "UseDesktop.mov", "appusage.mov"}) {
      fs::copy_file(fs::path(TOVELIN_SOURCE_DIR) / "resources" / name, folder_ / name);
    }
    savedBundle_ = base::Bundle::main();
    base::Bundle::main() = base::Bundle(folder_.string());
    savedOpenCommand_ = base::platformOptions().openUrlCommand;
    base::platformOptions().openUrlCommand = "true";  // open nothing for real
    ui::Application::shared().reset();
    ui::Workspace::shared().clearLastOpenedURL();
  }
  void TearDown() override {
    base::Bundle::main() = savedBundle_;
    base::platformOptions().openUrlCommand = savedOpenCommand_;
    ui::Application::shared().reset();
    fs::remove_all(folder_);
  }

  [[nodiscard]] base::URL firstVideo() const {
    return base::URL::fileURL((folder_ / "UseDesktop.mov").string());
  }
  std::shared_ptr<CustomAlertWithVideo> makeWindow() {
    auto alert = CustomAlertWithVideo::make(firstVideo());
    EXPECT_TRUE(alert);
    return alert;
  }
  static std::shared_ptr<media::PlayerView> playerViewIn(const std::weak_ptr<ui::View>& area) {
    auto view = area.lock();
    if (!view || view->subviews().size() != 1) return nullptr;
    return std::dynamic_pointer_cast<media::PlayerView>(view->subviews().front());
  }
  static std::shared_ptr<ui::Button> button(ui::View& root, const std::string& title) {
    for (const auto& sub : root.subviews()) {
      if (auto b = std::dynamic_pointer_cast<ui::Button>(sub); b && b->title() == title) return b;
      if (auto found = button(*sub, title)) return found;
    }
    return nullptr;
  }

  fs::path folder_;
  base::Bundle savedBundle_{""};
  std::optional<std::string> savedOpenCommand_;
};

TEST_F(WelcomeWindowTest, IsReadyWithTwoPlayersNotStarted) {
  auto alert = makeWindow();
  ASSERT_TRUE(alert);
  auto window = alert->window();
  ASSERT_TRUE(window);
  EXPECT_EQ(window->title(), "Welcome to Tovelin");
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(std::dynamic_pointer_cast<CustomAlertWithVideo>(window->delegate()), alert);
  ASSERT_TRUE(alert->player && alert->player2 && alert->playerLooper && alert->playerLooper2);
  EXPECT_EQ(alert->player->currentItem()->url(), firstVideo());
  EXPECT_EQ(alert->player2->currentItem()->url().path(), (folder_ / "appusage.mov").string());
  EXPECT_EQ(alert->player->rate(), 0.0);
  EXPECT_EQ(alert->player2->rate(), 0.0);
  EXPECT_EQ(ui::Application::shared().activationPolicy(), ui::ActivationPolicy::regular);
}

TEST_F(WelcomeWindowTest, PlayerViewsFillTheirAreasWithoutControls) {
  auto alert = makeWindow();
  ASSERT_TRUE(alert);
  const std::pair<std::weak_ptr<ui::View>, std::shared_ptr<media::QueuePlayer>> areas[] = {
      {alert->videoContent, alert->player}, {alert->videoContent2, alert->player2}};
  for (const auto& [area, player] : areas) {
    auto view = playerViewIn(area);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->player(), player);
    EXPECT_EQ(view->frame(), area.lock()->bounds());
    EXPECT_EQ(view->autoresizingMask(), 18u);
    EXPECT_EQ(view->controlsStyle(), media::PlayerViewControlsStyleNone);
    EXPECT_EQ(view->videoGravity(), "AVLayerVideoGravityResizeAspectFill");
    EXPECT_FALSE(view->allowsVideoFrameAnalysis());
    EXPECT_FALSE(view->updatesNowPlayingInfoCenter());
    // The area changes size: the video keeps filling it.
    area.lock()->setFrame(base::makeRect(10, 10, 400, 150));
    EXPECT_EQ(view->frame(), base::makeRect(0, 0, 400, 150));
    const auto pixels = view->snapshotPixels();
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->width, 400);
    EXPECT_EQ(pixels->height, 150);
  }
}

TEST_F(WelcomeWindowTest, VideosLoopAtTheirRealDurations) {
  auto alert = makeWindow();
  ASSERT_TRUE(alert);
  EXPECT_DOUBLE_EQ(alert->player->currentItem()->durationSeconds(), 3.0);
  EXPECT_DOUBLE_EQ(alert->player2->currentItem()->durationSeconds(), 2.0);
  alert->showWindow(nullptr);
  alert->player->play();
  alert->player2->play();
  base::RunLoop::main().runFor(3400ms);
  // 3.4 s in: the first video is in its second pass, the second one too.
  EXPECT_EQ(alert->playerLooper->loopCount(), 1);
  EXPECT_EQ(alert->playerLooper2->loopCount(), 1);
  EXPECT_LT(alert->player->currentTimeSeconds(), 1.0);
  EXPECT_GT(alert->player2->currentTimeSeconds(), 1.0);
  EXPECT_LT(alert->player2->currentTimeSeconds(), 2.0);
  EXPECT_EQ(alert->player->rate(), 1.0);
  const auto status = playerViewIn(alert->videoContent2)->consoleStatus().value_or("");
  EXPECT_EQ(status.rfind("player: playing 1.", 0), 0u) << status;
  EXPECT_NE(status.find(" of 2.00 s (loop 1)"), std::string::npos) << status;
}

enum class CloseBy { closeButton, closeAlertAction, windowCloseButton };

class WelcomeWindowClose : public WelcomeWindowTest,
                           public ::testing::WithParamInterface<CloseBy> {};

TEST_P(WelcomeWindowClose, StopsBothVideosAndDropsTheDockIcon) {
  auto alert = makeWindow();
  ASSERT_TRUE(alert);
  auto window = alert->window();
  alert->showWindow(nullptr);
  auto first = alert->player;
  auto second = alert->player2;
  first->play();
  second->play();
  base::RunLoop::main().runFor(100ms);
  ASSERT_TRUE(window->isVisible());

  switch (GetParam()) {
    case CloseBy::closeButton: {
      auto close = button(*window->contentView(), "Close");
      ASSERT_TRUE(close);
      EXPECT_TRUE(close->performClick(nullptr));
      break;
    }
    case CloseBy::closeAlertAction:
      EXPECT_TRUE(alert->perform("closeAlert:", nullptr));
      break;
    case CloseBy::windowCloseButton:
      window->performClose(nullptr);
      break;
  }

  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(ui::Application::shared().activationPolicy(), ui::ActivationPolicy::accessory);
  EXPECT_EQ(first->rate(), 0.0);
  EXPECT_EQ(second->rate(), 0.0);
  EXPECT_FALSE(alert->player || alert->player2 || alert->playerLooper || alert->playerLooper2);
  const auto stoppedAt = first->currentTime();
  base::RunLoop::main().runFor(100ms);
  EXPECT_EQ(first->currentTime(), stoppedAt);
  // The views still show the paused players.
  EXPECT_EQ(playerViewIn(alert->videoContent)->player(), first);
}

INSTANTIATE_TEST_SUITE_P(AllWays, WelcomeWindowClose,
                         ::testing::Values(CloseBy::closeButton, CloseBy::closeAlertAction,
                                           CloseBy::windowCloseButton));

TEST_F(WelcomeWindowTest, ASecondCloseOnlySetsThePolicyAgain) {
  auto alert = makeWindow();
  ASSERT_TRUE(alert);
  alert->showWindow(nullptr);
  alert->closeAlert(nullptr);
  ui::Application::shared().setActivationPolicy(ui::ActivationPolicy::regular);
  alert->windowWillClose(nullptr);
  EXPECT_EQ(ui::Application::shared().activationPolicy(), ui::ActivationPolicy::accessory);
  ui::Application::shared().setActivationPolicy(ui::ActivationPolicy::regular);
  alert->perform("closeAlert:", nullptr);
  EXPECT_EQ(ui::Application::shared().activationPolicy(), ui::ActivationPolicy::accessory);
  EXPECT_FALSE(alert->player || alert->player2 || alert->playerLooper || alert->playerLooper2);
  EXPECT_FALSE(alert->window()->isVisible());
}

TEST_F(WelcomeWindowTest, TheWebsiteButtonAndTheMenuOpenTheSamePage) {
  auto alert = makeWindow();
  ASSERT_TRUE(alert);
  const auto page = base::URL::fromString(kDownloadPageAddress);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->scheme(), "https");
  EXPECT_TRUE(page->absoluteString().ends_with("/#download"));

  auto website = button(*alert->window()->contentView(), "Get the Phone App");
  ASSERT_TRUE(website);
  EXPECT_TRUE(website->performClick(nullptr));
  EXPECT_EQ(ui::Workspace::shared().lastOpenedURL(), page);

  ui::Workspace::shared().clearLastOpenedURL();
  EXPECT_TRUE(alert->perform("openWebsite:", nullptr));
  EXPECT_EQ(ui::Workspace::shared().lastOpenedURL(), page);

  ui::Workspace::shared().clearLastOpenedURL();
  auto tray = TrayIcon::make(nullptr, nullptr, nullptr);
  EXPECT_TRUE(tray->perform("downloadMobile:", nullptr));
  EXPECT_EQ(ui::Workspace::shared().lastOpenedURL(), page);
  // Neither action closes the window or changes the policy.
  EXPECT_TRUE(alert->player);
  EXPECT_EQ(ui::Application::shared().activationPolicy(), ui::ActivationPolicy::regular);
}

// Bundles the welcome window cannot be built from: a message, and no window.
struct BrokenBundle {
  const char* name;
  const char* says;
  void (*breakIt)(const fs::path& folder);
};

void rewriteInterfaceFile(const fs::path& folder, const std::string& from, const std::string& to) {
  const fs::path file = folder / "CustomAlertWithVideo.json";
  auto read = base::readFile(file.string());
  ASSERT_TRUE(read) << read.error().message;
  std::string text = *read;
  const auto at = text.find(from);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, from.size(), to);
  std::ofstream(file, std::ios::trunc) << text;
}

class WelcomeWindowRefused : public WelcomeWindowTest,
                             public ::testing::WithParamInterface<BrokenBundle> {};

TEST_P(WelcomeWindowRefused, WithAMessageAndNoWindow) {
  GetParam().breakIt(folder_);
  const size_t windowsBefore = ui::Application::shared().windows().size();
  ::testing::internal::CaptureStderr();
  auto alert = CustomAlertWithVideo::make(firstVideo());
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(alert);
  EXPECT_NE(err.find(GetParam().says), std::string::npos) << err;
  EXPECT_NE(err.find("welcome window: "), std::string::npos) << err;
  EXPECT_EQ(ui::Application::shared().windows().size(), windowsBefore);
  EXPECT_EQ(ui::Application::shared().activationPolicy(), ui::ActivationPolicy::regular);
}

INSTANTIATE_TEST_SUITE_P(
    Bundles, WelcomeWindowRefused,
    ::testing::Values(
        BrokenBundle{"noSecondVideo", "the bundle has no video \"appusage.mov\"",
                     [](const fs::path& f) { fs::remove(f / "appusage.mov"); }},
        BrokenBundle{"noFirstArea", "connects no \"videoContent\"",
                     [](const fs::path& f) {
                       rewriteInterfaceFile(
                           f, R"({"from": "owner", "key": "videoContent", "to": "desktopVideo"},)",
                           "");
                     }},
        BrokenBundle{"noSecondArea", "connects no \"videoContent2\"",
                     [](const fs::path& f) {
                       rewriteInterfaceFile(f, R"(,
    {"from": "owner", "key": "videoContent2", "to": "phoneVideo"})",
                                            "");
                     }},
        BrokenBundle{"noInterfaceFile", "gives no window",
                     [](const fs::path& f) { fs::remove(f / "CustomAlertWithVideo.json"); }},
        BrokenBundle{"areaIsNotAView", "gives no window",
                     [](const fs::path& f) {
                       rewriteInterfaceFile(f, R"("key": "videoContent", "to": "desktopVideo")",
                                            R"("key": "videoContent", "to": "window")");
                     }}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace tovelin
