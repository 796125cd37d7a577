#include "tests/app_fixture.h"

#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/base/file.h"

namespace e2e {

std::string numberedId(size_t n) {
  char id[40];
  std::snprintf(id, sizeof id, "00000000-0000-0000-0000-%012zu", n);
  return id;
}

void AppTest::SetUp() {
  std::string templ = (std::filesystem::temp_directory_path() / "tovelin-e2e-XXXXXX").string();
  ASSERT_NE(::mkdtemp(templ.data()), nullptr);
  dir_ = templ;
  radio_ = dir_ + "/radio/radio.sock";
  defaults_ = dir_ + "/config/defaults.json";
  stderrPath_ = dir_ + "/stderr.txt";
}

void AppTest::TearDown() {
  if (app_) {
    app_->kill();
    if (HasFailure()) {
      std::cerr << "--- application stderr ---\n" << app_->stderrText() << "--- stdout ---\n";
      for (const auto& line : app_->lines()) std::cerr << line << "\n";
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void AppTest::start(const std::vector<std::string>& extra, const StandardOutput& output,
                    const testing_support::Inherited& inherited) {
  std::vector<std::string> args = {
      "--radio",  radio_,    "--defaults",  defaults_,   "--bundle",           TOVELIN_BUNDLE_DIR,
      "--screen", "320x180", "--host-name", "Test Desk", "--open-url-command", "/bin/true"};
  args.insert(args.end(), extra.begin(), extra.end());
  app_ = std::make_unique<AppProcess>(TOVELIN_APP_PATH, args, stderrPath_, output, inherited);
}

void AppTest::writeDefaults(const std::string& json) {
  std::filesystem::create_directories(std::filesystem::path(defaults_).parent_path());
  std::ofstream(defaults_) << json;
}

std::string AppTest::readDefaults() const {
  auto text = base::readFile(defaults_);
  return text ? *text : std::string();
}

std::optional<std::string> AppTest::storedPin() const {
  auto json = nlohmann::json::parse(readDefaults(), nullptr, false);
  if (!json.is_object() || !json.contains("pincode") || !json["pincode"].is_string()) {
    return std::nullopt;
  }
  return json["pincode"].get<std::string>();
}

std::unique_ptr<ScriptedPhone> AppTest::phone(const std::string& name, const std::string& id,
                                              bool withCharacteristic) {
  auto p = std::make_unique<ScriptedPhone>(radio_, id, name, withCharacteristic);
  EXPECT_TRUE(p->connected()) << "the radio socket never appeared at " << radio_;
  return p;
}

void AppTest::connect(ScriptedPhone& p, const std::string& name) {
  app_->send("open Connect");
  ASSERT_TRUE(app_->waitForLine("Discovered " + name, 10s));
  app_->send("choose Connect > " + name);
  ASSERT_TRUE(app_->waitForLine("Connected to " + name, 10s));
  ASSERT_TRUE(p.waitFor("subscribe", 10s).has_value());
}

std::unique_ptr<ScriptedPhone> AppTest::startConnected() {
  start();
  auto p = phone("Test Phone");
  connect(*p, "Test Phone");
  return p;
}

void AppTest::answerPrompt(const std::string& answer, size_t occurrence) {
  ASSERT_TRUE(app_->waitForStderr("Enter your Pincode", 10s, occurrence));
  app_->send(answer);
}

std::unique_ptr<AppProcess> AppTest::simulatedPhone(const std::string& name,
                                                    const std::vector<std::string>& extra) {
  std::vector<std::string> args = {"--radio", radio_, "--name", name};
  args.insert(args.end(), extra.begin(), extra.end());
  return std::make_unique<AppProcess>(
      TOVELIN_PHONE_PATH, args, dir_ + "/phone-" + std::to_string(++simulatedPhones_) + ".txt");
}

}  // namespace e2e
