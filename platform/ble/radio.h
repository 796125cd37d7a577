// The virtual radio: the socket the central listens on for phones.
//
// One per process. Each phone is one client connection of a Unix-domain
// stream socket (a PhoneConnection, which speaks the line protocol of
// radio_protocol.h) and is in range while that connection is open. The radio
// is the registry of phones: what each advertised, which centrals are
// connected to it and subscribed to which characteristics, and the limit on
// phones in range. It tells the attached centrals what happens through
// RadioEvents.
//
// Anything malformed from a phone costs that phone its connection, with one
// line on standard error; buffers and queues are bounded and sockets never
// block. The adapter state stands in for the computer's Bluetooth switch.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/base/result.h"
#include "platform/base/run_loop.h"
#include "platform/ble/error.h"
#include "platform/ble/phone_connection.h"
#include "platform/ble/radio_events.h"
#include "platform/ble/radio_protocol.h"
#include "platform/ble/uuid.h"

namespace ble {

class Radio {
 public:
  static constexpr size_t kMaxPhones = 64;
  static constexpr size_t kMaxLine = 64 * 1024;
  // How long the radio stops accepting when the process is out of descriptors.
  static constexpr std::chrono::milliseconds kAcceptPause{250};
  // How long a new connection may take to advertise before it is closed, so
  // that silent connections cannot keep the phones' places.
  static constexpr std::chrono::seconds kAdvertiseDeadline{5};

  static Radio& shared();
  Radio(const Radio&) = delete;
  Radio& operator=(const Radio&) = delete;

  // The computer's Bluetooth switch; starts poweredOn. Every change reaches
  // each live central through centralManagerDidUpdateState.
  void setAdapterState(ManagerState state);
  // The switch as a person turns it: refused, with the reason start() gave,
  // while there is no radio socket, since centrals then see unsupported
  // whatever the switch says.
  base::Result<void> switchAdapter(ManagerState state);
  // "on", "off", "unauthorized", "unsupported", "resetting", "unknown".
  static std::optional<ManagerState> parseState(std::string_view word);

  // Listens at resolveRadioPath() unless already listening. On failure the
  // reason is printed on standard error and centrals see `unsupported`.
  bool start();
  // Drops every phone, closes the socket and removes its file when it is
  // still ours. Safe to call again, and at exit while the run loop exists
  // (at the end of main or from an atexit handler registered after start).
  void stop();
  // At the end of the process: closes the socket and removes its file (only
  // our own), telling no central and no phone; their connections end with
  // the process.
  void shutDown();
  // stop() then start(), with the path resolved anew: tests set
  // base::platformOptions().radioPath to a temporary folder and call this.
  bool restart();
  [[nodiscard]] bool isListening() const { return listenFd_ >= 0; }
  // The path in use (or last tried).
  [[nodiscard]] const std::string& socketPath() const { return path_; }
  // What centrals see: the adapter's state, or unsupported without a socket.
  [[nodiscard]] ManagerState centralState() const;

  // What a phone in range advertised; nullptr when it is not in range.
  [[nodiscard]] const radio::Advertise* phone(const UUID& id) const;
  [[nodiscard]] std::vector<UUID> phonesInRange() const;

  // What the centrals do, each under the id attach() gave it. The phone
  // hears "connected" as the first central connects, "disconnected" as the
  // last one leaves, and "subscribe" as the first subscriber comes or the
  // last one goes.
  using CentralId = uint64_t;
  using CharacteristicKey = std::pair<UUID, UUID>;  // service, characteristic
  CentralId attach(std::weak_ptr<RadioEvents> central);
  void detach(CentralId central);
  void connect(CentralId central, const UUID& phone);
  void disconnect(CentralId central, const UUID& phone);
  void subscribe(CentralId central, const UUID& phone, const CharacteristicKey& key, bool enabled);
  // Sent to a connected phone; otherwise it goes nowhere.
  void write(const UUID& phone, const CharacteristicKey& key, std::vector<uint8_t> value,
             bool withResponse);

  // Stops reading the messages of every phone, and of phones that come,
  // until called with false (the program's output is not being taken, and
  // phones' messages are what fill it). Nothing is lost: messages wait in
  // the phones' sockets.
  void pauseReading(bool paused);

 private:
  struct Phone {
    uint64_t serial = 0;
    std::unique_ptr<PhoneConnection> connection;
    base::Handle advertiseTimer;  // until the first advertise
    std::optional<radio::Advertise> advertised;
    std::set<uint64_t> connected;  // central ids
    std::map<CharacteristicKey, std::set<uint64_t>> subscribers;
  };

  Radio() = default;

  void watchListener();
  void acceptPhones();
  void closeListener();
  void pauseAccepting(int error);
  void releaseClosedPhones();
  void armAdvertiseDeadline(Phone& phone);
  void checkAdvertised(uint64_t serial);
  void onMessage(uint64_t serial, radio::PhoneMessage message);
  void onAdvertise(Phone& phone, radio::Advertise advertise);
  void onNotify(const Phone& phone, radio::Notify notify);
  void onPhoneDisconnect(Phone& phone);
  void drop(uint64_t serial, std::string_view reason);
  void send(Phone& phone, const radio::RadioMessage& message);
  [[nodiscard]] bool subscribes(CentralId central, const UUID& phone,
                                const CharacteristicKey& key) const;
  Phone* find(const UUID& id);
  [[nodiscard]] const Phone* find(const UUID& id) const;
  [[nodiscard]] std::string nameOf(const Phone& phone) const;
  std::vector<std::shared_ptr<RadioEvents>> liveCentrals();

  ManagerState adapter_ = ManagerState::poweredOn;
  std::string path_;
  std::string startFailure_;  // why the last start() found no socket
  int listenFd_ = -1;
  std::pair<dev_t, ino_t> socketFile_{};  // so stop() removes only our own socket file
  base::Handle listenWatch_;
  base::Handle resumeTimer_;  // watches the listener again after running out of descriptors
  bool acceptPaused_ = false;
  bool readingPaused_ = false;
  uint64_t nextSerial_ = 1;
  std::map<uint64_t, Phone> phones_;  // by connection serial
  uint64_t nextCentral_ = 1;
  std::map<CentralId, std::weak_ptr<RadioEvents>> centrals_;
};

}  // namespace ble
