// Damaged resources in the application's bundle: a shader library that is
// missing or garbage ends the program with its message and status 1, and
// welcome movies too short to play or missing are refused while the program
// runs on.
// Each test runs the program on its own copy of the bundle.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/app_fixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

class BadResources : public AppTest {
 protected:
  // A copy of the built bundle in the test's folder; its path.
  std::string copyBundle() {
    const fs::path copy = fs::path(dir_) / "bundle";
    fs::copy(TOVELIN_BUNDLE_DIR, copy, fs::copy_options::recursive);
    return copy.string();
  }
  static void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  }
};

void put32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

std::string atom(const char* type, const std::string& payload) {
  std::string out;
  put32(out, static_cast<uint32_t>(payload.size() + 8));
  return out + type + payload;
}

// A QuickTime file whose movie header says `duration` units of `timeScale`
// a second.
std::string movie(uint32_t timeScale, uint32_t duration) {
  std::string header(4, '\0');  // version 0, no flags
  put32(header, 0);             // creation
  put32(header, 0);             // modification
  put32(header, timeScale);
  put32(header, duration);
  put32(header, 0x00010000);  // rate 1.0
  header.resize(header.size() + 76, '\0');
  return atom("ftyp", std::string("qt  \0\0\2\0qt  ", 12)) + atom("mdat", std::string(32, '\xAB')) +
         atom("moov", atom("mvhd", header));
}

TEST_F(BadResources, AMissingOrGarbageShaderLibraryEndsTheProgramWithStatusOne) {
  struct Case {
    const char* name;
    std::string shaders;  // empty: no shader library at all
    const char* says;
  };
  const std::vector<Case> cases = {
      {"missing", "", "has no shaders.glsl"},
      {"garbage",
       "\x7F"
       "ELF\x02\x01\x01 not a shader {{{ \xFF\xFE",
       "shaders.glsl: the source defines no function"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::error_code ec;
    fs::remove_all(fs::path(dir_) / "bundle", ec);
    const std::string bundle = copyBundle();
    if (c.shaders.empty()) {
      fs::remove(fs::path(bundle) / "shaders.glsl");
    } else {
      writeFile(fs::path(bundle) / "shaders.glsl", c.shaders);
    }
    start({"--bundle", bundle});
    // An exit status, not a signal: an abort would give 128 + SIGABRT and
    // leave a core behind.
    EXPECT_EQ(app_->wait(20s), 1);
    const std::string err = app_->stderrText();
    EXPECT_NE(err.find("gpu: no default shader library: "), std::string::npos) << err;
    EXPECT_NE(err.find(c.says), std::string::npos) << err;
    EXPECT_NE(err.find("Fatal error: The pipeline has no vertex function\n"), std::string::npos)
        << err;
    // Nor is the radio's socket left behind.
    EXPECT_FALSE(fs::exists(radio_));
  }
}

TEST_F(BadResources, WelcomeMoviesTooShortToPlayAreRefusedAndTheProgramRunsOn) {
  const std::string bundle = copyBundle();
  // One rounds to no length at all, the other lasts three nanoseconds.
  writeFile(fs::path(bundle) / "UseDesktop.mov", movie(0xFFFFFFFF, 1));
  writeFile(fs::path(bundle) / "appusage.mov", movie(1000000000, 3));
  start({"--bundle", bundle});
  ASSERT_TRUE(app_->waitForStderr("UseDesktop.mov: the movie has no playable length", 10s));
  ASSERT_TRUE(app_->waitForStderr("appusage.mov: the movie has no playable length", 10s));

  // The console answers, and keeps answering: each listing shows both
  // players failed.
  for (size_t i = 1; i <= 3; ++i) {
    app_->send("windows");
    ASSERT_TRUE(app_->waitForStderr("player: failed (", 10s, 2 * i));
  }
  const std::string err = app_->stderrText();
  EXPECT_EQ(err.find("player: playing"), std::string::npos) << err;
  EXPECT_TRUE(app_->running());
  app_->send("quit");
  EXPECT_EQ(app_->wait(10s), 0);
}

TEST_F(BadResources, AMissingWelcomeVideoIsNamedAndTheProgramRunsOnWithoutTheWindow) {
  for (const char* video : {"UseDesktop.mov", "appusage.mov"}) {
    SCOPED_TRACE(video);
    std::error_code ec;
    fs::remove_all(fs::path(dir_) / "bundle", ec);
    const std::string bundle = copyBundle();
    fs::remove(fs::path(bundle) / video);
    start({"--bundle", bundle});
    EXPECT_TRUE(app_->waitForStderr(
        "welcome window: the bundle has no video \"" + std::string(video) + "\"; it is not shown",
        10s))
        << app_->stderrText();
    app_->send("windows");
    ASSERT_TRUE(app_->waitForStderr("1. \"Tovelin\" frame", 10s));
    app_->send("quit");
    EXPECT_EQ(app_->wait(10s), 0);
    EXPECT_EQ(app_->stderrText().find("Welcome to Tovelin"), std::string::npos)
        << app_->stderrText();
  }
}

}  // namespace
}  // namespace e2e
