// The two linear scans over the whole image: printable strings and embedded images.
#include <cstring>
#include <new>

#include "pe_helper.h"

namespace {

inline bool Printable(unsigned char c) {
    return static_cast<unsigned char>(c - 32) < 95;
}

}  // namespace

void CPEHelper::BuildStringList(int minLen) {
    const unsigned char* p = view_.data();
    const uint64_t n = view_.size();
    const uint64_t step = static_cast<uint64_t>(minLen);
    const uint64_t maxBack = minLen > 2 ? step - 2 : 0;
    std::vector<size_t> textAt;

    // Probe every minLen-th byte: a run of minLen printable bytes cannot avoid a probe.
    // From a printable probe the run is widened backwards by at most minLen - 2 bytes
    // and forwards to its end.
    uint64_t b = step - 1;
    while (b < n) {
        if (!Printable(p[b])) {
            b += step;
            continue;
        }
        uint64_t back = 0;
        while (back < maxBack && back < b && Printable(p[b - back - 1])) ++back;
        uint64_t forward = 0;
        while (b + forward + 1 < n && Printable(p[b + forward + 1])) ++forward;
        const uint64_t length = back + 1 + forward;
        if (length >= step) {
            const size_t kept = static_cast<size_t>(
                length < static_cast<uint64_t>(kMaxStringLength) ? length : kMaxStringLength);
            textAt.push_back(stringArena_.size());
            const char* text = reinterpret_cast<const char*>(p + (b - back));
            stringArena_.insert(stringArena_.end(), text, text + kept);
            stringArena_.push_back('\0');
            strings_.push_back({nullptr, static_cast<unsigned short>(kept)});
        }
        b += step + forward;
    }
    for (size_t i = 0; i < strings_.size(); ++i) strings_[i].text = stringArena_.data() + textAt[i];
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
    const uint64_t n = view_.size();
    if (n <= 64) return 0;
    const unsigned char* p = view_.data();
    const uint64_t end = n - 64;  // positions below this are scanned
    int count = 0;
    uint64_t i = 0;
    while (i < end) {
        const void* m = std::memchr(p + i, 'M', static_cast<size_t>(end - i));
        if (m == nullptr) break;
        i = static_cast<uint64_t>(static_cast<const unsigned char*>(m) - p);
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
