#include "link/handshake.h"

#include <unicode/brkiter.h>
#include <unicode/unistr.h>

#include <memory>

#include "crc/crc_calculator.h"

namespace tovelin {
namespace {

constexpr const char* kSaltText = "9F3B27C4-61DA-4E8F-A2C5-7B0D94E1F6A3";
constexpr int32_t kDeviceNameLength = 20;

}  // namespace

const std::vector<uint8_t>& digestSalt() {
  static const std::vector<uint8_t> salt = [] {
    const std::string text(kSaltText);
    return std::vector<uint8_t>(text.begin(), text.end());
  }();
  return salt;
}

std::vector<uint8_t> digestInput(uint32_t challenge) {
  std::vector<uint8_t> input = {
      static_cast<uint8_t>(challenge >> 24), static_cast<uint8_t>(challenge >> 16),
      static_cast<uint8_t>(challenge >> 8), static_cast<uint8_t>(challenge)};
  const auto& salt = digestSalt();
  input.insert(input.end(), salt.begin(), salt.end());
  return input;
}

uint32_t digest(uint32_t challenge) {
  return CrcCalculator::crc32(digestInput(challenge), CRC32_TYPE::posix);
}

std::string deviceName(const std::optional<std::string>& hostName) {
  if (!hostName) return "Macbook";
  const icu::UnicodeString text = icu::UnicodeString::fromUTF8(*hostName);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> clusters(
      icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status) || !clusters) return *hostName;
  clusters->setText(text);
  // Walk back 20 cluster boundaries from the end.
  int32_t start = clusters->last();
  for (int32_t i = 0; i < kDeviceNameLength; ++i) {
    const int32_t previous = clusters->previous();
    if (previous == icu::BreakIterator::DONE) break;
    start = previous;
  }
  std::string out;
  text.tempSubString(start).toUTF8String(out);
  return out;
}

}  // namespace tovelin
