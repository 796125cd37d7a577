#include "platform/ui/png.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace ui {
namespace {

class PngTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/png-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  static Pixels gradient(int width, int height) {
    Pixels p;
    p.width = width;
    p.height = height;
    p.rgba.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    for (size_t i = 0; i < p.rgba.size(); ++i) p.rgba[i] = static_cast<uint8_t>(i * 7 % 251);
    return p;
  }

  std::string folder_;
};

TEST_F(PngTest, WritesWhatItReadsBackByteForByteAndLeavesNoTemporaryFile) {
  const std::string path = folder_ + "/shot.png";
  const Pixels image = gradient(33, 17);  // odd sizes: no row padding may leak in
  ASSERT_TRUE(writePng(path, image));
  auto back = readPng(path);
  ASSERT_TRUE(back) << back.error().message;
  EXPECT_EQ(back->width, 33);
  EXPECT_EQ(back->height, 17);
  EXPECT_EQ(back->rgba, image.rgba);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_),
                          std::filesystem::directory_iterator()),
            1);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644U);
}

TEST_F(PngTest, AFailedWriteSaysWhereAndKeepsTheEarlierFile) {
  const std::string path = folder_ + "/shot.png";
  ASSERT_TRUE(writePng(path, gradient(4, 4)));

  Pixels malformed = gradient(4, 4);
  malformed.rgba.pop_back();
  auto refused = writePng(path, malformed);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message, "cannot write " + path + ": the image is empty or malformed");

  const std::string nowhere = folder_ + "/missing/shot.png";
  auto failed = writePng(nowhere, gradient(4, 4));
  ASSERT_FALSE(failed);
  EXPECT_NE(failed.error().message.find(nowhere), std::string::npos) << failed.error().message;

  auto kept = readPng(path);
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->rgba, gradient(4, 4).rgba);
  auto missing = readPng(nowhere);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().message.rfind("cannot read " + nowhere + ": ", 0), 0U);
}

TEST_F(PngTest, WhatIsNotARegularFileIsNeverReplacedAndALinkIsWrittenThrough) {
  const std::string fifo = folder_ + "/shot.png";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto refused = writePng(fifo, gradient(4, 4));
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message,
            fifo + ": is a FIFO, not a regular file, so it is left as it is");
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));

  const std::string real = folder_ + "/real.png";
  ASSERT_TRUE(writePng(real, gradient(2, 2)));
  const std::string link = folder_ + "/link.png";
  std::filesystem::create_symlink("real.png", link);
  ASSERT_TRUE(writePng(link, gradient(3, 5)));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  auto back = readPng(real);
  ASSERT_TRUE(back) << back.error().message;
  EXPECT_EQ(back->rgba, gradient(3, 5).rgba);
}

}  // namespace
}  // namespace ui
