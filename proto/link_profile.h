// The Bluetooth LE profile shared with the phone companion application.
//
// The desktop is the central, the phone the peripheral. The phone advertises
// one service holding one characteristic; the desktop subscribes to it and the
// phone notifies on it, and the desktop writes its answers to the same
// characteristic with response. There is no framing: every characteristic
// value, either way, is exactly one serialized tovelin::Packet, parsed by
// itself.
//
// Header-only and free of other dependencies, so that the link and the phone
// simulator share it without reaching into each other.
#pragma once

#include <string_view>

namespace tovelin {

// Upper case, 8-4-4-4-12; the Bluetooth layer makes its UUID objects from them.
inline constexpr std::string_view kLinkServiceUUID = "E8BCA012-F851-449B-B759-E4596B11384B";
inline constexpr std::string_view kLinkCharacteristicUUID = "54AA3DEB-4BB3-4251-BC28-DF790499DF37";

}  // namespace tovelin
