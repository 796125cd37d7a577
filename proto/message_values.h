// The wire messages as plain values: equality, hashing and debug text.
//
// Equality is field by field in declaration order: doubles by IEEE value
// (-0.0 equals 0.0, a NaN equals nothing, not even itself), integers exactly,
// texts under Unicode canonical equivalence, and last the message's unknown
// fields as bytes. A Packet's oneof is equal only to the same case with an
// equal payload; an unset oneof equals only another unset one.
//
// Hashing is consistent with that equality: every field that is not at its
// default feeds its field number and value, a set oneof case feeds its number
// and then its payload, and the unknown bytes come last.
//
// The debug text names the type only, so it never shows a PIN.
#pragma once

#include <google/protobuf/message.h>

#include <cstddef>
#include <functional>
#include <string>

#include "proto/tovelin.pb.h"

namespace tovelin {

bool operator==(const AccelerationUpdate& a, const AccelerationUpdate& b);
bool operator==(const AuthenticationRequest& a, const AuthenticationRequest& b);
bool operator==(const AuthenticationResponse& a, const AuthenticationResponse& b);
bool operator==(const InvalidAuthentication& a, const InvalidAuthentication& b);
bool operator==(const Packet& a, const Packet& b);

// Comparison through the generic message interface: false when the two are of
// different message types (even if both hold only defaults), else operator==.
bool isEqualTo(const google::protobuf::Message& a, const google::protobuf::Message& b);

// Hash of a message with the hasher seeded by `seed`; equal messages hash alike.
std::size_t hashValue(const AccelerationUpdate& message, std::size_t seed = 0);
std::size_t hashValue(const AuthenticationRequest& message, std::size_t seed = 0);
std::size_t hashValue(const AuthenticationResponse& message, std::size_t seed = 0);
std::size_t hashValue(const InvalidAuthentication& message, std::size_t seed = 0);
std::size_t hashValue(const Packet& message, std::size_t seed = 0);

// "Tovelin_App.Tovelin_Packet" and the like: the qualified type name, no field.
std::string debugDescription(const google::protobuf::Message& message);

}  // namespace tovelin

template <>
struct std::hash<tovelin::AccelerationUpdate> {
  std::size_t operator()(const tovelin::AccelerationUpdate& m) const {
    return tovelin::hashValue(m);
  }
};
template <>
struct std::hash<tovelin::AuthenticationRequest> {
  std::size_t operator()(const tovelin::AuthenticationRequest& m) const {
    return tovelin::hashValue(m);
  }
};
template <>
struct std::hash<tovelin::AuthenticationResponse> {
  std::size_t operator()(const tovelin::AuthenticationResponse& m) const {
    return tovelin::hashValue(m);
  }
};
template <>
struct std::hash<tovelin::InvalidAuthentication> {
  std::size_t operator()(const tovelin::InvalidAuthentication& m) const {
    return tovelin::hashValue(m);
  }
};
template <>
struct std::hash<tovelin::Packet> {
  std::size_t operator()(const tovelin::Packet& m) const { return tovelin::hashValue(m); }
};
