// SPDX-License-Identifier: MIT
// Micro-benchmarks of the hot paths: value parsing, bin lookup, line rewriting, streaming.
#include "netlist_generator.h"

#include "bins/bin_table.h"
#include "bins/engineering_value.h"
#include "rewrite/line_rewriter.h"
#include "rewrite/netlist_rewrite.h"
#include "text/key_search.h"

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace tarvex;

RewriteRules BenchRules() {
    const SettingsFile settings = tarvex::bench::BenchmarkSettings();
    RewriteRules rules;
    rules.tableN = settings.tableN;
    rules.tableP = settings.tableP;
    return rules;
}

// The 20-byte tokens that follow "L=" and "W=" in generated and real netlists.
void BM_ParseNetlistValue(benchmark::State& state) {
    const std::string_view tokens[] = {"0.35u W=2.5u AS=1.2p",
                                       "2.5u AS=1.2p AD=1.2p",
                                       "0.18u W=10u AS=1.2p",
                                       "1.8 W=4.2 ad=1.1 as=",
                                       "4.2\n",
                                       "0.15 w=0.42 nf=1\n",
                                       "3.4567u w=1.23u\n",
                                       "1e-6 W=2e-6\n",
                                       "2u\n",
                                       "7.05 W=0.42\r\n"};
    for (auto _ : state) {
        for (const std::string_view token : tokens) {
            benchmark::DoNotOptimize(ParseNetlistValue(token));
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * std::size(tokens)));
}
BENCHMARK(BM_ParseNetlistValue);

void BM_FindBin(benchmark::State& state) {
    const Bounds bounds{0.5e-6, 1e-6, 2e-6, 5e-6, 10e-6, 20e-6};
    double x = 7e-6;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindBin(bounds, x));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FindBin);

// The Key search as a run makes it, from each Key found to the next, over a netlist whose devices
// carry the Keys of one or three families (or none), with the Keys of as many families.
void BM_KeySearch(benchmark::State& state) {
    const int families = static_cast<int>(state.range(0));
    std::string netlist;
    tarvex::bench::GenerateNetlist(netlist, 16 << 20, 1, state.range(1) != 0, families);
    std::vector<std::string> keys;
    for (int family = 0; family < families; ++family) {
        const SettingsFile settings = tarvex::bench::BenchmarkSettings(family);
        keys.emplace_back(KeyText(settings.keyN));
        keys.emplace_back(KeyText(settings.keyP));
    }
    const std::vector<std::string_view> views(keys.begin(), keys.end());
    const KeySet set(views);
    for (auto _ : state) {
        KeySet::Cursor cursor = set.in(netlist);
        std::size_t found = 0;
        for (std::size_t at = cursor.next(0); at < netlist.size(); at = cursor.next(at + 1)) {
            ++found;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * netlist.size()));
}
BENCHMARK(BM_KeySearch)
    ->ArgsProduct({{1, 3}, {1, 0}})
    ->ArgNames({"families", "keys"})
    ->Unit(benchmark::kMillisecond);

void BM_RewriteLine(benchmark::State& state, std::string_view line) {
    const RewriteRules rules = BenchRules();
    std::string out;
    for (auto _ : state) {
        out.clear();
        RewriteLine(line, rules, out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK_CAPTURE(BM_RewriteLine, device,
                  "M12 d12 g12 s12 0 MODxyN L=0.35u W=2.5u AS=1.2p AD=1.2p PS=3u PD=3u\n");
BENCHMARK_CAPTURE(BM_RewriteLine, other, "R13 n13 n14 47k\n");

class NullWriter final : public ByteWriter {
public:
    std::error_code write(std::string_view bytes) override {
        benchmark::DoNotOptimize(bytes.data());
        return {};
    }
};

// The whole streaming rewrite of an in-memory netlist, with and without Keys, on one thread and on
// every core (threads 0).
void BM_RewriteStream(benchmark::State& state) {
    std::string netlist;
    tarvex::bench::GenerateNetlist(netlist, 16 << 20, 1, state.range(0) != 0);
    const RewriteRules rules = BenchRules();
    StreamOptions options;
    options.threads = static_cast<unsigned>(state.range(1));
    for (auto _ : state) {
        MemoryReader reader(netlist);
        NullWriter writer;
        benchmark::DoNotOptimize(RewriteStream(reader, writer, rules, options));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * netlist.size()));
}
BENCHMARK(BM_RewriteStream)
    ->ArgsProduct({{1, 0}, {1, 0}})
    ->ArgNames({"keys", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
