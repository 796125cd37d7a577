// The two output channels of the system.
//
// Standard output carries only the system's diagnostic lines, each written
// whole and flushed at once so that a reader on a pipe sees every line as it
// happens. Those are the system's output: they are never dropped, and writing
// them waits for the reader.
//
// Everything else a person should read (console listings, errors at the
// edges) goes to standard error, which must never stop the program: a
// standard error on a pipe that nobody reads would otherwise block the run
// loop, and with it the radio, the renderer and the console. So messages are
// written only as far as standard error takes them at once; the rest waits
// in a bounded buffer that the run loop flushes when standard error is
// writable again, and what does not fit is dropped and counted ("(N messages
// to standard error were dropped)"). Messages that phones can provoke
// repeatedly are limited by kind (the text with its numbers, identifiers
// and quoted parts masked): a few a second, then one line "(N more like: ...)"
// when the second is over.
#pragma once

#include <cstddef>
#include <string_view>

namespace base {

// Writes `line` and one line feed to standard output, in one write.
void printLine(std::string_view line);

// Writes `line` and one line feed to standard error without blocking, limited
// by kind.
void printError(std::string_view line);

// As printError, without the limit by kind: the console's answers to the
// commands a person types, which may well repeat.
void printReply(std::string_view line);

// Writes `text` as it is (no line feed) to standard error, without blocking.
void printPrompt(std::string_view text);

// Writes what is still buffered for standard error, waiting at most
// `timeoutMs` for it to be taken (at exit).
void flushErrors(int timeoutMs);

// The limits, for tests.
inline constexpr size_t kErrorBufferBytes = 64 * 1024;
inline constexpr size_t kErrorsPerKindPerSecond = 5;

}  // namespace base
