#include "fake_name_core.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <utility>

#include "similarity.h"
#include "system_file_names.h"

namespace {

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The system names are plain ASCII, so only ASCII letters can fold onto them: a byte
// above 0x7F, alone or in a double-byte character, equals none of them under any code
// page's case-insensitive comparison.
bool EqualsIgnoringCase(std::string_view name, std::string_view candidate) {
    if (name.size() != candidate.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (FoldAscii(name[i]) != FoldAscii(candidate[i])) return false;
    }
    return true;
}

}  // namespace

int CFakeFileNameCore::Prepare() {
    if (!names_.empty()) return 1;
    try {
        names_.reserve(kSystemFileNameCount);
        for (size_t i = 0; i < kSystemFileNameCount; ++i) names_.push_back(kSystemFileNames[i]);
    } catch (const std::bad_alloc&) {
        // Without the list nothing is a look-alike; the next Prepare tries again.
        names_.clear();
    }
    return 1;
}

std::string CFakeFileNameCore::BuildCandidate(const char* baseName, const char* extName) {
    std::string candidate = baseName != nullptr ? baseName : "";
    candidate += '.';
    candidate += extName != nullptr ? extName : "";
    return candidate;
}

bool CFakeFileNameCore::IsExactName(const std::string& candidate) const {
    // string_view compares bytes as unsigned values, the order of the list.
    const std::string_view wanted = candidate;
    const auto found = std::lower_bound(
        names_.begin(), names_.end(), wanted,
        [](const char* name, std::string_view text) { return std::string_view(name) < text; });
    return found != names_.end() && std::string_view(*found) == wanted;
}

CFakeFileNameCore::Decision CFakeFileNameCore::Decide(std::string candidate) const {
    Decision decision;
    if (candidate.empty()) return decision;
    if (IsExactName(candidate)) {
        decision.result = -1;
        decision.candidate = std::move(candidate);
        return decision;
    }
    const CSimilarity& similarity = CSimilarity::Instance();
    // Many list names are look-alikes of earlier ones (d3d8.dll and d3d9.dll), which is
    // why true system names are settled by the exact lookup before this walk. Each
    // comparison may rewrite the candidate, and later names see the rewritten text.
    for (const char* name : names_) {
        if (EqualsIgnoringCase(name, candidate)) {
            decision.name = name;
            break;
        }
        if (similarity.Similarity(name, candidate) > kSimilarThreshold) {
            decision.result = 1;
            decision.name = name;
            break;
        }
    }
    decision.candidate = std::move(candidate);
    return decision;
}

int CFakeFileNameCore::Analyse(const char* baseName, const char* extName) const {
    try {
        return Decide(BuildCandidate(baseName, extName)).result;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
