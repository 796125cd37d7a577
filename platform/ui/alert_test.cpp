#include "platform/ui/alert.h"

#include <gtest/gtest.h>

#include <deque>

#include "platform/base/run_loop.h"
#include "platform/ui/application.h"
#include "platform/ui/text_field.h"

namespace ui {
namespace {

// Answers alerts from a script, one answer an alert, on a later turn of the
// run loop, as a person at the console would.
class ScriptedPresenter : public ModalPresenter {
 public:
  struct Answer {
    std::string button;
    std::optional<std::string> text;
  };
  void present(Alert& alert) override {
    shown.push_back(alert.describe());
    if (answers.empty()) return;
    Answer next = answers.front();
    answers.pop_front();
    Alert* target = &alert;
    base::RunLoop::main().post([target, next] {
      if (Alert::modalAlert() != target) return;
      target->respond(target->responseForButtonTitle(next.button).value_or(-1), next.text);
    });
  }
  std::deque<Answer> answers;
  std::vector<std::vector<std::string>> shown;
};

class AlertTest : public ::testing::Test {
 protected:
  void SetUp() override { Alert::setPresenter(presenter_); }
  void TearDown() override {
    Alert::setPresenter(nullptr);
    Application::shared().reset();
  }
  std::shared_ptr<ScriptedPresenter> presenter_ = std::make_shared<ScriptedPresenter>();
};

struct PinAnswer {
  const char* button;
  std::optional<std::string> typed;
  ModalResponse response;
  std::string fieldAfter;
};

class PinPromptTest : public AlertTest, public ::testing::WithParamInterface<PinAnswer> {};

TEST_P(PinPromptTest, TheAnswerGivesTheButtonsCodeAndLeavesTheTypedText) {
  Alert alert;
  alert.setMessageText("Enter your Pincode");
  alert.setInformativeText("Please enter your pincode below.");
  alert.setAlertStyle(AlertStyle::informational);
  auto field = TextField::make(base::makeRect(0, 0, 200, 24));
  field->setPlaceholderString("Pincode");
  alert.setAccessoryView(field);
  alert.addButtonWithTitle("OK");
  alert.addButtonWithTitle("Cancel");
  presenter_->answers.push_back({GetParam().button, GetParam().typed});

  EXPECT_EQ(alert.runModal(), GetParam().response);
  EXPECT_EQ(field->stringValue(), GetParam().fieldAfter);
  EXPECT_FALSE(alert.isRunning());
  EXPECT_EQ(Alert::modalAlert(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Answers, PinPromptTest,
                         ::testing::Values(PinAnswer{"OK", "1234", 1000, "1234"},
                                           PinAnswer{"OK", "", 1000, ""},
                                           PinAnswer{"OK", " 12 34 ", 1000, " 12 34 "},
                                           PinAnswer{"Cancel", std::nullopt, 1001, ""},
                                           PinAnswer{"Cancel", "99", 1001, "99"}));

TEST_F(AlertTest, ButtonsAnswerInTheOrderAddedAndThePresenterSeesTheWholeAlert) {
  Alert alert;
  alert.setMessageText("Unsupported version");
  alert.setInformativeText("Update the phone application.");
  auto field = TextField::make(base::makeRect(0, 0, 200, 24));
  field->setPlaceholderString("Pincode");
  auto box = std::make_shared<View>(base::makeRect(0, 0, 220, 40));
  box->addSubview(field);  // the field may sit inside another view
  alert.setAccessoryView(box);
  EXPECT_EQ(alert.addButtonWithTitle("OK")->tag(), AlertFirstButtonReturn);
  EXPECT_EQ(alert.addButtonWithTitle("Later")->tag(), AlertSecondButtonReturn);
  EXPECT_EQ(alert.addButtonWithTitle("Never")->tag(), AlertThirdButtonReturn);
  presenter_->answers.push_back({"Never", "x"});

  EXPECT_EQ(alert.runModal(), 1002);
  EXPECT_EQ(field->stringValue(), "x");
  ASSERT_EQ(presenter_->shown.size(), 1U);
  EXPECT_EQ(
      presenter_->shown[0],
      (std::vector<std::string>{
          "Alert (warning): Unsupported version", "  Update the phone application.",
          "  text field: \"\" (placeholder \"Pincode\")", "  buttons: [OK], [Later], [Never]"}));
}

TEST_F(AlertTest, AnAlertWithoutButtonsGetsOk) {
  Alert alert;
  alert.setMessageText("Done");
  presenter_->answers.push_back({"OK", std::nullopt});
  EXPECT_EQ(alert.runModal(), AlertFirstButtonReturn);
  ASSERT_EQ(alert.buttons().size(), 1U);
  EXPECT_EQ(alert.buttons()[0]->title(), "OK");
}

TEST_F(AlertTest, WithoutAPresenterTheAlertIsPrintedAndItsFirstButtonTaken) {
  Alert::setPresenter(nullptr);
  Alert alert;
  alert.setMessageText("Wrong pincode");
  alert.addButtonWithTitle("Retry");
  alert.addButtonWithTitle("Cancel");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(alert.runModal(), AlertFirstButtonReturn);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Wrong pincode"), std::string::npos) << err;
  EXPECT_NE(err.find("[Retry], [Cancel]"), std::string::npos) << err;
}

TEST_F(AlertTest, TerminatingWhileAnAlertRunsAbortsIt) {
  Alert alert;
  alert.addButtonWithTitle("OK");
  base::RunLoop::main().post([] { Application::shared().terminate(nullptr); });
  const ModalResponse response = alert.runModal();  // nobody answers
  EXPECT_EQ(response, ModalResponseAbort);
  EXPECT_NE(response, AlertFirstButtonReturn);
  EXPECT_TRUE(Application::shared().isTerminating());
  // Alerts run after termination end at once, unanswered.
  Alert later;
  EXPECT_EQ(later.runModal(), ModalResponseAbort);
}

TEST_F(AlertTest, AnAlertOpenedWhileAnotherWaitsRunsOnTopOfIt) {
  Alert outer;
  outer.addButtonWithTitle("OK");
  std::vector<std::string> order;
  base::RunLoop::main().post([&] {
    // A callback delivered while the outer alert waits opens another alert.
    EXPECT_EQ(Alert::modalAlert(), &outer);
    Alert inner;
    inner.addButtonWithTitle("OK");
    inner.addButtonWithTitle("Cancel");
    presenter_->answers.push_back({"Cancel", std::nullopt});
    order.push_back("inner " + std::to_string(inner.runModal()));
    EXPECT_EQ(Alert::modalAlert(), &outer);
    EXPECT_TRUE(outer.isRunning());
    outer.respond(AlertFirstButtonReturn);
  });
  order.push_back("outer " + std::to_string(outer.runModal()));
  EXPECT_EQ(order, (std::vector<std::string>{"inner 1001", "outer 1000"}));
  EXPECT_EQ(Alert::modalAlert(), nullptr);
}

TEST_F(AlertTest, OnlyTheFirstAnswerCounts) {
  Alert alert;
  alert.addButtonWithTitle("OK");
  alert.addButtonWithTitle("Cancel");
  auto field = TextField::make(base::makeRect(0, 0, 200, 24));
  alert.setAccessoryView(field);
  base::RunLoop::main().post([&] {
    alert.respond(AlertSecondButtonReturn, std::string("first"));
    alert.respond(AlertFirstButtonReturn, std::string("second"));
  });
  EXPECT_EQ(alert.runModal(), AlertSecondButtonReturn);
  EXPECT_EQ(field->stringValue(), "first");
  // An alert that is not running ignores answers.
  alert.respond(AlertFirstButtonReturn, std::string("late"));
  EXPECT_EQ(field->stringValue(), "first");
}

}  // namespace
}  // namespace ui
