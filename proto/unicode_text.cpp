#include "proto/unicode_text.h"

#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>
#include <unicode/stringpiece.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tovelin {
namespace {

const icu::Normalizer2& nfc() {
  static const icu::Normalizer2* const instance = [] {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status) || n == nullptr) {
      // Without ICU's data nothing textual works; this is an installation fault.
      std::fprintf(stderr, "ICU NFC normalizer unavailable: %s\n", u_errorName(status));
      std::abort();
    }
    return n;
  }();
  return *instance;
}

bool fitsIcu(std::string_view text) {
  return text.size() <= static_cast<std::size_t>(std::numeric_limits<int32_t>::max());
}

}  // namespace

bool isValidUtf8(std::string_view text) {
  if (!fitsIcu(text)) return false;
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  int32_t i = 0;
  while (i < length) {
    UChar32 c = 0;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

std::optional<std::string> canonicalForm(std::string_view text) {
  if (!isValidUtf8(text)) return std::nullopt;
  const icu::StringPiece piece(text.data(), static_cast<int32_t>(text.size()));
  UErrorCode status = U_ZERO_ERROR;
  if (nfc().isNormalizedUTF8(piece, status) && U_SUCCESS(status)) return std::string(text);
  status = U_ZERO_ERROR;
  std::string out;
  icu::StringByteSink<std::string> sink(&out);
  nfc().normalizeUTF8(0, piece, sink, nullptr, status);
  if (U_FAILURE(status)) return std::nullopt;
  return out;
}

bool canonicallyEquivalent(std::string_view a, std::string_view b) {
  if (a == b) return true;
  const auto ca = canonicalForm(a);
  if (!ca) return false;
  const auto cb = canonicalForm(b);
  return cb && *ca == *cb;
}

}  // namespace tovelin
