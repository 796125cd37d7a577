// The console's snapshot with the real program: it shows every change made
// before it, and it treats the file it replaces as cp does.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/file.h"
#include "platform/base/non_root_test_support.h"
#include "platform/ui/png.h"
#include "tests/app_fixture.h"

namespace e2e {
namespace {

class Snapshot : public AppTest {
 protected:
  // Has the console write `name` in the test's folder, waits for it and
  // reads it back.
  ui::Pixels shot(const std::string& name) {
    const std::string path = dir_ + "/" + name;
    app_->send("snapshot " + path);
    EXPECT_TRUE(app_->waitForStderr("snapshot written to " + path, 10s)) << app_->stderrText();
    auto image = ui::readPng(path);
    EXPECT_TRUE(image) << image.error().message;
    return image ? *image : ui::Pixels{};
  }

  // Streams motion for `duration` that leaves the pattern where it is: x is
  // a whole period (100, scrolled back to the same place) and 0 in turn, so
  // every reading differs from the one before and the overlay stays at full
  // strength. The pacing only spreads the readings over the time.
  static void stream(ScriptedPhone& p, std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    for (int i = 0; std::chrono::steady_clock::now() < end; ++i) {
      p.sendAcceleration(i % 2 == 0 ? 100 : 0, 0, 0);
      std::this_thread::sleep_for(15ms);
    }
  }

  // The mean difference of all colour bytes of two screens of one size.
  static double meanDifference(const ui::Pixels& a, const ui::Pixels& b) {
    EXPECT_EQ(a.rgba.size(), b.rgba.size());
    if (a.rgba.size() != b.rgba.size() || a.rgba.empty()) return 255;
    double sum = 0;
    size_t bytes = 0;
    for (size_t i = 0; i < a.rgba.size(); ++i) {
      if (i % 4 == 3) continue;  // screens are opaque
      sum += std::abs(a.rgba[i] - b.rgba[i]);
      ++bytes;
    }
    return sum / static_cast<double>(bytes);
  }
};

struct LookChange {
  const char* name;
  const char* before;
  const char* after;
};

class SnapshotAfterChoose : public Snapshot, public testing::WithParamInterface<LookChange> {};

TEST_P(SnapshotAfterChoose, ShowsTheLookJustChosen) {
  start();
  auto p = phone("Test Phone");
  connect(*p, "Test Phone");
  app_->send("close 2");  // the welcome window's video changes by itself
  app_->send(std::string("choose ") + GetParam().before);
  stream(*p, 300ms);
  const ui::Pixels before = shot("before.png");

  // As a script does: the snapshot right after the choice, before a frame.
  app_->send(std::string("choose ") + GetParam().after);
  const ui::Pixels atOnce = shot("at-once.png");
  stream(*p, 1s);
  const ui::Pixels later = shot("later.png");

  EXPECT_LT(meanDifference(atOnce, later), 1.0) << "the snapshot at once shows another look";
  EXPECT_GT(meanDifference(atOnce, before), 5.0) << "the look did not change";
}

INSTANTIATE_TEST_SUITE_P(
    Looks, SnapshotAfterChoose,
    testing::Values(LookChange{"DotsToHearts", "Inverted Dots", "Inverted Hearts"},
                    LookChange{"HeartsToLadyBug", "Inverted Hearts", "Lady Bug"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(Snapshot, AReplacedFileKeepsItsModeAndANewOneHasTheUmasksMode) {
  const std::string kept = dir_ + "/private.png";
  std::ofstream(kept) << "earlier";
  ASSERT_EQ(::chmod(kept.c_str(), 0600), 0);
  const mode_t mask = ::umask(022);  // the program inherits it
  start();
  ::umask(mask);
  const auto modeOf = [](const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0U;
  };
  EXPECT_EQ(shot("private.png").width, 320);
  EXPECT_EQ(modeOf(kept), 0600U);
  EXPECT_EQ(shot("new.png").width, 320);
  EXPECT_EQ(modeOf(dir_ + "/new.png"), 0644U);
}

TEST_F(Snapshot, AFileTheUserMayNotWriteIsRefusedAndKept) {
  const std::string path = dir_ + "/read-only.png";
  std::ofstream(path) << "the user's";
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  std::string program = TOVELIN_APP_PATH;
  std::vector<std::string> args;
  if (::geteuid() == 0) {
    // Root may write anything: the program runs as nobody, in a folder of
    // its own, the file being nobody's too.
    program = "/usr/bin/setpriv";
    const auto reachable = base::exitStatusAsNonRoot(dir_, [&] {
      const bool can = ::access(program.c_str(), X_OK) == 0 &&
                       ::access(TOVELIN_APP_PATH, X_OK) == 0 &&
                       ::access(TOVELIN_BUNDLE_DIR "/Info.json", R_OK) == 0;
      return can ? 0 : 1;
    });
    if (reachable != 0) GTEST_SKIP() << "the program cannot run as a user that is not root here";
    ASSERT_EQ(::chown(path.c_str(), base::kNobody, base::kNobody), 0);
    const std::string nobody = std::to_string(base::kNobody);
    args = {"--reuid=" + nobody, "--regid=" + nobody, "--clear-groups", TOVELIN_APP_PATH};
  }
  args.insert(args.end(), {"--radio", radio_, "--defaults", defaults_, "--bundle",
                           TOVELIN_BUNDLE_DIR, "--screen", "320x180"});
  app_ = std::make_unique<AppProcess>(program, args, stderrPath_);

  app_->send("snapshot " + path);
  EXPECT_TRUE(app_->waitForStderr("snapshot: " + path +
                                      ": may not be written by this user (Permission denied), so "
                                      "it is left as it is",
                                  10s))
      << app_->stderrText();
  auto text = base::readFile(path);
  EXPECT_TRUE(text && *text == "the user's");
  // The console goes on, and a file the user may write is written.
  EXPECT_EQ(shot("written.png").width, 320);
  app_->send("quit");
  EXPECT_EQ(app_->wait(10s), 0);
}

}  // namespace
}  // namespace e2e
