// The two output channels of the system.
//
// Standard output carries only the system's diagnostic lines, each written
// whole and at once so that a reader on a pipe sees every line as it
// happens. Those are the system's output: they are never dropped while the
// program runs (at exit its reader gets a few seconds; what it has not taken
// then is counted and reported lost). Nor is the reader ever waited for on
// the run loop: a reader that is slow, stopped or absent would
// otherwise hold the run loop in write(2). What it does not take at once
// waits in order and is written from the run loop; past
// kOutputBacklogBytes the backlog handler hears of it (the radio stops
// reading phones, whose messages make most of these lines, until the
// backlog is written). When a write fails for good (the reader is gone, the
// disk is full, the device failed), the failure handler hears of it once,
// with the error, on a later turn of the loop, and nothing more is written
// there.
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

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace base {

// At start-up, before anything opens a descriptor: each of standard input,
// output and error that is closed is opened on /dev/null, as daemons do.
// Otherwise the next descriptor the program opens would take its number, and
// the diagnostic lines would go there (or, for a pipe's reading end, never
// anywhere, holding the phones back for good).
void openMissingStandardDescriptors();

// Writes `line` and one line feed to standard output, in one write when the
// reader takes it; otherwise queued, in order.
void printLine(std::string_view line);

// Called with true when the lines waiting for standard output pass
// kOutputBacklogBytes, and with false once all of them are written.
void setOutputBacklogHandler(std::function<void(bool backlogged)> handler);
// Called once, from the run loop, when writing to standard output failed
// for good, with the error (EPIPE: its reader is gone, which a terminal that
// hung up and a socket reset by its peer also report).
void setOutputFailureHandler(std::function<void(int error)> handler);
// That error, once a write has failed, whether or not the handler has run.
std::optional<int> outputFailure();

// Writes `line` and one line feed to standard error without blocking, limited
// by kind.
void printError(std::string_view line);

// As printError, without the limit by kind: the console's answers to the
// commands a person types, which may well repeat.
void printReply(std::string_view line);

// Writes `text` as it is (no line feed) to standard error, without blocking.
void printPrompt(std::string_view text);

// At exit: writes what still waits for standard output, then for standard
// error, waiting at most the given time for each reader to take it (the
// diagnostic lines are the program's output and get longer). The lines
// standard output did not take in time are lost: says so on standard error
// and returns how many.
size_t flushOutput(std::chrono::milliseconds outputTimeout = std::chrono::seconds(5),
                   std::chrono::milliseconds errorTimeout = std::chrono::milliseconds(500));

// The limits, for tests.
inline constexpr size_t kOutputBacklogBytes = 64 * 1024;
inline constexpr size_t kErrorBufferBytes = 64 * 1024;
inline constexpr size_t kErrorsPerKindPerSecond = 5;

}  // namespace base
