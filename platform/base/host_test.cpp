#include "platform/base/host.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>

#include "platform/base/options.h"

namespace base {
namespace {

struct MachineInfo {
  const char* text;
  std::optional<std::string> pretty;
};

class PrettyHostNameTest : public ::testing::TestWithParam<MachineInfo> {};

TEST_P(PrettyHostNameTest, ReadsThePrettyNameAsTheShellWould) {
  EXPECT_EQ(Host::prettyHostName(GetParam().text), GetParam().pretty) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PrettyHostNameTest,
    ::testing::Values(MachineInfo{"PRETTY_HOSTNAME=\"Anna's Laptop\"\n", "Anna's Laptop"},
                      MachineInfo{"CHASSIS=laptop\nPRETTY_HOSTNAME='Büro 2'\nDEPLOYMENT=x\n",
                                  "Büro 2"},
                      MachineInfo{"PRETTY_HOSTNAME=Desk\\ One", "Desk One"},
                      MachineInfo{"PRETTY_HOSTNAME=\"say \\\"hi\\\"\"", "say \"hi\""},
                      MachineInfo{"  PRETTY_HOSTNAME=Spaced  \r\n", "Spaced"},
                      MachineInfo{"PRETTY_HOSTNAME=first\nPRETTY_HOSTNAME=second\n", "second"},
                      MachineInfo{"PRETTY_HOSTNAME=\n", std::nullopt},
                      MachineInfo{"PRETTY_HOSTNAME=\"\"\n", std::nullopt},
                      MachineInfo{"# PRETTY_HOSTNAME=commented\n", std::nullopt},
                      MachineInfo{"XPRETTY_HOSTNAME=other\nHOSTNAME=plain\n", std::nullopt},
                      MachineInfo{"", std::nullopt}));

class HostOptionsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    platformOptions() = saved_;
    if (!infoPath_.empty()) std::remove(infoPath_.c_str());
  }
  std::string writeInfo(const std::string& text) {
    char name[] = "/tmp/machine-info-XXXXXX";
    const int fd = ::mkstemp(name);
    ::close(fd);
    infoPath_ = name;
    std::ofstream(infoPath_) << text;
    return infoPath_;
  }
  PlatformOptions saved_ = platformOptions();
  std::string infoPath_;
};

TEST_F(HostOptionsTest, TheOptionsStandInForTheSystemsName) {
  const Host host(writeInfo("PRETTY_HOSTNAME=System Name\n"));
  EXPECT_EQ(host.localizedName(), "System Name");

  ASSERT_TRUE(parsePlatformOptions({"--host-name", "Given Name"}, platformOptions()));
  EXPECT_EQ(host.localizedName(), "Given Name");
  ASSERT_TRUE(parsePlatformOptions({"--no-host-name"}, platformOptions()));
  EXPECT_EQ(host.localizedName(), std::nullopt);
  ASSERT_TRUE(parsePlatformOptions({"--host-name", ""}, platformOptions()));
  EXPECT_EQ(host.localizedName(), std::nullopt);
}

TEST_F(HostOptionsTest, WithoutAPrettyNameTheHostNameIsUsed) {
  char name[HOST_NAME_MAX + 1] = {};
  ASSERT_EQ(::gethostname(name, sizeof name - 1), 0);
  const std::optional<std::string> expected =
      name[0] == '\0' ? std::nullopt : std::optional<std::string>(name);
  EXPECT_EQ(Host("/nonexistent/machine-info").localizedName(), expected);
  EXPECT_EQ(Host(writeInfo("PRETTY_HOSTNAME=\n")).localizedName(), expected);
}

}  // namespace
}  // namespace base
