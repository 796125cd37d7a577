// Where the simulated phone's acceleration comes from.
//
// A motion source gives the acceleration (in the phone's units, m/s^2-like,
// of order 0.1 to 3) at a time since the stream started, and how long one
// run lasts. The built-in drive pulls away, cruises over bumps, takes
// curves, brakes and then stands still long enough for the overlay to fade;
// a trace replays a recorded CSV file ("t,x,y,z" and a header line),
// interpolating between its rows.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/result.h"

namespace sim {

struct Acceleration {
  double x = 0;
  double y = 0;
  double z = 0;
  friend bool operator==(const Acceleration&, const Acceleration&) = default;
};

class MotionSource {
 public:
  virtual ~MotionSource() = default;
  // `seconds` runs from 0 to duration(); later times give the last value.
  [[nodiscard]] virtual Acceleration at(double seconds) const = 0;
  [[nodiscard]] virtual double duration() const = 0;
};

class BuiltInDrive : public MotionSource {
 public:
  // Phases, in seconds from the start.
  static constexpr double kPullAwayEnd = 6;
  static constexpr double kCruiseEnd = 36;
  static constexpr double kCurvesEnd = 48;
  static constexpr double kBrakingEnd = 54;
  static constexpr double kStandStill = 30;  // the overlay fades after about 23 s

  [[nodiscard]] Acceleration at(double seconds) const override;
  [[nodiscard]] double duration() const override { return kBrakingEnd + kStandStill; }
};

class TraceMotion : public MotionSource {
 public:
  struct Sample {
    double t;
    Acceleration a;
  };
  // Parses the CSV text; the error names the line at fault.
  static base::Result<TraceMotion> parse(std::string_view text);
  static base::Result<TraceMotion> load(const std::string& path);

  [[nodiscard]] Acceleration at(double seconds) const override;
  [[nodiscard]] double duration() const override { return samples_.back().t; }

 private:
  explicit TraceMotion(std::vector<Sample> samples) : samples_(std::move(samples)) {}
  std::vector<Sample> samples_;  // never empty, times non-decreasing
};

}  // namespace sim
