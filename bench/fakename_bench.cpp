// Cost of the look-alike system file name decision per subject. The worst case is a
// name that resembles nothing: every list name is compared with it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

#include "fake_name_core.h"

namespace {

const CFakeFileNameCore& PreparedCore() {
    static CFakeFileNameCore core;
    static const bool ready = core.Prepare() == 1;
    (void)ready;
    return core;
}

// Checks that the name really walks the whole list before it is timed.
void RequireFullWalk(const std::string& base, const std::string& ext) {
    const auto decision =
        PreparedCore().Decide(CFakeFileNameCore::BuildCandidate(base.c_str(), ext.c_str()));
    if (decision.result != 0 || decision.name != nullptr) {
        std::fprintf(stderr, "%s.%s does not reach the end of the list\n", base.c_str(),
                     ext.c_str());
        std::abort();
    }
}

void Decide(benchmark::State& state, const std::string& base, const std::string& ext) {
    RequireFullWalk(base, ext);
    const CFakeFileNameCore& core = PreparedCore();
    for (auto _ : state) {
        benchmark::DoNotOptimize(core.Analyse(base.c_str(), ext.c_str()));
    }
}

void BM_NoMatchShortName(benchmark::State& state) {
    Decide(state, "qwzqwz", "qwz");
}
void BM_NoMatchNearName(benchmark::State& state) {
    Decide(state, "svhost", "exe");
}
void BM_NoMatchSixteenChars(benchmark::State& state) {
    Decide(state, "zqzqzqzqzqzq", "zqz");
}
void BM_NoMatch300Chars(benchmark::State& state) {
    Decide(state, "q" + std::string(295, 'z'), "qzq");
}
void BM_ExactSystemName(benchmark::State& state) {
    const CFakeFileNameCore& core = PreparedCore();
    for (auto _ : state) benchmark::DoNotOptimize(core.Analyse("svchost", "exe"));
}

}  // namespace

BENCHMARK(BM_NoMatchShortName)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NoMatchNearName)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NoMatchSixteenChars)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NoMatch300Chars)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExactSystemName)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
