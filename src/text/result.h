// SPDX-License-Identifier: MIT
// The one convention for calls that can fail: a Result holds the value, or the message that says
// why there is none (with the system's error code when a system call failed). Result<void> is the
// outcome of an operation that gives nothing back.
#pragma once

#include <string>
#include <system_error>
#include <utility>
#include <variant>

namespace tarvex {

// The message of a failure, as the user reads it, and the system's error code when a system call
// failed (empty otherwise).
struct Failure {
    std::string message;
    std::error_code code{};
};

// Builds the failure of a Result of any type.
inline Failure Fail(std::string message) {
    return Failure{std::move(message), {}};
}

// The failure of a system call, worded as the system words its error code.
inline Failure Fail(std::error_code code) {
    return Failure{code.message(), code};
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

    // The message, and the system's error code; only for a failed Result.
    const std::string& error() const { return std::get<1>(m_state).message; }
    const std::error_code& code() const { return std::get<1>(m_state).code; }

private:
    std::variant<T, Failure> m_state;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : m_failed(true), m_message(std::move(failure.message)), m_code(failure.code) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    // The message, and the system's error code; only for a failed Result.
    const std::string& error() const { return m_message; }
    const std::error_code& code() const { return m_code; }

private:
    bool m_failed = false;
    std::string m_message;
    std::error_code m_code;
};

} // namespace tarvex
