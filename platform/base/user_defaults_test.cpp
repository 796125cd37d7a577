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
#include "platform/base/temp_folder_test_support.h"

namespace base {
namespace {

namespace fs = std::filesystem;

class UserDefaultsTest : public TempFolderTest {
 protected:
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
  enum Kind { file, withNul, oversized, deep };
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
    case Unusable::oversized:
      // Valid JSON, but past the bound: never parsed.
      contents = "{\"pincode\": \"" + std::string(UserDefaults::kMaxFileBytes, '1') + "\"}";
      write(file, contents);
      break;
    case Unusable::deep:
      // Within the size bound, deep enough to exhaust the stack of anything
      // that recursed over it.
      contents = "{\"pincode\": \"12\", \"a\": " + std::string(400000, '[') +
                 std::string(400000, ']') + "}";
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
  EXPECT_EQ(read(aside.front()), contents);
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnusableFileTest,
    ::testing::Values(Unusable{"InvalidJson", "{\"pincode\": \"12"}, Unusable{"Empty", ""},
                      Unusable{"NotAnObject", "[\"1234\"]"}, Unusable{"AString", "\"1234\""},
                      Unusable{"TextAfterANul", "{\"pincode\": \"12\"}", Unusable::withNul},
                      Unusable{"LargerThanTheBound", "", Unusable::oversized},
                      Unusable{"NestedPastTheBound", "", Unusable::deep}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(UserDefaultsTest, MembersOfOtherTypesAreKeptAndWrittenBackUnchanged) {
  const auto file = dir_ / "defaults.json";
  const auto original = nlohmann::json::parse(R"({
    "pincode": "1234", "launches": 5, "ratio": 0.1, "big": 18446744073709551615, "below": -3,
    "huge": 1e300, "list": [1, "two", null, true, {"k": []}], "window": {"a": {"b": "c"}},
    "name": "x"})");
  write(file, original.dump());
  ::testing::internal::CaptureStderr();
  UserDefaults defaults(file.string());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_FALSE(defaults.keptAsidePath());
  EXPECT_EQ(defaults.stringForKey("pincode"), "1234");
  EXPECT_EQ(defaults.stringForKey("name"), "x");
  EXPECT_FALSE(defaults.stringForKey("launches"));  // only strings are read as strings
  EXPECT_FALSE(defaults.stringForKey("list"));

  defaults.setValueForKey("5678", "pincode");
  auto expected = original;
  expected["pincode"] = "5678";
  EXPECT_EQ(nlohmann::json::parse(read(file)), expected);
  defaults.removeObjectForKey("pincode");
  expected.erase("pincode");
  EXPECT_EQ(nlohmann::json::parse(read(file)), expected);
  EXPECT_EQ(UserDefaults(file.string()).stringForKey("name"), "x");
  EXPECT_TRUE(filesStarting("defaults.json.").empty());
}

class NotAStringTest : public UserDefaultsTest,
                       public ::testing::WithParamInterface<const char*> {};

TEST_P(NotAStringTest, IsNoStoredValueAndASaveReplacesIt) {
  const auto file = dir_ / "defaults.json";
  write(file, std::string(R"({"other": "kept", "pincode": )") + GetParam() + "}");
  ::testing::internal::CaptureStderr();
  UserDefaults defaults(file.string());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_FALSE(defaults.stringForKey("pincode"));
  EXPECT_TRUE(filesStarting("defaults.json.").empty());  // not moved aside

  // The number 1234 is not the string "1234": it is replaced too.
  defaults.setValueForKey("1234", "pincode");
  EXPECT_EQ(nlohmann::json::parse(read(file)),
            (nlohmann::json{{"pincode", "1234"}, {"other", "kept"}}));
}

INSTANTIATE_TEST_SUITE_P(Values, NotAStringTest,
                         ::testing::Values("1234", "null", "true", R"(["1234"])", R"({"v": "1"})"));

struct Nesting {
  const char* name;
  int depth;  // containers within containers, the top-level object counted
  const char* open;
  const char* leaf;  // what the innermost container holds
  const char* close;
  bool accepted;
};

class NestingTest : public ::testing::TestWithParam<Nesting> {};

TEST_P(NestingTest, IsRefusedOnlyPastTheBound) {
  const auto& c = GetParam();
  std::string text = "{\"pincode\": \"1\", \"v\": ";
  for (int i = 1; i < c.depth; ++i) text += c.open;
  text += c.leaf;
  for (int i = 1; i < c.depth; ++i) text += c.close;
  text += "}";
  const auto values = parseDefaults(text);
  ASSERT_EQ(values.ok(), c.accepted) << (values ? "" : values.error().message);
  if (!c.accepted) {
    EXPECT_EQ(values.error().message, "it is nested deeper than 100 levels");
    return;
  }
  EXPECT_EQ(parseDefaults(formatDefaults(*values)).value(), *values);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, NestingTest,
    ::testing::Values(
        Nesting{"ListsAtTheBound", UserDefaults::kMaxDepth, "[", "", "]", true},
        Nesting{"ListsPastTheBound", UserDefaults::kMaxDepth + 1, "[", "", "]", false},
        Nesting{"ObjectsAtTheBound", UserDefaults::kMaxDepth, "{\"a\":", "0", "}", true},
        Nesting{"ObjectsPastTheBound", UserDefaults::kMaxDepth + 1, "{\"a\":", "0", "}", false}),
    [](const auto& param) { return std::string(param.param.name); });

struct NotAFile {
  enum Kind { folder, fifo, danglingLink, linkToInvalidJson };
  const char* name;
  Kind kind;
};

class NotAFileTest : public UserDefaultsTest, public ::testing::WithParamInterface<NotAFile> {};

TEST_P(NotAFileTest, IsLeftAsItIsAndValuesAreKeptInMemory) {
  const auto file = dir_ / "defaults.json";
  switch (GetParam().kind) {
    case NotAFile::folder:
      fs::create_directory(file);
      write(file / "inside", "keep me");
      break;
    case NotAFile::fifo:
      // Opening it for reading in a way that waits would hang the test here.
      ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
      break;
    case NotAFile::danglingLink:
      fs::create_symlink("elsewhere.json", file);
      break;
    case NotAFile::linkToInvalidJson:
      write(dir_ / "elsewhere.json", "{\"pincode\": ");
      fs::create_symlink("elsewhere.json", file);
      break;
  }
  const auto typeBefore = fs::symlink_status(file).type();

  ::testing::internal::CaptureStderr();
  UserDefaults defaults(file.string());
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(file.string()), std::string::npos) << err;
  EXPECT_NE(err.find("left as it is"), std::string::npos) << err;
  EXPECT_NE(err.find("memory only"), std::string::npos) << err;
  EXPECT_FALSE(defaults.writesToFile());
  EXPECT_FALSE(defaults.keptAsidePath());

  ::testing::internal::CaptureStderr();
  defaults.setValueForKey("1111", "pincode");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");  // no write is even tried
  EXPECT_EQ(defaults.stringForKey("pincode"), "1111");

  EXPECT_EQ(fs::symlink_status(file).type(), typeBefore);
  EXPECT_TRUE(filesStarting("defaults.json.").empty());  // nothing set aside, no temporary
  switch (GetParam().kind) {
    case NotAFile::folder:
      EXPECT_EQ(read(file / "inside"), "keep me");
      break;
    case NotAFile::danglingLink:
      EXPECT_FALSE(fs::exists(dir_ / "elsewhere.json"));
      break;
    case NotAFile::linkToInvalidJson:
      EXPECT_EQ(read(dir_ / "elsewhere.json"), "{\"pincode\": ");
      EXPECT_TRUE(filesStarting("elsewhere.json.").empty());
      break;
    case NotAFile::fifo:
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, NotAFileTest,
    ::testing::Values(NotAFile{"Folder", NotAFile::folder}, NotAFile{"Fifo", NotAFile::fifo},
                      NotAFile{"DanglingLink", NotAFile::danglingLink},
                      NotAFile{"LinkToInvalidJson", NotAFile::linkToInvalidJson}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(UserDefaultsTest, ALinkToARegularFileStaysALinkAndItsTargetIsWritten) {
  fs::create_directory(dir_ / "dotfiles");
  write(dir_ / "dotfiles" / "tovelin.json", "{\"pincode\": \"1234\", \"other\": \"x\"}");
  const auto file = dir_ / "defaults.json";
  fs::create_symlink("dotfiles/tovelin.json", file);

  UserDefaults defaults(file.string());
  EXPECT_TRUE(defaults.writesToFile());
  EXPECT_EQ(defaults.stringForKey("pincode"), "1234");
  defaults.setValueForKey("5678", "pincode");

  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(fs::read_symlink(file), "dotfiles/tovelin.json");
  EXPECT_EQ(nlohmann::json::parse(read(dir_ / "dotfiles" / "tovelin.json")),
            (nlohmann::json{{"pincode", "5678"}, {"other", "x"}}));
  // No temporary file is left beside the target.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "dotfiles"), fs::directory_iterator()), 1);
  EXPECT_EQ(UserDefaults(file.string()).stringForKey("pincode"), "5678");
}

TEST_F(UserDefaultsTest, AnUnchangedValueIsNotWrittenAgainButAFailedWriteIsRetried) {
  const auto file = dir_ / "defaults.json";
  UserDefaults defaults(file.string());
  defaults.setValueForKey("1234", "pincode");
  struct stat before {};
  ASSERT_EQ(::stat(file.c_str(), &before), 0);
  // Every write is a new file renamed over the old one: a new inode.
  defaults.setValueForKey("1234", "pincode");
  struct stat after {};
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  defaults.setValueForKey("1234", "other");  // the same value under a new key is a change
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(nlohmann::json::parse(read(file)),
            (nlohmann::json{{"pincode", "1234"}, {"other", "1234"}}));

  // The folder is made a file after opening: the write fails...
  const auto nested = dir_ / "sub" / "defaults.json";
  UserDefaults later(nested.string());
  write(dir_ / "sub", "in the way");
  ::testing::internal::CaptureStderr();
  later.setValueForKey("9", "pincode");
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("memory only"), std::string::npos);
  // ...and setting the same value once the way is clear writes it.
  fs::remove(dir_ / "sub");
  later.setValueForKey("9", "pincode");
  EXPECT_EQ(nlohmann::json::parse(read(nested)), (nlohmann::json{{"pincode", "9"}}));
}

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
