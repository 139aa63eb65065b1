#include "section_names.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

struct KnownName {
    const char* text;
    size_t length;
};

// Sorted: the lookup halves this table.
constexpr KnownName kKnownNames[] = {{".data", 5}, {".rdata", 6}, {".text", 5}};

}  // namespace

bool IsKnownSectionName(const unsigned char* name, size_t length) {
    int low = 0;
    int high = static_cast<int>(sizeof(kKnownNames) / sizeof(kKnownNames[0])) - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const KnownName& known = kKnownNames[middle];
        const int order = std::memcmp(name, known.text, std::min(length, known.length));
        if (order == 0) return true;
        if (order < 0) {
            high = middle - 1;
        } else {
            low = middle + 1;
        }
    }
    return false;
}

bool HasUnknownSectionName(const unsigned char* content, int size, int ntOffset, int count) {
    if (content == nullptr || size <= 0 || ntOffset < 0) return false;
    const uint64_t limit = static_cast<uint64_t>(size);
    for (int i = 0; i < count; ++i) {
        const uint64_t header = static_cast<uint64_t>(ntOffset) + kSectionTableDistance +
                                static_cast<uint64_t>(i) * kSectionHeaderSize;
        if (header > limit || kSectionHeaderSize > limit - header) return false;
        const unsigned char* name = content + header;
        const void* zero = std::memchr(name, 0, kSectionNameSize);
        const size_t length =
            zero != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(zero) - name)
                            : kSectionNameSize;
        if (!IsKnownSectionName(name, length)) return true;
    }
    return false;
}
