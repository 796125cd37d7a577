#include "platform/update/update_check.h"

#include "platform/update/feed.h"
#include "platform/update/version.h"

namespace update {
namespace {

UpdateCheckOutcome failed(const std::string& why) {
  return UpdateCheckOutcome{UpdateCheckOutcome::Kind::failed, "Update check failed",
                            "The update check could not be completed: " + why + "."};
}

}  // namespace

UpdateCheckOutcome checkForUpdate(const base::Bundle& bundle) {
  const auto versionText = bundle.infoString("ShortVersionString");
  const auto current = versionText ? Version::parse(*versionText) : std::nullopt;
  if (!current) {
    return failed(
        "the application's information file gives no version made of dotted numbers "
        "(\"ShortVersionString\")");
  }
  const auto feedText = bundle.infoString("FeedURL");
  const auto feedAddress = feedText ? base::URL::fromString(*feedText) : std::nullopt;
  if (!feedAddress) {
    return failed("the application's information file gives no update feed address (\"FeedURL\")");
  }
  const auto feed = readFeed(*feedAddress, bundle.resourcePath());
  if (!feed) return failed(feed.error().message);

  const FeedItem* newest = feed->newest();
  if (!newest || newest->version <= *current) {
    return UpdateCheckOutcome{UpdateCheckOutcome::Kind::upToDate, "You're up to date",
                              "Version " + current->text() + " is the newest version available."};
  }
  return UpdateCheckOutcome{UpdateCheckOutcome::Kind::updateAvailable, "A new version is available",
                            "Version " + newest->version.text() + " is available; you have " +
                                current->text() + ". Download it from " +
                                newest->downloadURL.absoluteString()};
}

}  // namespace update
