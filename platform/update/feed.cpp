#include "platform/update/feed.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace update {
namespace {

// A feed is a short list; anything bigger is not one.
constexpr std::streamsize kMaxFeedBytes = 1 << 20;

FeedResult failure(std::string why) { return FeedResult{std::nullopt, std::move(why)}; }

}  // namespace

const FeedItem* Feed::newest() const {
  const FeedItem* best = nullptr;
  for (const auto& item : items) {
    if (!best || item.version > best->version) best = &item;
  }
  return best;
}

FeedResult parseFeed(std::string_view text) {
  const auto doc = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded()) return failure("it is not valid JSON");
  if (!doc.is_object()) return failure("it is not a JSON object");
  const auto items = doc.find("items");
  if (items == doc.end() || !items->is_array()) return failure("it has no list \"items\"");
  Feed feed;
  for (size_t i = 0; i < items->size(); ++i) {
    const auto& entry = (*items)[i];
    const std::string which = "item " + std::to_string(i + 1);
    if (!entry.is_object()) return failure(which + " is not an object");
    const auto version = entry.find("version");
    const auto address = entry.find("downloadURL");
    std::optional<Version> v;
    if (version != entry.end() && version->is_string()) {
      v = Version::parse(version->get<std::string>());
    }
    if (!v) return failure(which + " has no \"version\" made of dotted numbers");
    std::optional<base::URL> url;
    if (address != entry.end() && address->is_string()) {
      url = base::URL::fromString(address->get<std::string>());
    }
    if (!url) return failure(which + " has no valid \"downloadURL\"");
    feed.items.push_back(FeedItem{std::move(*v), std::move(*url)});
  }
  return FeedResult{std::move(feed), {}};
}

FeedResult readFeed(const base::URL& address, const std::string& resourcePath) {
  if (address.scheme() == "http" || address.scheme() == "https") {
    return failure("this build reads only local feeds (file: addresses) and cannot reach " +
                   address.absoluteString());
  }
  if (!address.isFileURL() || address.path().empty()) {
    return failure(address.absoluteString() + " is not a file address");
  }
  std::string path = address.path();
  if (path.front() != '/') path = resourcePath + "/" + path;

  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    return failure("cannot read " + path + ": " +
                   (std::filesystem::exists(path, ec) ? "it is not a file" : "no such file"));
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return failure("cannot read " + path + ": " + std::strerror(errno));
  std::string text(static_cast<size_t>(kMaxFeedBytes) + 1, '\0');
  in.read(text.data(), kMaxFeedBytes + 1);
  if (in.bad()) return failure("cannot read " + path);
  if (in.gcount() > kMaxFeedBytes) return failure(path + " is too large to be a feed");
  text.resize(static_cast<size_t>(in.gcount()));
  auto result = parseFeed(text);
  if (!result.feed) result.error = "the feed " + path + " is malformed: " + result.error;
  return result;
}

}  // namespace update
