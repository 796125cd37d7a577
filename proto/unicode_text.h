// Unicode canonical equivalence for the messages' text fields.
//
// Two texts that differ only in composed versus decomposed accents are the
// same text to a user, so message equality and hashing look at their
// canonical (NFC) form. Bytes that are not valid UTF-8 have no canonical form;
// such texts are compared and hashed as raw bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tovelin {

// True when `text` is well-formed UTF-8 (no surrogates, no overlong forms).
bool isValidUtf8(std::string_view text);

// The NFC form of `text`, or nothing when `text` is not valid UTF-8.
std::optional<std::string> canonicalForm(std::string_view text);

// Equal bytes, or both valid UTF-8 with equal canonical forms.
bool canonicallyEquivalent(std::string_view a, std::string_view b);

}  // namespace tovelin
