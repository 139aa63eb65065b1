#include "large_file_size.h"

#include <cstdint>

namespace {
constexpr uint32_t kLargeSize = 0x100000;
}

int CLargeFileSize::Analyse(IVirusCaptorDataProvidor* record) {
    return static_cast<uint32_t>(record->GetFileSize()) > kLargeSize ? 1 : 0;
}
