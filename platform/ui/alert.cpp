#include "platform/ui/alert.h"

#include <algorithm>
#include <cstdlib>

#include "platform/base/log.h"
#include "platform/base/run_loop.h"
#include "platform/ui/text_field.h"

namespace ui {
namespace {

std::shared_ptr<ModalPresenter>& installedPresenter() {
  static std::shared_ptr<ModalPresenter> presenter;
  return presenter;
}

std::vector<Alert*>& modalStack() {
  static std::vector<Alert*> stack;
  return stack;
}

std::shared_ptr<TextField> findTextField(const std::shared_ptr<View>& view) {
  if (!view) return nullptr;
  if (auto field = std::dynamic_pointer_cast<TextField>(view)) return field;
  for (const auto& sub : view->subviews()) {
    if (auto field = findTextField(sub)) return field;
  }
  return nullptr;
}

}  // namespace

Alert::~Alert() {
  // A running alert lives on the stack of its runModal call; it cannot be
  // destroyed while running unless something is badly wrong.
  if (running_) {
    base::printError("fatal: an alert was destroyed while it was running modally");
    std::abort();
  }
}

std::shared_ptr<Button> Alert::addButtonWithTitle(std::string title) {
  auto button = Button::make(std::move(title));
  button->setTag(AlertFirstButtonReturn + static_cast<long>(buttons_.size()));
  buttons_.push_back(button);
  return button;
}

std::optional<ModalResponse> Alert::responseForButtonTitle(const std::string& title) const {
  for (const auto& b : buttons_) {
    if (b->title() == title) return b->tag();
  }
  return std::nullopt;
}

ModalResponse Alert::runModal() {
  if (running_) {
    base::printError("fatal: runModal called on an alert that is already running");
    std::abort();
  }
  if (buttons_.empty()) addButtonWithTitle("OK");
  response_.reset();
  running_ = true;
  modalStack().push_back(this);

  auto& loop = base::RunLoop::main();
  if (const auto& presenter = installedPresenter()) {
    presenter->present(*this);
  } else {
    for (const auto& line : describe()) base::printError(line);
    base::printError("(no one to answer: \"" + buttons_.front()->title() + "\" is taken)");
    const ModalResponse first = buttons_.front()->tag();
    loop.post([this, first] {
      // Only if this alert is still the one waiting at the top.
      if (modalAlert() == this) respond(first);
    });
  }
  loop.runUntil([this] { return response_.has_value(); });

  auto& stack = modalStack();
  stack.erase(std::remove(stack.begin(), stack.end(), this), stack.end());
  running_ = false;
  return response_.value_or(ModalResponseAbort);
}

void Alert::respond(ModalResponse code, const std::optional<std::string>& accessoryText) {
  if (!running_ || response_) return;
  if (accessoryText) {
    if (auto field = findTextField(accessoryView_)) field->setStringValue(*accessoryText);
  }
  response_ = code;
}

void Alert::setPresenter(std::shared_ptr<ModalPresenter> presenter) {
  installedPresenter() = std::move(presenter);
}

const std::shared_ptr<ModalPresenter>& Alert::presenter() { return installedPresenter(); }

const std::vector<Alert*>& Alert::modalAlerts() { return modalStack(); }

Alert* Alert::modalAlert() {
  const auto& stack = modalStack();
  return stack.empty() ? nullptr : stack.back();
}

std::vector<std::string> Alert::describe() const {
  static constexpr const char* kStyles[] = {"warning", "informational", "critical"};
  const auto style = static_cast<size_t>(style_);
  std::vector<std::string> lines;
  lines.push_back(std::string("Alert (") + (style < 3 ? kStyles[style] : "unknown style") +
                  "): " + messageText_);
  if (!informativeText_.empty()) lines.push_back("  " + informativeText_);
  if (auto field = findTextField(accessoryView_)) {
    std::string line = "  text field: \"" + field->stringValue() + "\"";
    if (field->placeholderString())
      line += " (placeholder \"" + *field->placeholderString() + "\")";
    lines.push_back(line);
  }
  std::string buttons = "  buttons:";
  for (size_t i = 0; i < buttons_.size(); ++i) {
    buttons += (i == 0 ? " [" : ", [") + buttons_[i]->title() + "]";
  }
  lines.push_back(buttons);
  return lines;
}

}  // namespace ui
