#include "crc/crc_calculator.h"

#include "crc/config_helper.h"
#include "crc/data_helper.h"

namespace tovelin {
namespace {

uint8_t reflectRegister(uint8_t r) { return DataHelper::reflect8(r); }
uint16_t reflectRegister(uint16_t r) { return DataHelper::reflect16(r); }
uint32_t reflectRegister(uint32_t r) { return DataHelper::reflect32(r); }

// The engine of width W = 8 * sizeof(T). Arithmetic runs in uint32_t and is
// cut back to W bits after every step, so bits shifted out above W - 1 vanish.
template <typename T>
T engine(CrcBytes bytes, T initial, T polynomial, T finalXor, bool reflectInput,
         bool reflectOutput) {
  constexpr unsigned kWidth = 8U * sizeof(T);
  constexpr uint32_t kTopBit = uint32_t{1} << (kWidth - 1U);
  constexpr uint32_t kMask = kWidth == 32U ? 0xFFFFFFFFU : (uint32_t{1} << kWidth) - 1U;
  uint32_t r = uint32_t{initial};
  for (uint8_t b : bytes) {
    // Each byte is mirrored on its own, whatever the width.
    if (reflectInput) b = DataHelper::reflect8(b);
    r ^= uint32_t{b} << (kWidth - 8U);
    for (int bit = 0; bit < 8; ++bit) {
      const bool top = (r & kTopBit) != 0;
      r = (r << 1U) & kMask;
      if (top) r ^= uint32_t{polynomial};
    }
  }
  auto result = static_cast<T>(r);
  if (reflectOutput) result = reflectRegister(result);
  return static_cast<T>(result ^ finalXor);
}

CrcBytes asBytes(CrcBuffer buffer) {
  // Reading std::byte storage through unsigned char is always allowed; the
  // engine reads the buffer in place rather than copying it.
  return {reinterpret_cast<const uint8_t*>(buffer.data()), buffer.size()};
}

}  // namespace

uint8_t CrcCalculator::crc8(CrcBytes bytes, uint8_t initial, uint8_t polynomial, uint8_t finalXor,
                            bool reflectInput, bool reflectOutput) {
  return engine<uint8_t>(bytes, initial, polynomial, finalXor, reflectInput, reflectOutput);
}

uint8_t CrcCalculator::crc8(CrcBuffer buffer, uint8_t initial, uint8_t polynomial, uint8_t finalXor,
                            bool reflectInput, bool reflectOutput) {
  return crc8(asBytes(buffer), initial, polynomial, finalXor, reflectInput, reflectOutput);
}

uint16_t CrcCalculator::crc16(CrcBytes bytes, uint16_t initial, uint16_t polynomial,
                              uint16_t finalXor, bool reflectInput, bool reflectOutput) {
  return engine<uint16_t>(bytes, initial, polynomial, finalXor, reflectInput, reflectOutput);
}

uint16_t CrcCalculator::crc16(CrcBuffer buffer, uint16_t initial, uint16_t polynomial,
                              uint16_t finalXor, bool reflectInput, bool reflectOutput) {
  return crc16(asBytes(buffer), initial, polynomial, finalXor, reflectInput, reflectOutput);
}

uint32_t CrcCalculator::crc32(CrcBytes bytes, uint32_t initial, uint32_t polynomial,
                              uint32_t finalXor, bool reflectInput, bool reflectOutput) {
  return engine<uint32_t>(bytes, initial, polynomial, finalXor, reflectInput, reflectOutput);
}

uint32_t CrcCalculator::crc32(CrcBuffer buffer, uint32_t initial, uint32_t polynomial,
                              uint32_t finalXor, bool reflectInput, bool reflectOutput) {
  return crc32(asBytes(buffer), initial, polynomial, finalXor, reflectInput, reflectOutput);
}

uint8_t CrcCalculator::crc8(CrcBytes bytes, CRC8_TYPE type) {
  const auto p = ConfigHelper::crc8Parameters(type);
  return crc8(bytes, p.initial, p.polynomial, p.finalXor, p.reflectInput, p.reflectOutput);
}

uint8_t CrcCalculator::crc8(CrcBuffer buffer, CRC8_TYPE type) {
  return crc8(asBytes(buffer), type);
}

uint16_t CrcCalculator::crc16(CrcBytes bytes, CRC16_TYPE type) {
  const auto p = ConfigHelper::crc16Parameters(type);
  return crc16(bytes, p.initial, p.polynomial, p.finalXor, p.reflectInput, p.reflectOutput);
}

uint16_t CrcCalculator::crc16(CrcBuffer buffer, CRC16_TYPE type) {
  return crc16(asBytes(buffer), type);
}

uint32_t CrcCalculator::crc32(CrcBytes bytes, CRC32_TYPE type) {
  const auto p = ConfigHelper::crc32Parameters(type);
  return crc32(bytes, p.initial, p.polynomial, p.finalXor, p.reflectInput, p.reflectOutput);
}

uint32_t CrcCalculator::crc32(CrcBuffer buffer, CRC32_TYPE type) {
  return crc32(asBytes(buffer), type);
}

}  // namespace tovelin
