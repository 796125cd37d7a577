#include "sim/motion.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

namespace sim {
namespace {

TEST(BuiltInDrive, MovesWithoutJumpsThenStandsStillLongEnoughToFade) {
  const BuiltInDrive drive;
  const double frame = 1.0 / 60;
  double largest = 0;
  double largestStep = 0;
  Acceleration previous = drive.at(0);
  double lastChange = 0;  // time of the last frame-to-frame change above 0.01
  for (double t = frame; t <= drive.duration(); t += frame) {
    const Acceleration a = drive.at(t);
    const double step =
        std::abs(a.x - previous.x) + std::abs(a.y - previous.y) + std::abs(a.z - previous.z) / 100;
    largest = std::max({largest, std::abs(a.x), std::abs(a.y), std::abs(a.z)});
    largestStep = std::max(largestStep, std::abs(a.x - previous.x) + std::abs(a.y - previous.y));
    if (step > 0.01) lastChange = t;
    previous = a;
  }
  EXPECT_LE(largest, 3.0) << "values stay in the phone's range";
  EXPECT_GE(largest, 1.5) << "the drive has real motion";
  EXPECT_LT(largestStep, 0.5) << "no jump between frames";
  EXPECT_GE(drive.duration() - lastChange, 28.0) << "still long enough for the overlay to fade";
  EXPECT_EQ(drive.at(drive.duration()), Acceleration{});
}

TEST(BuiltInDrive, EachPhaseDoesWhatItsNameSays) {
  const BuiltInDrive drive;
  EXPECT_GT(drive.at(3).x, 1.5) << "pulling away";
  EXPECT_LT(drive.at(51).x, -1.5) << "braking";
  double curve = 0;
  double bump = 0;
  for (double t = 36; t < 48; t += 0.05) curve = std::max(curve, std::abs(drive.at(t).y));
  for (double t = 10; t < 30; t += 0.05) bump = std::max(bump, std::abs(drive.at(t).z));
  EXPECT_GT(curve, 1.0) << "curves";
  EXPECT_GT(bump, 0.8) << "bumps while cruising";
}

TEST(TraceMotion, InterpolatesBetweenRowsAndHoldsTheEnds) {
  auto parsed = TraceMotion::parse("t,x,y,z\n0,0,0,0\n1, 2, -4, 10\n\n3,2,-4,30\n");
  ASSERT_TRUE(parsed.ok()) << parsed.error().message;
  const auto& trace = *parsed;
  EXPECT_EQ(trace.duration(), 3);
  EXPECT_EQ(trace.at(-1), (Acceleration{0, 0, 0}));
  EXPECT_EQ(trace.at(0.5), (Acceleration{1, -2, 5}));
  EXPECT_EQ(trace.at(2), (Acceleration{2, -4, 20}));
  EXPECT_EQ(trace.at(9), (Acceleration{2, -4, 30}));
}

TEST(TraceMotion, AcceptsCrLfAndASingleRow) {
  auto parsed = TraceMotion::parse("t,x,y,z\r\n0.5,+1,2e-1,-3\r\n");
  ASSERT_TRUE(parsed.ok()) << parsed.error().message;
  EXPECT_EQ(parsed->at(0), (Acceleration{1, 0.2, -3}));
}

TEST(TraceMotion, RefusesBadTextNamingTheLine) {
  const std::pair<const char*, const char*> table[] = {
      {"", "empty"},
      {"t,x,y\n0,0,0\n", "line 1: the header"},
      {"x,y,z,t\n", "line 1: the header"},
      {"t,x,y,z\n", "no rows"},
      {"t,x,y,z\n0,1,2\n", "line 2: expected 4 values, found 3"},
      {"t,x,y,z\n0,1,2,3\n1,a,2,3\n", "line 3: \"a\" is not a number"},
      {"t,x,y,z\n0,1,2,nan\n", "\"nan\" is not a number"},
      {"t,x,y,z\n0,1,2,1e999\n", "is not a number"},
      {"t,x,y,z\n2,1,2,3\n1,1,2,3\n", "line 3: time goes backwards"},
      {"t,x,y,z\n-1,1,2,3\n", "time is negative"},
  };
  for (const auto& [text, problem] : table) {
    auto parsed = TraceMotion::parse(text);
    ASSERT_FALSE(parsed.ok()) << text;
    EXPECT_NE(parsed.error().message.find(problem), std::string::npos) << parsed.error().message;
  }
  auto missing = TraceMotion::load("/nonexistent/trace.csv");
  ASSERT_FALSE(missing.ok());
  EXPECT_NE(missing.error().message.find("/nonexistent/trace.csv"), std::string::npos);
}

// Traces come from the command line: whatever the path names, the simulator
// says why it cannot use it, and never waits on it.
TEST(TraceMotion, RefusesPathsThatAreNoUsableFile) {
  const auto dir =
      std::filesystem::path(::testing::TempDir()) / ("trace-paths-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto fifo = dir / "fifo.csv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto huge = dir / "huge.csv";
  std::ofstream(huge) << "t,x,y,z\n";
  std::filesystem::resize_file(huge, 256ULL * 1024 * 1024 + 1);  // sparse: nothing is written
  const std::pair<std::filesystem::path, std::string> table[] = {
      {dir, "cannot read the trace " + dir.string()},
      {fifo, "cannot read the trace " + fifo.string()},
      {huge, huge.string() + ": the trace is larger than 256 MiB"},
  };
  for (const auto& [path, says] : table) {
    auto loaded = TraceMotion::load(path.string());
    ASSERT_FALSE(loaded.ok()) << path;
    EXPECT_EQ(loaded.error().message, says);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace sim
