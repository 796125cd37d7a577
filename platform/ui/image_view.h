// A view that shows an image, scaled to fill the view.
//
// Made with imageViewWithImage, it starts as large as the image; a view
// without an image shows nothing.
#pragma once

#include <memory>
#include <optional>

#include "platform/ui/image.h"
#include "platform/ui/view.h"

namespace ui {

class ImageView : public View {
 public:
  explicit ImageView(base::Rect frame) : View(frame) {}
  static std::shared_ptr<ImageView> imageViewWithImage(std::shared_ptr<Image> image);

  [[nodiscard]] const std::shared_ptr<Image>& image() const { return image_; }
  void setImage(std::shared_ptr<Image> image) { image_ = std::move(image); }

  // The image scaled to the view's size (template images drawn in black).
  std::optional<Pixels> snapshotPixels() override;

  static constexpr base::ClassTable kClassTable{"NSImageView", &View::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  std::shared_ptr<Image> image_;
};

}  // namespace ui
