#include "platform/media/player_item.h"

#include <cmath>

#include "platform/base/log.h"
#include "platform/media/movie_header.h"

namespace media {
namespace {

constexpr double kShortestSeconds = 1e-3;

}  // namespace

std::shared_ptr<PlayerItem> PlayerItem::make(const base::URL& url) {
  std::shared_ptr<PlayerItem> item(new PlayerItem(url));
  std::string why;
  if (!url.isFileURL()) {
    why = url.absoluteString() + ": only local file addresses can be played";
  } else if (auto header = readMovieHeader(url.path()); !header) {
    why = header.error().message;
  } else {
    const double seconds = header->seconds();
    // A movie of no length, or of a few nanoseconds (a huge time scale over a
    // tiny duration), would have a looper restart it without end, or round to
    // no length at all: the shortest movie played lasts a millisecond.
    if (!(seconds >= kShortestSeconds) || seconds > 1e9) {
      why = url.path() + ": the movie has no playable length";
    } else {
      item->duration_ = std::chrono::nanoseconds(static_cast<int64_t>(std::llround(seconds * 1e9)));
      item->status_ = PlayerItemStatus::readyToPlay;
      return item;
    }
  }
  item->status_ = PlayerItemStatus::failed;
  item->error_ = why;
  base::printError("media: cannot play " + why);
  return item;
}

double PlayerItem::durationSeconds() const {
  return std::chrono::duration<double>(duration_).count();
}

}  // namespace media
