#include "running_images.h"

#include <cstring>

#include "process_snapshot.h"

namespace {

// The path a snapshot gives a process whose main module name cannot be read.
constexpr const char kUnreadableModulePath[] = "System";

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(const char* left, size_t leftLength, const std::string& right) {
    if (leftLength != right.size()) return false;
    for (size_t i = 0; i < leftLength; ++i) {
        if (FoldAscii(left[i]) != FoldAscii(right[i])) return false;
    }
    return true;
}

// `nameAt(i)` is the image name of the i-th of `count` listed processes.
template <typename NameAt>
ImageMatch MatchNames(const char* path, size_t count, NameAt nameAt,
                      std::vector<size_t>* candidates) {
    candidates->clear();
    if (path == nullptr || path[0] == '\0') return ImageMatch::kNoProcess;  // owners have paths
    const size_t length = strlen(path);
    if (length >= kMaxSnapshotPath) return ImageMatch::kUnsure;
    if (strcmp(path, kUnreadableModulePath) == 0) return ImageMatch::kUnsure;

    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') name = p + 1;
        // The listing and the module path may spell such a name differently.
        if (static_cast<unsigned char>(*p) >= 0x80 || *p == '~' || *p == '?') {
            return ImageMatch::kUnsure;
        }
    }
    const size_t nameLength = length - static_cast<size_t>(name - path);
    for (size_t i = 0; i < count; ++i) {
        const std::string& imageName = nameAt(i);
        if (imageName == kUncomparableImageName ||
            EqualIgnoringAsciiCase(name, nameLength, imageName)) {
            candidates->push_back(i);
        }
    }
    return candidates->empty() ? ImageMatch::kNoProcess : ImageMatch::kSomeProcesses;
}

}  // namespace

ImageMatch MatchRunningImages(const char* path, const std::vector<std::string>& imageNames,
                              std::vector<size_t>* candidates) {
    return MatchNames(
        path, imageNames.size(), [&](size_t i) -> const std::string& { return imageNames[i]; },
        candidates);
}

ImageMatch MatchRunningImages(const char* path, const RunningProcess* processes, size_t count,
                              std::vector<size_t>* candidates) {
    return MatchNames(
        path, count, [&](size_t i) -> const std::string& { return processes[i].name; }, candidates);
}

bool PathMayBeRunning(const char* path, const std::vector<std::string>& imageNames) {
    std::vector<size_t> candidates;
    return MatchRunningImages(path, imageNames, &candidates) != ImageMatch::kNoProcess;
}
