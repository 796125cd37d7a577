#include "platform/media/movie_header.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/media/movie_bytes.h"

namespace media {
namespace {

using testing::atom;
using testing::Bytes;
using testing::concat;
using testing::movie;
using testing::mvhdPayload;

struct Layout {
  const char* name;
  Bytes bytes;
  uint32_t timeScale;
  uint64_t duration;
  double seconds;
};

class MovieHeaderLayouts : public ::testing::TestWithParam<Layout> {};

TEST_P(MovieHeaderLayouts, GivesTheTimeScaleAndDuration) {
  const auto header = parseMovieHeader(GetParam().bytes);
  ASSERT_TRUE(header) << header.error().message;
  EXPECT_EQ(header->timeScale, GetParam().timeScale);
  EXPECT_EQ(header->duration, GetParam().duration);
  EXPECT_DOUBLE_EQ(header->seconds(), GetParam().seconds);
}

const Bytes kFtyp = atom("ftyp", Bytes{'q', 't', ' ', ' '});
const Bytes kMvhd = atom("mvhd", mvhdPayload(0, 600, 1800));

INSTANTIATE_TEST_SUITE_P(
    Layouts, MovieHeaderLayouts,
    ::testing::Values(
        Layout{"moovAfterMedia", movie(1000, 3000, 0, false), 1000, 3000, 3.0},
        Layout{"moovFirst", movie(90000, 225000, 0, true), 90000, 225000, 2.5},
        Layout{"version1", movie(48000, 96000, 1, false), 48000, 96000, 2.0},
        // 64-bit durations beyond 32 bits only fit the version 1 header.
        Layout{"version1Long", movie(1, 0x1'0000'0001ULL, 1, true), 1, 0x1'0000'0001ULL,
               4294967297.0},
        Layout{"wideMediaAtom",
               concat({kFtyp, atom("mdat", Bytes(40, 1), true), atom("moov", kMvhd)}), 600, 1800,
               3.0},
        Layout{"wideMovieAtom", concat({kFtyp, atom("moov", kMvhd, true)}), 600, 1800, 3.0},
        Layout{"otherAtomsFirstInMovie",
               concat({atom("moov", concat({atom("udta", Bytes(12, 0)), kMvhd}))}), 600, 1800, 3.0},
        // A last atom of size 0 runs to the end of the file.
        Layout{"moovToEndOfFile", concat({kFtyp, Bytes{0, 0, 0, 0, 'm', 'o', 'o', 'v'}, kMvhd}),
               600, 1800, 3.0},
        // Old writers leave a few padding bytes after the last atom.
        Layout{"trailingPadding", concat({movie(600, 300, 0, false), Bytes{0, 0, 0, 0}}), 600, 300,
               0.5}),
    [](const auto& param) { return std::string(param.param.name); });

struct Broken {
  const char* name;
  Bytes bytes;
  const char* says;
};

class MovieHeaderErrors : public ::testing::TestWithParam<Broken> {};

TEST_P(MovieHeaderErrors, AreReportedNotRead) {
  const auto header = parseMovieHeader(GetParam().bytes);
  ASSERT_FALSE(header);
  EXPECT_NE(header.error().message.find(GetParam().says), std::string::npos)
      << header.error().message;
}

Bytes withSize(Bytes b, size_t at, uint32_t size) {
  for (size_t i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(size >> (24 - 8 * i));
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, MovieHeaderErrors,
    ::testing::Values(
        Broken{"empty", Bytes{}, "no 'moov' atom"},
        Broken{"noMovie", concat({kFtyp, atom("mdat", Bytes(8, 0))}), "no 'moov' atom"},
        Broken{"noHeader", concat({kFtyp, atom("moov", atom("trak", Bytes(8, 0)))}),
               "no 'mvhd' atom"},
        Broken{"sizeTooSmall", withSize(movie(600, 60), 0, 4), "malformed atom 'ftyp'"},
        Broken{"sizePastEnd", withSize(movie(600, 60), 0, 100000), "runs past the end"},
        Broken{"childPastParent",
               concat({atom("moov", withSize(kMvhd, 0, 500)), atom("free", Bytes(600, 0))}),
               "runs past the end"},
        Broken{"wideSizeCut", Bytes{0, 0, 0, 1, 'm', 'd', 'a', 't', 0, 0}, "truncated atom"},
        Broken{"headerCut", atom("moov", atom("mvhd", Bytes{0, 0, 0, 0, 1, 2, 3})), "truncated"},
        Broken{"version2", atom("moov", atom("mvhd", mvhdPayload(2, 600, 60))), "version 2"},
        Broken{"noTimeScale", movie(0, 60), "time scale of 0"},
        Broken{"unknownDuration", movie(600, 0xFFFFFFFFu), "no duration"},
        Broken{"unknownDuration64", movie(600, ~uint64_t{0}, 1), "no duration"}),
    [](const auto& param) { return std::string(param.param.name); });

// Every cut of a valid file is either read right or refused, never read past
// its end (the sanitizer builds watch the reads).
TEST(MovieHeader, EveryTruncationIsReadSafely) {
  const Bytes whole = movie(600, 1200, 1, false, 32);
  for (size_t n = 0; n < whole.size(); ++n) {
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
    const auto header = parseMovieHeader(cut);
    ASSERT_FALSE(header) << "cut at " << n;
    EXPECT_FALSE(header.error().message.empty()) << "cut at " << n;
  }
  EXPECT_TRUE(parseMovieHeader(whole));
}

TEST(MovieHeader, FilesAreReadFromDisk) {
  const std::string path = testing::writeTempFile(movie(30, 75, 0, false, 5000));
  const auto header = readMovieHeader(path);
  ASSERT_TRUE(header) << header.error().message;
  EXPECT_DOUBLE_EQ(header->seconds(), 2.5);
  std::remove(path.c_str());
}

TEST(MovieHeader, UnreadableFilesNameThePath) {
  // A FIFO without a writer is refused at once, not waited on.
  const std::string fifo = ::testing::TempDir() + "movie-fifo-" + std::to_string(::getpid());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string path;
    const char* says;
  } cases[] = {{"/nonexistent/UseDesktop.mov", "/nonexistent/UseDesktop.mov"},
               {"/tmp", "not a regular file"},
               {fifo, "not a regular file"}};
  for (const auto& c : cases) {
    const auto header = readMovieHeader(c.path);
    ASSERT_FALSE(header) << c.path;
    EXPECT_NE(header.error().message.find(c.says), std::string::npos) << header.error().message;
  }
  std::remove(fifo.c_str());
}

TEST(MovieHeader, TheBundledVideosLastAFewSeconds) {
  for (const char* name : {"UseDesktop.mov", "appusage.mov"}) {
    const auto header = readMovieHeader(std::string(MEDIA_TEST_RESOURCES) + "/" + name);
    ASSERT_TRUE(header) << header.error().message;
    EXPECT_GE(header->seconds(), 1.0) << name;
    EXPECT_LE(header->seconds(), 6.0) << name;
  }
}

}  // namespace
}  // namespace media
