// SPDX-License-Identifier: MIT
#include "models/model_check.h"

#include "support/failure_of.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvex {
namespace {

TEST(ModelCheckTest, HoldsEachDeviceAgainstItsCard) {
    const ModelLibrary library = ReadModelLibraryText(".model N.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n"
                                                      ".model n.1 nmos lmin=2u lmax=3u wmin=1u wmax=2u\n"
                                                      ".model p1 pmos level=54\n"
                                                      ".subckt cell d g s b\n"
                                                      ".model local nmos lmin=1u lmax=2u wmin=1u wmax=2u\n"
                                                      ".ends\n",
                                                      "lib.spice");
    const ModelIndex index(library);
    const struct {
        const char* name;
        const char* part;
        Polarity polarity;
        double length, width;
        bool sized;
        const char* problem; // empty: none
    } rows[] = {
        {"inside, other case", "n.0", Polarity::N, 1.5e-6, 1.5e-6, true, ""},
        {"on both bounds with slack", "n.0", Polarity::N, 2e-6 * (1 + 1e-10), 1e-6, true, ""},
        {"length above", "n.0", Polarity::N, 2.1e-6, 1.5e-6, true, "L outside 1e-06..2e-06"},
        {"both outside", "n.1", Polarity::N, 1e-6, 3e-6, true,
         "L outside 2e-06..3e-06, W outside 1e-06..2e-06"},
        {"no sizes on the line", "n.1", Polarity::N, 0, 0, false, ""},
        {"unknown name", "n.2", Polarity::N, 1.5e-6, 1.5e-6, true, "no card in the models defines it"},
        {"local card", "local", Polarity::N, 1.5e-6, 1.5e-6, true, "no card in the models defines it"},
        {"wrong type", "p1", Polarity::N, 1.5e-6, 1.5e-6, true, "a pmos card, not nmos"},
        {"card without bounds", "P1", Polarity::P, 9, 9, true, ""},
        {"group base inside a bin", "n", Polarity::N, 2.5e-6, 1.5e-6, true, ""},
        {"group base outside", "n", Polarity::N, 4e-6, 1.5e-6, true, "no card of the group holds this size"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DeviceEvent event;
        event.polarity = row.polarity;
        event.partName = row.part;
        event.length = row.length;
        event.width = row.width;
        event.hasLength = event.hasWidth = row.sized;
        EXPECT_EQ(test::FailureOf(index.check(event)).value_or(""), row.problem);
    }
}

} // namespace
} // namespace tarvex
