#include "sim/simulated_phone.h"

#include <algorithm>
#include <random>
#include <variant>

#include "platform/base/log.h"
#include "proto/link_profile.h"

namespace sim {
namespace {

const ble::UUID kService = ble::UUID::withString(tovelin::kLinkServiceUUID);
const ble::UUID kCharacteristic = ble::UUID::withString(tovelin::kLinkCharacteristicUUID);

void say(const std::string& line) { base::printError("tovelin-phone: " + line); }

std::optional<std::vector<uint8_t>> parseHex(std::string_view text) {
  std::string digits;
  for (const char c : text) {
    if (c != ' ' && c != '\t') digits.push_back(c);
  }
  if (digits.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    unsigned value = 0;
    for (size_t k = 0; k < 2; ++k) {
      const char c = digits[i + k];
      unsigned d = 0;
      if (c >= '0' && c <= '9') {
        d = static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        d = static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        d = static_cast<unsigned>(c - 'A' + 10);
      } else {
        return std::nullopt;
      }
      value = value * 16 + d;
    }
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return bytes;
}

}  // namespace

std::shared_ptr<SimulatedPhone> SimulatedPhone::make(const PhoneOptions& options,
                                                     std::string radioPath,
                                                     std::unique_ptr<MotionSource> motion,
                                                     std::function<void()> onFinished) {
  std::shared_ptr<SimulatedPhone> phone(
      new SimulatedPhone(options, std::move(radioPath), std::move(motion), std::move(onFinished)));
  std::weak_ptr<SimulatedPhone> weak = phone;
  RadioClient::Handlers handlers;
  handlers.onMessage = [weak](const ble::radio::RadioMessage& message) {
    if (auto self = weak.lock()) self->onMessage(message);
  };
  handlers.onOutOfRange = [weak] {
    if (auto self = weak.lock()) {
      self->stopStream();
      self->auth_.reset();
    }
  };
  ble::radio::Advertise advertise{options.id, options.name, {{kService, {kCharacteristic}}}};
  phone->radio_ = RadioClient::make(phone->radioPath_, std::move(advertise), std::move(handlers));
  return phone;
}

SimulatedPhone::SimulatedPhone(const PhoneOptions& options, std::string radioPath,
                               std::unique_ptr<MotionSource> motion,
                               std::function<void()> onFinished)
    : options_(options),
      radioPath_(std::move(radioPath)),
      motion_(std::move(motion)),
      onFinished_(std::move(onFinished)),
      auth_(options.version, options.pin),
      challenges_([] {
        std::random_device device;
        return static_cast<uint32_t>(device());
      }) {}

void SimulatedPhone::start() { radio_->comeBack(); }

bool SimulatedPhone::command(const std::string& input) {
  std::string_view line = input;
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.remove_suffix(1);
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  if (line.empty()) return true;
  if (line == "quit") return false;
  if (line == "away") {
    radio_->goAway();
  } else if (line == "back") {
    radio_->comeBack();
  } else if (line == "disconnect") {
    if (radio_->send(ble::radio::PhoneDisconnect{})) {
      stopStream();
      auth_.reset();
      say("ended the connection (still in range)");
    } else {
      say("not in range; nothing sent");
    }
  } else if (line.starts_with("raw ") || line == "raw") {
    auto bytes = parseHex(line.substr(3));
    if (!bytes) {
      say("raw expects bytes in hex, for example \"raw 1a00\"");
    } else if (!radio_->inRange()) {
      say("not in range; nothing sent");
    } else {
      notify(*bytes);
      say("notified a raw value of " + std::to_string(bytes->size()) + " bytes");
    }
  } else {
    say("unknown command \"" + std::string(line) +
        "\" (commands: away, back, raw HEX, disconnect, quit)");
  }
  return true;
}

void SimulatedPhone::onMessage(const ble::radio::RadioMessage& message) {
  if (std::holds_alternative<ble::radio::Connected>(message)) {
    say("connected to the desktop");
  } else if (std::holds_alternative<ble::radio::Disconnected>(message)) {
    stopStream();
    auth_.reset();
    say("disconnected by the desktop");
  } else if (const auto* subscribe = std::get_if<ble::radio::Subscribe>(&message)) {
    if (subscribe->service == kService && subscribe->characteristic == kCharacteristic) {
      onSubscribe(subscribe->enabled);
    } else {
      say("ignored a subscription to an unknown characteristic");
    }
  } else if (const auto* write = std::get_if<ble::radio::Write>(&message)) {
    if (write->service == kService && write->characteristic == kCharacteristic) {
      onWrite(write->value);
    } else {
      say("ignored a write to an unknown characteristic");
    }
  }
}

void SimulatedPhone::onSubscribe(bool enabled) {
  stopStream();
  auth_.reset();
  if (!enabled) {
    say("unsubscribed");
    return;
  }
  if (!options_.handshake) {
    say("subscribed; streaming without a handshake, " + std::to_string(options_.rate) +
        " updates a second");
    startStream();
    return;
  }
  const uint32_t challenge = challenges_();
  notify(auth_.request(challenge));
  say("subscribed; sent an authentication request (version " + std::to_string(options_.version) +
      ", challenge " + std::to_string(challenge) + ")");
}

void SimulatedPhone::onWrite(const std::vector<uint8_t>& value) {
  auto answer = auth_.check(value);
  if (!answer) {
    say("ignored a write: " + answer.error().message);
    return;
  }
  const std::string who = "\"" + answer->deviceName + "\"";
  switch (answer->verdict) {
    case PhoneAuth::Verdict::accepted:
      say("authenticated " + who + "; streaming " + std::to_string(options_.rate) +
          " updates a second");
      startStream();
      return;
    case PhoneAuth::Verdict::wrongPin:
      notify(PhoneAuth::refusal());
      say("refused " + who + ": wrong PIN (sent authInvalid)");
      return;
    case PhoneAuth::Verdict::wrongDigest:
      notify(PhoneAuth::refusal());
      say("refused " + who + ": wrong digest (sent authInvalid)");
      return;
  }
}

void SimulatedPhone::notify(const std::vector<uint8_t>& value) {
  if (radio_->send(ble::radio::Notify{kService, kCharacteristic, value, std::nullopt}))
    ++packetsSent_;
}

void SimulatedPhone::startStream() {
  streamStart_ = base::RunLoop::main().now();
  const auto interval = std::chrono::duration_cast<base::Clock::duration>(
      std::chrono::duration<double>(1.0 / options_.rate));
  std::weak_ptr<SimulatedPhone> weak = weak_from_this();
  stream_ = base::RunLoop::main().addTimer(interval, true, [weak] {
    if (auto self = weak.lock()) self->tick();
  });
}

void SimulatedPhone::stopStream() { stream_.reset(); }

void SimulatedPhone::tick() {
  // A run of no length still streams one update at a time.
  const double length = std::max(motion_->duration(), 1.0 / options_.rate);
  const auto now = base::RunLoop::main().now();
  double t = std::chrono::duration<double>(now - streamStart_).count();
  if (t > length) {
    if (options_.once) {
      stopStream();
      say("the drive is over");
      if (onFinished_) onFinished_();
      return;
    }
    streamStart_ = now;
    t = 0;
    say("the drive starts again");
  }
  const Acceleration a = motion_->at(t);
  notify(PhoneAuth::acceleration(a.x, a.y, a.z));
}

}  // namespace sim
