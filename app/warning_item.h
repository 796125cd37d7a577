// The custom view of the status menu's first item: a 32 by 32 point system
// icon at the top left and, beside it, a text that wraps by words in the
// width left over. The menu builder makes a new one for each menu it builds;
// after construction the view never changes.
#pragma once

#include <memory>
#include <string>

#include "platform/base/coder.h"
#include "platform/base/geometry.h"
#include "platform/ui/image_view.h"
#include "platform/ui/text_field.h"
#include "platform/ui/view.h"

namespace tovelin {

class WarningMenuItemView : public ui::View {
  struct Key {};

 public:
  // init(text:imageName:frame:): the view with both subviews added and its
  // eight constraints active. An image name the platform does not know leaves
  // the icon's place empty.
  static std::shared_ptr<WarningMenuItemView> make(const std::string& text,
                                                   const std::string& imageName, base::Rect frame);

  // Creation from an archive or interface file is not supported: stops the
  // program.
  explicit WarningMenuItemView(const base::Coder& coder);
  // The plain frame initializer is not available: stops the program.
  explicit WarningMenuItemView(base::Rect frame);

  WarningMenuItemView(Key, const std::string& text, const std::string& imageName, base::Rect frame);

  const std::shared_ptr<ui::ImageView> imageView;
  const std::shared_ptr<ui::TextField> textField;

  static constexpr base::ClassTable kClassTable{"WarningMenuItemView", &ui::View::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }
};

}  // namespace tovelin
