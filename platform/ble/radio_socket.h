// Where the virtual radio lives on disk, and the sockets at both ends.
//
// The radio is a Unix-domain stream socket in a folder only its user can
// enter. These functions find the path (platform option, environment, then
// the runtime folder), check or create the folder, and open the listening
// socket or a phone's connection. Failures come back as one readable line.
#pragma once

#include <string>

#include "platform/base/result.h"

namespace ble {

// --radio PATH, else $TOVELIN_RADIO, else $XDG_RUNTIME_DIR/tovelin/radio.sock,
// else /tmp/tovelin-<uid>/radio.sock.
std::string resolveRadioPath();

// Creates the socket's folder (mode 0700) when it is missing, refuses one
// owned by another user or open to others, replaces a socket file left by an
// earlier run, refuses anything else at the path or a socket another program
// still listens on, then binds (mode 0600) and listens. Non-blocking.
base::Result<int> listenOnRadio(const std::string& path);

// Connects to the radio at `path` (blocking connect, then non-blocking).
base::Result<int> connectToRadio(const std::string& path);

}  // namespace ble
