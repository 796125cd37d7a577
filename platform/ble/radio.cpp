#include "platform/ble/radio.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/log.h"
#include "platform/ble/radio_socket.h"

namespace ble {

Radio& Radio::shared() {
  // Never destroyed: central managers held by static objects may outlive
  // any ordering of static destructors.
  static Radio* radio = new Radio();
  return *radio;
}

std::optional<ManagerState> Radio::parseState(std::string_view word) {
  if (word == "on") return ManagerState::poweredOn;
  if (word == "off") return ManagerState::poweredOff;
  if (word == "unauthorized") return ManagerState::unauthorized;
  if (word == "unsupported") return ManagerState::unsupported;
  if (word == "resetting") return ManagerState::resetting;
  if (word == "unknown") return ManagerState::unknown;
  return std::nullopt;
}

ManagerState Radio::centralState() const {
  return isListening() ? adapter_ : ManagerState::unsupported;
}

void Radio::setAdapterState(ManagerState state) {
  if (state == adapter_) return;
  adapter_ = state;
  for (const auto& central : liveCentrals()) central->radioStateChanged();
}

base::Result<void> Radio::switchAdapter(ManagerState state) {
  if (!isListening()) {
    return base::fail("Bluetooth is unsupported here: " +
                      (startFailure_.empty() ? "the radio is not set up" : startFailure_));
  }
  setAdapterState(state);
  return base::ok();
}

bool Radio::start() {
  if (isListening()) return true;
  path_ = resolveRadioPath();
  auto result = listenOnRadio(path_);
  if (!result) {
    startFailure_ = result.error().message;
    base::printError("radio: " + startFailure_ + "; Bluetooth is unsupported");
  } else {
    startFailure_.clear();
    listenFd_ = *result;
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0) socketFile_ = {st.st_dev, st.st_ino};
    acceptPaused_ = false;
    watchListener();
  }
  for (const auto& central : liveCentrals()) central->radioStateChanged();
  return isListening();
}

void Radio::stop() {
  while (!phones_.empty()) drop(phones_.begin()->first, {});
  closeListener();
  for (const auto& central : liveCentrals()) central->radioStateChanged();
}

void Radio::shutDown() { closeListener(); }

void Radio::closeListener() {
  listenWatch_.reset();
  resumeTimer_.reset();
  if (listenFd_ < 0) return;
  ::close(listenFd_);
  listenFd_ = -1;
  // Only our own socket file: another program may have taken the path over.
  struct stat st {};
  if (::lstat(path_.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) &&
      std::pair{st.st_dev, st.st_ino} == socketFile_) {
    ::unlink(path_.c_str());
  }
  socketFile_ = {};
}

bool Radio::restart() {
  stop();
  return start();
}

const radio::Advertise* Radio::phone(const UUID& id) const {
  const Phone* found = find(id);
  return found == nullptr ? nullptr : &*found->advertised;
}

std::vector<UUID> Radio::phonesInRange() const {
  std::vector<UUID> ids;
  for (const auto& [serial, phone] : phones_) {
    if (phone.advertised) ids.push_back(phone.advertised->id);
  }
  return ids;
}

Radio::Phone* Radio::find(const UUID& id) {
  for (auto& [serial, phone] : phones_) {
    if (phone.advertised && phone.advertised->id == id) return &phone;
  }
  return nullptr;
}

const Radio::Phone* Radio::find(const UUID& id) const { return const_cast<Radio*>(this)->find(id); }

std::vector<std::shared_ptr<RadioEvents>> Radio::liveCentrals() {
  std::vector<std::shared_ptr<RadioEvents>> live;
  for (const auto& [id, weak] : centrals_) {
    if (auto central = weak.lock()) live.push_back(std::move(central));
  }
  return live;
}

Radio::CentralId Radio::attach(std::weak_ptr<RadioEvents> central) {
  const CentralId id = nextCentral_++;
  centrals_[id] = std::move(central);
  return id;
}

void Radio::detach(CentralId central) {
  centrals_.erase(central);
  for (const UUID& id : phonesInRange()) disconnect(central, id);
}

void Radio::connect(CentralId central, const UUID& id) {
  Phone* phone = find(id);
  if (phone == nullptr) return;
  const bool first = phone->connected.empty();
  phone->connected.insert(central);
  if (first) send(*phone, radio::Connected{});
}

void Radio::disconnect(CentralId central, const UUID& id) {
  Phone* phone = find(id);
  if (phone == nullptr || phone->connected.erase(central) == 0) return;
  for (auto it = phone->subscribers.begin(); it != phone->subscribers.end();) {
    it->second.erase(central);
    // The last connection's end clears every subscription on the phone's
    // side too, so only the remaining centrals' changes are sent.
    if (it->second.empty() && !phone->connected.empty()) {
      send(*phone, radio::Subscribe{it->first.first, it->first.second, false});
    }
    it = it->second.empty() ? phone->subscribers.erase(it) : std::next(it);
  }
  if (phone->connected.empty()) send(*phone, radio::Disconnected{});
}

void Radio::subscribe(CentralId central, const UUID& id, const CharacteristicKey& key,
                      bool enabled) {
  Phone* phone = find(id);
  if (phone == nullptr || !phone->connected.contains(central)) return;
  auto& subscribers = phone->subscribers[key];
  const bool wasSubscribed = !subscribers.empty();
  if (enabled) {
    subscribers.insert(central);
  } else {
    subscribers.erase(central);
  }
  const bool isSubscribedNow = !subscribers.empty();
  if (!isSubscribedNow) phone->subscribers.erase(key);
  if (wasSubscribed != isSubscribedNow) {
    send(*phone, radio::Subscribe{key.first, key.second, isSubscribedNow});
  }
}

bool Radio::subscribes(CentralId central, const UUID& id, const CharacteristicKey& key) const {
  const Phone* phone = find(id);
  if (phone == nullptr) return false;
  auto it = phone->subscribers.find(key);
  return it != phone->subscribers.end() && it->second.contains(central);
}

void Radio::write(const UUID& id, const CharacteristicKey& key, std::vector<uint8_t> value,
                  bool withResponse) {
  Phone* phone = find(id);
  if (phone == nullptr || phone->connected.empty()) return;
  send(*phone, radio::Write{key.first, key.second, std::move(value), withResponse});
}

void Radio::pauseReading(bool paused) {
  if (paused == readingPaused_) return;
  readingPaused_ = paused;
  for (auto& [serial, phone] : phones_) phone.connection->pauseReading(paused);
}

}  // namespace ble
