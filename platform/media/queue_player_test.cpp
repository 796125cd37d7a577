#include <gtest/gtest.h>

#include <cstdio>
#include <thread>
#include <tuple>

#include "platform/base/run_loop.h"
#include "platform/media/movie_bytes.h"
#include "platform/media/player_item.h"
#include "platform/media/player_looper.h"
#include "platform/media/queue_player.h"

namespace media {
namespace {

using namespace std::chrono_literals;

double seconds(base::Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A movie of 0.2 s on disk for the duration of a test.
class QueuePlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = testing::writeTempFile(testing::movie(1000, 200));
    item_ = PlayerItem::make(base::URL::fileURL(path_));
    ASSERT_EQ(item_->status(), PlayerItemStatus::readyToPlay) << item_->error();
  }
  void TearDown() override { std::remove(path_.c_str()); }

  std::string path_;
  std::shared_ptr<PlayerItem> item_;
};

TEST_F(QueuePlayerTest, TimeAdvancesOnlyWhilePlaying) {
  auto& loop = base::RunLoop::main();
  const size_t timersBefore = loop.timerCount();
  auto player = QueuePlayer::make(item_);
  player->play();
  EXPECT_EQ(player->rate(), 1.0);
  // One timer for the end of the item, nothing ticking.
  EXPECT_EQ(loop.timerCount(), timersBefore + 1);
  loop.runFor(60ms);
  player->pause();
  EXPECT_EQ(loop.timerCount(), timersBefore);
  const auto stopped = player->currentTime();
  EXPECT_GE(seconds(stopped), 0.06);
  EXPECT_LT(seconds(stopped), 0.2);
  loop.runFor(60ms);
  EXPECT_EQ(player->currentTime(), stopped);
  EXPECT_EQ(player->rate(), 0.0);
}

TEST_F(QueuePlayerTest, WithoutALooperThePlayerStopsAtTheEnd) {
  auto player = QueuePlayer::make(item_);
  player->play();
  base::RunLoop::main().runFor(300ms);
  EXPECT_EQ(player->rate(), 0.0);
  EXPECT_DOUBLE_EQ(player->currentTimeSeconds(), 0.2);
  EXPECT_EQ(player->statusText(), "paused 0.20 s of 0.20 s");
}

TEST_F(QueuePlayerTest, ALooperStartsTheItemOverAtItsEnd) {
  auto player = QueuePlayer::make(item_);
  auto looper = PlayerLooper::playerLooperWithPlayer(player, item_);
  const auto start = base::RunLoop::main().now();
  player->play();
  base::RunLoop::main().runFor(500ms);
  const double elapsed = seconds(base::RunLoop::main().now() - start);
  EXPECT_EQ(player->rate(), 1.0);
  EXPECT_GE(looper->loopCount(), 2);
  EXPECT_LT(player->currentTimeSeconds(), 0.2);
  // Passes and position together account for the time played.
  const double played =
      static_cast<double>(looper->loopCount()) * 0.2 + player->currentTimeSeconds();
  EXPECT_NEAR(played, elapsed, 0.1);
}

TEST_F(QueuePlayerTest, PassesMissedDuringAStallAreCounted) {
  auto player = QueuePlayer::make(item_);
  auto looper = PlayerLooper::playerLooperWithPlayer(player, item_);
  player->play();
  std::this_thread::sleep_for(1050ms);  // the loop does not run meanwhile
  base::RunLoop::main().runFor(20ms);
  EXPECT_GE(looper->loopCount(), 5);
  EXPECT_LT(player->currentTimeSeconds(), 0.2);
}

TEST_F(QueuePlayerTest, PausingALoopingPlayerStopsTheLoop) {
  auto player = QueuePlayer::make(item_);
  auto looper = PlayerLooper::playerLooperWithPlayer(player, item_);
  player->play();
  base::RunLoop::main().runFor(250ms);
  player->pause();
  const auto count = looper->loopCount();
  const auto at = player->currentTime();
  base::RunLoop::main().runFor(300ms);
  EXPECT_EQ(looper->loopCount(), count);
  EXPECT_EQ(player->currentTime(), at);
}

TEST_F(QueuePlayerTest, ADroppedLooperLetsThePlayerStopAtTheEnd) {
  auto player = QueuePlayer::make(item_);
  auto looper = PlayerLooper::playerLooperWithPlayer(player, item_);
  player->play();
  looper.reset();
  base::RunLoop::main().runFor(300ms);
  EXPECT_EQ(player->rate(), 0.0);
  EXPECT_DOUBLE_EQ(player->currentTimeSeconds(), 0.2);
}

TEST_F(QueuePlayerTest, TheLooperPutsItsTemplateItemInThePlayer) {
  auto other = PlayerItem::make(base::URL::fileURL(path_));
  auto player = QueuePlayer::make(other);
  auto looper = PlayerLooper::playerLooperWithPlayer(player, item_);
  EXPECT_EQ(player->currentItem(), item_);
  EXPECT_EQ(player->statusText(), "paused 0.00 s of 0.20 s (loop 0)");
}

TEST_F(QueuePlayerTest, ADestroyedPlayerIsNotCalledBack) {
  auto& loop = base::RunLoop::main();
  const size_t timersBefore = loop.timerCount();
  auto player = QueuePlayer::make(item_);
  player->play();
  player.reset();
  EXPECT_EQ(loop.timerCount(), timersBefore);
  loop.runFor(250ms);
}

TEST(PlayerItem, UnreadableMoviesFailWithAMessageAndNeverPlay) {
  struct Case {
    std::string address;
    std::string says;
  };
  const std::string junk = testing::writeTempFile(testing::Bytes(100, 0x41), "junk");
  const std::string empty = testing::writeTempFile(testing::movie(600, 0), "empty");
  // Lengths that round to no nanosecond at all, or to a few: a looper would
  // divide by the one and restart the other without end.
  const std::string roundsToZero = testing::writeTempFile(testing::movie(0xFFFFFFFF, 1), "zero");
  const std::string threeNanoseconds =
      testing::writeTempFile(testing::movie(1000000000, 3, 1), "three");
  const std::string underAMillisecond = testing::writeTempFile(testing::movie(1000000, 999), "us");
  const std::vector<Case> cases = {
      {"file:///nonexistent/appusage.mov", "cannot open /nonexistent/appusage.mov"},
      {"file://" + junk, "runs past the end"},
      {"file://" + empty, "no playable length"},
      {"file://" + roundsToZero, roundsToZero + ": the movie has no playable length"},
      {"file://" + threeNanoseconds, threeNanoseconds + ": the movie has no playable length"},
      {"file://" + underAMillisecond, "no playable length"},
      {"https://tovelin.example/intro.mov", "only local file addresses"},
  };
  for (const auto& c : cases) {
    ::testing::internal::CaptureStderr();
    auto item = PlayerItem::make(*base::URL::fromString(c.address));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(item->status(), PlayerItemStatus::failed) << c.address;
    EXPECT_NE(err.find("media: cannot play"), std::string::npos) << err;
    EXPECT_NE(err.find(c.says), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

    auto player = QueuePlayer::make(item);
    auto looper = PlayerLooper::playerLooperWithPlayer(player, item);
    player->play();
    base::RunLoop::main().runFor(20ms);
    EXPECT_EQ(player->currentTime(), base::Clock::duration{0});
    EXPECT_EQ(looper->loopCount(), 0);
    EXPECT_EQ(player->statusText().rfind("failed (", 0), 0u) << player->statusText();
  }
  for (const auto& path : {junk, empty, roundsToZero, threeNanoseconds, underAMillisecond})
    std::remove(path.c_str());
}

TEST(PlayerItem, AMovieOfAMillisecondOrMorePlaysAndLoops) {
  for (const auto& [timeScale, duration, nanoseconds] :
       {std::tuple{1000U, 1ULL, 1000000}, std::tuple{1000000U, 1001ULL, 1001000}}) {
    const std::string path = testing::writeTempFile(testing::movie(timeScale, duration), "short");
    ::testing::internal::CaptureStderr();
    auto item = PlayerItem::make(base::URL::fileURL(path));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(item->status(), PlayerItemStatus::readyToPlay) << item->error();
    EXPECT_EQ(item->duration(), std::chrono::nanoseconds(nanoseconds));

    auto player = QueuePlayer::make(item);
    auto looper = PlayerLooper::playerLooperWithPlayer(player, item);
    player->play();
    base::RunLoop::main().runFor(30ms);
    EXPECT_GE(looper->loopCount(), 2) << timeScale;
    EXPECT_LE(player->currentTime(), item->duration());
    std::remove(path.c_str());
  }
}

}  // namespace
}  // namespace media
