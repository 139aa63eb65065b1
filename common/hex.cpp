#include "hex.h"

#include <cstring>

namespace {

unsigned char DigitValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned char>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned char>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<unsigned char>(c - 'A' + 10);
    return 0;
}

}  // namespace

int HexToBytes(const char* text, unsigned char* out) {
    if (out == nullptr) return 0;
    if (text == nullptr) return 1;
    size_t length = std::strlen(text);
    std::memset(out, 0, length / 2);
    for (size_t i = 0; i < length; i += 2) {
        // text[i + 1] is at most the terminating NUL, which counts as the digit 0.
        out[i / 2] = static_cast<unsigned char>(DigitValue(text[i]) << 4 | DigitValue(text[i + 1]));
    }
    return 1;
}
