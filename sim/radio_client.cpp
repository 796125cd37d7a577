#include "sim/radio_client.h"

#include <variant>

#include "platform/base/log.h"
#include "platform/ble/radio_socket.h"

namespace sim {

std::shared_ptr<RadioClient> RadioClient::make(std::string path, ble::radio::Advertise advertise,
                                               Handlers handlers) {
  return std::shared_ptr<RadioClient>(
      new RadioClient(std::move(path), std::move(advertise), std::move(handlers)));
}

RadioClient::RadioClient(std::string path, ble::radio::Advertise advertise, Handlers handlers)
    : path_(std::move(path)), advertise_(std::move(advertise)), handlers_(std::move(handlers)) {}

void RadioClient::comeBack() {
  wanted_ = true;
  if (inRange() || retry_.active()) return;
  tryConnect();
}

void RadioClient::goAway() {
  wanted_ = false;
  retry_.reset();
  const bool was = inRange();
  if (channel_) channel_->close();
  channel_.reset();
  if (was) {
    base::printError("tovelin-phone: out of range (closed the radio connection)");
    if (handlers_.onOutOfRange) handlers_.onOutOfRange();
  }
}

bool RadioClient::send(const ble::radio::PhoneMessage& message) {
  return inRange() && channel_->send(ble::radio::encode(message));
}

void RadioClient::tryConnect() {
  retry_.reset();
  if (!wanted_) return;
  auto result = ble::connectToRadio(path_);
  if (!result) {
    if (!saidWaiting_) {
      base::printError("tovelin-phone: waiting for the radio (" + result.error().message + ")");
      saidWaiting_ = true;
    }
    retryLater();
    return;
  }
  saidWaiting_ = false;
  std::weak_ptr<RadioClient> weak = weak_from_this();
  channel_ = ble::LineChannel::adopt(
      *result, {},
      [weak](const std::string& line) {
        auto self = weak.lock();
        if (!self) return;
        auto parsed = ble::radio::parseRadioMessage(line);
        if (!parsed) {
          base::printError("tovelin-phone: skipped a line from the radio: " +
                           parsed.error().message);
          return;
        }
        if (self->handlers_.onMessage) self->handlers_.onMessage(*parsed);
      },
      [weak](ble::LineChannel::CloseReason reason) {
        if (auto self = weak.lock()) self->lost(ble::LineChannel::describe(reason));
      });
  channel_->send(ble::radio::encode(ble::radio::PhoneMessage(advertise_)));
  base::printError("tovelin-phone: in range of the radio at " + path_ + " as \"" +
                   advertise_.name.value_or("") + "\" (" + advertise_.id.description() + ")");
  if (handlers_.onInRange) handlers_.onInRange();
}

void RadioClient::lost(std::string_view why) {
  channel_.reset();
  base::printError("tovelin-phone: lost the radio (" + std::string(why) + ")");
  if (handlers_.onOutOfRange) handlers_.onOutOfRange();
  // Not at once: a radio that refuses this phone would otherwise be asked
  // again in a tight loop.
  if (wanted_) retryLater();
}

void RadioClient::retryLater() {
  std::weak_ptr<RadioClient> weak = weak_from_this();
  retry_ = base::RunLoop::main().addTimer(kRetryInterval, false, [weak] {
    if (auto self = weak.lock()) self->tryConnect();
  });
}

}  // namespace sim
