// The simulated phone: a peripheral that follows the link profile.
//
// It advertises the link service with the link characteristic. When the
// desktop subscribes it sends an authentication request and waits for the
// answer (a write): the right digest and PIN start the stream of
// acceleration updates at the configured rate, anything else is refused
// with an authInvalid packet. Without the handshake it streams as soon as
// it is subscribed. The stream stops when the subscription or the
// connection ends. Commands (away, back, raw, disconnect, quit) come from
// the console. Every event is one line on standard error.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/run_loop.h"
#include "sim/motion.h"
#include "sim/phone_auth.h"
#include "sim/phone_options.h"
#include "sim/radio_client.h"

namespace sim {

class SimulatedPhone : public std::enable_shared_from_this<SimulatedPhone> {
 public:
  using ChallengeSource = std::function<uint32_t()>;

  // `motion` is the drive or trace to stream; `onFinished` is called after
  // one whole run with --once.
  static std::shared_ptr<SimulatedPhone> make(const PhoneOptions& options, std::string radioPath,
                                              std::unique_ptr<MotionSource> motion,
                                              std::function<void()> onFinished);

  void start();
  // One console line; false for "quit". Bad commands get a line on stderr.
  bool command(const std::string& line);

  [[nodiscard]] bool streaming() const { return stream_.active(); }
  [[nodiscard]] uint64_t packetsSent() const { return packetsSent_; }
  // Tests choose the challenge; the default draws it at random.
  void setChallengeSource(ChallengeSource source) { challenges_ = std::move(source); }

 private:
  SimulatedPhone(const PhoneOptions& options, std::string radioPath,
                 std::unique_ptr<MotionSource> motion, std::function<void()> onFinished);
  void onMessage(const ble::radio::RadioMessage& message);
  void onSubscribe(bool enabled);
  void onWrite(const std::vector<uint8_t>& value);
  void notify(const std::vector<uint8_t>& value);
  void startStream();
  void stopStream();
  void tick();

  PhoneOptions options_;
  std::string radioPath_;
  std::unique_ptr<MotionSource> motion_;
  std::function<void()> onFinished_;
  std::shared_ptr<RadioClient> radio_;
  PhoneAuth auth_;
  ChallengeSource challenges_;
  base::Handle stream_;
  base::Clock::time_point streamStart_{};
  uint64_t packetsSent_ = 0;
};

}  // namespace sim
