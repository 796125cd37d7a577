#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <unordered_set>

#include "proto/message_values.h"
#include "proto/messages.h"
#include "proto/packet_codec.h"
#include "proto/test_bytes.h"

namespace tovelin {
namespace {

using testing::bytesOf;
using testing::CaseName;

template <typename M>
M parsed(const char* hex) {
  const auto raw = bytesOf(hex);
  M m;
  EXPECT_TRUE(m.ParseFromArray(raw.data(), static_cast<int>(raw.size()))) << hex;
  return m;
}

// --- new messages of each type ---------------------------------------------

struct TypeCase {
  const char* name;
  std::function<std::unique_ptr<google::protobuf::Message>()> make;
  const char* debugText;
};

const TypeCase kTypes[] = {
    {"AccelerationUpdate", [] { return std::make_unique<Tovelin_AccelerationUpdate>(); },
     "Tovelin_App.Tovelin_AccelerationUpdate"},
    {"AuthenticationRequest", [] { return std::make_unique<Tovelin_AuthenticationRequest>(); },
     "Tovelin_App.Tovelin_AuthenticationRequest"},
    {"AuthenticationResponse", [] { return std::make_unique<Tovelin_AuthenticationResponse>(); },
     "Tovelin_App.Tovelin_AuthenticationResponse"},
    {"InvalidAuthentication", [] { return std::make_unique<Tovelin_InvalidAuthentication>(); },
     "Tovelin_App.Tovelin_InvalidAuthentication"},
    {"Packet", [] { return std::make_unique<Tovelin_Packet>(); }, "Tovelin_App.Tovelin_Packet"},
};

class NewMessage : public ::testing::TestWithParam<TypeCase> {};

TEST_P(NewMessage, EqualsAnotherNewOneIsInitializedAndRendersEmpty) {
  const auto a = GetParam().make();
  const auto b = GetParam().make();
  EXPECT_TRUE(isEqualTo(*a, *b));
  EXPECT_TRUE(a->IsInitialized());
  EXPECT_EQ(jsonString(*a), "{}");
  EXPECT_EQ(debugDescription(*a), GetParam().debugText);
  EXPECT_EQ(a->ByteSizeLong(), 0U);
}

TEST_P(NewMessage, IsUnequalToANewMessageOfAnyOtherType) {
  const auto mine = GetParam().make();
  for (const auto& other : kTypes) {
    if (std::string(other.name) == GetParam().name) continue;
    EXPECT_FALSE(isEqualTo(*mine, *other.make())) << other.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Types, NewMessage, ::testing::ValuesIn(kTypes), CaseName());

// --- equality and hashing, pair by pair -------------------------------------

struct PairCase {
  const char* name;
  std::function<Packet()> a;
  std::function<Packet()> b;
  bool equal;
};

Packet accel(double x, double y, double z) {
  Packet p;
  auto* a = p.mutable_acceleration_update();
  a->set_x(x);
  a->set_y(y);
  a->set_z(z);
  return p;
}

Packet response(const std::string& pin, const std::string& name) {
  Packet p;
  auto* r = p.mutable_auth_response();
  r->set_digest(42);
  r->set_pin_code(pin);
  r->set_device_name(name);
  return p;
}

Packet onlyInvalid() {
  Packet p;
  p.mutable_auth_invalid();
  return p;
}

Packet onlyRequest() {
  Packet p;
  p.mutable_auth_request();
  return p;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const std::string kComposed = "Ren\xC3\xA9";     // "René", U+00E9
const std::string kDecomposed = "Rene\xCC\x81";  // "Rene" + U+0301

const PairCase kPairs[] = {
    {"NegativeZeroEqualsPositiveZero", [] { return accel(-0.0, 0, 0); },
     [] { return accel(0.0, 0, 0); }, true},
    {"NegativeZeroInZ", [] { return accel(1, 2, -0.0); }, [] { return accel(1, 2, 0.0); }, true},
    {"NaNInXIsUnequalToItsCopy", [] { return accel(kNaN, 0, 0); }, [] { return accel(kNaN, 0, 0); },
     false},
    {"NaNInY", [] { return accel(0, kNaN, 0); }, [] { return accel(0, kNaN, 0); }, false},
    {"NaNInZ", [] { return accel(0, 0, kNaN); }, [] { return accel(0, 0, kNaN); }, false},
    {"DifferentY", [] { return accel(1, 2, 3); }, [] { return accel(1, 2.5, 3); }, false},
    {"ComposedEqualsDecomposedName", [] { return response("1", kComposed); },
     [] { return response("1", kDecomposed); }, true},
    {"ComposedEqualsDecomposedPin", [] { return response(kComposed, "Mac"); },
     [] { return response(kDecomposed, "Mac"); }, true},
    {"DifferentAccentsAreDifferentTexts", [] { return response("1", "Ren\xC3\xA8"); },
     [] { return response("1", kComposed); }, false},
    {"PinAndNameAreNotInterchangeable", [] { return response("ab", ""); },
     [] { return response("", "ab"); }, false},
    {"DistinctInvalidBytesAreUnequal", [] { return response("\xFF", "Mac"); },
     [] { return response("\xFE", "Mac"); }, false},
    {"InvalidBytesAreNotTheReplacementCharacter", [] { return response("\xFF", "Mac"); },
     [] { return response("\xEF\xBF\xBD", "Mac"); }, false},
    {"VersionDiffers", [] { return parsed<Packet>("12 02 08 01"); },
     [] { return parsed<Packet>("12 02 08 02"); }, false},
    {"VersionOneIsNotChallengeOne", [] { return parsed<Packet>("12 02 08 01"); },
     [] { return parsed<Packet>("12 02 10 01"); }, false},
    {"PayloadUnknownBytesDiffer", [] { return parsed<Packet>("0A 02 28 01"); },
     [] { return parsed<Packet>("0A 02 28 02"); }, false},
    {"PacketUnknownBytesDiffer", [] { return parsed<Packet>("22 00 28 01"); },
     [] { return parsed<Packet>("22 00 28 02"); }, false},
    {"InvalidAuthenticationUnknownBytesDiffer", [] { return parsed<Packet>("22 02 08 01"); },
     [] { return onlyInvalid(); }, false},
    // Both feed the hasher the same sequence (case 4, then bytes 08 01), so
    // they may hash alike; equality still tells them apart.
    {"UnknownInsidePayloadIsNotUnknownAfterIt", [] { return parsed<Packet>("22 02 08 01"); },
     [] { return parsed<Packet>("22 00 08 01"); }, false},
    {"UnknownFieldsInAnotherOrderAreUnequal", [] { return parsed<Packet>("28 01 30 02"); },
     [] { return parsed<Packet>("30 02 28 01"); }, false},
    {"EqualUnknownBytesAreEqual", [] { return parsed<Packet>("22 02 08 01 28 07"); },
     [] { return parsed<Packet>("22 02 08 01 28 07"); }, true},
    {"UnsetIsNotAnEmptyAuthInvalid", [] { return Packet(); }, [] { return onlyInvalid(); }, false},
    {"UnsetWithEqualUnknownBytes", [] { return parsed<Packet>("28 07"); },
     [] { return parsed<Packet>("28 07"); }, true},
    {"RequestIsNotAuthInvalid", [] { return onlyRequest(); }, [] { return onlyInvalid(); }, false},
    {"MergedEqualsWrittenAtOnce",
     [] {
       return parsed<Packet>(
           "0A 09 09 00 00 00 00 00 00 F0 3F "
           "0A 09 11 00 00 00 00 00 00 00 40");
     },
     [] { return accel(1, 2, 0); }, true},
};

class PacketPair : public ::testing::TestWithParam<PairCase> {};

TEST_P(PacketPair, EqualityIsSymmetricAndHashingFollowsIt) {
  const PairCase& c = GetParam();
  const Packet a = c.a();
  const Packet b = c.b();
  EXPECT_EQ(a == b, c.equal);
  EXPECT_EQ(b == a, c.equal);
  EXPECT_EQ(isEqualTo(a, b), c.equal);
  if (c.equal) {
    EXPECT_EQ(std::hash<Packet>{}(a), std::hash<Packet>{}(b));
    EXPECT_EQ(hashValue(a, 77), hashValue(b, 77));
  }
}

INSTANTIATE_TEST_SUITE_P(Pairs, PacketPair, ::testing::ValuesIn(kPairs), CaseName());

TEST(MessageEquality, PayloadTypesCompareTheirOwnFields) {
  AuthenticationResponse a;
  a.set_device_name(kComposed);
  AuthenticationResponse b;
  b.set_device_name(kDecomposed);
  EXPECT_TRUE(a == b);
  b.set_digest(1);
  EXPECT_FALSE(a == b);

  const auto withUnknown = parsed<InvalidAuthentication>("08 05");
  EXPECT_TRUE(withUnknown == parsed<InvalidAuthentication>("08 05"));
  EXPECT_FALSE(withUnknown == InvalidAuthentication());
  EXPECT_FALSE(isEqualTo(InvalidAuthentication(), Packet()));
  EXPECT_TRUE(isEqualTo(Packet(), Packet()));
}

// --- hashing -----------------------------------------------------------------

TEST(MessageHashing, CopiesAndNewValuesHashAlike) {
  const Packet p = parsed<Packet>("1A 0A 08 05 12 04 31 32 33 34 28 01");
  const Packet copy = p;  // NOLINT(performance-unnecessary-copy-initialization)
  EXPECT_EQ(std::hash<Packet>{}(p), std::hash<Packet>{}(copy));
  EXPECT_EQ(std::hash<Packet>{}(Packet()), std::hash<Packet>{}(Packet()));
  EXPECT_EQ(std::hash<AccelerationUpdate>{}(AccelerationUpdate()),
            std::hash<AccelerationUpdate>{}(AccelerationUpdate()));
}

TEST(MessageHashing, EveryVisitedFieldAndTheCaseFeedTheHash) {
  // Each of these differs from the others in one field, one case or some
  // unknown bytes; a hash that skipped any of them would collide here.
  const Packet distinct[] = {
      Packet(),
      onlyInvalid(),
      onlyRequest(),
      parsed<Packet>("1A 00"),
      parsed<Packet>("0A 00"),
      parsed<Packet>("12 02 08 01"),
      parsed<Packet>("12 02 10 01"),
      accel(1, 0, 0),
      accel(0, 1, 0),
      accel(0, 0, 1),
      response("1", ""),
      response("", "1"),
      parsed<Packet>("22 02 08 01"),
  };
  std::unordered_set<size_t> hashes;
  for (const auto& p : distinct) {
    EXPECT_TRUE(hashes.insert(std::hash<Packet>{}(p)).second) << p.ShortDebugString();
  }
}

TEST(MessageHashing, SeedChangesTheHash) {
  const Packet p = accel(1, 2, 3);
  EXPECT_NE(hashValue(p, 0), hashValue(p, 1));
  EXPECT_EQ(hashValue(p), hashValue(p, 0));
}

TEST(MessageHashing, CanonicallyEquivalentNamesShareASetSlot) {
  std::unordered_set<AuthenticationResponse> names;
  AuthenticationResponse r;
  r.set_device_name(kComposed);
  names.insert(r);
  r.set_device_name(kDecomposed);
  names.insert(r);
  EXPECT_EQ(names.size(), 1U);
}

// --- debug text --------------------------------------------------------------

TEST(DebugDescription, NeverShowsAFieldValue) {
  const Packet p = response("1234", "Mac");
  EXPECT_EQ(debugDescription(p.auth_response()), "Tovelin_App.Tovelin_AuthenticationResponse");
  EXPECT_EQ(debugDescription(p), "Tovelin_App.Tovelin_Packet");
}

}  // namespace
}  // namespace tovelin
