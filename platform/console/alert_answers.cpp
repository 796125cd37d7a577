#include "platform/console/alert_answers.h"

#include <algorithm>

#include "platform/console/command.h"
#include "platform/ui/alert.h"

namespace console {

void AlertAnswers::present(ui::Alert& alert, bool terminal) {
  presented_.push_back(&alert);
  for (const auto& line : alert.describe()) print_(line);
  if (terminal) print_("(answer with a button title, e.g. \"OK\" or \"OK: text\")");
}

ui::Alert* AlertAnswers::running() {
  const auto& modal = ui::Alert::modalAlerts();
  std::erase_if(presented_, [&modal](const ui::Alert* alert) {
    return std::find(modal.begin(), modal.end(), alert) == modal.end();
  });
  return ui::Alert::modalAlert();
}

bool AlertAnswers::showed(const ui::Alert* alert) const {
  return std::find(presented_.begin(), presented_.end(), alert) != presented_.end();
}

void AlertAnswers::answer(ui::Alert& alert, const std::string& line) {
  for (const auto& reading : readAlertAnswer(line)) {
    if (auto code = alert.responseForButtonTitle(reading.button)) {
      forget(&alert);
      alert.respond(*code, reading.text);
      return;
    }
  }
  std::string buttons;
  for (const auto& button : alert.buttons()) {
    buttons += (buttons.empty() ? "" : ", ") + ("\"" + button->title() + "\"");
  }
  print_("no button \"" + escapeText(line) + "\" in the alert (buttons: " + buttons + ")");
}

void AlertAnswers::dismiss(ui::Alert& alert) {
  print_("(end of input: the alert is dismissed)");
  forget(&alert);
  alert.respond(ui::ModalResponseAbort);
}

void AlertAnswers::forget(const ui::Alert* alert) { std::erase(presented_, alert); }

}  // namespace console
