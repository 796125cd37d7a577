// A push button with a title. Pressing it (performClick) sends its action to
// its target, as a click would; the console's "press N TITLE" does that.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/base/coder.h"
#include "platform/ui/control.h"

namespace ui {

class Button : public Control {
 public:
  // buttonWithTitle:target:action:
  static std::shared_ptr<Button> make(std::string title,
                                      const std::shared_ptr<base::Object>& target = nullptr,
                                      std::optional<std::string> action = std::nullopt);
  Button() = default;
  explicit Button(base::Rect frame) : Control(frame) {}
  // From an interface file: the control's attributes and "title", "tag".
  explicit Button(const base::Coder& coder);

  [[nodiscard]] const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  [[nodiscard]] long tag() const { return tag_; }
  void setTag(long tag) { tag_ = tag; }

  // Presses the button: returns whether its action was taken (see
  // Control::sendAction).
  bool performClick(const std::shared_ptr<base::Object>& sender);

  // A light box with a dark stripe for the title, for the compositor.
  std::optional<Pixels> snapshotPixels() override;
  static constexpr base::ClassTable kClassTable{"NSButton", &Control::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  std::string title_;
  long tag_ = 0;
};

}  // namespace ui
