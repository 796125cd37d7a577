// The Bluetooth LE profile shared with the phone companion application.
//
// The desktop is the central, the phone the peripheral. The phone advertises
// one service holding one characteristic; the desktop subscribes to it and the
// phone notifies on it, and the desktop writes its answers to the same
// characteristic with response. There is no framing: every characteristic
// value, either way, is exactly one serialized tovelin::Packet, parsed by
// itself.
//
// Header-only and free of other dependencies, so that the link, the phone
// simulator and tests can share it.
#pragma once

#include <string_view>

namespace tovelin {

// Upper case, 8-4-4-4-12; the Bluetooth layer makes its UUID objects from them.
inline constexpr std::string_view kLinkServiceUUID = "E8BCA012-F851-449B-B759-E4596B11384B";
inline constexpr std::string_view kLinkCharacteristicUUID = "54AA3DEB-4BB3-4251-BC28-DF790499DF37";

// The platform's characteristic write types, by their values.
enum class LinkWriteType : int { withResponse = 0, withoutResponse = 1 };

// The desktop's answers are written with response.
inline constexpr LinkWriteType kLinkResponseWriteType = LinkWriteType::withResponse;

// The payloads of the packet's oneof, valued as its field numbers (and as the
// generated Packet::PacketOneofCase), `none` for a packet with no case.
enum class LinkPayload : int {
  none = 0,
  accelerationUpdate = 1,
  authRequest = 2,
  authResponse = 3,
  authInvalid = 4,
};

// Who sends a payload: the phone by notification, the desktop by a write.
enum class LinkSender { phone, desktop, either };

// Maps a Packet::PacketOneofCase (or any int) to its payload; unknown values
// count as no case.
constexpr LinkPayload payloadOf(int oneofCase) {
  switch (oneofCase) {
    case 1:
      return LinkPayload::accelerationUpdate;
    case 2:
      return LinkPayload::authRequest;
    case 3:
      return LinkPayload::authResponse;
    case 4:
      return LinkPayload::authInvalid;
    default:
      return LinkPayload::none;
  }
}

constexpr LinkSender senderOf(LinkPayload payload) {
  switch (payload) {
    case LinkPayload::accelerationUpdate:
    case LinkPayload::authRequest:
    case LinkPayload::authInvalid:
      return LinkSender::phone;
    case LinkPayload::authResponse:
      return LinkSender::desktop;
    case LinkPayload::none:
      break;
  }
  return LinkSender::either;
}

}  // namespace tovelin
