// Cyclic redundancy checks of 8, 16 and 32 bits over a sequence of bytes.
//
// Stateless: every operation is a pure function of its arguments. The engines
// are bit-serial (eight conditional shift-and-XOR steps per byte, no tables),
// which is plenty for the one caller that matters, the 40-byte handshake digest.
//
// Each width comes in four forms: explicit parameters or a catalogue variant,
// over a byte array (`std::span<const uint8_t>`, which a std::vector<uint8_t>
// converts to) or over a byte buffer (`std::span<const std::byte>`, the view
// of raw storage such as a received value). Both inputs give the same result
// for the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "crc/crc_parameters.h"
#include "crc/crc_types.h"

namespace tovelin {

using CrcBytes = std::span<const uint8_t>;     // the byte-array form
using CrcBuffer = std::span<const std::byte>;  // the byte-buffer form

class CrcCalculator {
 public:
  CrcCalculator() = delete;

  // Explicit parameters in catalogue order: initial register, polynomial
  // (normal form, top term implied), final XOR, reflect each input byte,
  // reflect the register before the final XOR.
  static uint8_t crc8(CrcBytes bytes, uint8_t initial, uint8_t polynomial, uint8_t finalXor,
                      bool reflectInput, bool reflectOutput);
  static uint8_t crc8(CrcBuffer buffer, uint8_t initial, uint8_t polynomial, uint8_t finalXor,
                      bool reflectInput, bool reflectOutput);
  static uint16_t crc16(CrcBytes bytes, uint16_t initial, uint16_t polynomial, uint16_t finalXor,
                        bool reflectInput, bool reflectOutput);
  static uint16_t crc16(CrcBuffer buffer, uint16_t initial, uint16_t polynomial, uint16_t finalXor,
                        bool reflectInput, bool reflectOutput);
  static uint32_t crc32(CrcBytes bytes, uint32_t initial, uint32_t polynomial, uint32_t finalXor,
                        bool reflectInput, bool reflectOutput);
  static uint32_t crc32(CrcBuffer buffer, uint32_t initial, uint32_t polynomial, uint32_t finalXor,
                        bool reflectInput, bool reflectOutput);

  // A named catalogue variant: its parameters from ConfigHelper, then the above.
  static uint8_t crc8(CrcBytes bytes, CRC8_TYPE type);
  static uint8_t crc8(CrcBuffer buffer, CRC8_TYPE type);
  static uint16_t crc16(CrcBytes bytes, CRC16_TYPE type);
  static uint16_t crc16(CrcBuffer buffer, CRC16_TYPE type);
  static uint32_t crc32(CrcBytes bytes, CRC32_TYPE type);
  static uint32_t crc32(CrcBuffer buffer, CRC32_TYPE type);
};

}  // namespace tovelin
