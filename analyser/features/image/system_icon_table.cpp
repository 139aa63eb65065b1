#include "system_icon_table.h"

#include <algorithm>

namespace {

constexpr uint32_t kChecksums[] = {
#include "system_icon_table.inc"
};

constexpr bool StrictlyAscending(const uint32_t* values, size_t count) {
    for (size_t i = 1; i < count; ++i) {
        if (values[i - 1] >= values[i]) return false;
    }
    return true;
}

static_assert(sizeof(kChecksums) / sizeof(kChecksums[0]) == kSystemIconChecksumCount,
              "regenerate the table with tools/icon_crc/regenerate.sh");
static_assert(StrictlyAscending(kChecksums, kSystemIconChecksumCount),
              "the lookup halves the table: it must be sorted and free of duplicates");

}  // namespace

const uint32_t* SystemIconChecksums() {
    return kChecksums;
}

bool IsSystemIconChecksum(uint32_t crc) {
    return std::binary_search(kChecksums, kChecksums + kSystemIconChecksumCount, crc);
}
