// SPDX-License-Identifier: MIT
// A Result seen as tables of cases write their expectation: the message of a failure, or nothing.
#pragma once

#include "text/result.h"

#include <optional>
#include <string>

namespace tarvex::test {

template <class T> std::optional<std::string> FailureOf(const Result<T>& result) {
    if (result) {
        return std::nullopt;
    }
    return result.error();
}

} // namespace tarvex::test
