#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "platform/base/run_loop.h"
#include "platform/console/console.h"
#include "platform/ui/alert.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/menu.h"
#include "platform/ui/menu_item.h"
#include "platform/ui/status_bar.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"

namespace console {
namespace {

using namespace std::chrono_literals;

// The application side of the tests: actions that count, ask, post and arm.
class Target : public base::Object, public ui::MenuDelegate {
 public:
  int count = 0;
  int opened = 0;
  bool flag = false;
  std::vector<bool> checks;
  std::vector<ui::ModalResponse> responses;
  std::vector<std::string> typed;
  base::Handle timer;

  void countUp(const base::ObjectPtr& /*sender*/) { ++count; }
  void ask(const base::ObjectPtr& /*sender*/) {
    ui::Alert alert;
    alert.setMessageText("Enter your Pincode");
    alert.setInformativeText("Please enter your pincode below.");
    auto field = ui::TextField::make(base::makeRect(0, 0, 200, 24));
    field->setPlaceholderString("Pincode");
    alert.setAccessoryView(field);
    alert.addButtonWithTitle("OK");
    alert.addButtonWithTitle("Cancel");
    responses.push_back(alert.runModal());
    typed.push_back(field->stringValue());
  }
  void nest(const base::ObjectPtr& sender) {
    // A second request arrives while the first alert is open.
    base::RunLoop::main().post([this] { ask(nullptr); });
    ask(sender);
  }
  void postFlag(const base::ObjectPtr& /*sender*/) {
    base::RunLoop::main().post([this] { flag = true; });
  }
  void arm(const base::ObjectPtr& /*sender*/) {
    timer = base::RunLoop::main().addTimer(100ms, false, [this] { flag = true; });
  }
  void check(const base::ObjectPtr& /*sender*/) { checks.push_back(flag); }
  void menuWillOpen(const std::shared_ptr<ui::Menu>& menu) override {
    ++opened;
    menu->removeAllItems();
    menu->addItem(ui::MenuItem::make("Fresh " + std::to_string(opened), std::nullopt, ""));
  }

  static const base::Action kActions[];
  static const base::ClassTable kClassTable;
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }
};

const base::Action Target::kActions[] = {
    base::action<&Target::countUp>("count:"), base::action<&Target::ask>("ask:"),
    base::action<&Target::nest>("nest:"),     base::action<&Target::postFlag>("post:"),
    base::action<&Target::arm>("arm:"),       base::action<&Target::check>("check:"),
};
const base::ClassTable Target::kClassTable{"Target", &base::Object::kClassTable, kActions};

class ConsoleSession : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::Application::shared().reset();
    ASSERT_EQ(::pipe(fds_), 0);
    console_ = Console::make(fds_[0], [this](const std::string& line) { out.push_back(line); });
    console_->start();

    target = std::make_shared<Target>();
    item = ui::StatusBar::systemStatusBar().statusItemWithLength(ui::VariableStatusItemLength);
    item->button()->setAction("count:");
    item->button()->setTarget(target);
    auto menu = ui::Menu::make();
    auto add = [&](const std::shared_ptr<ui::Menu>& m, const char* title, const char* action) {
      auto i = ui::MenuItem::make(title, action, "");
      i->setTarget(target);
      m->addItem(i);
    };
    add(menu, "Count", "count:");
    add(menu, "Ask", "ask:");
    add(menu, "Post", "post:");
    add(menu, "Arm", "arm:");
    add(menu, "Check", "check:");
    add(menu, "Unknown Action", "nobody:");
    menu->addItem(ui::MenuItem::make("No Action", std::nullopt, ""));
    auto sub = ui::Menu::make();
    add(sub, "One", "count:");
    add(sub, "Two", "check:");
    sub->setDelegate(target);
    auto parent = ui::MenuItem::make("Sub", std::nullopt, "");
    parent->setSubmenu(sub);
    menu->addItem(parent);
    add(menu, "Nest", "nest:");
    item->setMenu(menu);
  }
  void TearDown() override {
    console_->stop();
    console_.reset();
    ::close(fds_[0]);
    if (fds_[1] >= 0) ::close(fds_[1]);
    ui::Application::shared().reset();
  }

  void feed(const std::string& text) {
    ASSERT_EQ(::write(fds_[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // Feeds the script, ends the input, and runs until every line is handled.
  void runScript(const std::string& script) {
    feed(script);
    ::close(fds_[1]);
    fds_[1] = -1;
    base::RunLoop::main().runUntil([this] { return console_->inputEnded() && console_->idle(); },
                                   10s);
  }
  [[nodiscard]] bool printed(const std::string& part) const {
    return std::any_of(out.begin(), out.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
  }

  std::shared_ptr<Target> target;
  std::shared_ptr<ui::StatusItem> item;
  std::vector<std::string> out;

 private:
  int fds_[2] = {-1, -1};
  std::shared_ptr<Console> console_;
};

TEST_F(ConsoleSession, ChoosesItemsByTitleAndPosition) {
  runScript("choose Count\nchoose Sub > One\nchoose Sub > #1\nchoose #1\nclick\n");
  EXPECT_EQ(target->count, 5);
  EXPECT_TRUE(out.empty()) << out.front();
}

TEST_F(ConsoleSession, MistakesGiveOneLineAndChangeNothing) {
  runScript(
      "choose Nothing\nchoose Sub > Three\nchoose Count > One\nchoose Sub > #9\nfly\n"
      "choose No Action\nchoose Unknown Action\nclose 7\npress 7 OK\n");
  EXPECT_EQ(target->count, 0);
  const std::vector<std::string> expected{
      "no item \"Nothing\" in the status menu",
      "no item \"Three\" in \"Sub\"",
      "\"Count\" has no submenu",
      "no item #9 in \"Sub\" (it has 2)",
      out.size() > 4 ? out[4] : "",
      // "No Action" has no action: nothing happens and nothing is said.
      "\"Unknown Action\": no target took its action nobody:",
      "no window 7 (there are 0)",
      "no window 7 (there are 0)",
  };
  EXPECT_EQ(out, expected);
  ASSERT_GT(out.size(), 4u);
  EXPECT_EQ(out[4].rfind("unknown command \"fly\"", 0), 0u);
}

TEST_F(ConsoleSession, OpenTellsTheDelegateThenPrintsTheSubmenu) {
  runScript("open Sub\nopen Sub\nopen Count\n");
  EXPECT_EQ(target->opened, 2);
  const std::vector<std::string> expected{"Sub:", "  1. Fresh 1", "Sub:", "  1. Fresh 2",
                                          "\"Count\" has no submenu"};
  EXPECT_EQ(out, expected);
}

TEST_F(ConsoleSession, MenuPrintsTheStatusItemsMenu) {
  runScript("menu\n");
  ASSERT_GE(out.size(), 11u);
  EXPECT_EQ(out[0], "Status menu:");
  EXPECT_EQ(out[1], "  1. Count");
  EXPECT_EQ(out[8], "  8. Sub >");
  EXPECT_EQ(out[9], "  9. Nest");
  EXPECT_EQ(out[10], "Sub:");
}

TEST_F(ConsoleSession, EachCommandsEffectsRunBeforeTheNextLine) {
  runScript("choose Post\nchoose Check\n");
  EXPECT_EQ(target->checks, std::vector<bool>{true});
}

TEST_F(ConsoleSession, WaitRunsTheApplicationBeforeTheNextLine) {
  runScript("choose Arm\nchoose Check\nwait 0.3\nchoose Check\n");
  EXPECT_EQ(target->checks, (std::vector<bool>{false, true}));
}

TEST_F(ConsoleSession, AnAlertIsPrintedAndAnsweredByTheNextLine) {
  runScript("choose Ask\nOK: 1234\nchoose Ask\nCancel\nchoose Ask\nOK:\nchoose Count\n");
  EXPECT_EQ(target->responses,
            (std::vector<ui::ModalResponse>{ui::AlertFirstButtonReturn, ui::AlertSecondButtonReturn,
                                            ui::AlertFirstButtonReturn}));
  EXPECT_EQ(target->typed, (std::vector<std::string>{"1234", "", ""}));
  EXPECT_EQ(target->count, 1);
  EXPECT_TRUE(printed("Enter your Pincode"));
  EXPECT_TRUE(printed("Please enter your pincode below."));
  EXPECT_TRUE(printed("placeholder \"Pincode\""));
  EXPECT_TRUE(printed("[OK], [Cancel]"));
}

TEST_F(ConsoleSession, AWrongAnswerIsReportedAndTheAlertWaitsForTheNextLine) {
  runScript("choose Ask\nMaybe\nchoose Count\nOK: 42\n");
  EXPECT_EQ(target->responses, std::vector<ui::ModalResponse>{ui::AlertFirstButtonReturn});
  EXPECT_EQ(target->typed, std::vector<std::string>{"42"});
  EXPECT_EQ(target->count, 0);  // "choose Count" was a wrong answer, not a command
  EXPECT_TRUE(printed("no button \"Maybe\" in the alert (buttons: \"OK\", \"Cancel\")"));
}

TEST_F(ConsoleSession, EndOfInputDismissesAnAlertWithoutItsFirstButton) {
  runScript("choose Ask\n");
  ASSERT_EQ(target->responses.size(), 1u);
  EXPECT_NE(target->responses[0], ui::AlertFirstButtonReturn);
  EXPECT_FALSE(ui::Application::shared().isTerminating());
}

TEST_F(ConsoleSession, NestedAlertsAreAnsweredInnermostFirstThenCommandsRunAgain) {
  runScript("choose Nest\nOK: 1\nCancel\nchoose Count\n");
  // The inner alert was answered first, with the first answer line.
  EXPECT_EQ(target->typed, (std::vector<std::string>{"1", ""}));
  EXPECT_EQ(target->responses, (std::vector<ui::ModalResponse>{ui::AlertFirstButtonReturn,
                                                               ui::AlertSecondButtonReturn}));
  EXPECT_EQ(target->count, 1);
}

TEST_F(ConsoleSession, EndOfInputDismissesEveryNestedAlert) {
  runScript("choose Nest\n");
  ASSERT_EQ(target->responses.size(), 2u);
  EXPECT_NE(target->responses[0], ui::AlertFirstButtonReturn);
  EXPECT_NE(target->responses[1], ui::AlertFirstButtonReturn);
  EXPECT_FALSE(ui::Application::shared().isTerminating());
}

TEST_F(ConsoleSession, EndOfInputLeavesTheApplicationRunning) {
  runScript("choose Count");  // a last line without a line feed still counts
  EXPECT_EQ(target->count, 1);
  EXPECT_FALSE(ui::Application::shared().isTerminating());
}

TEST_F(ConsoleSession, QuitTerminatesAndLaterLinesDoNotRun) {
  runScript("quit\nchoose Count\n");
  EXPECT_TRUE(ui::Application::shared().isTerminating());
  EXPECT_EQ(target->count, 0);
}

TEST_F(ConsoleSession, ALongLineIsIgnoredAndTheNextOneRuns) {
  runScript("choose " + std::string(Console::kMaxLine + 10, 'x') + "\nchoose Count\n");
  EXPECT_EQ(target->count, 1);
  EXPECT_TRUE(printed("longer than 4096 bytes is ignored"));
}

TEST_F(ConsoleSession, ManyLinesAllRunInOrder) {
  std::string script;
  for (int i = 0; i < 1000; ++i) script += "choose Count\n";
  script += "choose Check\n";
  runScript(script);
  EXPECT_EQ(target->count, 1000);
  EXPECT_EQ(target->checks.size(), 1u);
}

TEST_F(ConsoleSession, WindowsAreListedClosedAndPressed) {
  auto window = ui::Window::make(base::makeRect(0, 0, 640, 480));
  window->setTitle("Welcome");
  window->setAlphaValue(0.5);
  auto content = std::make_shared<ui::View>(base::makeRect(0, 0, 640, 480));
  auto button = ui::Button::make("Start", target, "count:");
  content->addSubview(button);
  window->setContentView(content);
  window->makeKeyAndOrderFront(nullptr);
  const size_t n = ui::Application::shared().windows().size();
  const std::string number = std::to_string(n);
  runScript("windows\npress " + number + " Start\npress " + number + " Stop\nclose " + number +
            "\nwindows\n");
  EXPECT_EQ(target->count, 1);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(printed(number + ". \"Welcome\" frame (0, 0, 640, 480) level 0 alpha 0.5 shown yes "
                               "opaque yes ignoresMouseEvents no"));
  EXPECT_TRUE(printed(number + ". \"Welcome\" frame (0, 0, 640, 480) level 0 alpha 0.5 shown no"));
  EXPECT_TRUE(printed("no button \"Stop\" in window " + number));
}

}  // namespace
}  // namespace console
