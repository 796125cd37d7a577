// What the radio tells the centrals that sit on it.
//
// The radio is the backend; each central manager implements this interface
// and attaches to the radio with it, the way a backend sits behind an
// adapter. Calls come from the run loop as the radio learns things from its
// socket. The radio owns the subscriptions: a notification reaches only the
// centrals subscribed to its characteristic, once each.
#pragma once

#include "platform/ble/radio_protocol.h"
#include "platform/ble/uuid.h"

namespace ble {

class RadioEvents {
 public:
  virtual ~RadioEvents() = default;
  // The socket came or went, or the adapter's state changed.
  virtual void radioStateChanged() = 0;
  // A phone advertised; `previous` is what it advertised before on this
  // connection (nullptr the first time).
  virtual void phoneAdvertised(const radio::Advertise& advertise,
                               const radio::Advertise* previous) = 0;
  // The phone ended its connections but stays in range.
  virtual void phoneEndedConnection(const UUID& phone) = 0;
  // The phone went out of range.
  virtual void phoneLeft(const UUID& phone) = 0;
  // A value (or a failed update) of a characteristic this central subscribes to.
  virtual void phoneNotified(const UUID& phone, radio::Notify notify) = 0;
};

}  // namespace ble
