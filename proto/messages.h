// The wire messages under the names the rest of the system knows them by.
//
// protoc generates tovelin::Packet and its payloads from proto/tovelin.proto;
// these aliases carry the package-prefixed names used across the application.
#pragma once

#include "proto/tovelin.pb.h"

namespace tovelin {

using Tovelin_AccelerationUpdate = AccelerationUpdate;
using Tovelin_AuthenticationRequest = AuthenticationRequest;
using Tovelin_AuthenticationResponse = AuthenticationResponse;
using Tovelin_InvalidAuthentication = InvalidAuthentication;
using Tovelin_Packet = Packet;

}  // namespace tovelin
