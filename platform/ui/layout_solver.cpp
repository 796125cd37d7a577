// Solves the active constraints of a view tree by propagation. Every relation
// is an equality with at most one unknown left once the others are known:
//   a constraint        first = second + c   (or first = c)
//   each view's edges   trailing = leading + width, bottom = top + height
//   a fixed-frame view  its edges follow its superview's by its frame
// so values flow from the fixed frames through the constraints until nothing
// changes. Vertical positions are solved as distances down from the tree's
// top (the direction the vertical constants count in), then turned into the
// bottom-left frames views keep.
#include <cmath>
#include <map>
#include <optional>
#include <set>

#include "platform/base/log.h"
#include "platform/ui/layout.h"
#include "platform/ui/view.h"

namespace ui {
namespace {

enum Var { kLeading, kTrailing, kWidth, kTop, kBottom, kHeight, kVarCount };

struct Node {
  std::shared_ptr<View> view;
  int parent = -1;  // index into the nodes, -1 for the root
  std::optional<double> v[kVarCount];
};

struct Equality {  // a = b + c, or a = c when b is negative
  int nodeA;
  Var varA;
  int nodeB;
  Var varB;
  double c;
  const LayoutConstraint* source;  // for reporting; none for the frames' own relations
};

Var varOf(LayoutAttribute attribute) {
  switch (attribute) {
    case LayoutAttribute::leading:
      return kLeading;
    case LayoutAttribute::trailing:
      return kTrailing;
    case LayoutAttribute::width:
      return kWidth;
    case LayoutAttribute::top:
      return kTop;
    case LayoutAttribute::bottom:
      return kBottom;
    case LayoutAttribute::height:
      return kHeight;
  }
  return kLeading;
}

constexpr double kTolerance = 1e-6;

class Solver {
 public:
  explicit Solver(const std::shared_ptr<View>& root) { collect(root, -1); }

  void solve(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    const base::Rect rootFrame = nodes_[0].view->frame();
    set(0, kLeading, 0);
    set(0, kWidth, rootFrame.width());
    set(0, kTop, 0);
    set(0, kHeight, rootFrame.height());
    for (size_t i = 1; i < nodes_.size(); ++i) {
      if (!nodes_[i].view->translatesAutoresizingMaskIntoConstraints()) continue;
      const int n = static_cast<int>(i);
      const base::Rect f = nodes_[i].view->frame();
      const int p = nodes_[i].parent;
      equalities_.push_back({n, kLeading, p, kLeading, f.minX(), nullptr});
      equalities_.push_back({n, kWidth, -1, kWidth, f.width(), nullptr});
      equalities_.push_back({n, kBottom, p, kBottom, -f.minY(), nullptr});
      equalities_.push_back({n, kHeight, -1, kHeight, f.height(), nullptr});
    }
    for (const auto& c : constraints) addConstraint(*c);

    propagate();
    // What the constraints leave open keeps the view's frame; parents come
    // before their subviews, so the reference edges are known by then.
    for (size_t i = 1; i < nodes_.size(); ++i) {
      const int n = static_cast<int>(i);
      const base::Rect f = nodes_[i].view->frame();
      const Node& parent = nodes_[static_cast<size_t>(nodes_[i].parent)];
      if (set(n, kWidth, f.width())) propagate();
      if (set(n, kLeading, *parent.v[kLeading] + f.minX())) propagate();
      if (set(n, kHeight, f.height())) propagate();
      if (set(n, kBottom, *parent.v[kBottom] - f.minY())) propagate();
    }
  }

  void apply() {
    for (size_t i = 1; i < nodes_.size(); ++i) {
      Node& node = nodes_[i];
      if (node.view->translatesAutoresizingMaskIntoConstraints()) continue;
      const Node& parent = nodes_[static_cast<size_t>(node.parent)];
      const base::Rect frame =
          base::makeRect(*node.v[kLeading] - *parent.v[kLeading],
                         *parent.v[kBottom] - *node.v[kBottom], *node.v[kWidth], *node.v[kHeight]);
      if (frame != node.view->frame()) node.view->setFrame(frame);
    }
  }

 private:
  void collect(const std::shared_ptr<View>& view, int parent) {
    const int index = static_cast<int>(nodes_.size());
    nodes_.push_back(Node{view, parent, {}});
    index_[view.get()] = index;
    for (const auto& sub : view->subviews()) collect(sub, index);
  }

  void addConstraint(const LayoutConstraint& c) {
    auto first = c.firstAnchor().item();
    auto found = index_.find(first.get());
    if (found == index_.end()) return;
    Equality e{found->second, varOf(c.firstAnchor().attribute()), -1, kWidth, c.constant(), &c};
    if (c.secondAnchor()) {
      auto second = index_.find(c.secondAnchor()->item().get());
      if (second == index_.end()) return;  // ties to a view outside this subtree
      e.nodeB = second->second;
      e.varB = varOf(c.secondAnchor()->attribute());
    }
    equalities_.push_back(e);
  }

  std::optional<double>& at(int node, Var var) { return nodes_[static_cast<size_t>(node)].v[var]; }

  // Records a value; returns true when it was unknown.
  bool set(int node, Var var, double value) {
    auto& slot = at(node, var);
    if (slot) return false;
    slot = value;
    return true;
  }

  void check(const Equality& e, double expected) {
    if (std::abs(*at(e.nodeA, e.varA) - expected) <= kTolerance) return;
    if (e.source != nullptr && reported_.insert(e.source).second) {
      base::printError("layout: unable to satisfy " + e.source->description() +
                       " together with the other constraints; it is left out");
    }
  }

  bool step(const Equality& e) {
    auto& a = at(e.nodeA, e.varA);
    if (e.nodeB < 0) {
      if (!a) return set(e.nodeA, e.varA, e.c);
      check(e, e.c);
      return false;
    }
    auto& b = at(e.nodeB, e.varB);
    if (b && !a) return set(e.nodeA, e.varA, *b + e.c);
    if (a && !b) return set(e.nodeB, e.varB, *a - e.c);
    if (a && b) check(e, *b + e.c);
    return false;
  }

  // near = far + size, on one axis of one view.
  bool sum(Node& node, Var nearEdge, Var farEdge, Var size) {
    auto& lo = node.v[nearEdge];
    auto& hi = node.v[farEdge];
    auto& len = node.v[size];
    if (lo && len && !hi) {
      hi = *lo + *len;
    } else if (lo && hi && !len) {
      len = *hi - *lo;
    } else if (hi && len && !lo) {
      lo = *hi - *len;
    } else {
      return false;
    }
    return true;
  }

  void propagate() {
    for (bool changed = true; changed;) {
      changed = false;
      for (const auto& e : equalities_) changed = step(e) || changed;
      for (auto& node : nodes_) {
        changed = sum(node, kLeading, kTrailing, kWidth) || changed;
        changed = sum(node, kTop, kBottom, kHeight) || changed;
      }
    }
  }

  std::vector<Node> nodes_;
  std::map<const View*, int> index_;
  std::vector<Equality> equalities_;
  std::set<const LayoutConstraint*> reported_;
};

}  // namespace

void layoutSubtreeIfNeeded(const std::shared_ptr<View>& view) {
  if (!view) return;
  Solver solver(view);
  solver.solve(LayoutConstraint::constraintsInvolving(view));
  solver.apply();
}

}  // namespace ui
