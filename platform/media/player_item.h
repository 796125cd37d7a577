// A movie to play: the file it comes from and how long it lasts.
//
// The item reads the duration from the file's movie header when it is made.
// A file that cannot be read or parsed is reported once on standard error and
// gives an item whose status is failed: players keep it but never advance it.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/base/object.h"
#include "platform/base/url.h"

namespace media {

enum class PlayerItemStatus { unknown = 0, readyToPlay = 1, failed = 2 };

class PlayerItem : public base::Object {
 public:
  // initWithURL: with the address of a local movie file.
  static std::shared_ptr<PlayerItem> make(const base::URL& url);

  [[nodiscard]] const base::URL& url() const { return url_; }
  [[nodiscard]] PlayerItemStatus status() const { return status_; }
  // Why the item failed; empty otherwise.
  [[nodiscard]] const std::string& error() const { return error_; }
  // Zero unless the item is ready to play.
  [[nodiscard]] std::chrono::nanoseconds duration() const { return duration_; }
  [[nodiscard]] double durationSeconds() const;

  static constexpr base::ClassTable kClassTable{"AVPlayerItem", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  explicit PlayerItem(base::URL url) : url_(std::move(url)) {}

  base::URL url_;
  PlayerItemStatus status_ = PlayerItemStatus::unknown;
  std::string error_;
  std::chrono::nanoseconds duration_{0};
};

}  // namespace media
