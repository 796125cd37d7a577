// The console's command language: one command a line, as a person types it
// or a script feeds it on standard input. docs/console.md describes every
// command.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/result.h"

namespace console {

// An item picked in a menu: by its title, or by its 1-based position ("#3").
struct ItemRef {
  std::string title;
  std::optional<size_t> position;
  friend bool operator==(const ItemRef&, const ItemRef&) = default;
};

struct Command {
  enum class Kind {
    menu,
    click,
    open,
    choose,
    windows,
    close,
    press,
    snapshot,
    bluetooth,
    wait,
    quit
  };
  Kind kind = Kind::menu;
  // open: the submenu's path; choose: the path of submenus, then the item.
  std::vector<ItemRef> path;
  size_t window = 0;   // close, press: 1-based
  std::string text;    // press: button title; snapshot: file; bluetooth: state word
  double seconds = 0;  // wait
};

// A line's command, none for a blank line, or an error for a line that is
// not a command.
base::Result<std::optional<Command>> parseCommand(std::string_view line);

// An answer to an alert: a button title, optionally followed by ": " and the
// text to leave in the alert's text field ("OK: 1234", "OK:", "Cancel").
struct AlertAnswer {
  std::string button;
  std::optional<std::string> text;
  friend bool operator==(const AlertAnswer&, const AlertAnswer&) = default;
};

// The readings of `line` as an answer, the likeliest first: with a colon,
// split at the first ": " (or a final ':'), then the whole line as a title
// (for button titles that contain a colon). Spaces around the line are
// ignored; the text after ": " is kept as it is.
std::vector<AlertAnswer> readAlertAnswer(std::string_view line);

// `text` with control characters written as escapes (\n, \t, \xNN), so that
// whatever a phone calls itself prints as one line.
std::string escapeText(std::string_view text);

// A number as the console prints it: no trailing zeros ("1920", "0.5").
std::string formatNumber(double value);

}  // namespace console
