#include "platform/ui/application.h"

#include <gtest/gtest.h>

#include "platform/base/options.h"
#include "platform/base/run_loop.h"
#include "platform/ui/screen.h"
#include "platform/ui/window.h"

namespace ui {
namespace {

class ApplicationTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Application::shared().reset();
    base::platformOptions() = saved_;
  }
  base::PlatformOptions saved_ = base::platformOptions();
};

class RecordingDelegate : public base::Object, public ApplicationDelegate {
 public:
  void applicationDidFinishLaunching(const std::shared_ptr<base::Object>&) override {
    events.emplace_back("launched");
  }
  void applicationWillTerminate(const std::shared_ptr<base::Object>&) override {
    events.emplace_back("terminating");
  }
  std::vector<std::string> events;
};

TEST_F(ApplicationTest, TerminateEndsTheMainLoopAndTheDelegateHearsEachStage) {
  auto& app = Application::shared();
  auto delegate = std::make_shared<RecordingDelegate>();
  app.setDelegate(delegate);
  app.finishLaunching();
  bool ran = false;
  base::RunLoop::main().post([&] {
    ran = true;
    EXPECT_TRUE(app.perform("terminate:", nullptr));
  });
  EXPECT_FALSE(app.isTerminating());
  app.run();  // returns only because of terminate:
  EXPECT_TRUE(ran);
  EXPECT_TRUE(app.isTerminating());
  app.sendWillTerminate();
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"launched", "terminating"}));
  // Terminated already: run() does not wait.
  app.run();
}

TEST_F(ApplicationTest, TheDelegateOutletTakesOnlyApplicationDelegates) {
  auto& app = Application::shared();
  EXPECT_FALSE(app.setValueForKey("delegate", std::make_shared<base::Object>()));
  EXPECT_FALSE(app.delegate());
  auto delegate = std::make_shared<RecordingDelegate>();
  EXPECT_TRUE(app.setValueForKey("delegate", delegate));
  EXPECT_EQ(app.delegate(), delegate);
  EXPECT_FALSE(app.setValueForKey("updater", delegate));
}

TEST_F(ApplicationTest, ActivationPolicyTakesTheThreeValuesOnly) {
  auto& app = Application::shared();
  EXPECT_EQ(app.activationPolicy(), ActivationPolicy::regular);
  EXPECT_TRUE(app.setActivationPolicy(ActivationPolicy::accessory));
  EXPECT_EQ(static_cast<long>(app.activationPolicy()), 1);
  EXPECT_FALSE(app.setActivationPolicy(static_cast<ActivationPolicy>(7)));
  EXPECT_EQ(app.activationPolicy(), ActivationPolicy::accessory);
}

TEST_F(ApplicationTest, WindowsAreListedInTheOrderTheyWereMade) {
  auto first = Window::make(base::makeRect(0, 0, 10, 10));
  auto second = Window::make(base::makeRect(0, 0, 10, 10));
  second->makeKeyAndOrderFront(nullptr);
  first->makeKeyAndOrderFront(nullptr);  // ordering does not change the list
  auto windows = Application::shared().windows();
  ASSERT_GE(windows.size(), 2U);
  EXPECT_EQ(windows[windows.size() - 2], first);
  EXPECT_EQ(windows.back(), second);
  EXPECT_TRUE(first->isKeyWindow());
  EXPECT_FALSE(second->isKeyWindow());
}

TEST_F(ApplicationTest, TheMainScreenHasTheOptionsSizeAndAMenuBar) {
  ASSERT_TRUE(base::parsePlatformOptions({"--screen", "1280x800"}, base::platformOptions()));
  auto screen = Screen::mainScreen();
  ASSERT_TRUE(screen);
  EXPECT_EQ(screen->frame(), base::makeRect(0, 0, 1280, 800));
  EXPECT_EQ(screen->visibleFrame(), base::makeRect(0, 0, 1280, 776));
}

}  // namespace
}  // namespace ui
