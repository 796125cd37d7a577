// A rectangle of a window's content, with subviews and an optional layer.
//
// Views form a tree under a window's content view; each knows its superview
// and its window weakly. A view that draws its own pixels (the GPU view)
// answers snapshotPixels(), which the compositor reads.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/coder.h"
#include "platform/base/geometry.h"
#include "platform/base/object.h"
#include "platform/ui/layer.h"
#include "platform/ui/pixels.h"

namespace ui {

class Window;

// Autoresizing mask bits.
enum AutoresizingMask : unsigned {
  ViewNotSizable = 0,
  ViewMinXMargin = 1,
  ViewWidthSizable = 2,
  ViewMaxXMargin = 4,
  ViewMinYMargin = 8,
  ViewHeightSizable = 16,
  ViewMaxYMargin = 32,
};

// How strongly a view holds to its content size under layout constraints
// (the platform's priorities: required 1000, default high 750, default low 250).
using LayoutPriority = float;
inline constexpr LayoutPriority LayoutPriorityRequired = 1000;
inline constexpr LayoutPriority LayoutPriorityDefaultHigh = 750;
inline constexpr LayoutPriority LayoutPriorityDefaultLow = 250;

enum LayoutConstraintOrientation : long {
  LayoutConstraintOrientationHorizontal = 0,
  LayoutConstraintOrientationVertical = 1,
};

class View : public base::Object {
 public:
  View();
  explicit View(base::Rect frame);
  // From an interface file: attributes "frame" [x, y, w, h],
  // "autoresizingMask", "wantsLayer", "hidden".
  explicit View(const base::Coder& coder);

  [[nodiscard]] base::Rect frame() const { return frame_; }
  virtual void setFrame(base::Rect frame);
  [[nodiscard]] base::Rect bounds() const { return base::Rect{{0, 0}, frame_.size}; }

  void addSubview(const std::shared_ptr<View>& view);
  void removeFromSuperview();
  [[nodiscard]] const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  [[nodiscard]] std::shared_ptr<View> superview() const { return superview_.lock(); }

  // The window that shows this view, or none.
  [[nodiscard]] std::shared_ptr<Window> window() const;

  // The backing layer, or none (a plain view has none until it asks for one).
  [[nodiscard]] const std::shared_ptr<Layer>& layer() const { return layer_; }
  void setLayer(std::shared_ptr<Layer> layer) { layer_ = std::move(layer); }
  void setWantsLayer(bool wants);

  [[nodiscard]] unsigned autoresizingMask() const { return autoresizingMask_; }
  void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
  [[nodiscard]] bool translatesAutoresizingMaskIntoConstraints() const { return translatesMask_; }
  void setTranslatesAutoresizingMaskIntoConstraints(bool v) { translatesMask_ = v; }

  [[nodiscard]] bool isHidden() const { return hidden_; }
  void setHidden(bool hidden) { hidden_ = hidden; }

  // Resistance to being made smaller than the content, per orientation
  // (default high), and reluctance to grow beyond it (default low).
  [[nodiscard]] LayoutPriority contentCompressionResistancePriority(
      LayoutConstraintOrientation orientation) const;
  void setContentCompressionResistancePriority(LayoutPriority priority,
                                               LayoutConstraintOrientation orientation);
  [[nodiscard]] LayoutPriority contentHuggingPriority(
      LayoutConstraintOrientation orientation) const;
  void setContentHuggingPriority(LayoutPriority priority, LayoutConstraintOrientation orientation);

  // Whether subview frames are measured from the top left (true) rather than
  // the platform's usual bottom left (false, the default).
  [[nodiscard]] virtual bool isFlipped() const { return false; }

  // The pixels this view last put on screen, sized to its drawable; none for
  // views that do not draw themselves.
  virtual std::optional<Pixels> snapshotPixels() { return std::nullopt; }

  // Whether what the view last put on screen is behind its state: set when
  // the state changes, cleared by the view's next frame.
  [[nodiscard]] bool needsDisplay() const { return needsDisplay_; }
  void setNeedsDisplay(bool needs) { needsDisplay_ = needs; }
  // Draws now, when the view needs display, the frame it would draw next;
  // the compositor calls it before it reads the screen. Views that do not
  // draw themselves have nothing to draw.
  virtual void displayIfNeeded() {}

  // A short state text the console's window listing shows for this view
  // (a player's state and time, say); none for most views.
  [[nodiscard]] virtual std::optional<std::string> consoleStatus() const { return std::nullopt; }

  static constexpr base::ClassTable kClassTable{"NSView", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

  // Called by the window when the view enters or leaves it.
  void setWindow(const std::weak_ptr<Window>& window);
  virtual void viewDidMoveToWindow() {}

 protected:
  // Resizes subviews by their autoresizing masks after a size change.
  void resizeSubviews(base::Size oldSize);

 private:
  base::Rect frame_{};
  std::vector<std::shared_ptr<View>> subviews_;
  std::weak_ptr<View> superview_;
  std::weak_ptr<Window> window_;
  std::shared_ptr<Layer> layer_;
  unsigned autoresizingMask_ = ViewNotSizable;
  bool translatesMask_ = true;
  bool hidden_ = false;
  bool needsDisplay_ = false;
  std::array<LayoutPriority, 2> compressionResistance_{LayoutPriorityDefaultHigh,
                                                       LayoutPriorityDefaultHigh};
  std::array<LayoutPriority, 2> hugging_{LayoutPriorityDefaultLow, LayoutPriorityDefaultLow};
};

}  // namespace ui
