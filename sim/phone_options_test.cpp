#include "sim/phone_options.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

PhoneOptions parse(const std::vector<std::string>& args) {
  auto parsed = parsePhoneOptions(args);
  EXPECT_TRUE(parsed.ok()) << parsed.error().message;
  return *parsed;
}

TEST(PhoneOptions, Defaults) {
  const auto options = parse({});
  EXPECT_EQ(options.name, "Simulated Phone");
  EXPECT_EQ(options.pin, "1234");
  EXPECT_EQ(options.version, 1);
  EXPECT_EQ(options.rate, 60);
  EXPECT_TRUE(options.handshake);
  EXPECT_FALSE(options.once);
  EXPECT_FALSE(options.radioPath);
  EXPECT_FALSE(options.trace);
  EXPECT_EQ(options.id, identifierForName("Simulated Phone"));
}

TEST(PhoneOptions, EveryOption) {
  const auto options =
      parse({"--radio", "/r.sock", "--name", "Pixel", "--id",
             "e8bca012-f851-449b-b759-e4596b11384b", "--pin", "", "--version", "-3", "--rate",
             "1000", "--trace", "t.csv", "--no-handshake", "--once"});
  EXPECT_EQ(options.radioPath, "/r.sock");
  EXPECT_EQ(options.name, "Pixel");
  EXPECT_EQ(options.id.description(), "E8BCA012-F851-449B-B759-E4596B11384B");
  EXPECT_EQ(options.pin, "");
  EXPECT_EQ(options.version, -3);
  EXPECT_EQ(options.rate, 1000);
  EXPECT_EQ(options.trace, "t.csv");
  EXPECT_FALSE(options.handshake);
  EXPECT_TRUE(options.once);
}

TEST(PhoneOptions, BadOptionsAreNamed) {
  const std::pair<std::vector<std::string>, const char*> table[] = {
      {{"--rate", "0"}, "--rate"},
      {{"--rate", "1001"}, "--rate"},
      {{"--rate", "6x"}, "--rate"},
      {{"--version", "2147483648"}, "--version"},
      {{"--version", ""}, "--version"},
      {{"--id", "phone-1"}, "--id"},
      {{"--name"}, "--name needs a value"},
      {{"--fast"}, "unknown option \"--fast\""},
      {{"--once", "fast"}, "unexpected argument \"fast\""},
      {{"--name", "a\nb"}, "control characters"},
  };
  for (const auto& [args, problem] : table) {
    auto parsed = parsePhoneOptions(args);
    ASSERT_FALSE(parsed.ok()) << args[0];
    EXPECT_NE(parsed.error().message.find(problem), std::string::npos) << parsed.error().message;
  }
}

TEST(PhoneOptions, TheIdentifierIsFixedPerNameAndWellFormed) {
  const auto a = identifierForName("Kitchen phone");
  EXPECT_EQ(a, identifierForName("Kitchen phone"));
  EXPECT_FALSE(a == identifierForName("Kitchen phone 2"));
  EXPECT_FALSE(identifierForName("") == identifierForName(" "));
  EXPECT_EQ(a.bytes()[6] >> 4, 8) << "version 8";
  EXPECT_EQ(a.bytes()[8] >> 6, 2) << "RFC 4122 variant";
  EXPECT_EQ(parse({"--name", "Kitchen phone"}).id, a);
}

}  // namespace
}  // namespace sim
