#include "platform/update/update_check.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace update {
namespace {

namespace fs = std::filesystem;
using Kind = UpdateCheckOutcome::Kind;

// A bundle folder with an information file and, when given, a feed file.
struct Setup {
  const char* name;
  std::string info;                 // the information file's text; "$DIR" is the folder
  std::optional<std::string> feed;  // written to appcast.json
  Kind kind;
  std::vector<std::string> says;  // in the informative text
};

class UpdateCheck : public ::testing::TestWithParam<Setup> {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("update-check-" + std::to_string(::getpid()) + "-" + GetParam().name);
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "feeds");
    std::string info = GetParam().info;
    for (auto at = info.find("$DIR"); at != std::string::npos; at = info.find("$DIR")) {
      info.replace(at, 4, folder_.string());
    }
    std::ofstream(folder_ / "Info.json") << info;
    if (GetParam().feed) std::ofstream(folder_ / "appcast.json") << *GetParam().feed;
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path folder_;
};

TEST_P(UpdateCheck, TellsTheUserWhatItFound) {
  ::testing::internal::CaptureStderr();
  const base::Bundle bundle(folder_.string());
  const auto outcome = checkForUpdate(bundle);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(outcome.kind, GetParam().kind) << outcome.informativeText;
  const char* message = GetParam().kind == Kind::upToDate          ? "You're up to date"
                        : GetParam().kind == Kind::updateAvailable ? "A new version is available"
                                                                   : "Update check failed";
  EXPECT_EQ(outcome.messageText, message);
  for (const auto& words : GetParam().says) {
    EXPECT_NE(outcome.informativeText.find(words), std::string::npos)
        << "missing \"" << words << "\" in: " << outcome.informativeText;
  }
}

const std::string kInfo = R"({"ShortVersionString": "1.2.0", "FeedURL": "file:appcast.json"})";
const std::string kFeed120 =
    R"({"items": [{"version": "1.2", "downloadURL": "https://tovelin.example/#download"}]})";

INSTANTIATE_TEST_SUITE_P(
    Outcomes, UpdateCheck,
    ::testing::Values(
        Setup{"sameVersion",
              kInfo,
              kFeed120,
              Kind::upToDate,
              {"Version 1.2.0 is the newest version available"}},
        Setup{"olderInFeed",
              kInfo,
              R"({"items": [{"version": "1.1.9", "downloadURL": "https://a.example/"}]})",
              Kind::upToDate,
              {"1.2.0"}},
        Setup{"emptyFeed", kInfo, R"({"items": []})", Kind::upToDate, {"1.2.0"}},
        Setup{"newerAmongSeveral",
              kInfo,
              R"({"title": "Tovelin", "items": [
                  {"version": "1.9.0", "downloadURL": "https://tovelin.example/1.9"},
                  {"version": "1.10.0", "downloadURL": "https://tovelin.example/1.10",
                   "notes": "Faster."},
                  {"version": "1.2.0", "downloadURL": "https://tovelin.example/1.2"}]})",
              Kind::updateAvailable,
              {"Version 1.10.0 is available", "you have 1.2.0",
               "Download it from https://tovelin.example/1.10"}},
        Setup{"absoluteFeedPath",
              R"({"ShortVersionString": "1.0", "FeedURL": "file://$DIR/appcast.json"})",
              kFeed120,
              Kind::updateAvailable,
              {"Version 1.2 is available"}},
        Setup{"unreadableFeed",
              kInfo,
              std::nullopt,
              Kind::failed,
              {"cannot read", "appcast.json", "no such file"}},
        Setup{"feedIsAFolder",
              R"({"ShortVersionString": "1.0", "FeedURL": "file:feeds"})",
              std::nullopt,
              Kind::failed,
              {"it is not a file"}},
        Setup{"feedNotJson",
              kInfo,
              "<rss><channel/></rss>",
              Kind::failed,
              {"is malformed", "not valid JSON"}},
        Setup{"feedNotObject", kInfo, "[1, 2]", Kind::failed, {"not a JSON object"}},
        Setup{"feedTooLarge",
              kInfo,
              std::string((1 << 20) + 1, ' '),
              Kind::failed,
              {"appcast.json is too large to be a feed"}},
        Setup{"feedWithoutItems", kInfo, R"({"entries": []})", Kind::failed, {"\"items\""}},
        Setup{"itemWithoutVersion",
              kInfo,
              R"({"items": [{"version": "1.0", "downloadURL": "https://a.example/"},
                            {"downloadURL": "https://a.example/"}]})",
              Kind::failed,
              {"item 2", "\"version\""}},
        Setup{"itemWithBadVersion",
              kInfo,
              R"({"items": [{"version": "2.0-beta", "downloadURL": "https://a.example/"}]})",
              Kind::failed,
              {"item 1", "\"version\""}},
        Setup{"itemWithBadAddress",
              kInfo,
              R"({"items": [{"version": "2.0", "downloadURL": "not an address"}]})",
              Kind::failed,
              {"item 1", "\"downloadURL\""}},
        Setup{"webFeed",
              R"({"ShortVersionString": "1.0", "FeedURL": "https://tovelin.example/appcast.json"})",
              std::nullopt,
              Kind::failed,
              {"only local feeds", "https://tovelin.example/appcast.json"}},
        Setup{"noFeedAddress",
              R"({"ShortVersionString": "1.0"})",
              kFeed120,
              Kind::failed,
              {"\"FeedURL\""}},
        Setup{"noVersion",
              R"({"FeedURL": "file:appcast.json"})",
              kFeed120,
              Kind::failed,
              {"\"ShortVersionString\""}},
        Setup{"badVersion",
              R"({"ShortVersionString": "one", "FeedURL": "file:appcast.json"})",
              kFeed120,
              Kind::failed,
              {"\"ShortVersionString\""}},
        Setup{"noInformationFile", "not json", kFeed120, Kind::failed, {"\"ShortVersionString\""}}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace update
