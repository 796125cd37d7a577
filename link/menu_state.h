// The three states the status menu is built in. The value is held in eight
// bits; the menu builder treats any value other than searching and connected
// as bluetoothUnavailable, so a raw value read from elsewhere is safe to pass.
#pragma once

#include <cstdint>

namespace tovelin {

enum class MenuState : uint8_t {
  bluetoothUnavailable = 0,
  searching = 1,
  connected = 2,
};

}  // namespace tovelin
