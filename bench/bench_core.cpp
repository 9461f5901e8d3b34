// SPDX-License-Identifier: MIT
// Micro-benchmarks of the hot paths: value parsing, bin lookup, line rewriting, streaming.
#include "netlist_generator.h"

#include "bins/bin_table.h"
#include "bins/engineering_value.h"
#include "rewrite/line_rewriter.h"
#include "rewrite/netlist_rewrite.h"

#include <benchmark/benchmark.h>

namespace {

using namespace tarvex;

RewriteRules BenchRules() {
    const SettingsFile settings = tarvex::bench::BenchmarkSettings();
    RewriteRules rules;
    rules.tableN = settings.tableN;
    rules.tableP = settings.tableP;
    return rules;
}

void BM_ParseNetlistValue(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParseNetlistValue("0.35u W=2.5u AS=1.2p"));
    }
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
