#include "platform/base/options.h"

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(PlatformOptions, EveryOptionIsRead) {
  PlatformOptions options;
  ASSERT_TRUE(parsePlatformOptions(
      {"--radio", "/r/radio.sock", "--screen", "16384x1", "--defaults", "d.json", "--host-name", "",
       "--bundle", "b", "--open-url-command", "echo"},
      options));
  EXPECT_EQ(options.radioPath, "/r/radio.sock");
  EXPECT_EQ(options.screenWidth, 16384);
  EXPECT_EQ(options.screenHeight, 1);
  EXPECT_EQ(options.defaultsFile, "d.json");
  EXPECT_EQ(options.hostName, "");  // an empty name is no name, as --no-host-name
  EXPECT_EQ(options.bundleDir, "b");
  EXPECT_EQ(options.openUrlCommand, "echo");
  EXPECT_FALSE(options.help);
}

TEST(PlatformOptions, HelpIsAskedForEitherWay) {
  for (const char* word : {"--help", "-h"}) {
    PlatformOptions options;
    ASSERT_TRUE(parsePlatformOptions({"--screen", "800x600", word}, options)) << word;
    EXPECT_TRUE(options.help) << word;
  }
}

struct Refusal {
  std::vector<std::string> args;
  std::string message;
};

TEST(PlatformOptions, WhatCannotBeUsedIsRefusedAndNamed) {
  const Refusal table[] = {
      {{"--defualts", "/tmp/d.json"}, "unknown option \"--defualts\""},
      {{"--radio", "/r.sock", "--raido", "/r.sock"}, "unknown option \"--raido\""},
      {{"-x"}, "unknown option \"-x\""},
      {{"--radio=/r.sock"}, "unknown option \"--radio=/r.sock\""},
      {{"--screen", "800x600", "stray"}, "unexpected argument \"stray\""},
      {{"-"}, "unexpected argument \"-\""},
      {{""}, "unexpected argument \"\""},
      {{"--radio"}, "--radio needs a value"},
      {{"--radio", ""}, "--radio needs a non-empty value"},
      {{"--defaults", ""}, "--defaults needs a non-empty value"},
      {{"--bundle", ""}, "--bundle needs a non-empty value"},
      {{"--open-url-command", ""}, "--open-url-command needs a non-empty value"},
      {{"--screen", "big"}, "--screen expects WIDTHxHEIGHT (for example 1920x1080), not \"big\""},
      {{"--screen", "800x"}, "--screen expects WIDTHxHEIGHT (for example 1920x1080), not \"800x\""},
      {{"--screen", "-8x6"}, "--screen expects WIDTHxHEIGHT (for example 1920x1080), not \"-8x6\""},
      {{"--screen", "99999x99999"},
       "--screen expects sides of 1 to 16384 points, not \"99999x99999\""},
      {{"--screen", "16385x100"}, "--screen expects sides of 1 to 16384 points, not \"16385x100\""},
      {{"--screen", "800x0"}, "--screen expects sides of 1 to 16384 points, not \"800x0\""},
      {{"--screen", "99999999999x1"},
       "--screen expects sides of 1 to 16384 points, not \"99999999999x1\""},
  };
  for (const auto& [args, message] : table) {
    PlatformOptions options;
    auto parsed = parsePlatformOptions(args, options);
    ASSERT_FALSE(parsed) << args[0];
    EXPECT_EQ(parsed.error().message, message);
  }
}

TEST(PlatformOptions, TheUsageListsEveryOption) {
  for (const char* option :
       {"--radio PATH", "--screen WIDTHxHEIGHT", "--defaults FILE", "--host-name TEXT",
        "--no-host-name", "--bundle DIR", "--open-url-command CMD"}) {
    EXPECT_NE(std::string(kPlatformUsage).find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace base
