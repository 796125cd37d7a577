#include "sim/motion.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "platform/base/file.h"

namespace sim {
namespace {

constexpr double kPi = std::numbers::pi;

// Road bumps: a few incommensurate waves, so the pattern never looks looped.
double bumps(double t) {
  return 0.6 * std::sin(2 * kPi * 1.3 * t) + 0.35 * std::sin(2 * kPi * 2.9 * t + 1.0) +
         0.2 * std::sin(2 * kPi * 0.45 * t + 2.0);
}

// 0 at both ends of a phase, 1 in its middle: phases join without a jump.
double envelope(double t, double start, double end) {
  return std::sin(kPi * (t - start) / (end - start));
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t comma = line.find(',', start);
    fields.push_back(trim(line.substr(start, comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

bool toDouble(std::string_view text, double& value) {
  if (text.empty()) return false;
  if (text.front() == '+') text.remove_prefix(1);
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() &&
         std::isfinite(value);
}

}  // namespace

Acceleration BuiltInDrive::at(double t) const {
  if (t < 0) t = 0;
  if (t < kPullAwayEnd) {
    const double e = envelope(t, 0, kPullAwayEnd);
    return {2.2 * e, 0.05 * e * bumps(t), 0.4 * e * bumps(t)};
  }
  if (t < kCruiseEnd) {
    const double e = envelope(t, kPullAwayEnd, kCruiseEnd);
    return {0.25 * e * std::sin(2 * kPi * t / 7), 0.15 * e * std::sin(2 * kPi * t / 11),
            1.2 * std::min(1.0, 4 * e) * bumps(t)};
  }
  if (t < kCurvesEnd) {
    // Left, then right, then left again.
    const double e = envelope(t, kCruiseEnd, kCurvesEnd);
    return {0.1 * e, 1.8 * e * std::sin(2 * kPi * (t - kCruiseEnd) / 4), 0.3 * e * bumps(t)};
  }
  if (t < kBrakingEnd) {
    const double e = envelope(t, kCurvesEnd, kBrakingEnd);
    return {-2.6 * e, 0.0, 0.2 * e * bumps(t)};
  }
  return {};  // standing still: nothing changes, so the overlay fades
}

base::Result<TraceMotion> TraceMotion::parse(std::string_view text) {
  std::vector<Sample> samples;
  size_t lineNumber = 0;
  bool header = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (line.empty()) continue;
    const auto fields = splitFields(line);
    if (!header) {
      if (fields != std::vector<std::string_view>{"t", "x", "y", "z"}) {
        return base::fail(where + "the header must be \"t,x,y,z\"");
      }
      header = true;
      continue;
    }
    if (fields.size() != 4)
      return base::fail(where + "expected 4 values, found " + std::to_string(fields.size()));
    double v[4];
    for (size_t i = 0; i < 4; ++i) {
      if (!toDouble(fields[i], v[i]))
        return base::fail(where + "\"" + std::string(fields[i]) + "\" is not a number");
    }
    if (v[0] < 0) return base::fail(where + "time is negative");
    if (!samples.empty() && v[0] < samples.back().t)
      return base::fail(where + "time goes backwards");
    samples.push_back({v[0], {v[1], v[2], v[3]}});
  }
  if (!header) return base::fail("the trace is empty (it needs the header \"t,x,y,z\")");
  if (samples.empty()) return base::fail("the trace has no rows after its header");
  return TraceMotion(std::move(samples));
}

base::Result<TraceMotion> TraceMotion::load(const std::string& path) {
  // A trace is a few megabytes at most; refuse to read anything huge.
  constexpr size_t kMaxBytes = 256UL * 1024 * 1024;
  const auto text = base::readFile(path, kMaxBytes);
  if (!text) {
    std::error_code ec;
    const bool huge = std::filesystem::file_size(path, ec) > kMaxBytes && !ec;
    return base::fail(huge ? path + ": the trace is larger than 256 MiB"
                           : "cannot read the trace " + path);
  }
  auto parsed = parse(*text);
  if (!parsed) return base::fail(path + ": " + parsed.error().message);
  return parsed;
}

Acceleration TraceMotion::at(double t) const {
  if (t <= samples_.front().t) return samples_.front().a;
  for (size_t i = 1; i < samples_.size(); ++i) {
    const Sample& b = samples_[i];
    if (t > b.t) continue;
    const Sample& a = samples_[i - 1];
    const double span = b.t - a.t;
    const double f = span > 0 ? (t - a.t) / span : 1.0;
    return {a.a.x + (b.a.x - a.a.x) * f, a.a.y + (b.a.y - a.a.y) * f, a.a.z + (b.a.z - a.a.z) * f};
  }
  return samples_.back().a;
}

}  // namespace sim
