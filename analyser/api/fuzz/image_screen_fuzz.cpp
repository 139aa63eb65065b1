// Screens arbitrary bytes as a mapped file; the first byte picks the file name.
#include <cstddef>
#include <cstdint>

#include "image_screen.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const char* path = (data[0] & 1) != 0 ? "c:\\windows\\system32\\drivers\\x.sys" : "c:\\x.exe";
    const uint16_t code = ClassifyImageBytes(data + 1, static_cast<uint32_t>(size - 1), path);
    if (code < kNotImage || code > kDriverImage) __builtin_trap();
    return 0;
}
