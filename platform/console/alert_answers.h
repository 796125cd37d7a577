// The alerts the console showed, and answering them with typed lines.
//
// Alerts nest (a second PIN request while the first is open); each line
// answers the innermost one this console showed. An alert is remembered only
// by address and is never used unless the modal stack says it still runs, so
// an alert that ended some other way is simply forgotten.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ui {
class Alert;
}  // namespace ui

namespace console {

class AlertAnswers {
 public:
  using Output = std::function<void(const std::string& line)>;
  explicit AlertAnswers(Output print) : print_(std::move(print)) {}

  // Prints `alert` (and, on a terminal, how to answer it) and remembers it.
  void present(ui::Alert& alert, bool terminal);

  // The innermost running alert, or null when none runs. Alerts this console
  // showed that are no longer running are forgotten on the way.
  ui::Alert* running();
  // Whether this console showed `alert` (another presenter may have).
  [[nodiscard]] bool showed(const ui::Alert* alert) const;

  // Answers `alert` with the button `line` names, and the text after it; a
  // line that names no button is reported with the alert's buttons.
  void answer(ui::Alert& alert, const std::string& line);
  // Ends `alert` without its first button (the input ended).
  void dismiss(ui::Alert& alert);

 private:
  void forget(const ui::Alert* alert);

  Output print_;
  std::vector<ui::Alert*> presented_;  // innermost last; compared, never dereferenced
};

}  // namespace console
