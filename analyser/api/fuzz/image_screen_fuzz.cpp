// Screens arbitrary bytes as a mapped file; the first byte picks the file name. The
// screening from a prefix of the file, read on as it asks, must give the same code.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image_screen.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const char* path = (data[0] & 1) != 0 ? "c:\\windows\\system32\\drivers\\x.sys" : "c:\\x.exe";
    const uint32_t fileSize = static_cast<uint32_t>(size - 1);
    const uint16_t code = ClassifyImageBytes(data + 1, fileSize, path);
    if (code < kNotImage || code > kDriverImage) __builtin_trap();

    // The prefix is copied, so that a read past it is a read past a heap block.
    uint32_t available = (data[0] >> 1) * 8u;
    for (int round = 0;; ++round) {
        if (available > fileSize) available = fileSize;
        const std::vector<uint8_t> prefix(data + 1, data + 1 + available);
        uint32_t needed = 0;
        const uint16_t answer =
            ClassifyImagePrefix(prefix.data(), available, fileSize, path, &needed);
        if (answer != kNeedMoreBytes) {
            if (answer != code) __builtin_trap();
            break;
        }
        if (needed <= available || needed > fileSize || round == 3) __builtin_trap();
        available = needed;
    }
    return 0;
}
