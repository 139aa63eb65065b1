// The two linear scans over the whole image: printable strings and embedded images.
#include <cstdint>
#include <cstring>
#include <new>

#include "byte_search.h"

#include "pe_helper.h"

namespace {

inline bool Printable(unsigned char c) {
    return static_cast<unsigned char>(c - 32) < 95;
}

// The image as one in-memory span. Offsets in the scans are machine words: on a 32-bit
// system 64-bit counters cost twice over in every loop, and an image in memory never
// outgrows the address space.
size_t SpanSize(const ImageView& view) {
    return view.size() < SIZE_MAX ? static_cast<size_t>(view.size()) : SIZE_MAX;
}

}  // namespace

void CPEHelper::BuildStringList(int minLen) {
    const unsigned char* p = view_.data();
    const size_t n = SpanSize(view_);
    const size_t step = static_cast<size_t>(minLen);
    const size_t maxBack = minLen > 2 ? step - 2 : 0;
    if (step > n) return;

    // First the runs, each pointing into the image, then one block for all their
    // copies: growing the block string by string would copy it over and over. Both
    // lists keep their memory from one image to the next.
    size_t arenaSize = 0;
    // Probe every minLen-th byte: a run of minLen printable bytes cannot avoid a probe.
    // From a printable probe the run is widened backwards by at most minLen - 2 bytes
    // and forwards to its end.
    size_t b = step - 1;
    for (;;) {
        if (Printable(p[b])) {
            size_t back = 0;
            while (back < maxBack && back < b && Printable(p[b - back - 1])) ++back;
            size_t forward = 0;
            while (forward < n - b - 1 && Printable(p[b + forward + 1])) ++forward;
            const size_t length = back + 1 + forward;
            if (length >= step) {
                const size_t kept = length < static_cast<size_t>(kMaxStringLength)
                                        ? length
                                        : static_cast<size_t>(kMaxStringLength);
                strings_.push_back({reinterpret_cast<const char*>(p + (b - back)),
                                    static_cast<unsigned short>(kept)});
                arenaSize += kept + 1;
            }
            b += forward;  // still inside the image: forward < n - b
        }
        if (step >= n - b) break;
        b += step;
    }

    stringArena_.resize(arenaSize);
    char* out = stringArena_.data();
    for (PEString& record : strings_) {
        memcpy(out, record.text, record.length);
        out[record.length] = '\0';
        record.text = out;
        out += record.length + 1;
    }
}

int CPEHelper::EnumStrings(int minLen, PEStringCallback callback, void* user) {
    if (minLen < 1) return 0;
    if (strings_.empty()) {
        try {
            BuildStringList(minLen);
        } catch (const std::bad_alloc&) {
            strings_.clear();
            stringArena_.clear();
            return 0;
        }
    }
    if (callback == nullptr) return 1;
    for (const PEString& record : strings_) {
        if (callback(&record, user) == 0) break;
    }
    return 1;
}

int CPEHelper::CountEmbeddedImages() {
    const size_t n = SpanSize(view_);
    if (n <= 64) return 0;
    const unsigned char* p = view_.data();
    const size_t end = n - 64;  // positions below this are scanned
    int count = 0;
    size_t i = 0;
    while (i < end) {
        const unsigned char* m = FindByte(p + i, end - i, 'M');
        if (m == nullptr) break;
        i = static_cast<size_t>(m - p);
        if (p[i + 1] != 'Z') {
            ++i;
            continue;
        }
        const int32_t lfanew = static_cast<int32_t>(view_.Read32Or0(i + 60));
        const int64_t pe = static_cast<int64_t>(i) + lfanew;
        uint32_t signature = 0;
        if (pe >= 0 && static_cast<uint64_t>(pe) <= n - 4 &&
            view_.Read32(static_cast<uint64_t>(pe), &signature) && signature == 0x4550) {
            ++count;
        }
        i += 64;
    }
    return count;
}
