#include "platform/ui/interface_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/base/bundle.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/text_field.h"
#include "platform/ui/view_controller.h"
#include "platform/ui/window.h"
#include "platform/ui/window_controller.h"

namespace ui {
namespace {

// A controller that records what it saw when its view loaded.
class ProbeController : public ViewController {
 public:
  explicit ProbeController(const base::Coder& coder) : ViewController(coder) {}
  void viewDidLoad() override {
    ++loads;
    ++totalLoads;
    labelWasConnected = label != nullptr;
    const auto windows = Application::shared().windows();
    firstWindowTitle = windows.empty() ? "" : windows.front()->title();
  }
  static const base::Outlet kOutlets[];
  static const base::ClassTable kClassTable;
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

  static inline int totalLoads = 0;
  std::shared_ptr<TextField> label;
  int loads = 0;
  bool labelWasConnected = false;
  std::string firstWindowTitle;
};

const base::Outlet ProbeController::kOutlets[] = {base::outlet<&ProbeController::label>("label")};
const base::ClassTable ProbeController::kClassTable{
    "ProbeController", &ViewController::kClassTable, {}, kOutlets};

// A file's owner with two outlets and one action.
class Owner : public base::Object {
 public:
  void closeAlert(const base::ObjectPtr& sender) {
    ++closes;
    lastSender = sender;
  }
  std::shared_ptr<Window> window;
  std::shared_ptr<ProbeController> controller;
  int closes = 0;
  std::shared_ptr<base::Object> lastSender;

  static const base::Action kActions[];
  static const base::Outlet kOutlets[];
  static const base::ClassTable kClassTable;
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }
};
const base::Action Owner::kActions[] = {base::action<&Owner::closeAlert>("closeAlert:")};
const base::Outlet Owner::kOutlets[] = {base::outlet<&Owner::window>("window"),
                                        base::outlet<&Owner::controller>("controller")};
const base::ClassTable Owner::kClassTable{"Owner", &base::Object::kClassTable, kActions, kOutlets};

class InterfaceFileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ClassRegistry::shared().registerClass("ProbeController", [](const base::Coder& c) {
      return std::make_shared<ProbeController>(c);
    });
  }
  std::shared_ptr<Owner> owner_ = std::make_shared<Owner>();
};

constexpr const char* kGoodFile = R"({
  "objects": [
    {"id": "window", "class": "NSWindow",
     "attributes": {"frame": [0, 0, 400, 300], "title": "Main"},
     "contentViewController": "controller"},
    {"id": "controller", "class": "ProbeController"},
    {"id": "root", "class": "NSView", "attributes": {"frame": [0, 0, 400, 300]},
     "subviews": [
       {"id": "label", "class": "NSTextField", "attributes": {"stringValue": "Hello", "editable": false}},
       {"id": "close", "class": "NSButton", "attributes": {"title": "Close", "frame": [300, 10, 80, 24]}}
     ]}
  ],
  "outlets": [
    {"from": "controller", "key": "view", "to": "root"},
    {"from": "controller", "key": "label", "to": "label"},
    {"from": "owner", "key": "window", "to": "window"},
    {"from": "owner", "key": "controller", "to": "controller"}
  ],
  "actions": [{"control": "close", "action": "closeAlert:", "target": "owner"}]
})";

TEST_F(InterfaceFileTest, ObjectsOutletsActionsAndContentControllersAreConnected) {
  auto result = loadInterfaceText(kGoodFile, owner_, "Good");
  ASSERT_TRUE(result.ok()) << result.error().message;
  const auto& objects = *result;
  ASSERT_EQ(objects.topLevelObjects.size(), 3U);
  EXPECT_EQ(objects.topLevelObjects[0]->className(), "NSWindow");
  EXPECT_EQ(objects.topLevelObjects[2]->className(), "NSView");

  // The owner's outlets.
  ASSERT_TRUE(owner_->window);
  EXPECT_EQ(owner_->window->title(), "Main");
  ASSERT_TRUE(owner_->controller);
  // The controller's view loaded once, after its outlets and with the window listed.
  EXPECT_EQ(owner_->controller->loads, 1);
  EXPECT_TRUE(owner_->controller->labelWasConnected);
  EXPECT_EQ(owner_->controller->firstWindowTitle, "Main");
  EXPECT_EQ(owner_->window->contentView(), objects.object("root"));
  EXPECT_EQ(owner_->controller->label->stringValue(), "Hello");
  EXPECT_FALSE(owner_->controller->label->isEditable());
  // Nested objects belong to their view, in order.
  const auto root = std::dynamic_pointer_cast<View>(objects.object("root"));
  ASSERT_EQ(root->subviews().size(), 2U);
  EXPECT_EQ(root->subviews()[1], objects.object("close"));
  EXPECT_EQ(root->window(), owner_->window);

  // Pressing the button sends its action to the owner with the button as sender.
  auto button = std::dynamic_pointer_cast<Button>(objects.object("close"));
  ASSERT_TRUE(button);
  EXPECT_TRUE(button->performClick(nullptr));
  EXPECT_EQ(owner_->closes, 1);
  EXPECT_EQ(owner_->lastSender, button);
}

struct BadFile {
  const char* name;
  const char* text;
  const char* expected;  // part of the error text
};

class BadInterfaceFileTest : public InterfaceFileTest,
                             public ::testing::WithParamInterface<BadFile> {};

TEST_P(BadInterfaceFileTest, IsRefusedWholeWithAClearReason) {
  auto result = loadInterfaceText(GetParam().text, owner_, "Bad");
  EXPECT_FALSE(result.ok());
  EXPECT_NE(result.error().message.find("interface file Bad: "), std::string::npos)
      << result.error().message;
  EXPECT_NE(result.error().message.find(GetParam().expected), std::string::npos)
      << result.error().message;
  // Nothing of a refused file stays connected to the owner.
  EXPECT_FALSE(owner_->window);
  EXPECT_FALSE(owner_->controller);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadInterfaceFileTest,
    ::testing::Values(
        BadFile{"NotJson", "{\"objects\": [", "not valid JSON"},
        BadFile{"UnknownClass", R"({"objects": [{"id": "m", "class": "NoSuchView"}]})",
                "unknown class \"NoSuchView\""},
        BadFile{"MissingClass", R"({"objects": [{"id": "m"}]})", "no \"class\""},
        BadFile{"DuplicateId",
                R"({"objects": [{"id": "a", "class": "NSView"}, {"id": "a", "class": "NSView"}]})",
                "used twice"},
        BadFile{"UnknownEntry", R"({"objects": [{"class": "NSView", "frame": [0,0,1,1]}]})",
                "unknown entry \"frame\""},
        BadFile{"UnknownSection", R"({"objects": [], "connections": []})",
                "unknown section \"connections\""},
        BadFile{"OutletToMissingObject",
                R"({"objects": [{"id": "w", "class": "NSWindow"}],
                    "outlets": [{"from": "owner", "key": "window", "to": "nothing"}]})",
                "does not define"},
        BadFile{"RefusedKeyAfterAGoodOne",
                R"({"objects": [{"id": "w", "class": "NSWindow"}],
                    "outlets": [{"from": "owner", "key": "window", "to": "w"},
                                {"from": "owner", "key": "metalView", "to": "w"}]})",
                "\"metalView\" from \"owner\" to \"w\" is refused"},
        BadFile{"RefusedKeyOnAFileObject",
                R"({"objects": [{"id": "w", "class": "NSWindow"}, {"id": "v", "class": "NSView"}],
                    "outlets": [{"from": "owner", "key": "window", "to": "w"},
                                {"from": "v", "key": "updater", "to": "w"}]})",
                "is refused"},
        BadFile{"ActionOnAPlainView",
                R"({"objects": [{"id": "v", "class": "NSView"}],
                    "actions": [{"control": "v", "action": "closeAlert:", "target": "owner"}]})",
                "is not a control"},
        BadFile{"ActionToMissingTarget",
                R"({"objects": [{"id": "b", "class": "NSButton"}],
                    "actions": [{"control": "b", "action": "closeAlert:", "target": "x"}]})",
                "does not define"},
        BadFile{"SubviewThatIsNoView",
                R"({"objects": [{"id": "v", "class": "NSView", "subviews": ["c"]},
                                {"id": "c", "class": "NSViewController"}]})",
                "is not a view"},
        BadFile{"ViewInTwoPlaces",
                R"({"objects": [{"id": "a", "class": "NSView", "subviews": ["c"]},
                                {"id": "b", "class": "NSView", "subviews": ["c"]},
                                {"id": "c", "class": "NSView"}]})",
                "placed in two views"},
        BadFile{"ViewInsideItself",
                R"({"objects": [{"id": "a", "class": "NSView", "subviews": ["b"]},
                                {"id": "b", "class": "NSView", "subviews": ["a"]}]})",
                "inside itself"},
        BadFile{"ContentControllerThatIsNoController",
                R"({"objects": [{"id": "w", "class": "NSWindow", "contentViewController": "v"},
                                {"id": "v", "class": "NSView"}]})",
                "is not a view controller"},
        BadFile{"MalformedOutlet", R"({"outlets": [{"from": "owner", "key": "window"}]})",
                "an outlet must be"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(InterfaceFileTest, AControllerOfARefusedFileNeverLoadsItsView) {
  // The refused outlet comes after the content view controller is declared.
  const char* text = R"({"objects": [
      {"id": "w", "class": "NSWindow", "contentViewController": "c"},
      {"id": "c", "class": "ProbeController"}],
    "outlets": [{"from": "owner", "key": "controller", "to": "c"},
                {"from": "c", "key": "nope", "to": "w"}]})";
  const int before = ProbeController::totalLoads;
  auto result = loadInterfaceText(text, owner_, "Refused");
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(ProbeController::totalLoads, before);
  EXPECT_FALSE(owner_->controller);
  // The same file with the bad outlet removed does load the view.
  const char* good = R"({"objects": [
      {"id": "w", "class": "NSWindow", "contentViewController": "c"},
      {"id": "c", "class": "ProbeController"}],
    "outlets": [{"from": "owner", "key": "controller", "to": "c"}]})";
  auto loaded = loadInterfaceText(good, owner_, "Fixed");
  ASSERT_TRUE(loaded.ok()) << loaded.error().message;
  EXPECT_EQ(ProbeController::totalLoads, before + 1);
}

TEST_F(InterfaceFileTest, WindowsMarkedVisibleAreShownOnceLoaded) {
  const char* text = R"({"objects": [
      {"id": "shown", "class": "NSWindow", "attributes": {"visible": true}},
      {"id": "hidden", "class": "NSWindow", "attributes": {"title": "later"}}]})";
  auto result = loadInterfaceText(text, nullptr, "Visible");
  ASSERT_TRUE(result.ok()) << result.error().message;
  auto shown = std::dynamic_pointer_cast<Window>(result->object("shown"));
  auto hidden = std::dynamic_pointer_cast<Window>(result->object("hidden"));
  EXPECT_TRUE(shown->isVisible());
  EXPECT_FALSE(hidden->isVisible());

  // A refused file shows nothing.
  const char* refused = R"({"objects": [
      {"id": "w", "class": "NSWindow", "attributes": {"visible": true}}],
    "outlets": [{"from": "w", "key": "nope", "to": "w"}]})";
  const size_t before = Window::allWindows().size();
  ASSERT_FALSE(loadInterfaceText(refused, nullptr, "Refused").ok());
  EXPECT_EQ(Window::allWindows().size(), before);
}

TEST_F(InterfaceFileTest, OwnerIsRequiredOnlyWhenTheFileNamesIt) {
  auto withoutOwner = loadInterfaceText(R"({"objects": [{"class": "NSView"}]})", nullptr, "Plain");
  EXPECT_TRUE(withoutOwner.ok()) << withoutOwner.error().message;
  auto needsOwner = loadInterfaceText(
      R"({"objects": [{"id": "w", "class": "NSWindow"}],
          "outlets": [{"from": "owner", "key": "window", "to": "w"}]})",
      nullptr, "NeedsOwner");
  EXPECT_FALSE(needsOwner.ok());
  EXPECT_NE(needsOwner.error().message.find("without one"), std::string::npos)
      << needsOwner.error().message;
}

class BundleFileTest : public InterfaceFileTest {
 protected:
  void SetUp() override {
    std::string templ = (std::filesystem::temp_directory_path() / "bundle-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir_ = templ;
    saved_ = base::Bundle::main();
    base::Bundle::main() = base::Bundle(dir_.string());
  }
  void TearDown() override {
    base::Bundle::main() = saved_;
    std::filesystem::remove_all(dir_);
    Application::shared().reset();
  }
  void writeResource(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / (name + ".json")) << text;
  }
  std::filesystem::path dir_;
  base::Bundle saved_{""};
};

TEST_F(BundleFileTest, TheMainFileNamesTheApplicationsDelegateAndStaysAlive) {
  class Delegate : public base::Object, public ApplicationDelegate {
   public:
    void applicationDidFinishLaunching(const std::shared_ptr<base::Object>&) override {
      ++launched;
    }
    int launched = 0;
  };
  ClassRegistry::shared().registerClass(
      "TestDelegate", [](const base::Coder&) { return std::make_shared<Delegate>(); });
  writeResource("MainMenu", R"({"objects": [
      {"id": "delegate", "class": "TestDelegate"},
      {"id": "window", "class": "NSWindow", "attributes": {"title": "Overlay"}}],
    "outlets": [{"from": "owner", "key": "delegate", "to": "delegate"}]})");
  auto& app = Application::shared();
  ASSERT_TRUE(app.loadMainInterfaceFile("MainMenu"));
  auto delegate = std::dynamic_pointer_cast<Delegate>(app.delegate());
  ASSERT_TRUE(delegate);
  app.finishLaunching();
  EXPECT_EQ(delegate->launched, 1);
  // The window lives on although the loader's result is gone.
  const auto windows = app.windows();
  ASSERT_FALSE(windows.empty());
  EXPECT_EQ(windows.back()->title(), "Overlay");
}

TEST_F(BundleFileTest, AMissingOrRefusedFileIsReportedOnStandardError) {
  ::testing::internal::CaptureStderr();
  auto missing = loadInterfaceFile("Absent", owner_);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(err.find("Absent.json"), std::string::npos) << err;

  writeResource("NotADelegate", R"({"objects": [{"id": "v", "class": "NSView"}],
    "outlets": [{"from": "owner", "key": "delegate", "to": "v"}]})");
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(Application::shared().loadMainInterfaceFile("NotADelegate"));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("is refused"), std::string::npos);
  EXPECT_FALSE(Application::shared().delegate());
  EXPECT_TRUE(Application::shared().topLevelObjects().empty());
}

class ClosingDelegate : public base::Object, public WindowDelegate {
 public:
  void windowWillClose(const std::shared_ptr<base::Object>& window) override {
    closedWindow = window;
    ++closes;
  }
  std::shared_ptr<base::Object> closedWindow;
  int closes = 0;
};

TEST_F(BundleFileTest, AWindowControllerLoadsItsFileOnceAsItsOwner) {
  writeResource("Welcome", R"({"objects": [
      {"id": "window", "class": "NSWindow", "attributes": {"title": "Welcome"},
       "contentView": {"class": "NSView", "subviews": [{"id": "b", "class": "NSButton",
                                                        "attributes": {"title": "Close"}}]}}],
    "outlets": [{"from": "owner", "key": "window", "to": "window"}],
    "actions": [{"control": "b", "action": "close:", "target": "owner"}]})");
  auto controller = std::make_shared<WindowController>();
  controller->setWindowNibName("Welcome");
  EXPECT_FALSE(controller->isWindowLoaded());
  auto window = controller->window();
  ASSERT_TRUE(window);
  EXPECT_EQ(window->title(), "Welcome");
  EXPECT_EQ(controller->window(), window);

  auto delegate = std::make_shared<ClosingDelegate>();
  window->setDelegate(delegate);
  controller->showWindow(nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->isKeyWindow());
  // The file's button reaches the controller, which closes its window.
  auto button = std::dynamic_pointer_cast<Button>(window->contentView()->subviews().front());
  ASSERT_TRUE(button);
  EXPECT_TRUE(button->performClick(nullptr));
  EXPECT_EQ(delegate->closes, 1);
  EXPECT_EQ(delegate->closedWindow, window);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(BundleFileTest, AWindowFileWithoutItsWindowOutletGivesNoWindow) {
  writeResource("NoOutlet", R"({"objects": [{"id": "window", "class": "NSWindow"}]})");
  auto controller = std::make_shared<WindowController>();
  controller->setWindowNibName("NoOutlet");
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(controller->window());
  EXPECT_FALSE(controller->window());  // tried once, reported once
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("\"window\""), std::string::npos) << err;
  EXPECT_EQ(err.find("\"window\""), err.rfind("\"window\""));
}

}  // namespace
}  // namespace ui
