#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/base/bundle.h"
#include "platform/ui/image.h"
#include "platform/ui/image_view.h"
#include "platform/ui/png.h"

namespace {

ui::Pixels filled(int w, int h, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  ui::Pixels p;
  p.width = w;
  p.height = h;
  for (int i = 0; i < w * h; ++i) p.rgba.insert(p.rgba.end(), {r, g, b, a});
  return p;
}

class BundleImages : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "img-test-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
    saved_ = base::Bundle::main();
    base::Bundle::main() = base::Bundle(folder_);
  }
  void TearDown() override {
    base::Bundle::main() = saved_;
    std::filesystem::remove_all(folder_);
  }
  std::string folder_;
  base::Bundle saved_{""};
};

TEST(SystemImages, AreDrawnAt32PointsEachDifferent) {
  const char* names[] = {ui::ImageNameCaution, ui::ImageNameInfo, ui::ImageNameComputer};
  std::vector<std::vector<uint8_t>> seen;
  for (const char* name : names) {
    auto image = ui::Image::imageNamed(name);
    ASSERT_NE(image, nullptr) << name;
    EXPECT_EQ(image->size(), (base::Size{32, 32})) << name;
    const ui::Pixels& p = image->pixels();
    EXPECT_EQ(p.at(0, 0)[3], 0) << name << ": corners stay transparent";
    EXPECT_EQ(p.at(16, 18)[3], 255) << name << ": the middle is drawn";
    for (const auto& other : seen) EXPECT_NE(other, p.rgba) << name;
    seen.push_back(p.rgba);
  }
  // The information disc is blue, its letter white.
  const uint8_t* disc = ui::Image::imageNamed(ui::ImageNameInfo)->pixels().at(6, 16);
  EXPECT_GT(disc[2], 200);
  EXPECT_LT(disc[0], 60);
  const uint8_t* letter = ui::Image::imageNamed(ui::ImageNameInfo)->pixels().at(16, 18);
  EXPECT_EQ(letter[0], 255);
}

TEST(SystemImages, UnknownNamesGiveNone) {
  EXPECT_EQ(ui::Image::imageNamed("NSNoSuchImage"), nullptr);
  EXPECT_EQ(ui::Image::imageNamed(""), nullptr);
}

TEST_F(BundleImages, ReadsTheBundlePngOnceAndKeepsTheTemplateMark) {
  ASSERT_TRUE(ui::writePng(folder_ + "/badge.png", filled(18, 12, 0, 0, 0, 255)));
  auto image = ui::Image::imageNamed("badge");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->size(), (base::Size{18, 12}));
  EXPECT_FALSE(image->isTemplate());
  image->setTemplate(true);
  EXPECT_EQ(ui::Image::imageNamed("badge"), image);
  EXPECT_TRUE(ui::Image::imageNamed("badge")->isTemplate());
  EXPECT_EQ(ui::Image::imageNamed("missing"), nullptr);
}

TEST_F(BundleImages, AnUnreadableFileIsReportedAndGivesNone) {
  std::ofstream(folder_ + "/broken.png") << "not a png";
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ui::Image::imageNamed("broken"), nullptr);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("broken"), std::string::npos) << err;
}

TEST(ImageView, StartsAtTheImageSizeAndScalesToItsFrame) {
  auto image = std::make_shared<ui::Image>(filled(4, 2, 200, 10, 10, 255), "red");
  auto view = ui::ImageView::imageViewWithImage(image);
  EXPECT_EQ(view->frame(), base::makeRect(0, 0, 4, 2));
  view->setFrame(base::makeRect(0, 0, 8, 8));
  auto shot = view->snapshotPixels();
  ASSERT_TRUE(shot);
  EXPECT_EQ(shot->width, 8);
  EXPECT_EQ(shot->height, 8);
  EXPECT_EQ(shot->at(7, 7)[0], 200);
  image->setTemplate(true);  // template images are drawn from their alpha, in black
  shot = view->snapshotPixels();
  EXPECT_EQ(shot->at(7, 7)[0], 0);
  EXPECT_EQ(shot->at(7, 7)[3], 255);
  EXPECT_FALSE(ui::ImageView::imageViewWithImage(nullptr)->snapshotPixels());
}

}  // namespace
