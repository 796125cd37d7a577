#include "app/warning_item.h"

#include <cstdlib>

#include "platform/base/log.h"
#include "platform/ui/color.h"
#include "platform/ui/image.h"
#include "platform/ui/layout.h"

namespace tovelin {
namespace {

[[noreturn]] void fatalError(const std::string& message) {
  base::printError("Fatal error: " + message);
  std::abort();
}

std::shared_ptr<ui::TextField> makeLabel(const std::string& text) {
  auto label = ui::TextField::labelWithString(text);
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  label->setEditable(false);
  label->setBordered(false);
  label->setBackgroundColor(ui::Color::clearColor());
  label->setLineBreakMode(ui::LineBreakByWordWrapping);
  // Low resistance to compression, so the label wraps rather than widen the view.
  label->setContentCompressionResistancePriority(ui::LayoutPriorityDefaultLow,
                                                 ui::LayoutConstraintOrientationHorizontal);
  return label;
}

std::shared_ptr<ui::ImageView> makeIcon(const std::string& imageName) {
  auto icon = ui::ImageView::imageViewWithImage(ui::Image::imageNamed(imageName));
  icon->setTranslatesAutoresizingMaskIntoConstraints(false);
  return icon;
}

}  // namespace

WarningMenuItemView::WarningMenuItemView(const base::Coder& /*coder*/) {
  fatalError("init(coder:) has not been implemented");
}

WarningMenuItemView::WarningMenuItemView(base::Rect /*frame*/) {
  fatalError("Use of unimplemented initializer 'init(frame:)' for class 'WarningMenuItemView'");
}

WarningMenuItemView::WarningMenuItemView(Key /*key*/, const std::string& text,
                                         const std::string& imageName, base::Rect frame)
    : ui::View(frame), imageView(makeIcon(imageName)), textField(makeLabel(text)) {}

std::shared_ptr<WarningMenuItemView> WarningMenuItemView::make(const std::string& text,
                                                               const std::string& imageName,
                                                               base::Rect frame) {
  auto view = std::make_shared<WarningMenuItemView>(Key{}, text, imageName, frame);
  // Subviews and anchors need the view's shared owner, so they come after
  // construction.
  view->addSubview(view->imageView);
  view->addSubview(view->textField);
  const auto& icon = view->imageView;
  const auto& label = view->textField;
  ui::LayoutConstraint::activateConstraints({
      ui::leadingAnchor(icon).constraintEqualToAnchor(ui::leadingAnchor(view), 10),
      ui::topAnchor(icon).constraintEqualToAnchor(ui::topAnchor(view), 10),
      ui::widthAnchor(icon).constraintEqualToConstant(32),
      ui::heightAnchor(icon).constraintEqualToConstant(32),
      ui::leadingAnchor(label).constraintEqualToAnchor(ui::trailingAnchor(icon), 10),
      ui::trailingAnchor(label).constraintEqualToAnchor(ui::trailingAnchor(view), -10),
      ui::topAnchor(label).constraintEqualToAnchor(ui::topAnchor(view), 10),
      ui::bottomAnchor(label).constraintEqualToAnchor(ui::bottomAnchor(view), -10),
  });
  return view;
}

}  // namespace tovelin
