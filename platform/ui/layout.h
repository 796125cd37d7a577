// Layout anchors and constraints: the edges and sizes of views tied to each
// other by equalities ("this view's leading edge is 10 points right of that
// one's"), and a solver that turns them into frames.
//
// Geometry convention: a view's frame is in its superview's coordinates with
// the origin at the superview's bottom-left corner and y growing upwards, as
// everywhere on this platform. Constants on the vertical anchors count
// downwards, as the platform's anchors do: `top == superview.top + 10` puts
// the view's top edge 10 points below its superview's top edge.
//
// What is laid out: views that opted out of autoresizing masks
// (translatesAutoresizingMaskIntoConstraints false). Every other view keeps
// its frame and serves as a fixed reference, and so does the top of the view
// tree. A view that the constraints leave under-determined keeps the missing
// part of its frame. All constraints are required equalities; one that
// contradicts the others is reported on standard error and left out.
//
// Activating constraints lays out their view tree at once; after changing a
// frame later, call layoutSubtreeIfNeeded. Active constraints belong to the
// views they tie and go away with them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/object.h"

namespace ui {

class View;
class LayoutConstraint;

enum class LayoutAttribute { leading, trailing, top, bottom, width, height };

class LayoutAnchor {
 public:
  LayoutAnchor(const std::shared_ptr<View>& view, LayoutAttribute attribute);
  [[nodiscard]] std::shared_ptr<View> item() const { return view_.lock(); }
  [[nodiscard]] LayoutAttribute attribute() const { return attribute_; }
  [[nodiscard]] std::string description() const;

 protected:
  [[nodiscard]] std::shared_ptr<LayoutConstraint> equal(const LayoutAnchor* other,
                                                        double constant) const;

 private:
  std::weak_ptr<View> view_;
  LayoutAttribute attribute_;
};

// Leading and trailing edges.
class LayoutXAxisAnchor : public LayoutAnchor {
 public:
  using LayoutAnchor::LayoutAnchor;
  [[nodiscard]] std::shared_ptr<LayoutConstraint> constraintEqualToAnchor(
      const LayoutXAxisAnchor& anchor, double constant = 0) const {
    return equal(&anchor, constant);
  }
};

// Top and bottom edges.
class LayoutYAxisAnchor : public LayoutAnchor {
 public:
  using LayoutAnchor::LayoutAnchor;
  [[nodiscard]] std::shared_ptr<LayoutConstraint> constraintEqualToAnchor(
      const LayoutYAxisAnchor& anchor, double constant = 0) const {
    return equal(&anchor, constant);
  }
};

// Width and height.
class LayoutDimension : public LayoutAnchor {
 public:
  using LayoutAnchor::LayoutAnchor;
  [[nodiscard]] std::shared_ptr<LayoutConstraint> constraintEqualToAnchor(
      const LayoutDimension& anchor, double constant = 0) const {
    return equal(&anchor, constant);
  }
  [[nodiscard]] std::shared_ptr<LayoutConstraint> constraintEqualToConstant(double constant) const {
    return equal(nullptr, constant);
  }
};

// The anchors of a view (the view must be owned by a shared_ptr).
LayoutXAxisAnchor leadingAnchor(const std::shared_ptr<View>& view);
LayoutXAxisAnchor trailingAnchor(const std::shared_ptr<View>& view);
LayoutYAxisAnchor topAnchor(const std::shared_ptr<View>& view);
LayoutYAxisAnchor bottomAnchor(const std::shared_ptr<View>& view);
LayoutDimension widthAnchor(const std::shared_ptr<View>& view);
LayoutDimension heightAnchor(const std::shared_ptr<View>& view);

// first == second + constant, or first == constant for a size without second.
class LayoutConstraint : public base::Object {
 public:
  LayoutConstraint(LayoutAnchor first, std::optional<LayoutAnchor> second, double constant);

  // Activates all of them, then lays out each view tree they touch. Tying two
  // views that share no view tree is a programming error and stops the
  // program.
  static void activateConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& list);
  // The active constraints that tie `view` or a view inside it, in the order
  // they were activated.
  static std::vector<std::shared_ptr<LayoutConstraint>> constraintsInvolving(
      const std::shared_ptr<View>& view);

  [[nodiscard]] const LayoutAnchor& firstAnchor() const { return first_; }
  [[nodiscard]] const std::optional<LayoutAnchor>& secondAnchor() const { return second_; }
  [[nodiscard]] double constant() const { return constant_; }
  [[nodiscard]] bool isActive() const { return active_; }
  [[nodiscard]] std::string description() const;

  static constexpr base::ClassTable kClassTable{"NSLayoutConstraint", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  LayoutAnchor first_;
  std::optional<LayoutAnchor> second_;
  double constant_;
  bool active_ = false;
};

// Lays out the views inside `view` by the active constraints among them;
// `view` itself keeps its frame.
void layoutSubtreeIfNeeded(const std::shared_ptr<View>& view);

}  // namespace ui
