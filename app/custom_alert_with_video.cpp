#include "app/custom_alert_with_video.h"

#include "app/download_page.h"
#include "platform/base/bundle.h"
#include "platform/base/log.h"
#include "platform/media/player_item.h"
#include "platform/media/player_view.h"
#include "platform/ui/application.h"
#include "platform/ui/workspace.h"

namespace tovelin {
namespace {

constexpr const char* kInterfaceFile = "CustomAlertWithVideo";

std::shared_ptr<CustomAlertWithVideo> refuse(const std::string& why) {
  base::printError("welcome window: " + why + "; it is not shown");
  return nullptr;
}

// A player view that fills `area` and follows its size, without controls,
// cropping the video rather than leaving bars.
std::shared_ptr<media::PlayerView> makePlayerView(const ui::View& area) {
  auto view = std::make_shared<media::PlayerView>(area.bounds());
  view->setAutoresizingMask(ui::ViewWidthSizable | ui::ViewHeightSizable);
  view->setControlsStyle(media::PlayerViewControlsStyleNone);
  view->setVideoGravity(media::LayerVideoGravityResizeAspectFill);
  view->setAllowsVideoFrameAnalysis(false);
  view->setUpdatesNowPlayingInfoCenter(false);
  return view;
}

}  // namespace

CustomAlertWithVideo::CustomAlertWithVideo(std::shared_ptr<ui::Window> window)
    : ui::WindowController(std::move(window)) {}

CustomAlertWithVideo::CustomAlertWithVideo(const base::Coder& coder)
    : ui::WindowController(coder) {}

std::shared_ptr<CustomAlertWithVideo> CustomAlertWithVideo::make(const base::URL& videoURL) {
  // initWithWindowNibName: runs initWithWindow: with no window, then names the
  // file; the controller has to be shared before it can own the file.
  auto self = std::make_shared<CustomAlertWithVideo>(std::shared_ptr<ui::Window>{});
  self->setWindowNibName(kInterfaceFile);
  auto window = self->window();
  if (window) window->setDelegate(self);

  // What the file and the bundle must provide, checked before anything is
  // built, so that a broken bundle gives no half-made window.
  if (!window) return refuse("the window interface file \"CustomAlertWithVideo\" gives no window");
  auto area = self->videoContent.lock();
  auto area2 = self->videoContent2.lock();
  for (const auto& [view, name] : {std::pair{area, "videoContent"}, {area2, "videoContent2"}}) {
    if (!view) {
      return refuse(
          std::string("the window interface file \"CustomAlertWithVideo\" connects no \"") + name +
          "\"");
    }
  }
  if (!base::Bundle::main().urlForResource("appusage", "mov")) {
    reportMissingVideo("appusage.mov");
    return nullptr;
  }

  auto view = makePlayerView(*area);
  auto item = media::PlayerItem::make(videoURL);
  self->player = media::QueuePlayer::make(item);
  self->playerLooper = media::PlayerLooper::playerLooperWithPlayer(self->player, item);
  view->setPlayer(self->player);
  area->addSubview(view);

  auto view2 = makePlayerView(*area2);
  auto secondURL = base::Bundle::main().urlForResource("appusage", "mov");
  if (!secondURL) {
    reportMissingVideo("appusage.mov");
    return nullptr;
  }
  auto item2 = media::PlayerItem::make(*secondURL);
  self->player2 = media::QueuePlayer::make(item2);
  self->playerLooper2 = media::PlayerLooper::playerLooperWithPlayer(self->player2, item2);
  view2->setPlayer(self->player2);
  area2->addSubview(view2);
  return self;
}

void CustomAlertWithVideo::reportMissingVideo(std::string_view fileName) {
  refuse("the bundle has no video \"" + std::string(fileName) + "\"");
}

void CustomAlertWithVideo::closeAlert(const std::shared_ptr<base::Object>& /*sender*/) { close(); }

void CustomAlertWithVideo::openWebsite(const std::shared_ptr<base::Object>& /*sender*/) {
  if (auto url = base::URL::fromString(kDownloadPageAddress)) ui::Workspace::shared().openURL(*url);
}

void CustomAlertWithVideo::windowWillClose(const std::shared_ptr<base::Object>& /*notification*/) {
  ui::Application::shared().setActivationPolicy(ui::ActivationPolicy::accessory);
  if (player) player->pause();
  if (player2) player2->pause();
  player.reset();
  player2.reset();
  playerLooper.reset();
  playerLooper2.reset();
}

const base::Action CustomAlertWithVideo::kActions[] = {
    base::action<&CustomAlertWithVideo::closeAlert>("closeAlert:"),
    base::action<&CustomAlertWithVideo::openWebsite>("openWebsite:"),
};
const base::Outlet CustomAlertWithVideo::kOutlets[] = {
    base::outlet<&CustomAlertWithVideo::videoContent>("videoContent"),
    base::outlet<&CustomAlertWithVideo::videoContent2>("videoContent2"),
};
const base::ClassTable CustomAlertWithVideo::kClassTable{
    "CustomAlertWithVideo", &ui::WindowController::kClassTable, kActions, kOutlets};

}  // namespace tovelin
