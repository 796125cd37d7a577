#include "platform/media/queue_player.h"

#include <algorithm>
#include <cstdio>

#include "platform/media/player_looper.h"

namespace media {
namespace {

std::string secondsText(base::Clock::duration d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f s", std::chrono::duration<double>(d).count());
  return buf;
}

base::Clock::duration lengthOf(const PlayerItem& item) {
  return std::chrono::duration_cast<base::Clock::duration>(item.duration());
}

}  // namespace

std::shared_ptr<QueuePlayer> QueuePlayer::make(std::shared_ptr<PlayerItem> item) {
  std::shared_ptr<QueuePlayer> player(new QueuePlayer());
  player->item_ = std::move(item);
  return player;
}

bool QueuePlayer::advances() const {
  // An item of no length has no end to reach: its end timer would fire at
  // once, again and again, and a loop pass would divide by that length.
  return rate_ > 0.0 && item_ && item_->status() == PlayerItemStatus::readyToPlay &&
         lengthOf(*item_) > base::Clock::duration{0};
}

base::Clock::duration QueuePlayer::currentTime() const {
  if (!item_) return base::Clock::duration{0};
  auto t = position_;
  if (advances()) t += base::RunLoop::main().now() - anchor_;
  return std::clamp(t, base::Clock::duration{0}, lengthOf(*item_));
}

double QueuePlayer::currentTimeSeconds() const {
  return std::chrono::duration<double>(currentTime()).count();
}

void QueuePlayer::restartClock(base::Clock::duration position) {
  position_ = position;
  anchor_ = base::RunLoop::main().now();
  armEndTimer();
}

void QueuePlayer::play() {
  if (rate_ > 0.0) return;
  const auto at = currentTime();
  rate_ = 1.0;
  restartClock(at);
}

void QueuePlayer::pause() {
  position_ = currentTime();
  rate_ = 0.0;
  endTimer_.reset();
}

void QueuePlayer::seekToTime(base::Clock::duration time) {
  if (!item_) return;
  const auto end = lengthOf(*item_);
  restartClock(std::clamp(time, base::Clock::duration{0}, end));
}

void QueuePlayer::replaceCurrentItemWithPlayerItem(std::shared_ptr<PlayerItem> item) {
  item_ = std::move(item);
  restartClock(base::Clock::duration{0});
}

void QueuePlayer::armEndTimer() {
  endTimer_.reset();
  if (!advances()) return;
  const auto left = lengthOf(*item_) - position_;
  std::weak_ptr<QueuePlayer> weak = sharedAs<QueuePlayer>();
  endTimer_ =
      base::RunLoop::main().addTimer(std::max(left, base::Clock::duration{0}), false, [weak] {
        if (auto self = weak.lock()) self->reachedEnd();
      });
}

void QueuePlayer::reachedEnd() {
  endTimer_.reset();
  if (!advances()) return;
  const auto length = lengthOf(*item_);
  const auto played = position_ + (base::RunLoop::main().now() - anchor_);
  auto looper = looper_.lock();
  if (!looper) {
    // Nothing to loop: stop at the end, as a queue with no next item does.
    position_ = length;
    rate_ = 0.0;
    return;
  }
  // The timer fires a little late (or very late after a stall): count every
  // pass that went by and carry the overshoot so that the loop keeps time.
  const auto passes = std::max<int64_t>(1, played / length);
  looper->loopCount_ += passes;
  restartClock(played > length ? played % length : base::Clock::duration{0});
}

std::string QueuePlayer::statusText() const {
  if (!item_) return "no item";
  if (item_->status() == PlayerItemStatus::failed) return "failed (" + item_->error() + ")";
  std::string text = (rate_ > 0.0 ? "playing " : "paused ") + secondsText(currentTime()) + " of " +
                     secondsText(item_->duration());
  if (auto looper = looper_.lock()) text += " (loop " + std::to_string(looper->loopCount()) + ")";
  return text;
}

}  // namespace media
