#include "platform/media/player_looper.h"

namespace media {

std::shared_ptr<PlayerLooper> PlayerLooper::playerLooperWithPlayer(
    const std::shared_ptr<QueuePlayer>& player, const std::shared_ptr<PlayerItem>& templateItem) {
  std::shared_ptr<PlayerLooper> looper(new PlayerLooper());
  looper->player_ = player;
  looper->templateItem_ = templateItem;
  if (player) {
    if (player->currentItem() != templateItem)
      player->replaceCurrentItemWithPlayerItem(templateItem);
    player->looper_ = looper;
  }
  return looper;
}

}  // namespace media
