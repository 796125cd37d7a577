#include "platform/ui/view.h"

#include <algorithm>

#include "platform/ui/window.h"

namespace ui {

View::View() = default;

View::View(base::Rect frame) : frame_(frame) {}

View::View(const base::Coder& coder) {
  if (auto frame = coder.decodeRect("frame")) frame_ = *frame;
  if (auto mask = coder.decodeDouble("autoresizingMask")) {
    autoresizingMask_ = static_cast<unsigned>(*mask);
  }
  if (auto wants = coder.decodeBool("wantsLayer"); wants && *wants) setWantsLayer(true);
  if (auto hidden = coder.decodeBool("hidden")) hidden_ = *hidden;
}

namespace {
size_t orientationIndex(LayoutConstraintOrientation orientation) {
  return orientation == LayoutConstraintOrientationVertical ? 1 : 0;
}
}  // namespace

LayoutPriority View::contentCompressionResistancePriority(
    LayoutConstraintOrientation orientation) const {
  return compressionResistance_[orientationIndex(orientation)];
}

void View::setContentCompressionResistancePriority(LayoutPriority priority,
                                                   LayoutConstraintOrientation orientation) {
  compressionResistance_[orientationIndex(orientation)] = priority;
}

LayoutPriority View::contentHuggingPriority(LayoutConstraintOrientation orientation) const {
  return hugging_[orientationIndex(orientation)];
}

void View::setContentHuggingPriority(LayoutPriority priority,
                                     LayoutConstraintOrientation orientation) {
  hugging_[orientationIndex(orientation)] = priority;
}

void View::setFrame(base::Rect frame) {
  const base::Size old = frame_.size;
  frame_ = frame;
  if (old != frame.size) resizeSubviews(old);
}

void View::resizeSubviews(base::Size oldSize) {
  const double dw = frame_.size.width - oldSize.width;
  const double dh = frame_.size.height - oldSize.height;
  for (const auto& sub : subviews_) {
    const unsigned mask = sub->autoresizingMask();
    base::Rect f = sub->frame();
    // Share the change among the flexible parts, as the platform does.
    auto share = [](double delta, bool minFlex, bool sizeFlex, bool maxFlex, double& origin,
                    double& size) {
      const int parts = int{minFlex} + int{sizeFlex} + int{maxFlex};
      if (parts == 0) return;
      const double each = delta / parts;
      if (minFlex) origin += each;
      if (sizeFlex) size += each;
    };
    share(dw, (mask & ViewMinXMargin) != 0, (mask & ViewWidthSizable) != 0,
          (mask & ViewMaxXMargin) != 0, f.origin.x, f.size.width);
    share(dh, (mask & ViewMinYMargin) != 0, (mask & ViewHeightSizable) != 0,
          (mask & ViewMaxYMargin) != 0, f.origin.y, f.size.height);
    if (f != sub->frame()) sub->setFrame(f);
  }
}

void View::addSubview(const std::shared_ptr<View>& view) {
  if (!view || view.get() == this) return;
  view->removeFromSuperview();
  subviews_.push_back(view);
  view->superview_ = sharedAs<View>();
  view->setWindow(window_);
}

void View::removeFromSuperview() {
  if (auto parent = superview_.lock()) {
    auto& list = parent->subviews_;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [this](const std::shared_ptr<View>& v) { return v.get() == this; }),
               list.end());
  }
  superview_.reset();
  setWindow({});
}

std::shared_ptr<Window> View::window() const { return window_.lock(); }

void View::setWindow(const std::weak_ptr<Window>& window) {
  window_ = window;
  for (const auto& sub : subviews_) sub->setWindow(window);
  viewDidMoveToWindow();
}

void View::setWantsLayer(bool wants) {
  if (wants && !layer_) layer_ = std::make_shared<Layer>();
  if (!wants) layer_.reset();
}

}  // namespace ui
