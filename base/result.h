// The one way Pellux reports a failure: an operation answers a Result, which
// holds either its value or an Error saying, in words the user reads, what
// went wrong. Nothing is thrown for it; exceptions are left to what the
// standard library throws (std::bad_alloc and the like), caught at the
// programs' edges.
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace pellux {

// A failure without a kind: the text the user sees.
struct Error {
  std::string message;
};

// A failure whose kind a caller branches on, with the text the user sees.
template <class Kind>
struct KindedError {
  Kind kind{};
  std::string message;
};

// The failure that answers an operation: `return Fail("what went wrong")`.
inline Error Fail(std::string message) { return Error{std::move(message)}; }

template <class Kind>
requires std::is_enum_v<Kind> KindedError<Kind> Fail(Kind kind, std::string message = {}) {
  return KindedError<Kind>{kind, std::move(message)};
}

// The value of an operation, or why there is none. Reading the value of a
// failure (or the error of a success) is a programming error.
template <class T, class E = Error>
class [[nodiscard]] Result {
 public:
  Result(T value) : held_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design
  Result(E error) : held_(std::in_place_index<1>, std::move(error)) {}  // NOLINT: implicit by design

  bool ok() const { return held_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & {
    assert(ok());
    return std::get<0>(held_);
  }
  const T& value() const& {
    assert(ok());
    return std::get<0>(held_);
  }
  T&& value() && {
    assert(ok());
    return std::get<0>(std::move(held_));
  }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  const E& error() const {
    assert(!ok());
    return std::get<1>(held_);
  }
  // The error's text, "" on success.
  const std::string& message() const { return ok() ? Empty() : error().message; }

 private:
  static const std::string& Empty() {
    static const std::string empty;
    return empty;
  }

  std::variant<T, E> held_;
};

// An operation that answers no value: success, or why it failed.
template <class E>
class [[nodiscard]] Result<void, E> {
 public:
  Result() = default;
  Result(E error) : error_(std::move(error)) {}  // NOLINT: implicit by design

  bool ok() const { return !error_.has_value(); }
  explicit operator bool() const { return ok(); }

  const E& error() const {
    assert(!ok());
    return *error_;
  }
  const std::string& message() const {
    static const std::string empty;
    return ok() ? empty : error_->message;
  }

 private:
  std::optional<E> error_;
};

using Status = Result<void>;

// Whether a result failed with this kind of error.
template <class T, class Kind>
bool FailedWith(const Result<T, KindedError<Kind>>& result, Kind kind) {
  return !result.ok() && result.error().kind == kind;
}

// The success of an operation that answers no value: `return Ok();`.
inline Status Ok() { return {}; }

}  // namespace pellux
