#include "platform/ble/phone_connection.h"

#include <string>
#include <utility>

namespace ble {

PhoneConnection::PhoneConnection(int fd, size_t maxLine, MessageHandler onMessage,
                                 CloseHandler onClose)
    : maxLine_(maxLine) {
  LineChannel::Limits limits;
  limits.maxLine = maxLine;
  auto lineHandler = [onMessage = std::move(onMessage), onClose](const std::string& line) {
    auto parsed = radio::parsePhoneMessage(line);
    if (parsed) {
      onMessage(*std::move(parsed));
    } else {
      onClose(parsed.error().message);
    }
  };
  auto closeHandler = [onClose = std::move(onClose)](LineChannel::CloseReason reason) {
    onClose(reason == LineChannel::CloseReason::peerClosed ? std::string_view()
                                                           : LineChannel::describe(reason));
  };
  channel_ = LineChannel::adopt(fd, limits, std::move(lineHandler), std::move(closeHandler));
}

PhoneConnection::~PhoneConnection() { close(); }

base::Result<void> PhoneConnection::send(const radio::RadioMessage& message) {
  const std::string line = radio::encode(message);
  if (line.size() > maxLine_) {
    return base::fail("is longer than " + std::to_string(maxLine_) + " bytes; not sent");
  }
  channel_->send(line);
  return base::ok();
}

void PhoneConnection::readNow() { channel_->readNow(); }

void PhoneConnection::pauseReading(bool paused) { channel_->pauseReading(paused); }

void PhoneConnection::close() { channel_->close(); }

}  // namespace ble
