#pragma once
// A value, or the error that kept it from being made: what a function returns
// when its failure has more to say than nullopt.
//
//   foundation::Result<std::string> r = readName(path);
//   if (!r) return log(r.error()->description());
//   use(*r);

#include <optional>
#include <utility>

#include "platform/foundation/Error.h"

namespace foundation {

template <class T>
class Result {
public:
    Result(T value) : value_(std::move(value)) {}
    // A failure; the error is never null.
    Result(ErrorRef error) : error_(std::move(error)) {}

    explicit operator bool() const { return value_.has_value(); }
    bool hasValue() const { return value_.has_value(); }
    const T& operator*() const& { return *value_; }
    T& operator*() & { return *value_; }
    T&& operator*() && { return std::move(*value_); }
    const T* operator->() const { return &*value_; }
    T* operator->() { return &*value_; }
    // The value as an optional (nullopt after a failure).
    const std::optional<T>& value() const { return value_; }
    // Null when there is a value.
    const ErrorRef& error() const { return error_; }

private:
    std::optional<T> value_;
    ErrorRef error_;
};

}  // namespace foundation
