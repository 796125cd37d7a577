#include "platform/base/user_defaults.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

#include "platform/base/file.h"

namespace base {
namespace {

namespace fs = std::filesystem;

class UserDefaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "defaults-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir_ = templ;
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string read(const fs::path& p) {
    auto text = readFile(p.string());
    return text ? *text : std::string();
  }
  static void write(const fs::path& p, const std::string& text) { std::ofstream(p) << text; }
  static unsigned mode(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0);
    return st.st_mode & 07777U;
  }
  // Files in the folder whose names start with `prefix`.
  std::vector<fs::path> filesStarting(const std::string& prefix) const {
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(dir_)) {
      if (e.path().filename().string().rfind(prefix, 0) == 0) found.push_back(e.path());
    }
    return found;
  }

  fs::path dir_;
};

TEST_F(UserDefaultsTest, ChangesAreWrittenThroughAndReadBackByANewInstance) {
  const auto file = dir_ / "defaults.json";
  {
    UserDefaults defaults(file.string());
    EXPECT_FALSE(defaults.stringForKey("pincode"));
    defaults.setValueForKey("0042", "pincode");
    defaults.setValueForKey("x", "other");
    // On disk right away, not at exit.
    const auto onDisk = nlohmann::json::parse(read(file));
    EXPECT_EQ(onDisk, (nlohmann::json{{"pincode", "0042"}, {"other", "x"}}));
  }
  UserDefaults again(file.string());
  EXPECT_EQ(again.stringForKey("pincode"), "0042");
  again.removeObjectForKey("pincode");
  EXPECT_FALSE(again.stringForKey("pincode"));
  EXPECT_EQ(nlohmann::json::parse(read(file)), (nlohmann::json{{"other", "x"}}));
  EXPECT_FALSE(UserDefaults(file.string()).stringForKey("pincode"));
  // No temporary file is left behind.
  EXPECT_EQ(filesStarting("defaults.json.tmp").size(), 0U);
}

TEST_F(UserDefaultsTest, NewFoldersAreTheUsersAloneAndTheFileIs0600) {
  const auto file = dir_ / "a" / "tovelin" / "defaults.json";
  UserDefaults defaults(file.string());
  defaults.setValueForKey("1234", "pincode");
  EXPECT_EQ(mode(file), 0600U);
  EXPECT_EQ(mode(dir_ / "a" / "tovelin"), 0700U);
  EXPECT_EQ(mode(dir_ / "a"), 0700U);
  // A file that was readable by others before is replaced by a private one.
  ::chmod(file.c_str(), 0644);
  defaults.setValueForKey("5678", "pincode");
  EXPECT_EQ(mode(file), 0600U);
}

TEST_F(UserDefaultsTest, StandardPathFollowsTheEnvironment) {
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = oldXdg != nullptr ? oldXdg : "";
  ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
  EXPECT_EQ(UserDefaults::standardPath(), "/x/config/tovelin/defaults.json");
  ::setenv("XDG_CONFIG_HOME", "relative",
           1);  // not absolute: ignored, as the XDG base-directory rules say
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') {
    EXPECT_EQ(UserDefaults::standardPath(), std::string(home) + "/.config/tovelin/defaults.json");
  }
  if (oldXdg != nullptr) {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

struct Unusable {
  enum Kind { file, withNul, directory, fifo, oversized };
  const char* name;
  const char* contents;
  Kind kind = file;
};

class UnusableFileTest : public UserDefaultsTest, public ::testing::WithParamInterface<Unusable> {};

TEST_P(UnusableFileTest, IsKeptAsideNeverOverwrittenAndTheDefaultsStartEmpty) {
  const auto file = dir_ / "defaults.json";
  std::string contents = GetParam().contents;
  switch (GetParam().kind) {
    case Unusable::file:
      write(file, contents);
      break;
    case Unusable::withNul:
      contents.append(std::string(1, '\0') + "junk");
      write(file, contents);
      break;
    case Unusable::directory:
      fs::create_directory(file);
      write(file / "inside", "keep me");
      break;
    case Unusable::fifo:
      // Opening it for reading in a way that waits would hang the test here.
      ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
      break;
    case Unusable::oversized:
      // Valid JSON, but past the bound: never parsed.
      contents = "{\"pincode\": \"" + std::string(UserDefaults::kMaxFileBytes, '1') + "\"}";
      write(file, contents);
      break;
  }
  ::testing::internal::CaptureStderr();
  UserDefaults defaults(file.string());
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(file.string()), std::string::npos) << err;
  EXPECT_FALSE(defaults.stringForKey("pincode"));
  ASSERT_TRUE(defaults.keptAsidePath());
  EXPECT_NE(err.find(*defaults.keptAsidePath()), std::string::npos) << err;
  const auto aside = filesStarting("defaults.json.unreadable-");
  ASSERT_EQ(aside.size(), 1U);

  defaults.setValueForKey("1111", "pincode");
  EXPECT_EQ(nlohmann::json::parse(read(file)), (nlohmann::json{{"pincode", "1111"}}));
  switch (GetParam().kind) {
    case Unusable::file:
    case Unusable::withNul:
    case Unusable::oversized:
      EXPECT_EQ(read(aside.front()), contents);
      break;
    case Unusable::directory:
      EXPECT_EQ(read(aside.front() / "inside"), "keep me");
      break;
    case Unusable::fifo:
      EXPECT_TRUE(fs::is_fifo(aside.front()));
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnusableFileTest,
    ::testing::Values(Unusable{"InvalidJson", "{\"pincode\": \"12"}, Unusable{"Empty", ""},
                      Unusable{"NotAnObject", "[\"1234\"]"},
                      Unusable{"NumberValue", "{\"pincode\": 1234}"},
                      Unusable{"TextAfterANul", "{\"pincode\": \"12\"}", Unusable::withNul},
                      Unusable{"NestedValue", "{\"a\": \"b\", \"pincode\": {\"v\": \"1\"}}"},
                      Unusable{"Directory", "", Unusable::directory},
                      Unusable{"Fifo", "", Unusable::fifo},
                      Unusable{"LargerThanTheBound", "", Unusable::oversized}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(UserDefaultsTest, OnlyLeftoversOfOurOwnNamingAreRemoved) {
  const auto file = dir_ / "defaults.json";
  write(dir_ / "defaults.json.tmp-Ab12Cd", "{\"pincode\": \"1234\"}");
  const std::vector<std::string> others = {"defaults.json.tmp-toolong1", "defaults.json.tmp-",
                                           "other.json.tmp-Ab12Cd", "defaults.json.bak"};
  for (const auto& name : others) write(dir_ / name, "keep");
  fs::create_directory(dir_ / "defaults.json.tmp-Dir123");
  UserDefaults defaults(file.string());
  EXPECT_FALSE(fs::exists(dir_ / "defaults.json.tmp-Ab12Cd"));
  for (const auto& name : others) EXPECT_EQ(read(dir_ / name), "keep") << name;
  EXPECT_TRUE(fs::is_directory(dir_ / "defaults.json.tmp-Dir123"));
}

TEST_F(UserDefaultsTest, AFileThatCannotBeMovedAsideIsNeverWritten) {
  // procfs files are readable, are not JSON and cannot be renamed.
  ::testing::internal::CaptureStderr();
  UserDefaults defaults("/proc/self/status");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("memory only"), std::string::npos) << err;
  EXPECT_FALSE(defaults.writesToFile());
  ::testing::internal::CaptureStderr();
  defaults.setValueForKey("9", "pincode");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");  // no write is even tried
  EXPECT_EQ(defaults.stringForKey("pincode"), "9");
}

TEST_F(UserDefaultsTest, AKillAtAnyMomentLeavesTheOldOrTheNewFileWhole) {
  const auto file = dir_ / "defaults.json";
  // Large values make each write take long enough to be caught in the middle.
  auto valueFor = [](int n) {
    return std::to_string(n) + ":" + std::string(200000, static_cast<char>('a' + n % 26));
  };
  for (int round = 0; round < 12; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      UserDefaults defaults(file.string());
      for (int n = 0;; ++n) defaults.setValueForKey(valueFor(n), "big");
    }
    ::usleep(static_cast<useconds_t>(2000 + round * 1500));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!fs::exists(file)) continue;  // killed before the first rename
    const auto doc = nlohmann::json::parse(read(file), nullptr, false);
    ASSERT_TRUE(doc.is_object()) << "torn file in round " << round;
    const auto value = doc.at("big").get<std::string>();
    const int n = std::stoi(value.substr(0, value.find(':')));
    EXPECT_EQ(value, valueFor(n)) << "round " << round;
    ::testing::internal::CaptureStderr();
    UserDefaults reader(file.string());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(reader.stringForKey("big"), value);
    // The copy a killed save may leave, with the values in it, is gone.
    EXPECT_TRUE(filesStarting("defaults.json.tmp-").empty()) << "round " << round;
  }
}

}  // namespace
}  // namespace base
