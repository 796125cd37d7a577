// The simulated phone's connection to the virtual radio.
//
// Connects to the radio's socket (trying again every half second until it
// is there), advertises first thing, passes on what the radio sends and
// reconnects when the radio goes away, unless the phone itself went out of
// range with goAway(). Lines from the radio that are not one of its
// messages are reported on standard error and skipped.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/base/run_loop.h"
#include "platform/ble/line_channel.h"
#include "platform/ble/radio_protocol.h"

namespace sim {

class RadioClient : public std::enable_shared_from_this<RadioClient> {
 public:
  struct Handlers {
    std::function<void()> onInRange;  // connected and advertised
    std::function<void(const ble::radio::RadioMessage&)> onMessage;
    std::function<void()> onOutOfRange;  // the connection ended, whoever ended it
  };
  static constexpr auto kRetryInterval = std::chrono::milliseconds(500);

  static std::shared_ptr<RadioClient> make(std::string path, ble::radio::Advertise advertise,
                                           Handlers handlers);

  // Connects now, or keeps trying until the radio is there.
  void comeBack();
  // Closes the connection and stops trying.
  void goAway();
  bool send(const ble::radio::PhoneMessage& message);
  [[nodiscard]] bool inRange() const { return channel_ && channel_->isOpen(); }

 private:
  RadioClient(std::string path, ble::radio::Advertise advertise, Handlers handlers);
  void tryConnect();
  void retryLater();
  void lost(std::string_view why);

  std::string path_;
  ble::radio::Advertise advertise_;
  Handlers handlers_;
  std::shared_ptr<ble::LineChannel> channel_;
  base::Handle retry_;
  bool wanted_ = false;  // stay in range (reconnect when dropped)
  bool saidWaiting_ = false;
};

}  // namespace sim
