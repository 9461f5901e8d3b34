// SPDX-License-Identifier: MIT
// The libFuzzer entry point for one check; TARVEX_FUZZ_CHECK names it (set by CMake per target).
// A failed property is printed and aborts, which libFuzzer records as a crash with its input.
#include "targets.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const tarvex::Result<void> checked = tarvex::fuzz::TARVEX_FUZZ_CHECK({data, size}); !checked) {
        std::fprintf(stderr, "property failed: %s\n", checked.error().c_str());
        std::abort();
    }
    return 0;
}
