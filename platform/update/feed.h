// The update feed: the list of released versions and where to get them.
//
// A feed is a JSON file (documented in docs/updates.md):
//   {"items": [{"version": "1.2.0", "downloadURL": "https://..."}, ...]}
// Other keys are ignored. The feed is found at the information file's
// "FeedURL": a file: address, where a relative path is taken from the
// bundle's resource folder. Web addresses cannot be fetched by this build.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/base/result.h"
#include "platform/base/url.h"
#include "platform/update/version.h"

namespace update {

struct FeedItem {
  Version version;
  base::URL downloadURL;
};

struct Feed {
  std::vector<FeedItem> items;

  // The item with the highest version (the first of equals); none when empty.
  [[nodiscard]] const FeedItem* newest() const;
};

// Parses the text of a feed; the error is a sentence for the user.
base::Result<Feed> parseFeed(std::string_view text);

// Reads and parses the feed at `address`; relative file paths are taken from
// `resourcePath`.
base::Result<Feed> readFeed(const base::URL& address, const std::string& resourcePath);

}  // namespace update
