// SPDX-License-Identifier: MIT
// Turns the fuzzer's bytes into structured choices. Every read succeeds: once the bytes run out,
// numbers read as 0 and strings as empty, so any input, the empty one included, is a valid case.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace tarvex::fuzz {

class FuzzInput {
public:
    explicit FuzzInput(std::span<const std::uint8_t> data) : m_data(data) {}

    std::uint8_t byte() {
        if (m_data.empty()) {
            return 0;
        }
        const std::uint8_t value = m_data.front();
        m_data = m_data.subspan(1);
        return value;
    }

    std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | (byte() << 8)); }

    std::uint32_t u32() {
        return static_cast<std::uint32_t>(u16()) | (static_cast<std::uint32_t>(u16()) << 16);
    }

    // Eight bytes as the bits of a double, so NaN, infinities and denormals all occur.
    double rawDouble() {
        const std::uint64_t bits =
            static_cast<std::uint64_t>(u32()) | (static_cast<std::uint64_t>(u32()) << 32);
        double value = 0.0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // Up to count bytes (fewer when the input runs out).
    std::string bytes(std::size_t count) {
        count = std::min(count, m_data.size());
        std::string text(reinterpret_cast<const char*>(m_data.data()), count);
        m_data = m_data.subspan(count);
        return text;
    }

    // Everything not read yet.
    std::string_view rest() const { return {reinterpret_cast<const char*>(m_data.data()), m_data.size()}; }

private:
    std::span<const std::uint8_t> m_data;
};

} // namespace tarvex::fuzz
