// The one way a call that can fail says so: a value, or an error with its text.
//
// Every operation at the edges (files, sockets, the GPU driver, interface
// files, feeds) returns a Result. The error's text is written for a person:
// it is what ends up on standard error. std::optional keeps its meaning of
// "may be absent"; it never stands for "failed".
//
//   base::Result<int> r = openSomething();
//   if (!r) { base::printError(r.error().message); return; }
//   use(*r);
//
// Result<void> is a success without a value; base::ok() makes one.
#pragma once

#include <cassert>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace base {

struct Error {
  std::string message;
};

// Makes an error result of any Result type: `return base::fail("no such file");`.
inline Error fail(std::string message) { return Error{std::move(message)}; }

template <typename T>
class [[nodiscard]] Result {
 public:
  static_assert(!std::is_same_v<std::decay_t<T>, Error>, "a Result cannot hold an Error value");

  Result(T value)
      : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design
  Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}  // NOLINT

  [[nodiscard]] bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  [[nodiscard]] T& value() & {
    assert(ok());
    return std::get<0>(state_);
  }
  [[nodiscard]] const T& value() const& {
    assert(ok());
    return std::get<0>(state_);
  }
  [[nodiscard]] T&& value() && {
    assert(ok());
    return std::get<0>(std::move(state_));
  }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  [[nodiscard]] const Error& error() const {
    assert(!ok());
    return std::get<1>(state_);
  }

 private:
  std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : error_(std::move(error)), failed_(true) {}  // NOLINT: implicit by design

  [[nodiscard]] bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  [[nodiscard]] const Error& error() const {
    assert(failed_);
    return error_;
  }

 private:
  Error error_;
  bool failed_ = false;
};

// A success without a value.
inline Result<void> ok() { return {}; }

}  // namespace base
