// A scripted console session with the whole application: the status menu in
// its three states, printed, and a snapshot of the screen.

#include <gtest/gtest.h>

#include "platform/ui/png.h"
#include "tests/app_fixture.h"

namespace e2e {
namespace {

class ConsoleSession : public AppTest {};

TEST_F(ConsoleSession, BuildsTheThreeMenusPrintsThemAndWritesASnapshot) {
  start();
  auto p = phone("Test Phone");

  // Searching: the first item asks to launch the companion app.
  app_->send("menu");
  ASSERT_TRUE(app_->waitForStderr("[view] Please launch the companion app", 10s));

  // Connected: choosing a phone rebuilds the menu at once.
  connect(*p, "Test Phone");
  app_->send("menu");
  ASSERT_TRUE(app_->waitForStderr("[view] Remember to keep your phone oriented", 10s));

  // Unavailable: no "Connect" item, twelve entries.
  app_->send("bluetooth unauthorized");
  app_->send("menu");
  ASSERT_TRUE(app_->waitForStderr("[view] The application needs Bluetooth permissions", 10s));
  ASSERT_TRUE(app_->waitForStderr(" 12. Quit", 10s));

  const std::string shot = dir_ + "/screen.png";
  app_->send("snapshot " + shot);
  ASSERT_TRUE(app_->waitForStderr("snapshot written to " + shot, 10s));
  auto image = ui::readPng(shot);
  ASSERT_TRUE(image) << image.error().message;
  EXPECT_EQ(image->width, 320);
  EXPECT_EQ(image->height, 180);

  app_->send("quit");
  EXPECT_EQ(app_->wait(10s), 0);
}

}  // namespace
}  // namespace e2e
