// Modal alerts: a message, an informative text, buttons and an optional
// accessory view (a text field for a PIN, say).
//
// runModal() runs the main run loop nested until the alert is answered and
// returns the answer: the code of the button chosen (the first button added
// answers AlertFirstButtonReturn, 1000, the next 1001, ...). Who answers is
// the modal presenter that the front end installs (the console prints the
// alert and answers it from its next input line; tests install a scripted
// one). Without a presenter the alert is printed on standard error and
// answered with its first button on the next turn of the loop. When the loop
// is stopped (the application terminates) while an alert runs, runModal
// returns ModalResponseAbort.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/button.h"
#include "platform/ui/view.h"

namespace ui {

enum class AlertStyle : unsigned long {
  warning = 0,
  informational = 1,
  critical = 2,
};

using ModalResponse = long;
inline constexpr ModalResponse AlertFirstButtonReturn = 1000;
inline constexpr ModalResponse AlertSecondButtonReturn = 1001;
inline constexpr ModalResponse AlertThirdButtonReturn = 1002;
inline constexpr ModalResponse ModalResponseOK = 1;
inline constexpr ModalResponse ModalResponseCancel = 0;
inline constexpr ModalResponse ModalResponseStop = -1000;
inline constexpr ModalResponse ModalResponseAbort = -1001;

class Alert;

// Shows alerts to someone who answers them.
class ModalPresenter {
 public:
  virtual ~ModalPresenter() = default;
  // Shows `alert` and arranges that alert.respond(...) is called later from
  // the run loop (never from inside present()). The alert lives until its
  // modal run ends; a presenter that answers later checks that
  // Alert::modalAlert() is still that alert before answering it.
  virtual void present(Alert& alert) = 0;
};

class Alert {
 public:
  Alert() = default;
  Alert(const Alert&) = delete;
  Alert& operator=(const Alert&) = delete;
  ~Alert();

  [[nodiscard]] const std::string& messageText() const { return messageText_; }
  void setMessageText(std::string text) { messageText_ = std::move(text); }
  [[nodiscard]] const std::string& informativeText() const { return informativeText_; }
  void setInformativeText(std::string text) { informativeText_ = std::move(text); }
  void setAlertStyle(AlertStyle style) { style_ = style; }

  // Adds a button after those already added; its tag is its answer code.
  std::shared_ptr<Button> addButtonWithTitle(std::string title);
  [[nodiscard]] const std::vector<std::shared_ptr<Button>>& buttons() const { return buttons_; }
  // The answer code of the first button titled `title`, if any.
  [[nodiscard]] std::optional<ModalResponse> responseForButtonTitle(const std::string& title) const;

  void setAccessoryView(std::shared_ptr<View> view) { accessoryView_ = std::move(view); }

  // Runs the alert until it is answered; an alert without buttons gets "OK".
  // Must not be called while this alert already runs.
  ModalResponse runModal();
  [[nodiscard]] bool isRunning() const { return running_; }

  // Answers the running alert with `code`; with `accessoryText`, the text
  // field of the accessory view (the view itself or the first one inside it)
  // is left holding that text first. Only the first answer counts.
  void respond(ModalResponse code, const std::optional<std::string>& accessoryText = std::nullopt);

  // The presenter used by every alert from now on; none restores the
  // standard-error fallback.
  static void setPresenter(std::shared_ptr<ModalPresenter> presenter);
  [[nodiscard]] static const std::shared_ptr<ModalPresenter>& presenter();

  // The innermost alert running modally, or none.
  [[nodiscard]] static Alert* modalAlert();
  // Every alert running modally, the innermost last. An alert's loop may show
  // another alert on top of it (a second request while the first is open).
  [[nodiscard]] static const std::vector<Alert*>& modalAlerts();

  // The alert as lines of text (message, informative text, the accessory text
  // field with its placeholder, the buttons), as presenters print it.
  [[nodiscard]] std::vector<std::string> describe() const;

 private:
  std::string messageText_;
  std::string informativeText_;
  AlertStyle style_ = AlertStyle::warning;
  std::vector<std::shared_ptr<Button>> buttons_;
  std::shared_ptr<View> accessoryView_;
  std::optional<ModalResponse> response_;
  bool running_ = false;
};

}  // namespace ui
