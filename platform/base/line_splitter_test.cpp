#include "platform/base/line_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace base {
namespace {

struct Fed {
  std::vector<std::string> lines;
  int overlong = 0;
};

Fed feedAll(LineSplitter& splitter, const std::vector<std::string>& chunks) {
  Fed fed;
  for (const auto& chunk : chunks) {
    splitter.feed(
        chunk,
        [&](std::string line) {
          fed.lines.push_back(std::move(line));
          return true;
        },
        [&] {
          ++fed.overlong;
          return true;
        });
  }
  return fed;
}

TEST(LineSplitter, LinesCutAcrossChunksComeWhole) {
  LineSplitter splitter(16);
  const Fed fed = feedAll(splitter, {"ab", "c\nde", "\n\nf"});
  EXPECT_EQ(fed.lines, (std::vector<std::string>{"abc", "de", ""}));
  EXPECT_EQ(splitter.finish(), "f");
  EXPECT_EQ(splitter.finish(), std::nullopt);
}

TEST(LineSplitter, OverlongLineIsReportedOnceAndSkippedToItsLineFeed) {
  LineSplitter splitter(4);
  const Fed fed = feedAll(splitter, {"12345", "6789", "0\nok\n", "abcd\n"});
  EXPECT_EQ(fed.overlong, 1);
  EXPECT_EQ(fed.lines, (std::vector<std::string>{"ok", "abcd"}));
  EXPECT_EQ(splitter.pendingBytes(), 0U);
}

TEST(LineSplitter, UnfinishedOverlongLineIsNotReturnedAtTheEnd) {
  LineSplitter splitter(3);
  const Fed fed = feedAll(splitter, {"abcdef"});
  EXPECT_EQ(fed.overlong, 1);
  EXPECT_EQ(splitter.finish(), std::nullopt);
}

TEST(LineSplitter, HandlerStopsTheFeed) {
  LineSplitter splitter(16);
  std::vector<std::string> lines;
  const bool finished = splitter.feed(
      "a\nb\nc\n",
      [&](std::string line) {
        lines.push_back(std::move(line));
        return lines.size() < 2;
      },
      [] { return true; });
  EXPECT_FALSE(finished);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace base
