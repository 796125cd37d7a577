// The parameter set of each named CRC catalogue variant.
#pragma once

#include "crc/crc_parameters.h"
#include "crc/crc_types.h"

namespace tovelin {

class ConfigHelper {
 public:
  ConfigHelper() = delete;

  static Crc8Parameters crc8Parameters(CRC8_TYPE type);
  static Crc16Parameters crc16Parameters(CRC16_TYPE type);
  static Crc32Parameters crc32Parameters(CRC32_TYPE type);
};

}  // namespace tovelin
