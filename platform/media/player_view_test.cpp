#include "platform/media/player_view.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/media/movie_bytes.h"
#include "platform/media/player_looper.h"

namespace media {
namespace {

using namespace std::chrono_literals;

class PlayerViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pathA_ = testing::writeTempFile(testing::movie(100, 300), "first");
    pathB_ = testing::writeTempFile(testing::movie(100, 300), "second");
  }
  void TearDown() override {
    std::remove(pathA_.c_str());
    std::remove(pathB_.c_str());
  }
  std::shared_ptr<PlayerView> viewPlaying(const std::string& path) {
    auto view = std::make_shared<PlayerView>(base::makeRect(0, 0, 64, 32));
    view->setPlayer(QueuePlayer::make(PlayerItem::make(base::URL::fileURL(path))));
    return view;
  }
  static std::array<uint8_t, 3> rgb(const ui::Pixels& p, int x, int y) {
    const uint8_t* c = p.at(x, y);
    return {c[0], c[1], c[2]};
  }

  std::string pathA_;
  std::string pathB_;
};

TEST_F(PlayerViewTest, TheConsoleSeesStateTimeAndLoops) {
  auto view = viewPlaying(pathA_);
  auto player = view->player();
  auto looper = PlayerLooper::playerLooperWithPlayer(player, player->currentItem());
  EXPECT_EQ(view->consoleStatus(), "player: paused 0.00 s of 3.00 s (loop 0)");
  player->seekToTime(1250ms);
  player->play();
  const auto text = view->consoleStatus().value_or("");
  EXPECT_EQ(text.rfind("player: playing 1.2", 0), 0u) << text;
  EXPECT_NE(text.find(" of 3.00 s (loop 0)"), std::string::npos) << text;
  player->pause();
}

TEST_F(PlayerViewTest, TheBarShowsHowFarThePlayerIs) {
  auto view = viewPlaying(pathA_);
  auto pixels = view->snapshotPixels();
  ASSERT_TRUE(pixels);
  EXPECT_EQ(pixels->width, 64);
  EXPECT_EQ(pixels->height, 32);
  const int bottom = pixels->height - 1;
  // At the start nothing is played: the whole bar is dark.
  EXPECT_EQ(rgb(*pixels, 0, bottom), (std::array<uint8_t, 3>{20, 20, 20}));
  view->player()->seekToTime(1500ms);
  pixels = view->snapshotPixels();
  EXPECT_EQ(rgb(*pixels, 10, bottom), (std::array<uint8_t, 3>{255, 200, 40}));
  EXPECT_EQ(rgb(*pixels, 31, bottom), (std::array<uint8_t, 3>{255, 200, 40}));
  EXPECT_EQ(rgb(*pixels, 33, bottom), (std::array<uint8_t, 3>{20, 20, 20}));
  // Above the bar the picture is one colour, fully opaque.
  EXPECT_EQ(rgb(*pixels, 0, 0), rgb(*pixels, 63, bottom - 2));
  EXPECT_EQ(pixels->at(5, 5)[3], 255);
}

TEST_F(PlayerViewTest, TwoVideosLookDifferent) {
  const auto a = viewPlaying(pathA_)->snapshotPixels();
  const auto b = viewPlaying(pathB_)->snapshotPixels();
  ASSERT_TRUE(a && b);
  EXPECT_NE(rgb(*a, 5, 5), rgb(*b, 5, 5));
}

TEST_F(PlayerViewTest, AVideoThatCannotPlayShowsAGreyCardWithoutBar) {
  ::testing::internal::CaptureStderr();
  auto view = viewPlaying("/nonexistent.mov");
  ::testing::internal::GetCapturedStderr();
  const auto pixels = view->snapshotPixels();
  ASSERT_TRUE(pixels);
  EXPECT_EQ(rgb(*pixels, 5, 5), (std::array<uint8_t, 3>{40, 40, 40}));
  EXPECT_EQ(rgb(*pixels, 5, pixels->height - 1), (std::array<uint8_t, 3>{40, 40, 40}));
}

TEST_F(PlayerViewTest, ThePictureFollowsTheViewsSize) {
  auto view = viewPlaying(pathA_);
  view->setFrame(base::makeRect(0, 0, 120.4, 45.6));
  const auto pixels = view->snapshotPixels();
  ASSERT_TRUE(pixels);
  EXPECT_EQ(pixels->width, 120);
  EXPECT_EQ(pixels->height, 46);
  EXPECT_EQ(pixels->rgba.size(), size_t{120} * 46 * 4);
  // Empty and absurd areas draw nothing rather than allocating.
  view->setFrame(base::makeRect(0, 0, 0, 10));
  EXPECT_FALSE(view->snapshotPixels());
  view->setFrame(base::makeRect(0, 0, 1e12, 10));
  EXPECT_FALSE(view->snapshotPixels());
}

}  // namespace
}  // namespace media
