// Keeps a player's item playing in a loop: each time the item reaches its end
// it starts again from its beginning, for as long as the player plays.
//
// The looper and its player know each other weakly; whoever made them keeps
// both. Once the looper is gone the player stops at the end of the item.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/base/object.h"
#include "platform/media/player_item.h"
#include "platform/media/queue_player.h"

namespace media {

class PlayerLooper : public base::Object {
 public:
  // Makes `templateItem` the player's item (when it is not already) and loops it.
  static std::shared_ptr<PlayerLooper> playerLooperWithPlayer(
      const std::shared_ptr<QueuePlayer>& player, const std::shared_ptr<PlayerItem>& templateItem);

  // How many times the item has started over.
  [[nodiscard]] int64_t loopCount() const { return loopCount_; }

  static constexpr base::ClassTable kClassTable{"AVPlayerLooper", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  friend class QueuePlayer;
  PlayerLooper() = default;

  std::weak_ptr<QueuePlayer> player_;
  std::shared_ptr<PlayerItem> templateItem_;
  int64_t loopCount_ = 0;
};

}  // namespace media
