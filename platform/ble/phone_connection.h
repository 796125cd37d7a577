// One phone's connection to the radio: its socket, lines in and out, and the
// parsing of each line.
//
// The radio's registry of phones owns one per accepted socket and hears from
// it only typed messages and the end of the connection; a line that is not a
// message ends the connection with the reason, which the registry prints.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/base/result.h"
#include "platform/ble/line_channel.h"
#include "platform/ble/radio_protocol.h"

namespace ble {

class PhoneConnection {
 public:
  using MessageHandler = std::function<void(radio::PhoneMessage message)>;
  // `problem` is empty when the phone closed its end normally.
  using CloseHandler = std::function<void(std::string_view problem)>;

  // Takes ownership of the accepted socket `fd`.
  PhoneConnection(int fd, size_t maxLine, MessageHandler onMessage, CloseHandler onClose);
  PhoneConnection(const PhoneConnection&) = delete;
  PhoneConnection& operator=(const PhoneConnection&) = delete;
  ~PhoneConnection();

  // Sends `message` as one line. A line longer than the limit is not sent.
  // To a phone that has left nothing more is sent; its end is reported once
  // what it sent has been handled. Other failures end the connection on a
  // later turn.
  base::Result<void> send(const radio::RadioMessage& message);
  // Reads what has arrived now (see LineChannel::readNow).
  void readNow();
  // Stops reading the phone's lines until called with false (see
  // LineChannel::pauseReading).
  void pauseReading(bool paused);
  // Closes without calling the close handler.
  void close();

 private:
  size_t maxLine_;
  std::shared_ptr<LineChannel> channel_;
};

}  // namespace ble
