#include "byte_search.h"

#include <cstdint>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#define KV_HAVE_SSE2_PATH 1
#endif

// A word holds the value where (word ^ pattern) has a zero byte.
const unsigned char* FindByteByWords(const unsigned char* data, size_t length,
                                     unsigned char value) {
    if (data == nullptr) return nullptr;
    constexpr size_t kOnes = ~static_cast<size_t>(0) / 0xFF;
    constexpr size_t kHighBits = kOnes * 0x80;
    const size_t pattern = kOnes * value;
    size_t i = 0;
    for (; length - i >= sizeof(size_t); i += sizeof(size_t)) {
        size_t word;
        memcpy(&word, data + i, sizeof(word));
        word ^= pattern;
        if (((word - kOnes) & ~word & kHighBits) != 0) break;
    }
    for (; i < length; ++i) {
        if (data[i] == value) return data + i;
    }
    return nullptr;
}

namespace {

#ifdef KV_HAVE_SSE2_PATH
__attribute__((target("sse2"))) const unsigned char* FindByteSse2(const unsigned char* data,
                                                                  size_t length,
                                                                  unsigned char value) {
    const __m128i pattern = _mm_set1_epi8(static_cast<char>(value));
    size_t i = 0;
    for (; length - i >= 16; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(block, pattern));
        if (mask != 0) return data + i + __builtin_ctz(static_cast<unsigned>(mask));
    }
    for (; i < length; ++i) {
        if (data[i] == value) return data + i;
    }
    return nullptr;
}

// Processors older than SSE2 still run 32-bit Windows; they take the word path.
bool HaveSse2() {
#if defined(__x86_64__) || defined(__SSE2__)
    return true;
#else
    static const bool have = __builtin_cpu_supports("sse2");
    return have;
#endif
}
#endif

}  // namespace

const unsigned char* FindByte(const unsigned char* data, size_t length, unsigned char value) {
    if (data == nullptr || length == 0) return nullptr;
#ifdef KV_HAVE_SSE2_PATH
    if (HaveSse2()) return FindByteSse2(data, length, value);
#endif
    return FindByteByWords(data, length, value);
}
