#include "similarity.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "look_alike_table.h"

namespace {

// Characters compare as signed bytes, so 0x80..0xFF are negative codes: they have no
// look-alike slot, and 0x60 and 0x80 are not 32 apart. Spelled out to stay defined
// behaviour on every compiler.
int SignedByte(char c) {
    const int value = static_cast<unsigned char>(c);
    return value >= 128 ? value - 256 : value;
}

// A name may carry a line end from the text it came from; nothing after it counts.
std::string_view CutAtLineEnd(std::string_view text) {
    size_t end = text.size();
    if (const void* cr = std::memchr(text.data(), '\r', end)) {
        end = static_cast<size_t>(static_cast<const char*>(cr) - text.data());
    }
    if (const void* lf = std::memchr(text.data(), '\n', end)) {
        end = static_cast<size_t>(static_cast<const char*>(lf) - text.data());
    }
    return text.substr(0, end);
}

}  // namespace

CSimilarity::CSimilarity() : slots_{}, matches_{} {
    for (size_t i = 0; i < kLookAlikeStringCount; ++i) {
        const char* text = kLookAlikeStrings[i];
        const int key = SignedByte(text[0]);
        if (key > 0) slots_[key] = text;
    }
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            matches_[a][b] =
                static_cast<uint8_t>(MatchByRule(static_cast<char>(a), static_cast<char>(b)));
        }
    }
}

const CSimilarity& CSimilarity::Instance() {
    static const CSimilarity instance;
    return instance;
}

const char* CSimilarity::LookAlikeString(char key) const {
    const int code = SignedByte(key);
    return code >= 0 ? slots_[code] : nullptr;
}

int CSimilarity::MatchByRule(char a, char b) const {
    const int sa = SignedByte(a);
    const int sb = SignedByte(b);
    if (sb == sa) return 1;
    // Case partners, and by the same arithmetic any other pair of codes 32 apart.
    if (sb == sa + 32 || sa == sb + 32) return 1;
    // The terminator is no member of a look-alike string.
    if (sa < 0 || slots_[sa] == nullptr || b == '\0') return 0;
    return std::strchr(slots_[sa], b) != nullptr ? 1 : 0;
}

void CSimilarity::NormaliseDigitPairs(const char* systemName, std::string& candidate) {
    const size_t nameLength = systemName != nullptr ? std::strlen(systemName) : 0;
    const size_t length = candidate.size();
    size_t read = 0;
    size_t out = 0;
    // Past the end of the name no pair can be rewritten, so the rest only moves up.
    while (read < length && out < nameLength) {
        const char want = systemName[out];
        const bool pair = read + 1 < length;
        if (want == 'H' && pair && candidate[read] == '1' && candidate[read + 1] == '4') {
            candidate[out] = 'H';
            read += 2;
        } else if (want == 'U' && pair && candidate[read] == 'l' && candidate[read + 1] == 'J') {
            candidate[out] = 'U';
            read += 2;
        } else {
            candidate[out] = candidate[read];
            read += 1;
        }
        ++out;
    }
    if (out < read) candidate.erase(out, read - out);
}

uint32_t CSimilarity::Weight(size_t exponent) {
    // Unsigned arithmetic gives the 32-bit machine's result: the shift count is taken
    // modulo 32 and bits shifted past bit 31 are lost.
    return static_cast<uint32_t>(uint64_t{kBase} << (exponent & 31u));
}

double CSimilarity::Normaliser(size_t shorter, size_t longer) {
    if (shorter + longer == 0) return 0.0;
    const double spread =
        static_cast<double>(longer - shorter) / static_cast<double>(longer + shorter);
    const size_t n = spread <= 0.090909 ? shorter : longer;
    // The sum of Weight(j - 1) for j = 0 .. n - 1. The exponents run 31, 0, 1, .. 30 and
    // then repeat, so every whole round of 32 terms adds 2 + 4 + .. + 2^31 + 0, and a
    // partial round of r terms adds 0 + 2 + .. + 2^(r - 1).
    const uint64_t round = (uint64_t{1} << 32) - 2;
    const size_t rest = n % 32;
    const uint64_t partial = rest == 0 ? 0 : (uint64_t{1} << rest) - 2;
    return static_cast<double>(static_cast<uint64_t>(n / 32) * round + partial);
}

double CSimilarity::Similarity(const char* systemName, std::string& candidate) const {
    NormaliseDigitPairs(systemName, candidate);
    const std::string_view name = CutAtLineEnd(systemName != nullptr ? systemName : "");
    const std::string_view other = CutAtLineEnd(candidate);
    const size_t shorter = std::min(name.size(), other.size());
    const size_t longer = std::max(name.size(), other.size());

    // The forward score weighs the start of the texts most, the backward score their
    // end; the last compared position weighs nothing (its exponent wraps to 31).
    uint64_t forward = 0;
    uint64_t backward = 0;
    for (size_t k = 0; k < shorter; ++k) {
        const uint64_t weight = Weight(shorter - 2 - k);
        forward += weight * Match(name[k], other[k]);
        backward += weight * Match(name[name.size() - 1 - k], other[other.size() - 1 - k]);
    }
    const double divisor = Normaliser(shorter, longer);
    if (divisor == 0.0) return 0.0;
    return (static_cast<double>(forward) + static_cast<double>(backward)) * 0.5 / divisor;
}
