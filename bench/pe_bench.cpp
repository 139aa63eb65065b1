// Throughput of the image reader: Parse plus every query the image features ask, over a
// real DLL of about 1 MiB and over a 16 MiB image that is mostly overlay, and the two
// linear scans alone on the 16 MiB image. Then the packer search at the entry point
// with 5,000 rows of an analyst's database loaded (target: under 20 us a file), beside
// the built-in rows alone and a plain walk over the same rows.
//
//   build/.../analyser/pe/pe_bench [--benchmark_filter=...] [dll path]
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "pe_exercise.h"
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

// 5,000 rows shaped like an analyst's database: mostly fixed bytes from the entry point
// on, a fifth of them "??", lengths 6 to 64, and first bytes as skewed as real entry
// code (push, pushad, push ebp, call, jmp).
std::string UserDatabase(int rows) {
    std::mt19937 random(5000);
    const uint8_t common[] = {0x68, 0x60, 0x55, 0xE8, 0xEB, 0xE9, 0x90, 0xB8, 0xBE, 0x9C};
    std::string text;
    char byte[4];
    for (int row = 0; row < rows; ++row) {
        text += "[Tool " + std::to_string(row) + " -> bench]\nsignature =";
        const int length = 6 + static_cast<int>(random() % 59);
        for (int i = 0; i < length; ++i) {
            if (i == 0) {
                const unsigned pick = random() % 16;
                std::snprintf(byte, sizeof(byte), " %02X",
                              pick < 10 ? common[pick] : static_cast<unsigned>(random() & 0xFF));
                text += byte;
            } else if (random() % 5 == 0) {
                text += " ??";
            } else {
                std::snprintf(byte, sizeof(byte), " %02X", static_cast<unsigned>(random() & 0xFF));
                text += byte;
            }
        }
        text += "\nep_only = true\n";
    }
    return text;
}

CPEHelper& HelperWithUserRows(int rows) {
    static CPEHelper helper;
    static const int loaded = [&] {
        const std::string text = UserDatabase(rows);
        return helper.LoadSignatureText(text.data(), text.size(), nullptr, 0);
    }();
    (void)loaded;
    return helper;
}

struct EntryFile {
    std::vector<uint8_t> bytes;
    int64_t entry;
};

// What the search meets: Wine's DLLs next to the default DLL (real start-up code),
// images whose entry code begins with the bytes most rows begin with, and images that
// rows spread over the database (the last one among them) name.
const std::vector<EntryFile>& EntryFiles() {
    static const std::vector<EntryFile> files = [] {
        std::vector<EntryFile> out;
        CPEHelper helper;
        auto add = [&](std::vector<uint8_t> bytes) {
            if (helper.Parse(bytes.data(), static_cast<int>(bytes.size())) != 1) return;
            out.push_back({std::move(bytes), helper.GetEntryOffset()});
        };
        namespace fs = std::filesystem;
        std::error_code error;
        int taken = 0;
        for (const auto& entry : fs::directory_iterator(fs::path(gDllPath).parent_path(), error)) {
            if (taken == 64) break;
            if (entry.path().extension() != ".dll" || entry.file_size(error) > (4u << 20)) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            add({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
            ++taken;
        }
        std::mt19937 random(20);
        for (uint8_t first : {0x68, 0x60, 0x55, 0xE8, 0xEB, 0xE9, 0x90, 0xB8}) {
            for (int variant = 0; variant < 8; ++variant) {
                std::vector<uint8_t> code(64);
                for (uint8_t& b : code) b = static_cast<uint8_t>(random());
                code[0] = first;
                add(petest::PeImageBuilder().EntryBytes(code).Build());
            }
        }
        const UserSignatures& rows = HelperWithUserRows(5000).packers().user();
        for (uint32_t row = 0; row < rows.size(); row += rows.size() / 15) {
            std::vector<uint8_t> code(rows.Positions(row)[rows.Count(row) - 1] + 16u);
            for (uint8_t& b : code) b = static_cast<uint8_t>(random());
            for (size_t i = 0; i < rows.Count(row); ++i) {
                code[rows.Positions(row)[i] - 1u] = rows.Bytes(row)[i];
            }
            add(petest::PeImageBuilder().EntryBytes(code).Build());
        }
        return out;
    }();
    return files;
}

template <class Search>
void EntryMatching(benchmark::State& state, Search search) {
    const std::vector<EntryFile>& files = EntryFiles();
    size_t named = 0;
    for (auto _ : state) {
        named = 0;
        for (const EntryFile& file : files) named += search(file) != nullptr;
        benchmark::DoNotOptimize(named);
    }
    state.counters["files"] = static_cast<double>(files.size());
    state.counters["named"] = static_cast<double>(named);
    state.counters["per_file"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(files.size()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_EntryMatchBuiltInRows(benchmark::State& state) {
    CPEHelper helper;
    EntryMatching(state, [&](const EntryFile& file) {
        return helper.packers().Find(ImageView(file.bytes.data(), file.bytes.size()), file.entry);
    });
}

void BM_EntryMatch5000UserRows(benchmark::State& state) {
    const CPEHelper& helper = HelperWithUserRows(5000);
    state.counters["user_rows"] = static_cast<double>(helper.packers().user().size());
    EntryMatching(state, [&](const EntryFile& file) {
        return helper.packers().Find(ImageView(file.bytes.data(), file.bytes.size()), file.entry);
    });
}

void BM_EntryMatch5000UserRowsPlainWalk(benchmark::State& state) {
    const CPEHelper& withRows = HelperWithUserRows(5000);
    CPEHelper builtIn;
    EntryMatching(state, [&](const EntryFile& file) {
        const char* name =
            builtIn.packers().Find(ImageView(file.bytes.data(), file.bytes.size()), file.entry);
        return name != nullptr ? name
                               : PlainUserSearch(withRows.packers().user(), file.bytes.data(),
                                                 file.bytes.size(), file.entry);
    });
}

void BM_LoadSignatures5000(benchmark::State& state) {
    const std::string text = UserDatabase(5000);
    for (auto _ : state) {
        CPEHelper helper;
        benchmark::DoNotOptimize(helper.LoadSignatureText(text.data(), text.size(), nullptr, 0));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}

BENCHMARK(BM_AllQueriesRealDll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllQueries16MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnumStrings10_16MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountEmbeddedImages16MiB)->Unit(benchmark::kMillisecond);
// Fixed counts, so that whole runs of two cases can be timed against each other.
BENCHMARK(BM_EntryMatchBuiltInRows)->Unit(benchmark::kMicrosecond)->Iterations(20000);
BENCHMARK(BM_EntryMatch5000UserRows)->Unit(benchmark::kMicrosecond)->Iterations(20000);
BENCHMARK(BM_EntryMatch5000UserRowsPlainWalk)->Unit(benchmark::kMicrosecond)->Iterations(1000);
BENCHMARK(BM_LoadSignatures5000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc > 1) gDllPath = argv[1];
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
