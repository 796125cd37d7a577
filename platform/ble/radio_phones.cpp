// The registry's side of the phones: accepting connections within the limit,
// what each phone's messages mean, and dropping a phone that misbehaves or
// does not advertise in time.
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <variant>

#include "platform/base/log.h"
#include "platform/ble/radio.h"

namespace ble {

void Radio::watchListener() {
  listenWatch_ = base::RunLoop::main().watchFd(listenFd_, POLLIN,
                                               [this](short /*revents*/) { acceptPhones(); });
}

// Out of descriptors, the listening socket stays readable: watching it would
// spin. Stop watching for a moment and say so once for the whole episode.
void Radio::pauseAccepting(int error) {
  if (!acceptPaused_) {
    base::printError(std::string("radio: cannot accept phones for now: ") + std::strerror(error) +
                     "; trying again shortly");
    acceptPaused_ = true;
  }
  listenWatch_.reset();
  resumeTimer_ = base::RunLoop::main().addTimer(kAcceptPause, false, [this] {
    if (isListening()) watchListener();
  });
}

// Phones that closed their end but whose end of file the loop has not read
// yet would count against the limit: read what they sent now, so that their
// end is seen and they are released. Held phones are not read (see
// pauseReading): one that left is released only once nothing it sent is
// left unread or unhandled.
void Radio::releaseClosedPhones() {
  std::vector<uint64_t> serials;
  for (const auto& [serial, phone] : phones_) serials.push_back(serial);
  for (const uint64_t serial : serials) {
    // An earlier phone's reaction may have dropped this one.
    if (auto it = phones_.find(serial); it != phones_.end()) it->second.connection->readNow();
  }
}

void Radio::acceptPhones() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      if (error == EINTR || error == ECONNABORTED) continue;
      if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) {
        pauseAccepting(error);
      } else if (error != EAGAIN && error != EWOULDBLOCK) {
        base::printError(std::string("radio: cannot accept a phone: ") + std::strerror(error));
      }
      return;
    }
    acceptPaused_ = false;
    if (phones_.size() >= kMaxPhones) releaseClosedPhones();
    if (phones_.size() >= kMaxPhones) {
      base::printError("radio: too many phones in range (" + std::to_string(kMaxPhones) +
                       "); refusing another one");
      ::close(fd);
      continue;
    }
    const uint64_t serial = nextSerial_++;
    Phone& phone = phones_[serial];
    phone.serial = serial;
    phone.connection = std::make_unique<PhoneConnection>(
        fd, kMaxLine,
        [this, serial](radio::PhoneMessage message) { onMessage(serial, std::move(message)); },
        [this, serial](std::string_view problem) { drop(serial, problem); });
    if (readingPaused_) phone.connection->pauseReading(true);
    armAdvertiseDeadline(phone);
  }
}

void Radio::armAdvertiseDeadline(Phone& phone) {
  // Owned by the phone: a phone dropped earlier is never called back.
  phone.advertiseTimer = base::RunLoop::main().addTimer(
      kAdvertiseDeadline, false, [this, serial = phone.serial] { checkAdvertised(serial); });
}

// A phone's advertise that arrived in time but that the loop has not read
// yet still counts: read what waits before giving up on it. While phones are
// not read at all, none is late: the deadline starts again.
void Radio::checkAdvertised(uint64_t serial) {
  auto it = phones_.find(serial);
  if (it == phones_.end()) return;
  if (readingPaused_) {
    armAdvertiseDeadline(it->second);
    return;
  }
  it->second.connection->readNow();
  it = phones_.find(serial);  // reading may have dropped it
  if (it == phones_.end() || it->second.advertised) return;
  drop(serial,
       "it did not advertise within " + std::to_string(kAdvertiseDeadline.count()) + " seconds");
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
  it->second.connection->close();
  phones_.erase(it);
  if (!id) return;
  for (const auto& central : liveCentrals()) central->phoneLeft(*id);
}

void Radio::send(Phone& phone, const radio::RadioMessage& message) {
  // A send that fails never reports from here: a phone that left is dropped
  // once what it sent has been handled, other failures on a later turn.
  if (auto sent = phone.connection->send(message); !sent) {
    base::printError("radio: a message for " + nameOf(phone) + " " + sent.error().message);
  }
}

void Radio::onMessage(uint64_t serial, radio::PhoneMessage message) {
  auto it = phones_.find(serial);
  if (it == phones_.end()) return;
  Phone& phone = it->second;
  if (auto* advertise = std::get_if<radio::Advertise>(&message)) {
    onAdvertise(phone, std::move(*advertise));
    return;
  }
  if (!phone.advertised) {
    drop(serial, "the first line must be an advertise");
    return;
  }
  if (auto* notify = std::get_if<radio::Notify>(&message)) {
    onNotify(phone, std::move(*notify));
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
  phone.advertiseTimer.reset();
  const radio::Advertise current = *phone.advertised;
  for (const auto& central : liveCentrals()) {
    central->phoneAdvertised(current, previous ? &*previous : nullptr);
  }
}

// Only subscribed centrals hear a value, on this turn of the loop. A
// central's reaction may end subscriptions (or drop phones), so each
// delivery looks the subscription up again.
void Radio::onNotify(const Phone& phone, radio::Notify notify) {
  const UUID id = phone.advertised->id;
  const CharacteristicKey key{notify.service, notify.characteristic};
  auto it = phone.subscribers.find(key);
  if (it == phone.subscribers.end()) return;  // nobody listens: the value goes nowhere
  const std::vector<CentralId> subscribers(it->second.begin(), it->second.end());
  for (size_t i = 0; i < subscribers.size(); ++i) {
    auto found = centrals_.find(subscribers[i]);
    auto central = found == centrals_.end() ? nullptr : found->second.lock();
    if (!central || !subscribes(subscribers[i], id, key)) continue;
    if (i + 1 == subscribers.size()) {
      central->phoneNotified(id, std::move(notify));  // the last one takes the value
      return;
    }
    central->phoneNotified(id, notify);
  }
}

void Radio::onPhoneDisconnect(Phone& phone) {
  if (phone.connected.empty()) return;
  phone.connected.clear();
  phone.subscribers.clear();
  const UUID id = phone.advertised->id;
  for (const auto& central : liveCentrals()) central->phoneEndedConnection(id);
}

}  // namespace ble
