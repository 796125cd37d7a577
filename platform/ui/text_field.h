// Text fields: labels (text the user reads) and editable fields (text the
// user types, e.g. a PIN in an alert's accessory view).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/coder.h"
#include "platform/base/geometry.h"
#include "platform/ui/color.h"
#include "platform/ui/control.h"

namespace ui {

enum LineBreakMode : long {
  LineBreakByWordWrapping = 0,
  LineBreakByCharWrapping = 1,
  LineBreakByClipping = 2,
  LineBreakByTruncatingHead = 3,
  LineBreakByTruncatingTail = 4,
  LineBreakByTruncatingMiddle = 5,
};

class TextField : public Control {
 public:
  // A label: not editable, not selectable, no border, no background, clipping
  // its text to one line unless told otherwise.
  static std::shared_ptr<TextField> labelWithString(std::string text);
  // An editable, bordered field with a white background (initWithFrame:).
  static std::shared_ptr<TextField> make(base::Rect frame);

  explicit TextField(base::Rect frame);
  // From an interface file: the control's attributes and "stringValue",
  // "placeholderString", "editable", "selectable", "bordered",
  // "drawsBackground", "lineBreakMode", "fontSize".
  explicit TextField(const base::Coder& coder);

  [[nodiscard]] const std::string& stringValue() const { return text_; }
  void setStringValue(std::string text) { text_ = std::move(text); }
  [[nodiscard]] const std::optional<std::string>& placeholderString() const { return placeholder_; }
  void setPlaceholderString(std::optional<std::string> text) { placeholder_ = std::move(text); }

  [[nodiscard]] bool isEditable() const { return editable_; }
  void setEditable(bool editable) { editable_ = editable; }
  void setSelectable(bool selectable) { selectable_ = selectable; }
  [[nodiscard]] bool isBordered() const { return bordered_; }
  void setBordered(bool bordered) { bordered_ = bordered; }
  [[nodiscard]] bool drawsBackground() const { return drawsBackground_; }
  void setDrawsBackground(bool draws) { drawsBackground_ = draws; }
  [[nodiscard]] Color backgroundColor() const { return background_; }
  // Setting a colour also makes the field draw its background.
  void setBackgroundColor(Color color);
  [[nodiscard]] LineBreakMode lineBreakMode() const { return lineBreakMode_; }
  void setLineBreakMode(LineBreakMode mode) { lineBreakMode_ = mode; }
  [[nodiscard]] double fontSize() const { return fontSize_; }

  // The text as lines of at most `width` points, the way the field lays it out
  // (word wrapping or one line), with a fixed advance of fontSize/2 a
  // character.
  [[nodiscard]] std::vector<std::string> layoutLines(double width) const;

  // Background and border, and a stripe for each line of text, for the
  // compositor.
  std::optional<Pixels> snapshotPixels() override;
  static constexpr base::ClassTable kClassTable{"NSTextField", &Control::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  std::string text_;
  std::optional<std::string> placeholder_;
  bool editable_ = true;
  bool selectable_ = true;
  bool bordered_ = true;
  bool drawsBackground_ = true;
  Color background_ = Color::whiteColor();
  Color textColor_ = Color{0.1, 0.1, 0.1, 1};
  LineBreakMode lineBreakMode_ = LineBreakByClipping;
  double fontSize_ = 13;
};

}  // namespace ui
