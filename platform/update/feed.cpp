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

// The feed file's text. The checks before the read word the usual faults for
// the user; the read itself is what keeps a swapped or growing file out.
base::Result<std::string> readFeedText(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    return base::fail("cannot read " + path + ": " +
                      (std::filesystem::exists(path, ec) ? "it is not a file" : "no such file"));
  }
  if (::access(path.c_str(), R_OK) != 0) {
    return base::fail("cannot read " + path + ": " + std::strerror(errno));
  }
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxFeedBytes) return base::fail(path + " is too large to be a feed");
  auto text = base::readFile(path, kMaxFeedBytes);
  if (!text) return base::fail("cannot read " + path);
  return text;
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
