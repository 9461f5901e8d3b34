// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace tarvex::test {

// Names each instance of a table-driven test after the row's `name` member.
struct RowName {
    template <class Row> std::string operator()(const testing::TestParamInfo<Row>& row) const {
        return row.param.name;
    }
};

} // namespace tarvex::test
