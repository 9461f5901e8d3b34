// SPDX-License-Identifier: MIT
#include "netlist_generator.h"

#include "bins/engineering_value.h"

#include <random>

namespace tarvex::bench {
namespace {

constexpr double kWidths[] = {0.5, 1, 2, 5, 10, 20};      // microns
constexpr double kLengths[] = {0.18, 0.25, 0.5, 1, 2, 5}; // microns
constexpr const char* kKeys[kBenchmarkFamilies][2] = {
    {"MODxyN", "MODxyP"}, {"HVxyN", "HVxyP"}, {"LVxyN", "LVxyP"}};
constexpr const char* kPrefixes[kBenchmarkFamilies] = {"", "hv_", "lv_"};

} // namespace

void GenerateNetlist(std::string& out, std::uint64_t bytes, std::uint32_t seed, bool withKeys, int families) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> width(0.5, 20.0);
    std::uniform_real_distribution<double> length(0.18, 5.0);
    std::uint64_t id = 0;
    while (out.size() < bytes) {
        ++id;
        const std::string n = std::to_string(id);
        switch (random() % 8) {
        case 0:
        case 1:
        case 2:
        case 3: {
            const bool nChannel = random() % 2 == 0;
            const auto family = families > 1 ? random() % static_cast<unsigned>(families) : 0;
            const char* model =
                withKeys ? kKeys[family][nChannel ? 0 : 1] : (nChannel ? "nch_lvt" : "pch_lvt");
            out += "M" + n + " d" + n + " g" + n + " s" + n + (nChannel ? " 0 " : " vdd ") + model +
                   " L=" + FormatG(length(random)) + "u W=" + FormatG(width(random)) +
                   "u AS=1.2p AD=1.2p PS=3u PD=3u\n";
            break;
        }
        case 4:
        case 5:
            out += "R" + n + " n" + n + " n" + std::to_string(id + 1) + " " + std::to_string(random() % 100) +
                   "k\n";
            break;
        case 6:
            out += "C" + n + " n" + n + " 0 " + std::to_string(random() % 900 + 1) + "f\n";
            break;
        default:
            out += "* net n" + n + " feeds the next stage\n";
            break;
        }
    }
}

SettingsFile BenchmarkSettings(int family) {
    SettingsFile settings;
    for (BinTable* table : {&settings.tableN, &settings.tableP}) {
        for (int i = 0; i < kBoundCount; ++i) {
            table->widthBounds[static_cast<std::size_t>(i)] = kWidths[i] * 1e-6;
            table->lengthBounds[static_cast<std::size_t>(i)] = kLengths[i] * 1e-6;
        }
        const char prefix = table == &settings.tableN ? 'n' : 'p';
        for (int w = 0; w < kBinCount; ++w) {
            for (int l = 0; l < kBinCount; ++l) {
                SetPartName(*table, w, l,
                            kPrefixes[family] + std::string(1, prefix) + "ch_w" + std::to_string(w) + "_l" +
                                std::to_string(l));
            }
        }
    }
    SetKeyText(settings.keyN, kKeys[family][0]);
    SetKeyText(settings.keyP, kKeys[family][1]);
    return settings;
}

} // namespace tarvex::bench
