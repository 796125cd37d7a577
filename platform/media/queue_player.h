// A player of a queue of movies (here: one item at a time).
//
// The player has a clock: while it plays, its current time advances with the
// run loop's clock; while it is paused, nothing runs at all. At the end of
// the item a single timer fires: a looper, when one is attached, starts the
// item over; without one the player stops at the end. An item that failed to
// load never advances.
#pragma once

#include <memory>
#include <string>

#include "platform/base/object.h"
#include "platform/base/run_loop.h"
#include "platform/media/player_item.h"

namespace media {

class PlayerLooper;

class QueuePlayer : public base::Object {
 public:
  // initWithPlayerItem:
  static std::shared_ptr<QueuePlayer> make(std::shared_ptr<PlayerItem> item);

  void play();
  void pause();
  // 1.0 while playing, 0.0 while paused.
  [[nodiscard]] double rate() const { return rate_; }

  // Where the item is, from its beginning.
  [[nodiscard]] base::Clock::duration currentTime() const;
  [[nodiscard]] double currentTimeSeconds() const;
  // Moves to `time` (clamped to the item), playing on if playing.
  void seekToTime(base::Clock::duration time);

  [[nodiscard]] const std::shared_ptr<PlayerItem>& currentItem() const { return item_; }
  void replaceCurrentItemWithPlayerItem(std::shared_ptr<PlayerItem> item);

  // "playing 1.25 s of 3.00 s (loop 2)", "paused ...", "failed (why)", "no item".
  [[nodiscard]] std::string statusText() const;

  static constexpr base::ClassTable kClassTable{"AVQueuePlayer", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  friend class PlayerLooper;
  QueuePlayer() = default;

  [[nodiscard]] bool advances() const;
  void restartClock(base::Clock::duration position);
  void armEndTimer();
  void reachedEnd();

  std::shared_ptr<PlayerItem> item_;
  double rate_ = 0.0;
  base::Clock::duration position_{0};  // the item's time at anchor_
  base::Clock::time_point anchor_{};
  base::Handle endTimer_;
  std::weak_ptr<PlayerLooper> looper_;
};

}  // namespace media
