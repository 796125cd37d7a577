// The named CRC catalogue variants, one enumeration per width.
//
// The cases follow the published CRC catalogue (and, for `sata`, the Serial
// ATA frame CRC); their declaration order is part of their meaning, since a
// case hashes by its 0-based ordinal. Some names occur in more than one
// enumeration and stand for different variants there (`defaultCrc` is
// CRC-8/SMBUS but CRC-32/ISO-HDLC).
#pragma once

#include <array>
#include <cstddef>
#include <functional>

namespace tovelin {

enum class CRC8_TYPE { defaultCrc, cdma2000, darc, dvbS2, ebu, iCode, itu, maxim, rohc, wcdma };

enum class CRC16_TYPE {
  ccittFalse,
  arc,
  augCcitt,
  buypass,
  cdma2000,
  dds110,
  dectR,
  dectX,
  dnp,
  en13757,
  genibus,
  maxim,
  mcrf4xx,
  riello,
  t10dif,
  teledisk,
  tms37157,
  usb,
  a,
  kermit,
  modbus,
  x25,
  xmodem,
};

enum class CRC32_TYPE { defaultCrc, bzip2, c, d, mpeg2, posix, sata, q, jamcrc, xfer };

// The 0-based position of a case in its declaration.
template <typename E>
constexpr std::size_t ordinal(E type) {
  return static_cast<std::size_t>(type);
}

// Every case of each enumeration, in declaration order.
template <typename E, std::size_t N>
constexpr std::array<E, N> allCases() {
  std::array<E, N> cases{};
  for (std::size_t i = 0; i < N; ++i) cases[i] = static_cast<E>(i);
  return cases;
}
inline constexpr auto kAllCrc8Types = allCases<CRC8_TYPE, 10>();
inline constexpr auto kAllCrc16Types = allCases<CRC16_TYPE, 23>();
inline constexpr auto kAllCrc32Types = allCases<CRC32_TYPE, 10>();

}  // namespace tovelin

// Hashing by ordinal alone, so equal cases always hash alike.
template <>
struct std::hash<tovelin::CRC8_TYPE> {
  std::size_t operator()(tovelin::CRC8_TYPE t) const { return tovelin::ordinal(t); }
};
template <>
struct std::hash<tovelin::CRC16_TYPE> {
  std::size_t operator()(tovelin::CRC16_TYPE t) const { return tovelin::ordinal(t); }
};
template <>
struct std::hash<tovelin::CRC32_TYPE> {
  std::size_t operator()(tovelin::CRC32_TYPE t) const { return tovelin::ordinal(t); }
};
