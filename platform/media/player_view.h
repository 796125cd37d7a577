// A view that shows a player's video.
//
// It has the settings a movie area needs (controls style, video gravity, frame
// analysis and now-playing flags) and the player it shows. Without a video
// decoder its picture is a card in the movie's own colour with a bar showing
// how far the player is, so that window snapshots show which video plays and
// where; the console's window listing shows the player's state and time.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/media/queue_player.h"
#include "platform/ui/view.h"

namespace media {

enum PlayerViewControlsStyle : long {
  PlayerViewControlsStyleNone = 0,
  PlayerViewControlsStyleInline = 1,
  PlayerViewControlsStyleFloating = 2,
  PlayerViewControlsStyleMinimal = 3,
  PlayerViewControlsStyleDefault = PlayerViewControlsStyleInline,
};

// How the video is fitted into the view.
inline constexpr const char* LayerVideoGravityResize = "AVLayerVideoGravityResize";
inline constexpr const char* LayerVideoGravityResizeAspect = "AVLayerVideoGravityResizeAspect";
inline constexpr const char* LayerVideoGravityResizeAspectFill =
    "AVLayerVideoGravityResizeAspectFill";

class PlayerView : public ui::View {
 public:
  PlayerView() = default;
  // initWithFrame:
  explicit PlayerView(base::Rect frame) : ui::View(frame) {}

  [[nodiscard]] long controlsStyle() const { return controlsStyle_; }
  void setControlsStyle(long style) { controlsStyle_ = style; }
  [[nodiscard]] const std::string& videoGravity() const { return videoGravity_; }
  void setVideoGravity(std::string gravity) { videoGravity_ = std::move(gravity); }
  [[nodiscard]] bool allowsVideoFrameAnalysis() const { return allowsFrameAnalysis_; }
  void setAllowsVideoFrameAnalysis(bool allows) { allowsFrameAnalysis_ = allows; }
  [[nodiscard]] bool updatesNowPlayingInfoCenter() const { return updatesNowPlaying_; }
  void setUpdatesNowPlayingInfoCenter(bool updates) { updatesNowPlaying_ = updates; }

  [[nodiscard]] const std::shared_ptr<QueuePlayer>& player() const { return player_; }
  void setPlayer(std::shared_ptr<QueuePlayer> player) { player_ = std::move(player); }

  std::optional<ui::Pixels> snapshotPixels() override;
  // "player: playing 1.25 s of 3.00 s (loop 2)", "player: none", ...
  [[nodiscard]] std::optional<std::string> consoleStatus() const override;

  static constexpr base::ClassTable kClassTable{"AVPlayerView", &ui::View::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  long controlsStyle_ = PlayerViewControlsStyleDefault;
  std::string videoGravity_ = LayerVideoGravityResizeAspect;
  bool allowsFrameAnalysis_ = true;
  bool updatesNowPlaying_ = true;
  std::shared_ptr<QueuePlayer> player_;
};

}  // namespace media
