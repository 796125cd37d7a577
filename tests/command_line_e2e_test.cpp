// The command line of the real program: what it cannot use ends it before
// anything is started or written.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/base/options.h"
#include "tests/app_fixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

class CommandLine : public AppTest {};

TEST_F(CommandLine, AMistypedOptionIsRefusedAndNothingIsWritten) {
  // Every default place the program could write to lies in the test's folder.
  const std::vector<std::string> environment = {
      "HOME=" + dir_ + "/home", "XDG_CONFIG_HOME=" + dir_ + "/config", "XDG_RUNTIME_DIR=" + dir_,
      "TOVELIN_RADIO=" + radio_};
  std::vector<std::string> args = environment;
  args.insert(args.end(), {TOVELIN_APP_PATH, "--defualts", dir_ + "/mine.json"});
  app_ = std::make_unique<AppProcess>("/usr/bin/env", args, stderrPath_);
  app_->send("quit");  // what the program would do, had it started

  EXPECT_EQ(app_->wait(20s), 2);
  EXPECT_EQ(app_->stderrText(),
            "tovelin: unknown option \"--defualts\"\n" + std::string(base::kPlatformUsage) + "\n");
  EXPECT_FALSE(app_->nextLine(100ms).has_value()) << "nothing on standard output";
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"stderr.txt"});
}

}  // namespace
}  // namespace e2e
