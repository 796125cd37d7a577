#include "platform/update/feed.h"

#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

#include "platform/base/file.h"

namespace update {
namespace {

// A feed is a short list; anything bigger is not one.
constexpr size_t kMaxFeedBytes = 1 << 20;

// The feed file's text. A failed read is worded for the user afterwards, so
// a feed that reads takes one open.
base::Result<std::string> readFeedText(const std::string& path) {
  auto text = base::readFile(path, kMaxFeedBytes);
  if (text) return text;
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) return base::fail("cannot read " + path + ": no such file");
  if (!std::filesystem::is_regular_file(status)) {
    return base::fail("cannot read " + path + ": it is not a file");
  }
  if (::access(path.c_str(), R_OK) != 0) {
    return base::fail("cannot read " + path + ": " + std::strerror(errno));
  }
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxFeedBytes) return base::fail(path + " is too large to be a feed");
  return base::fail("cannot read " + path);
}

}  // namespace

const FeedItem* Feed::newest() const {
  const FeedItem* best = nullptr;
  for (const auto& item : items) {
    if (!best || item.version > best->version) best = &item;
  }
  return best;
}

base::Result<Feed> parseFeed(std::string_view text) {
  const auto doc = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded()) return base::fail("it is not valid JSON");
  if (!doc.is_object()) return base::fail("it is not a JSON object");
  const auto items = doc.find("items");
  if (items == doc.end() || !items->is_array()) return base::fail("it has no list \"items\"");
  Feed feed;
  for (size_t i = 0; i < items->size(); ++i) {
    const auto& entry = (*items)[i];
    const std::string which = "item " + std::to_string(i + 1);
    if (!entry.is_object()) return base::fail(which + " is not an object");
    const auto version = entry.find("version");
    const auto address = entry.find("downloadURL");
    std::optional<Version> v;
    if (version != entry.end() && version->is_string()) {
      v = Version::parse(version->get<std::string>());
    }
    if (!v) return base::fail(which + " has no \"version\" made of dotted numbers");
    std::optional<base::URL> url;
    if (address != entry.end() && address->is_string()) {
      url = base::URL::fromString(address->get<std::string>());
    }
    if (!url) return base::fail(which + " has no valid \"downloadURL\"");
    feed.items.push_back(FeedItem{std::move(*v), std::move(*url)});
  }
  return feed;
}

base::Result<Feed> readFeed(const base::URL& address, const std::string& resourcePath) {
  if (address.scheme() == "http" || address.scheme() == "https") {
    return base::fail("this build reads only local feeds (file: addresses) and cannot reach " +
                      address.absoluteString());
  }
  if (!address.isFileURL() || address.path().empty()) {
    return base::fail(address.absoluteString() + " is not a file address");
  }
  std::string path = address.path();
  if (path.front() != '/') path = resourcePath + "/" + path;

  const auto text = readFeedText(path);
  if (!text) return text.error();
  auto feed = parseFeed(*text);
  if (!feed) return base::fail("the feed " + path + " is malformed: " + feed.error().message);
  return feed;
}

}  // namespace update
