#include "version_text.h"

#include <cstddef>
#include <cstring>

namespace {

// "LegalCopyright" in UTF-16LE, without its terminator.
constexpr unsigned char kKey[] = {'L', 0, 'e', 0, 'g', 0, 'a', 0, 'l', 0, 'C', 0, 'o', 0,
                                  'p', 0, 'y', 0, 'r', 0, 'i', 0, 'g', 0, 'h', 0, 't', 0};
constexpr size_t kKeySize = sizeof(kKey);
static_assert(kKeySize == 28, "14 UTF-16 characters");
// The value starts after the key and its two-byte terminator.
constexpr size_t kValueDistance = kKeySize + 2;

}  // namespace

std::string LegalCopyrightText(const unsigned char* data, int size) {
    if (data == nullptr || size < kMinVersionResourceSize) return std::string();
    const size_t length = static_cast<size_t>(size);
    // The key is looked for at offsets up to size - 29: a key ending the data has no
    // terminator and so no value.
    for (size_t at = 0; at + kKeySize < length; ++at) {
        if (std::memcmp(data + at, kKey, kKeySize) != 0) continue;
        std::string text;
        for (size_t p = at + kValueDistance; p <= length && length - p >= 2; p += 2) {
            if (data[p] == 0) break;
            text.push_back(static_cast<char>(data[p]));
        }
        return text;
    }
    return std::string();
}
