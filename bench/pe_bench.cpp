// Throughput of the image reader: Parse plus every query the image features ask, over a
// real DLL of about 1 MiB and over a 16 MiB image that is mostly overlay, and the two
// linear scans alone on the 16 MiB image.
//
//   build/.../analyser/pe/pe_bench [--benchmark_filter=...] [dll path]
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "pe_helper.h"
#include "pe_image_builder.h"

namespace {

const char* const kDefaultDll = "/usr/lib/i386-linux-gnu/wine/i386-windows/advapi32.dll";
std::string gDllPath = kDefaultDll;

const char* const kTypes[] = {"RT_ICON",   "RT_GROUP_ICON", "RT_VERSION", "RT_RCDATA",
                              "RT_DIALOG", "RT_STRING",     "RT_MANIFEST"};

std::vector<uint8_t> LoadDll() {
    std::ifstream in(gDllPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// 16 MiB: a small program with imports and an icon, then overlay that mixes binary
// noise, text runs of various lengths and a few embedded images.
std::vector<uint8_t> Build16MiB() {
    petest::PeImageBuilder builder;
    builder.EntryBytes({0x55, 0x8B, 0xEC, 0x6A, 0xFF, 0x68, 0, 0, 0, 0, 0xC3})
        .AddImport({"KERNEL32.dll", {{"CreateFileA", 1}, {"WriteFile", 2}, {"ExitProcess", 3}}})
        .AddImport({"USER32.dll", {{"MessageBoxA", 4}}})
        .AddIcon(1, petest::MakeIconImage(32, 0x40))
        .AddGroupIcon(1, {1});
    const std::vector<uint8_t> small = builder.Build();

    std::vector<uint8_t> overlay;
    const size_t target = (16u << 20) - small.size();
    overlay.reserve(target);
    std::mt19937 random(16);
    while (overlay.size() < target) {
        const unsigned kind = random() % 16;
        if (kind < 10) {  // binary noise
            for (int i = 0; i < 512; ++i) overlay.push_back(static_cast<uint8_t>(random()));
        } else if (kind < 15) {  // a text run
            const int length = 4 + static_cast<int>(random() % 60);
            for (int i = 0; i < length; ++i)
                overlay.push_back(static_cast<uint8_t>('a' + random() % 26));
            overlay.push_back(0);
        } else if (random() % 64 == 0) {
            overlay.insert(overlay.end(), small.begin(), small.end());
        }
    }
    overlay.resize(target);
    std::vector<uint8_t> image = small;
    image.insert(image.end(), overlay.begin(), overlay.end());
    return image;
}

const std::vector<uint8_t>& Image16() {
    static const std::vector<uint8_t> image = Build16MiB();
    return image;
}

int SumResource(const unsigned char* data, int size, void* user) {
    *static_cast<uint64_t*>(user) += size > 0 ? data[0] : 0;
    return 0;
}

int CountString(const PEString*, void* user) {
    ++*static_cast<uint64_t*>(user);
    return 1;
}

uint64_t AllQueries(CPEHelper& helper, const std::vector<uint8_t>& image) {
    uint64_t sum =
        static_cast<uint64_t>(helper.Parse(image.data(), static_cast<int>(image.size())));
    sum += helper.GetTotalImportCount() + helper.GetSectionCount();
    for (int i = 0; i < helper.GetImportDllCount(0); ++i) {
        for (int j = 0; j < helper.GetImportFuncCount(0, i); ++j) {
            sum += helper.GetImportFunc(0, i, j)->hintOrOrdinal;
        }
    }
    for (const char* type : kTypes) helper.EnumResources(type, SumResource, &sum);
    sum += helper.FindPackerName() != nullptr;
    sum += helper.FindCompilerName() != nullptr;
    helper.EnumStrings(10, CountString, &sum);
    sum += helper.CountEmbeddedImages();
    sum += static_cast<uint64_t>(helper.GetEntrySectionIndex());
    helper.Reset();
    return sum;
}

void AllQueriesOver(benchmark::State& state, const std::vector<uint8_t>& image) {
    CPEHelper helper;
    for (auto _ : state) benchmark::DoNotOptimize(AllQueries(helper, image));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(image.size()));
}

void BM_AllQueriesRealDll(benchmark::State& state) {
    const std::vector<uint8_t> dll = LoadDll();
    if (dll.empty()) {
        state.SkipWithError("cannot read the DLL");
        return;
    }
    state.SetLabel(gDllPath);
    AllQueriesOver(state, dll);
}

void BM_AllQueries16MiB(benchmark::State& state) {
    AllQueriesOver(state, Image16());
}

void BM_EnumStrings10_16MiB(benchmark::State& state) {
    const std::vector<uint8_t>& image = Image16();
    CPEHelper helper;
    uint64_t strings = 0;
    for (auto _ : state) {
        // The list is kept per image; a new Parse (cheap here) drops it.
        state.PauseTiming();
        helper.Parse(image.data(), static_cast<int>(image.size()));
        state.ResumeTiming();
        strings = 0;
        helper.EnumStrings(10, CountString, &strings);
        benchmark::DoNotOptimize(strings);
    }
    state.counters["strings"] = static_cast<double>(strings);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(image.size()));
}

void BM_CountEmbeddedImages16MiB(benchmark::State& state) {
    const std::vector<uint8_t>& image = Image16();
    CPEHelper helper;
    helper.Parse(image.data(), static_cast<int>(image.size()));
    int count = 0;
    for (auto _ : state) benchmark::DoNotOptimize(count = helper.CountEmbeddedImages());
    state.counters["images"] = count;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(image.size()));
}

BENCHMARK(BM_AllQueriesRealDll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllQueries16MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnumStrings10_16MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountEmbeddedImages16MiB)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc > 1) gDllPath = argv[1];
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
