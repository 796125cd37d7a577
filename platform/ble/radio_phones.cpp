// The radio's side of each phone connection: accepting, reading lines,
// keeping what the phone advertised, and dropping a phone that misbehaves.
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <variant>
#include <vector>

#include "platform/base/log.h"
#include "platform/ble/central_manager.h"
#include "platform/ble/radio.h"

namespace ble {

namespace {

// How long the radio stops accepting when the process has no descriptor
// left: the waiting connection keeps the socket readable, and trying again
// at once would spin.
constexpr auto kAcceptBackoff = std::chrono::milliseconds(250);

bool isShortage(int error) {
  return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

}  // namespace

void Radio::acceptPhones() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (isShortage(errno)) {
        backOffAccepting();
      } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
        base::printError(std::string("radio: cannot accept a phone: ") + std::strerror(errno));
      }
      return;
    }
    if (outOfDescriptors_) {
      outOfDescriptors_ = false;
      base::printError("radio: accepting phones again");
    }
    if (phones_.size() >= kMaxPhones) releaseClosedPhones();
    if (phones_.size() >= kMaxPhones) {
      base::printError("radio: too many phones in range (" + std::to_string(kMaxPhones) +
                       "); refusing another one");
      ::close(fd);
      continue;
    }
    const uint64_t serial = nextSerial_++;
    LineChannel::Limits limits;
    limits.maxLine = kMaxLine;
    Phone& phone = phones_[serial];
    phone.serial = serial;
    phone.channel = LineChannel::adopt(
        fd, limits, [this, serial](const std::string& line) { onLine(serial, line); },
        [this, serial](LineChannel::CloseReason reason) {
          drop(serial, reason == LineChannel::CloseReason::peerClosed
                           ? std::string_view()
                           : LineChannel::describe(reason));
        });
  }
}

void Radio::backOffAccepting() {
  if (!outOfDescriptors_) {
    outOfDescriptors_ = true;
    base::printError(std::string("radio: cannot accept phones for now (") + std::strerror(errno) +
                     "); trying again every " + std::to_string(kAcceptBackoff.count()) + " ms");
  }
  listenWatch_.reset();
  acceptBackoff_ = base::RunLoop::main().addTimer(kAcceptBackoff, false, [this] {
    if (listenFd_ < 0) return;
    watchListener();
    acceptPhones();
  });
}

void Radio::releaseClosedPhones() {
  // Their end of file may not have had its turn of the loop yet. Serials,
  // because finishing a connection erases its phone.
  std::vector<uint64_t> serials;
  serials.reserve(phones_.size());
  for (const auto& [serial, phone] : phones_) serials.push_back(serial);
  for (const uint64_t serial : serials) {
    auto it = phones_.find(serial);
    if (it != phones_.end()) it->second.channel->finishIfPeerClosed();
  }
}

std::string Radio::nameOf(const Phone& phone) const {
  if (!phone.advertised) return "phone #" + std::to_string(phone.serial) + " (not advertised yet)";
  const auto& advertised = *phone.advertised;
  std::string text = "phone " + advertised.id.description();
  if (advertised.name) text += " \"" + *advertised.name + "\"";
  return text;
}

void Radio::drop(uint64_t serial, std::string_view reason) {
  auto it = phones_.find(serial);
  if (it == phones_.end()) return;
  if (!reason.empty()) {
    base::printError("radio: " + nameOf(it->second) + ": " + std::string(reason) +
                     "; closing its connection");
  }
  const std::optional<UUID> id =
      it->second.advertised ? std::optional<UUID>(it->second.advertised->id) : std::nullopt;
  it->second.channel->close();
  phones_.erase(it);
  if (!id) return;
  for (const auto& central : liveCentrals()) central->phoneLeft(*id);
}

void Radio::send(Phone& phone, const radio::RadioMessage& message) {
  const std::string line = radio::encode(message);
  if (line.size() > kMaxLine) {
    base::printError("radio: a message for " + nameOf(phone) + " is longer than " +
                     std::to_string(kMaxLine) + " bytes; not sent");
    return;
  }
  // A failed send closes the channel, which reports it (and the phone is
  // dropped) on a later turn.
  phone.channel->send(line);
}

void Radio::onLine(uint64_t serial, const std::string& line) {
  auto it = phones_.find(serial);
  if (it == phones_.end()) return;
  Phone& phone = it->second;
  auto parsed = radio::parsePhoneMessage(line);
  if (const auto* error = std::get_if<std::string>(&parsed)) {
    drop(serial, *error);
    return;
  }
  auto& message = std::get<radio::PhoneMessage>(parsed);
  if (auto* advertise = std::get_if<radio::Advertise>(&message)) {
    onAdvertise(phone, std::move(*advertise));
    return;
  }
  if (!phone.advertised) {
    drop(serial, "the first line must be an advertise");
    return;
  }
  if (const auto* notify = std::get_if<radio::Notify>(&message)) {
    onNotify(phone, *notify);
  } else {
    onPhoneDisconnect(phone);
  }
}

void Radio::onAdvertise(Phone& phone, radio::Advertise advertise) {
  if (phone.advertised && !(phone.advertised->id == advertise.id)) {
    drop(phone.serial, "an advertise may not change the phone's id");
    return;
  }
  if (!phone.advertised && find(advertise.id) != nullptr) {
    drop(phone.serial, "phone " + advertise.id.description() + " is already in range");
    return;
  }
  // Copies: a central's reaction may drop phones and with them this record.
  const std::optional<radio::Advertise> previous = phone.advertised;
  phone.advertised = std::move(advertise);
  const radio::Advertise current = *phone.advertised;
  for (const auto& central : liveCentrals()) {
    central->phoneAdvertised(current, previous ? &*previous : nullptr);
  }
}

void Radio::onNotify(const Phone& phone, const radio::Notify& notify) {
  const UUID id = phone.advertised->id;
  if (phone.connected.empty()) return;  // nobody listens: the value goes nowhere
  for (const auto& central : liveCentrals()) central->phoneNotified(id, notify);
}

void Radio::onPhoneDisconnect(Phone& phone) {
  if (phone.connected.empty()) return;
  phone.connected.clear();
  phone.subscribers.clear();
  const UUID id = phone.advertised->id;
  for (const auto& central : liveCentrals()) central->phoneEndedConnection(id);
}

}  // namespace ble
