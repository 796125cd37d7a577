#include "platform/media/player_view.h"

#include <cmath>
#include <cstdint>

namespace media {
namespace {

// Larger areas than this are not drawn: the picture is only a stand-in.
constexpr double kMaxSide = 8192;

struct Rgb {
  uint8_t r, g, b;
};

// A steady colour per movie file, so that two videos look different.
Rgb movieColour(const std::string& address) {
  uint32_t h = 2166136261u;
  for (const char c : address) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
  auto channel = [h](int shift) { return static_cast<uint8_t>(64 + ((h >> shift) & 0xFFu) / 2); };
  return Rgb{channel(0), channel(8), channel(16)};
}

}  // namespace

std::optional<ui::Pixels> PlayerView::snapshotPixels() {
  const base::Size size = frame().size;
  if (!(size.width >= 1 && size.height >= 1 && size.width <= kMaxSide && size.height <= kMaxSide)) {
    return std::nullopt;
  }
  ui::Pixels image;
  image.width = static_cast<int>(std::lround(size.width));
  image.height = static_cast<int>(std::lround(size.height));
  image.rgba.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4);

  const auto& item = player_ ? player_->currentItem() : nullptr;
  const bool ready = item && item->status() == PlayerItemStatus::readyToPlay;
  const Rgb card = ready ? movieColour(item->url().absoluteString()) : Rgb{40, 40, 40};
  double progress = 0.0;
  if (ready) progress = player_->currentTimeSeconds() / item->durationSeconds();

  // A progress bar along the bottom edge: amber for the part played.
  const int barHeight = std::max(1, image.height / 16);
  const int played = static_cast<int>(std::lround(progress * image.width));
  for (int y = 0; y < image.height; ++y) {
    const bool inBar = ready && y >= image.height - barHeight;
    for (int x = 0; x < image.width; ++x) {
      Rgb c = card;
      if (inBar) c = x < played ? Rgb{255, 200, 40} : Rgb{20, 20, 20};
      uint8_t* p =
          image.rgba.data() +
          (static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 4;
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
      p[3] = 255;
    }
  }
  return image;
}

std::optional<std::string> PlayerView::consoleStatus() const {
  return "player: " + (player_ ? player_->statusText() : std::string("none"));
}

}  // namespace media
