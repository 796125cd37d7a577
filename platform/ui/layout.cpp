#include "platform/ui/layout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/base/log.h"
#include "platform/ui/view.h"

namespace ui {
namespace {

const char* attributeName(LayoutAttribute attribute) {
  switch (attribute) {
    case LayoutAttribute::leading:
      return "leading";
    case LayoutAttribute::trailing:
      return "trailing";
    case LayoutAttribute::top:
      return "top";
    case LayoutAttribute::bottom:
      return "bottom";
    case LayoutAttribute::width:
      return "width";
    case LayoutAttribute::height:
      return "height";
  }
  return "?";
}

[[noreturn]] void fail(const std::string& message) {
  base::printError("Fatal error: " + message);
  std::abort();
}

std::shared_ptr<View> rootOf(std::shared_ptr<View> view) {
  while (auto parent = view->superview()) view = std::move(parent);
  return view;
}

bool inside(const std::shared_ptr<View>& view, const View* ancestor) {
  for (auto v = view; v; v = v->superview()) {
    if (v.get() == ancestor) return true;
  }
  return false;
}

// Active constraints, oldest first. Constraints hold their views weakly; the
// ones whose views are gone are dropped whenever the list is used.
std::vector<std::shared_ptr<LayoutConstraint>>& registry() {
  static std::vector<std::shared_ptr<LayoutConstraint>> list;
  std::erase_if(list, [](const std::shared_ptr<LayoutConstraint>& c) {
    return !c->firstAnchor().item() || (c->secondAnchor() && !c->secondAnchor()->item());
  });
  return list;
}

}  // namespace

LayoutAnchor::LayoutAnchor(const std::shared_ptr<View>& view, LayoutAttribute attribute)
    : view_(view), attribute_(attribute) {
  if (!view) fail("a layout anchor needs a view");
}

std::string LayoutAnchor::description() const {
  auto view = item();
  return (view ? view->className() : std::string("(gone)")) + "." + attributeName(attribute_);
}

std::shared_ptr<LayoutConstraint> LayoutAnchor::equal(const LayoutAnchor* other,
                                                      double constant) const {
  std::optional<LayoutAnchor> second;
  if (other != nullptr) second = *other;
  return std::make_shared<LayoutConstraint>(*this, std::move(second), constant);
}

LayoutXAxisAnchor leadingAnchor(const std::shared_ptr<View>& view) {
  return {view, LayoutAttribute::leading};
}
LayoutXAxisAnchor trailingAnchor(const std::shared_ptr<View>& view) {
  return {view, LayoutAttribute::trailing};
}
LayoutYAxisAnchor topAnchor(const std::shared_ptr<View>& view) {
  return {view, LayoutAttribute::top};
}
LayoutYAxisAnchor bottomAnchor(const std::shared_ptr<View>& view) {
  return {view, LayoutAttribute::bottom};
}
LayoutDimension widthAnchor(const std::shared_ptr<View>& view) {
  return {view, LayoutAttribute::width};
}
LayoutDimension heightAnchor(const std::shared_ptr<View>& view) {
  return {view, LayoutAttribute::height};
}

LayoutConstraint::LayoutConstraint(LayoutAnchor first, std::optional<LayoutAnchor> second,
                                   double constant)
    : first_(std::move(first)), second_(std::move(second)), constant_(constant) {}

std::string LayoutConstraint::description() const {
  std::string text = first_.description() + " == ";
  if (second_) {
    text += second_->description();
    if (constant_ != 0)
      text += (constant_ > 0 ? " + " : " - ") + std::to_string(std::abs(constant_));
  } else {
    text += std::to_string(constant_);
  }
  return text;
}

void LayoutConstraint::activateConstraints(
    const std::vector<std::shared_ptr<LayoutConstraint>>& list) {
  std::vector<std::shared_ptr<View>> roots;
  for (const auto& constraint : list) {
    if (!constraint) fail("activateConstraints: no constraint given");
    auto first = constraint->first_.item();
    if (!first) fail("activateConstraints: the view of " + constraint->description() + " is gone");
    auto root = rootOf(first);
    if (constraint->second_) {
      auto second = constraint->second_->item();
      if (!second || rootOf(second) != root) {
        fail("Unable to activate constraint " + constraint->description() +
             ": its views have no common ancestor");
      }
    }
    if (!constraint->active_) {
      constraint->active_ = true;
      registry().push_back(constraint);
    }
    if (std::find(roots.begin(), roots.end(), root) == roots.end()) roots.push_back(root);
  }
  for (const auto& root : roots) layoutSubtreeIfNeeded(root);
}

std::vector<std::shared_ptr<LayoutConstraint>> LayoutConstraint::constraintsInvolving(
    const std::shared_ptr<View>& view) {
  std::vector<std::shared_ptr<LayoutConstraint>> found;
  for (const auto& c : registry()) {
    const bool first = inside(c->first_.item(), view.get());
    const bool second = c->second_ && inside(c->second_->item(), view.get());
    if (first || second) found.push_back(c);
  }
  return found;
}

}  // namespace ui
