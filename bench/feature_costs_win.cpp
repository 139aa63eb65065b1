// Where the analysis of a folder of files spends its time under the real system: the
// host's reading of the file (as assay does it), the library's own path screening, the
// content copy and each feature's Analyse, summed over every file. A benchmark, never
// run by ctest.
//   feature_costs.exe FOLDER
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "analyser_platform_win.h"
#include "autorun_system_win.h"
#include "data_provider.h"
#include "feature_catalogue.h"
#include "feature_environment_win.h"
#include "win32/handles.h"
#include "open_port_system_win.h"

namespace {

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

std::vector<std::string> ListFiles(const std::string& folder) {
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    const UniqueFind search(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!search) return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(folder + "\\" + found.cFileName);
    } while (FindNextFileA(search.get(), &found));
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: feature_costs FOLDER\n");
        return 2;
    }
    CSystemFeatureEnvironment environment;
    CSystemOpenPorts openPorts;
    CSystemAutorun autorun;
    CFeatureCatalogue catalogue(&environment, &openPorts, &autorun);
    std::vector<IDataAnalyser*> features = catalogue.Features();
    for (IDataAnalyser* feature : features) feature->Prepare();
    CSystemAnalyserPlatform platform;

    std::vector<double> featureSeconds(features.size());
    double readSeconds = 0, screenSeconds = 0, copySeconds = 0;
    const std::vector<std::string> files = ListFiles(argv[1]);
    // The analyser keeps at most this much of a file.
    constexpr LONGLONG kKept = 16 * 1024 * 1024;
    std::vector<unsigned char> content(1);
    double megabytes = 0;
    for (size_t index = 0; index < files.size(); ++index) {
        const std::string& path = files[index];
        // As assay reads a file: size and creation time, then the bytes into a kept buffer.
        LARGE_INTEGER start = Now();
        UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file) continue;
        LARGE_INTEGER fileSize;
        FILETIME created;
        if (!GetFileSizeEx(file.get(), &fileSize) ||
            !GetFileTime(file.get(), &created, nullptr, nullptr)) {
            continue;
        }
        const DWORD size =
            static_cast<DWORD>(fileSize.QuadPart < kKept ? fileSize.QuadPart : kKept);
        if (content.size() < size + 1) content.resize(size + 1);
        DWORD got = 0;
        if (!ReadFile(file.get(), content.data(), size, &got, nullptr) || got != size) continue;
        LARGE_INTEGER end = Now();
        readSeconds += Seconds(start, end);
        megabytes += static_cast<double>(fileSize.QuadPart) / 1048576.0;

        start = Now();
        platform.ClassifyImageFile(path.c_str());
        end = Now();
        screenSeconds += Seconds(start, end);

        start = Now();
        CDataProvider record(static_cast<int>(index));
        const char* text = path.c_str();
        record.SetPath(&text);
        const int intSize = static_cast<int>(size);
        record.SetFileSize(&intSize);
        const unsigned char* bytes = content.data();
        record.SetContent(&bytes);
        end = Now();
        copySeconds += Seconds(start, end);

        for (size_t f = 0; f < features.size(); ++f) {
            start = Now();
            features[f]->Analyse(&record);
            end = Now();
            featureSeconds[f] += Seconds(start, end);
        }
    }
    const double perFile = files.empty() ? 0 : 1000.0 / files.size();
    printf("%zu files, %.1f MiB; ms per file:\n", files.size(), megabytes);
    printf("  %-24s %8.3f\n", "open and read", readSeconds * perFile);
    printf("  %-24s %8.3f\n", "path screening", screenSeconds * perFile);
    printf("  %-24s %8.3f\n", "record and copy", copySeconds * perFile);
    double total = readSeconds + screenSeconds + copySeconds;
    for (size_t f = 0; f < features.size(); ++f) {
        printf("  %-24s %8.3f\n", features[f]->GetName(), featureSeconds[f] * perFile);
        total += featureSeconds[f];
    }
    printf("  %-24s %8.3f\n", "total", total * perFile);
    return 0;
}
