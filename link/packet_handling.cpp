// The value-update callback of the link: every notified value is one packet.

#include <algorithm>

#include "link/handshake.h"
#include "link/view_controller.h"
#include "platform/base/host.h"
#include "platform/base/log.h"
#include "platform/base/user_defaults.h"
#include "proto/packet_codec.h"
#include "proto/tovelin.pb.h"
#include "render/metal_view.h"

namespace tovelin {
namespace {

std::string json(const google::protobuf::Message& message) {
  return jsonString(message).value_or("");
}

}  // namespace

void ViewController::peripheralDidUpdateValueForCharacteristic(
    const std::shared_ptr<ble::Peripheral>& from,
    const std::shared_ptr<ble::Characteristic>& characteristic,
    const std::optional<ble::Error>& error) {
  if (error) {
    base::printLine("Error updating value for characteristic " +
                    characteristic->uuid().description() + ": " + error->localizedDescription());
    return;
  }
  const auto& value = characteristic->value();
  if (!value) return;
  const std::optional<Packet> packet = parsePacket(*value);
  if (!packet) return;

  switch (packet->packet_oneof_case()) {
    case Packet::PACKET_ONEOF_NOT_SET:
    case Packet::kAuthResponse:
      base::printLine("Unknown received " + json(*packet));
      break;
    case Packet::kAccelerationUpdate:
      if (metalView_) {
        const auto& update = packet->acceleration_update();
        metalView_->applyAcceleration(update.x(), update.y(), update.z());
      }
      break;
    case Packet::kAuthRequest:
      handleAuthenticationRequest(from, characteristic, packet->auth_request());
      break;
    case Packet::kAuthInvalid:
      base::printLine("Invalid pincode " + json(packet->auth_invalid()));
      base::UserDefaults::standard().removeObjectForKey(kPincodeKey);
      dropLink(Refusal::pinRefused, from, characteristic);
      break;
  }
}

void ViewController::handleAuthenticationRequest(
    const std::shared_ptr<ble::Peripheral>& from,
    const std::shared_ptr<ble::Characteristic>& characteristic,
    const AuthenticationRequest& request) {
  auto& defaults = base::UserDefaults::standard();
  std::optional<std::string> pin = defaults.stringForKey(kPincodeKey);
  if (!pin) {
    pin = askForPincode();
    if (!pin) return;  // cancelled: the request stays unanswered
  }

  base::printLine("Packet AUTH received " + json(request));

  if (request.version() >= kVersionLimit) {
    dropLink(Refusal::wrongVersion, from, characteristic);
    return;
  }

  const uint32_t answer = digest(request.challenge());
  defaults.setValueForKey(*pin, kPincodeKey);

  Packet response;
  auto* payload = response.mutable_auth_response();
  payload->set_digest(answer);
  payload->set_pin_code(*pin);
  payload->set_device_name(deviceName(base::Host::current().localizedName()));

  base::printLine("Sending response " + json(response));
  from->writeValue(serializePacket(response), characteristic,
                   ble::CharacteristicWriteType::withResponse);

  if (metalView_) {
    metalView_->setConstantsScale(1.0F);
    metalView_->resumeRendering();
  }
}

void ViewController::dropLink(Refusal refusal, const std::shared_ptr<ble::Peripheral>& from,
                              const std::shared_ptr<ble::Characteristic>& characteristic) {
  if (refusal == Refusal::wrongVersion) {
    showAlert("Incorrect version",
              "The phone companion application has an incompatible version. Please update the "
              "desktop application");
  } else {
    showAlert("Incorrect Pincode", "The pincode introduced is incorrect");
  }
  from->setNotifyValue(false, characteristic);
  centralManager_->cancelPeripheralConnection(from);
  if (peripheral_) {
    peripheral_->setDelegate(nullptr);
    peripheral_.reset();
  }
  if (refusal == Refusal::wrongVersion) {
    std::erase_if(discoveredPeripherals_,
                  [&](const std::shared_ptr<ble::Peripheral>& p) { return p == from; });
  }
  if (host_) host_->updateDeviceList(discoveredPeripherals_, true);
}

}  // namespace tovelin
