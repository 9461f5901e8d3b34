// SPDX-License-Identifier: MIT
// Writes a benchmark netlist and its settings file:
//   tarvex-generate-netlist SIZE_MIB SEED OUT.net OUT.amd [--no-keys | --families N]
// With --families N (2 or 3) the device lines carry the Keys of N families, and the settings of the
// second and third family go beside OUT.amd as OUT-2.amd and OUT-3.amd.
#include "netlist_generator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    const bool noKeys = argc == 6 && std::strcmp(argv[5], "--no-keys") == 0;
    const bool severalFamilies = argc == 7 && std::strcmp(argv[5], "--families") == 0;
    const int families = severalFamilies ? std::atoi(argv[6]) : 1;
    if (argc < 5 || (argc > 5 && !noKeys && !severalFamilies) || families < 1 ||
        families > tarvex::bench::kBenchmarkFamilies) {
        std::fprintf(stderr, "usage: %s SIZE_MIB SEED OUT.net OUT.amd [--no-keys | --families 1-%d]\n",
                     argv[0], tarvex::bench::kBenchmarkFamilies);
        return 2;
    }
    const std::uint64_t total = std::strtoull(argv[1], nullptr, 10) << 20;
    const auto seed = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));

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
                                       seed + part++, !noKeys, families);
        written += std::fwrite(slice.data(), 1, slice.size(), net);
    }
    const std::string end = ".end\n";
    std::fwrite(end.data(), 1, end.size(), net);
    if (std::ferror(net) || std::fclose(net) != 0) {
        std::perror(argv[3]);
        return 1;
    }
    for (int family = 0; family < families; ++family) {
        std::filesystem::path amd = argv[4];
        if (family > 0) {
            amd.replace_filename(amd.stem().string() + "-" + std::to_string(family + 1) +
                                 amd.extension().string());
        }
        if (const tarvex::Result<void> saved = tarvex::SaveSettings(amd, tarvex::bench::BenchmarkSettings(family));
            !saved) {
            std::fprintf(stderr, "%s\n", saved.error().c_str());
            return 1;
        }
    }
    return 0;
}
