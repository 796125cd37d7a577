#include "platform/console/command.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace console {
namespace {

constexpr double kLongestWait = 24 * 60 * 60;

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

std::optional<size_t> parsePositive(std::string_view s) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  size_t value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<size_t>(c - '0');
  }
  if (value == 0) return std::nullopt;
  return value;
}

// Decimal seconds: digits with an optional fraction ("2", "0.5", ".25").
std::optional<double> parseSeconds(std::string_view s) {
  bool digits = false;
  bool point = false;
  for (const char c : s) {
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  double value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

ItemRef itemRef(std::string_view part) {
  if (part.size() > 1 && part.front() == '#') {
    if (auto n = parsePositive(part.substr(1))) return ItemRef{std::string(part), n};
  }
  return ItemRef{std::string(part), std::nullopt};
}

// "A > B > C" into its parts; an empty part is an error.
std::optional<std::vector<ItemRef>> parsePath(std::string_view line) {
  // Padded, so that a ">" at either end also separates (and leaves an empty part).
  const std::string padded = " " + std::string(line) + " ";
  std::string_view text = padded;
  std::vector<ItemRef> path;
  for (;;) {
    const size_t sep = text.find(" > ");
    const std::string_view part = trim(text.substr(0, sep));
    if (part.empty()) return std::nullopt;
    path.push_back(itemRef(part));
    if (sep == std::string_view::npos) break;
    text.remove_prefix(sep + 3);
  }
  return path;
}

using Parsed = base::Result<std::optional<Command>>;

Parsed error(std::string text) { return base::fail(std::move(text)); }

Parsed ok(const Command& command) { return std::optional<Command>(command); }

}  // namespace

Parsed parseCommand(std::string_view line) {
  line = trim(line);
  if (line.empty()) return std::optional<Command>();
  const size_t space = line.find_first_of(" \t");
  const std::string_view word = line.substr(0, space);
  const std::string_view rest =
      space == std::string_view::npos ? std::string_view() : trim(line.substr(space));
  const std::string name(word);
  Command c;

  struct Bare {
    const char* word;
    Command::Kind kind;
  };
  for (const Bare& bare :
       {Bare{"menu", Command::Kind::menu}, Bare{"click", Command::Kind::click},
        Bare{"windows", Command::Kind::windows}, Bare{"quit", Command::Kind::quit}}) {
    if (word != bare.word) continue;
    if (!rest.empty()) return error(name + " takes no argument");
    c.kind = bare.kind;
    return ok(c);
  }

  if (word == "open" || word == "choose") {
    c.kind = word == "open" ? Command::Kind::open : Command::Kind::choose;
    if (rest.empty()) return error("usage: " + name + " TITLE  or  " + name + " MENU > TITLE");
    auto path = parsePath(rest);
    if (!path) return error(name + ": an empty title in \"" + std::string(rest) + "\"");
    c.path = std::move(*path);
    return ok(c);
  }
  if (word == "close" || word == "press") {
    c.kind = word == "close" ? Command::Kind::close : Command::Kind::press;
    const size_t gap = rest.find_first_of(" \t");
    auto n = parsePositive(rest.substr(0, gap));
    const std::string_view title =
        gap == std::string_view::npos ? std::string_view() : trim(rest.substr(gap));
    const char* usage = word == "close" ? "usage: close N" : "usage: press N TITLE";
    if (!n || (word == "close" && !title.empty()) || (word == "press" && title.empty())) {
      return error(usage);
    }
    c.window = *n;
    c.text = std::string(title);
    return ok(c);
  }
  if (word == "snapshot") {
    if (rest.empty()) return error("usage: snapshot FILE");
    c.kind = Command::Kind::snapshot;
    c.text = std::string(rest);
    return ok(c);
  }
  if (word == "bluetooth") {
    if (rest.empty() || rest.find_first_of(" \t") != std::string_view::npos) {
      return error("usage: bluetooth on|off|unauthorized|unsupported|resetting|unknown");
    }
    c.kind = Command::Kind::bluetooth;
    c.text = std::string(rest);
    return ok(c);
  }
  if (word == "wait") {
    auto seconds = parseSeconds(rest);
    if (!seconds) return error("usage: wait SECONDS (a decimal number, e.g. 0.5)");
    if (*seconds > kLongestWait) return error("wait: at most 86400 seconds");
    c.kind = Command::Kind::wait;
    c.seconds = *seconds;
    return ok(c);
  }
  return error("unknown command \"" + escapeText(word) +
               "\" (commands: menu, click, open, choose, windows, close, press, snapshot, "
               "bluetooth, wait, quit)");
}

std::vector<AlertAnswer> readAlertAnswer(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  // Spaces around the line are not part of the answer (nor of a PIN).
  line = trim(line);
  std::vector<AlertAnswer> readings;
  const size_t colon = line.find(':');
  if (colon != std::string_view::npos && (colon + 1 == line.size() || line[colon + 1] == ' ')) {
    std::string_view text = line.substr(colon + 1);
    if (!text.empty()) text.remove_prefix(1);  // the one space after the colon
    readings.push_back(AlertAnswer{std::string(trim(line.substr(0, colon))), std::string(text)});
  }
  readings.push_back(AlertAnswer{std::string(line), std::nullopt});
  return readings;
}

std::string escapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out += ch;
    }
  }
  return out;
}

std::string formatNumber(double value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.10g", value);
  return buf;
}

}  // namespace console
