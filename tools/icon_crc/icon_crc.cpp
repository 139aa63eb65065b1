// Builds the table of system icon checksums: walks directories of Windows system files,
// hands every RT_ICON resource to the same reader and CRC-32 the icon feature uses, and
// prints the C++ table body of the most widespread checksums.
//
//   icon_crc [--total N] [--head HEX]... [--tail HEX]... DIR...
//
// Identical files (by MD5) count once, so a DLL present in two directories does not
// double its icons. The --head and --tail values are the fixed first and last entries of
// the sorted table; the others are taken from the checksums found that lie strictly
// between them, ranked by the number of distinct files carrying them, then by the number
// of icon resources carrying them, then by value, until the table holds N entries.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "crc32.h"
#include "md5.h"
#include "pe_helper.h"

namespace {

namespace fs = std::filesystem;

// Larger files are no system DLLs worth reading whole.
constexpr uintmax_t kMaxFileSize = 256u * 1024 * 1024;

struct Usage {
    int files = 0;
    int resources = 0;
};

struct Options {
    size_t total = 438;
    std::set<uint32_t> head;
    std::set<uint32_t> tail;
    std::vector<std::string> directories;
};

struct Scan {
    std::map<uint32_t, Usage> usage;
    std::set<std::array<unsigned char, 16>> digests;
    int filesRead = 0;
    int imagesParsed = 0;
    int imagesWithIcons = 0;
    int iconResources = 0;
};

struct IconVisit {
    std::set<uint32_t>* inFile;
    Scan* scan;
};

int OnIcon(const unsigned char* data, int size, void* user) {
    IconVisit* visit = static_cast<IconVisit*>(user);
    uint32_t crc = 0;
    if (size <= 0 || CCRC32().Compute(data, static_cast<uint32_t>(size), &crc) == 0) return 0;
    ++visit->scan->iconResources;
    ++visit->scan->usage[crc].resources;
    visit->inFile->insert(crc);
    return 0;
}

bool ReadFile(const fs::path& path, std::vector<unsigned char>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void ScanFile(const fs::path& path, Scan* scan) {
    std::vector<unsigned char> bytes;
    if (!ReadFile(path, &bytes) || bytes.empty()) return;
    std::array<unsigned char, 16> digest{};
    CMD5Class().Digest(bytes.data(), digest.data(), static_cast<uint32_t>(bytes.size()));
    if (!scan->digests.insert(digest).second) return;
    ++scan->filesRead;

    CPEHelper& reader = ThePEHelper();
    if (reader.Parse(bytes.data(), static_cast<int>(bytes.size())) == 1) {
        ++scan->imagesParsed;
        std::set<uint32_t> inFile;
        IconVisit visit{&inFile, scan};
        reader.EnumResources("RT_ICON", OnIcon, &visit);
        for (uint32_t crc : inFile) ++scan->usage[crc].files;
        if (!inFile.empty()) ++scan->imagesWithIcons;
    }
    reader.Reset();
}

void ScanDirectory(const std::string& directory, Scan* scan) {
    std::error_code error;
    fs::recursive_directory_iterator it(directory, fs::directory_options::skip_permission_denied,
                                        error);
    if (error) {
        std::fprintf(stderr, "icon_crc: cannot read %s: %s\n", directory.c_str(),
                     error.message().c_str());
        return;
    }
    // Sorted, so that the scan order (and nothing else) never depends on the file system.
    std::vector<fs::path> files;
    for (; it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error) break;
        std::error_code statError;
        if (!it->is_regular_file(statError)) continue;
        if (it->file_size(statError) > kMaxFileSize || statError) continue;
        files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) ScanFile(file, scan);
}

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--total" || arg == "--head" || arg == "--tail") && i + 1 < argc) {
            char* end = nullptr;
            const unsigned long value = std::strtoul(argv[++i], &end, arg == "--total" ? 10 : 16);
            if (end == nullptr || *end != '\0') return false;
            if (arg == "--total") {
                options->total = value;
            } else {
                (arg == "--head" ? options->head : options->tail)
                    .insert(static_cast<uint32_t>(value));
            }
        } else if (!arg.empty() && arg[0] != '-') {
            options->directories.push_back(arg);
        } else {
            return false;
        }
    }
    const bool ordered = options->head.empty() || options->tail.empty() ||
                         *options->head.rbegin() < *options->tail.begin();
    return !options->directories.empty() && ordered &&
           options->head.size() + options->tail.size() <= options->total;
}

std::vector<uint32_t> Select(const Options& options, const Scan& scan) {
    std::vector<std::pair<uint32_t, Usage>> ranked(scan.usage.begin(), scan.usage.end());
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        if (a.second.files != b.second.files) return a.second.files > b.second.files;
        if (a.second.resources != b.second.resources)
            return a.second.resources > b.second.resources;
        return a.first < b.first;
    });
    const uint32_t low = options.head.empty() ? 0 : *options.head.rbegin();
    const uint32_t high = options.tail.empty() ? 0xFFFFFFFFu : *options.tail.begin();
    std::set<uint32_t> chosen = options.head;
    chosen.insert(options.tail.begin(), options.tail.end());
    for (const auto& entry : ranked) {
        if (chosen.size() >= options.total) break;
        const bool between = (options.head.empty() || entry.first > low) &&
                             (options.tail.empty() || entry.first < high);
        if (between) chosen.insert(entry.first);
    }
    return std::vector<uint32_t>(chosen.begin(), chosen.end());
}

void PrintTable(const std::vector<uint32_t>& table) {
    for (size_t i = 0; i < table.size(); ++i) {
        std::printf("%s0x%08Xu,%s", i % 6 == 0 ? "    " : " ", table[i],
                    i % 6 == 5 || i + 1 == table.size() ? "\n" : "");
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: icon_crc [--total N] [--head HEX]... [--tail HEX]... DIR...\n");
        return 2;
    }
    Scan scan;
    for (const std::string& directory : options.directories) ScanDirectory(directory, &scan);
    const std::vector<uint32_t> table = Select(options, scan);

    int shared = 0;
    for (const auto& entry : scan.usage) shared += entry.second.files > 1 ? 1 : 0;
    int chosenShared = 0;
    int chosenSingle = 0;
    for (uint32_t crc : table) {
        const auto found = scan.usage.find(crc);
        if (found == scan.usage.end()) continue;
        (found->second.files > 1 ? chosenShared : chosenSingle) += 1;
    }
    std::fprintf(stderr,
                 "icon_crc: %d distinct files, %d PE images, %d with icons, %d icon resources\n"
                 "icon_crc: %zu distinct checksums, %d of them in more than one file\n"
                 "icon_crc: table of %zu: %zu fixed, %d found in more than one file, %d in one\n",
                 scan.filesRead, scan.imagesParsed, scan.imagesWithIcons, scan.iconResources,
                 scan.usage.size(), shared, table.size(), options.head.size() + options.tail.size(),
                 chosenShared, chosenSingle);
    if (table.size() < options.total) {
        std::fprintf(stderr, "icon_crc: only %zu checksums found, %zu asked for\n", table.size(),
                     options.total);
        return 1;
    }
    PrintTable(table);
    return 0;
}
