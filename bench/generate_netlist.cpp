// SPDX-License-Identifier: MIT
// Writes a benchmark netlist and its settings file:
//   tarvex-generate-netlist SIZE_MIB SEED OUT.net OUT.amd [--no-keys]
#include "netlist_generator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s SIZE_MIB SEED OUT.net OUT.amd [--no-keys]\n", argv[0]);
        return 2;
    }
    const std::uint64_t total = std::strtoull(argv[1], nullptr, 10) << 20;
    const auto seed = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
    const bool withKeys = !(argc > 5 && std::strcmp(argv[5], "--no-keys") == 0);

    std::FILE* net = std::fopen(argv[3], "wb");
    if (!net) {
        std::perror(argv[3]);
        return 1;
    }
    // Generate in slices of about 8 MiB so memory stays small for any size.
    std::string slice = "* generated benchmark netlist\n.lib \"models.lib\"\n";
    std::uint64_t written = std::fwrite(slice.data(), 1, slice.size(), net);
    std::uint32_t part = 0;
    while (written < total) {
        slice.clear();
        tarvex::bench::GenerateNetlist(slice, std::min<std::uint64_t>(8 << 20, total - written),
                                       seed + part++, withKeys);
        written += std::fwrite(slice.data(), 1, slice.size(), net);
    }
    const std::string end = ".end\n";
    std::fwrite(end.data(), 1, end.size(), net);
    if (std::ferror(net) || std::fclose(net) != 0) {
        std::perror(argv[3]);
        return 1;
    }
    if (const auto error = tarvex::SaveSettings(argv[4], tarvex::bench::BenchmarkSettings())) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return 1;
    }
    return 0;
}
