#include "platform/update/standard_updater_controller.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/base/bundle.h"
#include "platform/base/run_loop.h"
#include "platform/ui/alert.h"
#include "platform/ui/interface_file.h"

namespace update {
namespace {

namespace fs = std::filesystem;

// Answers every alert with its first button, remembering what it showed.
class AnsweringPresenter : public ui::ModalPresenter {
 public:
  struct Shown {
    std::string message;
    std::string informative;
    std::vector<std::string> buttons;
  };
  void present(ui::Alert& alert) override {
    Shown s{alert.messageText(), alert.informativeText(), {}};
    for (const auto& b : alert.buttons()) s.buttons.push_back(b->title());
    shown.push_back(s);
    ui::Alert* which = &alert;
    base::RunLoop::main().post([which] {
      if (ui::Alert::modalAlert() == which) which->respond(ui::AlertFirstButtonReturn);
    });
  }
  std::vector<Shown> shown;
};

class UpdaterController : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("updater-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    std::ofstream(folder_ / "Info.json")
        << R"({"ShortVersionString": "1.0.0", "FeedURL": "file:appcast.json"})";
    saved_ = base::Bundle::main();
    base::Bundle::main() = base::Bundle(folder_.string());
    presenter_ = std::make_shared<AnsweringPresenter>();
    ui::Alert::setPresenter(presenter_);
  }
  void TearDown() override {
    ui::Alert::setPresenter(nullptr);
    base::Bundle::main() = saved_;
    fs::remove_all(folder_);
  }
  void writeFeed(const std::string& text) { std::ofstream(folder_ / "appcast.json") << text; }

  fs::path folder_;
  base::Bundle saved_{""};
  std::shared_ptr<AnsweringPresenter> presenter_;
};

TEST_F(UpdaterController, ShowsOneAlertWithOneOkButtonPerCheck) {
  auto controller = std::make_shared<StandardUpdaterController>();
  writeFeed(R"({"items": [{"version": "1.0.0", "downloadURL": "https://tovelin.example/"}]})");
  EXPECT_TRUE(controller->perform("checkForUpdates:", nullptr));
  writeFeed(R"({"items": [{"version": "1.1.0", "downloadURL": "https://tovelin.example/#d"}]})");
  controller->checkForUpdates(nullptr);
  writeFeed("{");
  controller->checkForUpdates(nullptr);

  ASSERT_EQ(presenter_->shown.size(), 3u);
  EXPECT_EQ(presenter_->shown[0].message, "You're up to date");
  EXPECT_EQ(presenter_->shown[1].message, "A new version is available");
  EXPECT_NE(presenter_->shown[1].informative.find("https://tovelin.example/#d"), std::string::npos);
  EXPECT_EQ(presenter_->shown[2].message, "Update check failed");
  for (const auto& s : presenter_->shown) {
    EXPECT_EQ(s.buttons, std::vector<std::string>{"OK"});
  }
}

TEST_F(UpdaterController, IsMadeByInterfaceFilesUnderThePlatformsName) {
  registerClasses();
  auto object =
      ui::ClassRegistry::shared().instantiate("SPUStandardUpdaterController", base::Coder());
  auto controller = std::dynamic_pointer_cast<StandardUpdaterController>(object);
  ASSERT_TRUE(controller);
  EXPECT_EQ(controller->className(), "SPUStandardUpdaterController");
  EXPECT_FALSE(controller->perform("checkForUpdate:", nullptr));
  EXPECT_TRUE(presenter_->shown.empty());
}

}  // namespace
}  // namespace update
