#include <gtest/gtest.h>

#include "app/app_delegate.h"
#include "app/download_page.h"
#include "app/tray_icon_test_support.h"
#include "platform/base/bundle.h"
#include "platform/base/options.h"
#include "platform/ui/alert.h"
#include "platform/ui/application.h"
#include "platform/ui/window.h"
#include "platform/ui/workspace.h"
#include "platform/update/standard_updater_controller.h"
#include "render/metal_view.h"

namespace tovelin {
namespace {

using testing::FakeLink;

// Answers every alert with its first button and writes down its message.
class ScriptedPresenter : public ui::ModalPresenter {
 public:
  std::vector<std::string> messages;
  void present(ui::Alert& alert) override {
    messages.push_back(alert.messageText());
    ui::Alert* shown = &alert;
    base::RunLoop::main().post([shown] {
      if (ui::Alert::modalAlert() == shown) shown->respond(ui::AlertFirstButtonReturn);
    });
  }
};

class TrayIconActions : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = base::Bundle::main();
    base::Bundle::main() = base::Bundle(TOVELIN_SOURCE_DIR "/resources");
    ui::Application::shared().reset();
    view = MetalView::make(base::makeRect(0, 0, 16, 9), nullptr);
    window = ui::Window::make(base::makeRect(0, 0, 16, 9));
    window->setContentView(view);
    link = std::make_shared<FakeLink>();
    tray = TrayIcon::make(view, window, link);
  }
  void TearDown() override {
    ui::Alert::setPresenter(nullptr);
    ui::Application::shared().reset();
    base::Bundle::main() = saved_;
  }

  // Chooses the status-menu item `title` as a person would.
  bool choose(const std::string& title) {
    auto item = tray->statusItem()->menu()->itemWithTitle(title);
    return item && item->performAction();
  }
  std::string chooseCapturingStdout(const std::string& title) {
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(choose(title)) << title;
    return ::testing::internal::GetCapturedStdout();
  }

  std::shared_ptr<MetalView> view;
  std::shared_ptr<ui::Window> window;
  std::shared_ptr<FakeLink> link;
  std::shared_ptr<TrayIcon> tray;

 private:
  base::Bundle saved_{""};
};

struct Preset {
  const char* title;
  double alpha;
  std::optional<std::string> filter;
  int32_t type;
  const char* line;
};

class TrayIconPresets : public TrayIconActions, public ::testing::WithParamInterface<Preset> {};

TEST_P(TrayIconPresets, RestyleTheOverlayAndResumeRendering) {
  const Preset& p = GetParam();
  // Start from the other extreme, faded out and paused.
  window->setAlphaValue(0.1);
  view->layer()->setCompositingFilter("somethingElse");
  view->setConstantsType(7);
  view->setConstantsScale(0.0005F);
  view->setPaused(true);

  const std::string out = chooseCapturingStdout(p.title);
  EXPECT_EQ(out, std::string(p.line) + "\nRendering resumed\n");
  EXPECT_DOUBLE_EQ(window->alphaValue(), p.alpha);
  EXPECT_EQ(view->layer()->compositingFilter(), p.filter);
  EXPECT_EQ(view->constants().type, p.type);
  EXPECT_EQ(view->constants().scale, 1.0F);
  EXPECT_FALSE(view->isPaused());

  // Again: the same look, and the renderer is already running.
  EXPECT_EQ(chooseCapturingStdout(p.title), std::string(p.line) + "\n");
  EXPECT_DOUBLE_EQ(window->alphaValue(), p.alpha);
  EXPECT_EQ(view->layer()->compositingFilter(), p.filter);
  EXPECT_EQ(view->constants().type, p.type);
}

INSTANTIATE_TEST_SUITE_P(Table, TrayIconPresets,
                         ::testing::Values(Preset{"Inverted Dots", 1.0, "differenceBlendMode",
                                                  PatternType::dots, "Option 1 selected"},
                                           Preset{"Black and White Dots", 0.5, std::nullopt,
                                                  PatternType::dots, "Option 2 selected"},
                                           Preset{"Lady Bug", 0.8, "multiplyBlendMode",
                                                  PatternType::ladyBug, "Option 3 selected"},
                                           Preset{"Inverted Hearts", 1.0, "differenceBlendMode",
                                                  PatternType::hearts, "Option 4 selected"}));

TEST_F(TrayIconActions, BlackAndWhiteAfterLadyBugClearsTheFilter) {
  chooseCapturingStdout("Lady Bug");
  chooseCapturingStdout("Black and White Dots");
  EXPECT_EQ(view->layer()->compositingFilter(), std::nullopt);
  EXPECT_EQ(view->constants().type, PatternType::dots);
  EXPECT_DOUBLE_EQ(window->alphaValue(), 0.5);
}

TEST_F(TrayIconActions, APresetWithoutALayerSetsTheRest) {
  view->setLayer(nullptr);
  view->setConstantsScale(0.25F);
  chooseCapturingStdout("Inverted Hearts");
  EXPECT_DOUBLE_EQ(window->alphaValue(), 1.0);
  EXPECT_EQ(view->constants().type, PatternType::hearts);
  EXPECT_EQ(view->constants().scale, 1.0F);
}

TEST_F(TrayIconActions, TheStatusButtonWritesItsLine) {
  ::testing::internal::CaptureStdout();
  EXPECT_TRUE(tray->statusItem()->button()->performClick(nullptr));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "statusBarButtonClicked\n");
}

TEST_F(TrayIconActions, OpeningConnectAndScanMoreStartScans) {
  tray->subMenu()->willOpen();
  tray->subMenu()->willOpen();
  EXPECT_EQ(link->scans, 2);
  tray->buildMenu(MenuState::connected);
  tray->statusItem()->menu()->itemWithTitle("Connect")->submenu()->willOpen();
  EXPECT_EQ(link->scans, 3);
  tray->updateDeviceList({}, true);
  EXPECT_TRUE(tray->subMenu()->itemWithTitle("Scan more devices")->performAction());
  EXPECT_EQ(link->scans, 4);
}

TEST_F(TrayIconActions, ADeviceItemConnectsToItsPeripheral) {
  testing::Phones phones;
  auto found = phones.find({R"("Phone A")", R"("Phone B")"});
  ASSERT_NE(found[1], nullptr);
  tray->updateDeviceList(found, false);
  EXPECT_TRUE(tray->subMenu()->itemWithTitle("Phone B")->performAction());
  ASSERT_EQ(link->connects.size(), 1u);
  EXPECT_EQ(link->connects[0], found[1]);

  // Senders that carry no peripheral do nothing.
  auto plain = ui::MenuItem::make("x", "connectToPeripheral:", "");
  EXPECT_TRUE(tray->perform("connectToPeripheral:", plain));
  plain->setRepresentedObject(std::make_shared<base::Object>());
  EXPECT_TRUE(tray->perform("connectToPeripheral:", plain));
  EXPECT_TRUE(tray->perform("connectToPeripheral:", found[0]));  // not a menu item
  EXPECT_EQ(link->connects.size(), 1u);
}

TEST_F(TrayIconActions, WithTheLinkGoneScanConnectAndUpdateCheckDoNothing) {
  std::weak_ptr<FakeLink> weak = link;
  link.reset();
  EXPECT_TRUE(weak.expired());  // the TrayIcon does not keep its delegate alive
  tray->subMenu()->willOpen();
  tray->updateDeviceList({}, true);
  EXPECT_TRUE(tray->subMenu()->itemWithTitle("Scan more devices")->performAction());
  // No application delegate at all: without the link the check stops first.
  EXPECT_TRUE(choose("Check for updates..."));
}

TEST_F(TrayIconActions, TheUpdateCheckAsksTheApplicationDelegatesUpdater) {
  auto presenter = std::make_shared<ScriptedPresenter>();
  ui::Alert::setPresenter(presenter);
  auto appDelegate = std::make_shared<AppDelegate>();
  ui::Application::shared().setDelegate(appDelegate);
  EXPECT_TRUE(choose("Check for updates..."));  // no updater: nothing
  EXPECT_TRUE(presenter->messages.empty());
  appDelegate->updater = std::make_shared<update::StandardUpdaterController>();
  EXPECT_TRUE(choose("Check for updates..."));
  EXPECT_EQ(presenter->messages.size(), 1u);  // the updater's outcome alert
}

TEST_F(TrayIconActions, TheUpdateCheckNeedsAnAppDelegate) {
  EXPECT_DEATH(choose("Check for updates..."), "not an AppDelegate");
}

TEST_F(TrayIconActions, DownloadOpensTheDownloadPage) {
  base::platformOptions().openUrlCommand = "true";
  ui::Workspace::shared().clearLastOpenedURL();
  EXPECT_TRUE(choose("Download Mobile Application"));
  base::platformOptions().openUrlCommand.reset();
  ASSERT_TRUE(ui::Workspace::shared().lastOpenedURL());
  const std::string address = ui::Workspace::shared().lastOpenedURL()->absoluteString();
  EXPECT_EQ(address, kDownloadPageAddress);
  EXPECT_EQ(address.rfind("https://", 0), 0u);
  EXPECT_EQ(address.substr(address.size() - 9), "#download");
}

TEST_F(TrayIconActions, QuitTerminatesWithoutTouchingTheLink) {
  EXPECT_TRUE(choose("Quit"));
  EXPECT_TRUE(ui::Application::shared().isTerminating());
  EXPECT_EQ(link->scans, 0);
  EXPECT_TRUE(link->connects.empty());
}

}  // namespace
}  // namespace tovelin
