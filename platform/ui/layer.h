// A view's backing layer: how the window server composites the view's
// content with what lies beneath it.
#pragma once

#include <optional>
#include <string>

#include "platform/base/object.h"

namespace ui {

class Layer : public base::Object {
 public:
  [[nodiscard]] bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque) { opaque_ = opaque; }

  // A filter name ("differenceBlendMode", "multiplyBlendMode") or none
  // (normal source-over compositing).
  [[nodiscard]] const std::optional<std::string>& compositingFilter() const { return filter_; }
  void setCompositingFilter(std::optional<std::string> filter) { filter_ = std::move(filter); }

  static constexpr base::ClassTable kClassTable{"CALayer", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  bool opaque_ = true;
  std::optional<std::string> filter_;
};

}  // namespace ui
