// SPDX-License-Identifier: MIT
// The one convention for calls that can fail: a Result holds the value, or the message that says
// why there is none. Result<void> is the outcome of an operation that gives nothing back.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace tarvex {

// The message of a failure, as the user reads it.
struct Failure {
    std::string message;
};

// Builds the failure of a Result of any type.
inline Failure Fail(std::string message) {
    return Failure{std::move(message)};
}

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Failure failure) : m_state(std::move(failure)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return std::get<0>(m_state); }
    T& value() & { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const T& operator*() const& { return value(); }
    const T* operator->() const { return &value(); }

    // The message; only for a failed Result.
    const std::string& error() const { return std::get<1>(m_state).message; }

private:
    std::variant<T, Failure> m_state;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : m_failed(true), m_message(std::move(failure.message)) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    // The message; only for a failed Result.
    const std::string& error() const { return m_message; }

private:
    bool m_failed = false;
    std::string m_message;
};

} // namespace tarvex
