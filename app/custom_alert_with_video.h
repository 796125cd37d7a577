// The welcome window shown at launch: two videos, each looping without end in
// its own area with no playback controls, a button that closes the window and
// one that opens the phone application's download page.
//
// The window and its layout come from the window interface file
// "CustomAlertWithVideo", whose owner is this controller: the file connects
// the controller's window and the two video areas (outlets "videoContent" and
// "videoContent2") and sends "closeAlert:" and "openWebsite:" from its
// buttons. However the window closes, both videos stop and the application
// becomes an accessory application (no Dock icon) for the rest of the run.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/base/coder.h"
#include "platform/base/url.h"
#include "platform/media/player_looper.h"
#include "platform/media/queue_player.h"
#include "platform/ui/view.h"
#include "platform/ui/window.h"
#include "platform/ui/window_controller.h"

namespace tovelin {

class CustomAlertWithVideo : public ui::WindowController, public ui::WindowDelegate {
 public:
  // initWithWindow: and initWithCoder: leave every field empty.
  explicit CustomAlertWithVideo(std::shared_ptr<ui::Window> window);
  explicit CustomAlertWithVideo(const base::Coder& coder);

  // init(videoURL:): the controller with its window loaded, itself as the
  // window's delegate, both player views in place and both players made but
  // not started. `videoURL` is the first video; the second is the bundle's
  // "appusage.mov". When the interface file gives no window or misses one of
  // the two areas, or the bundle has no "appusage.mov", the reason goes to
  // standard error and there is no welcome window (none is returned).
  static std::shared_ptr<CustomAlertWithVideo> make(const base::URL& videoURL);
  // Says on standard error that there is no welcome window because the
  // bundle lacks the video `fileName`.
  static void reportMissingVideo(std::string_view fileName);

  std::shared_ptr<media::QueuePlayer> player;
  std::shared_ptr<media::PlayerLooper> playerLooper;
  std::shared_ptr<media::QueuePlayer> player2;
  std::shared_ptr<media::PlayerLooper> playerLooper2;
  std::weak_ptr<ui::View> videoContent;
  std::weak_ptr<ui::View> videoContent2;

  // The buttons' actions; the sender is not read.
  void closeAlert(const std::shared_ptr<base::Object>& sender);
  void openWebsite(const std::shared_ptr<base::Object>& sender);

  void windowWillClose(const std::shared_ptr<base::Object>& notification) override;

  // Actions "closeAlert:" and "openWebsite:" (and the window controller's).
  // Outlets "videoContent" and "videoContent2" (and "window").
  static const base::ClassTable kClassTable;
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  static const base::Action kActions[];
  static const base::Outlet kOutlets[];
};

}  // namespace tovelin
