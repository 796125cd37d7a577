#include "platform/ui/control.h"

namespace ui {

Control::Control(const base::Coder& coder) : View(coder) {
  if (auto enabled = coder.decodeBool("enabled")) enabled_ = *enabled;
}

bool Control::sendAction() {
  if (!enabled_ || !action_) return false;
  auto target = target_.lock();
  if (!target) return false;
  return target->perform(*action_, shared_from_this());
}

}  // namespace ui
